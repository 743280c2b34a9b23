# Sourced by the scripts: a Wine prefix and an X display of their own, and the means to stop exactly what was started.
# shellcheck shell=bash
# Usage:  WINEPREFIX=<the script's own prefix>; source scripts/wine-env.sh
#         trap wine_env_stop EXIT            (before anything starts)
#         wine_env_start [--tests] [--win32]
# Sets WINEPREFIX, WINELOADER, WINEARCH, WINEDEBUG, DISPLAY. A script names its own prefix before sourcing this
# file; when none is set, build/wineprefix (x86_64) or build/wineprefix32 (i686) is used.
# `--tests` also makes the windows unmanaged: with no window manager on Xvfb, Wine otherwise waits about two seconds
# for one at every hide and destroy. `--win32` runs Debian's 32-bit Wine (loader /usr/lib/wine/wine) in a 32-bit
# prefix, for the i686 build; otherwise the x86_64 loader /usr/lib/wine/wine64 is used, whatever else is installed.
# wine_env_stop ends the prefix's server (and with it every Wine process of the prefix), then the keep-alive window
# and Xvfb by the pids recorded at their start; it may be called at any time, also before or twice.
: "${TOLVAR_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEDEBUG=-all
export WINELOADER=/usr/lib/wine/wine64
export WINEARCH=win64
_wine_env_default_prefix=""  # the prefix chosen here when the script named none, per build
if [ -z "${WINEPREFIX:-}" ]; then
  _wine_env_default_prefix=$TOLVAR_ROOT/build/wineprefix
  export WINEPREFIX=$_wine_env_default_prefix
fi
_wine_env_started_xvfb=""  # pid of the Xvfb started here
_wine_env_keepalive=""     # pid of the keep-alive window started here
_wine_env_prefix=""        # the prefix whose server was started here

wine_env_start() {
  local tests="" build=win64
  for option in "$@"; do
    case $option in
      --tests) tests=1 ;;
      --win32) build=win32 ;;
      *) echo "wine_env_start: unknown option $option" >&2; return 2 ;;
    esac
  done
  if [ "$build" = win32 ]; then
    export WINELOADER=/usr/lib/wine/wine WINEARCH=win32
  else
    export WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
  fi
  if [ -n "$_wine_env_default_prefix" ] && [ "$WINEPREFIX" = "$_wine_env_default_prefix" ]; then
    _wine_env_default_prefix=$TOLVAR_ROOT/build/wineprefix
    [ "$build" = win32 ] && _wine_env_default_prefix=${_wine_env_default_prefix}32
    export WINEPREFIX=$_wine_env_default_prefix
  fi
  if [ -z "${DISPLAY:-}" ] || [ -n "${TOLVAR_OWN_DISPLAY:-}" ]; then
    local n=${TOLVAR_DISPLAY_NUMBER:-91}
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    _wine_env_started_xvfb=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  mkdir -p "$WINEPREFIX"
  _wine_env_prefix=$WINEPREFIX
  # The server and Wine's own processes are started with stdio detached, so that CTest does not wait on them.
  wineserver -p >/dev/null 2>&1 </dev/null
  "$WINELOADER" wineboot -i >/dev/null 2>&1 </dev/null
  if [ -n "$tests" ]; then
    "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  fi
  # A window that lives as long as the server keeps Wine's desktop process up between test programs.
  local keepalive="$TOLVAR_ROOT/build/$build/wine_keepalive.exe"
  if [ -x "$keepalive" ]; then
    "$WINELOADER" "$keepalive" >/dev/null 2>&1 </dev/null &
    _wine_env_keepalive=$!
    sleep 1
  fi
}

wine_env_stop() {
  if [ -n "$_wine_env_prefix" ]; then
    WINEPREFIX="$_wine_env_prefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$_wine_env_prefix" wineserver -w >/dev/null 2>&1 || true
    _wine_env_prefix=""
  fi
  local pid
  for pid in $_wine_env_keepalive $_wine_env_started_xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  _wine_env_keepalive=""
  _wine_env_started_xvfb=""
}
