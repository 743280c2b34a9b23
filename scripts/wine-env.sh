# Sourced by the scripts: a Wine prefix of the project's own and an X display, started when missing.
# Sets WINEPREFIX, WINELOADER, WINEDEBUG, DISPLAY; call wine_env_stop to stop only what was started here.
# `wine_env_start --tests` also makes the windows unmanaged: with no window manager on Xvfb, Wine otherwise
# waits about two seconds for one at every hide and destroy.
: "${TOLVAR_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$TOLVAR_ROOT/build/wineprefix}"
export WINEARCH=win64
_wine_env_started_xvfb=""

wine_env_start() {
  if [ -z "${DISPLAY:-}" ] || [ -n "${TOLVAR_OWN_DISPLAY:-}" ]; then
    local n=${TOLVAR_DISPLAY_NUMBER:-91}
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    _wine_env_started_xvfb=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  mkdir -p "$WINEPREFIX"
  # The server and Wine's own processes are started with stdio detached, so that CTest does not wait on them.
  wineserver -p >/dev/null 2>&1 </dev/null
  "$WINELOADER" wineboot -i >/dev/null 2>&1 </dev/null
  if [ "${1:-}" = "--tests" ]; then
    "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  fi
  # A window that lives as long as the server keeps Wine's desktop process up between test programs.
  local keepalive="$TOLVAR_ROOT/build/win64/wine_keepalive.exe"
  if [ -x "$keepalive" ]; then
    "$WINELOADER" "$keepalive" >/dev/null 2>&1 </dev/null &
    sleep 1
  fi
}

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$_wine_env_started_xvfb" ]; then
    kill "$_wine_env_started_xvfb" 2>/dev/null || true
    wait "$_wine_env_started_xvfb" 2>/dev/null || true
  fi
}
