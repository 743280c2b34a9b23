#!/usr/bin/env bash
# Tests the release as a user meets it: makes dist/Tolvar-2.2.zip anew with scripts/release.sh (unless
# TOLVAR_RELEASE_ZIP names an archive) and once more from a copy of the sources in another folder, which must give
# the same bytes; unpacks it into a fresh folder, checks its SHA-256 list with both commands the READ-ME gives,
# starts the 64-bit Tolvar.exe in a fresh Wine prefix with Wine's own remote-access service, checks what the first
# run leaves (tray icon, settings, autostart value, uninstall script and entry, a 64-byte Tq.dat), ends it through
# its Exit command, uninstalls it through the INF engine with the command it registered, and checks that nothing
# of the program is left but the two things Wine's INF engine leaves: the script itself and the vendor's empty key.
# Usage: scripts/release-test.sh   — exit status 0 when every check passed.
set -euo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
zip=${TOLVAR_RELEASE_ZIP:-}

# A prefix of the test's own, made anew, whatever the caller's shell has; no simulated service.
export WINEPREFIX="$TOLVAR_ROOT/build/release-test-prefix"
export TOLVAR_OWN_DISPLAY=1
unset WINEDLLOVERRIDES
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
unpacked=""
cleanup() {
  wine_env_stop
  [ -z "$unpacked" ] || rm -rf "$unpacked"
}
trap cleanup EXIT

failures=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; failures=$((failures + 1)); fi
}

if [ -z "$zip" ]; then
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
  export SOURCE_DATE_EPOCH
  bash scripts/release.sh >/dev/null
  zip="$TOLVAR_ROOT/dist/Tolvar-2.2.zip"
  # The second build: the sources as they stand (tracked and new files, not the ignored build folders) copied to
  # another folder and built there from nothing, as on another machine.
  rebuild="$TOLVAR_ROOT/build/release-rebuild"
  rm -rf "$rebuild"
  mkdir -p "$rebuild"
  git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$rebuild"
  bash "$rebuild/scripts/release.sh" >/dev/null
  check "a second build in another folder gives the same archive" cmp "$zip" "$rebuild/dist/Tolvar-2.2.zip"
  rm -rf "$rebuild"
fi
zip=$(realpath "$zip")
cmake --build --preset win64 --target startup_timer wine_keepalive >/dev/null

unpacked=$(mktemp -d)
# CMake unpacks zip archives too, and the build has it already.
(cd "$unpacked" && cmake -E tar xf "$zip")
folder="$unpacked/Tolvar-2.2"
check "the archive holds both programs, the READ-ME and the check sums" \
  test -f "$folder/64-bit/Tolvar.exe" -a -f "$folder/32-bit/Tolvar.exe" -a -f "$folder/READ-ME.txt" \
  -a -f "$folder/SHA256SUMS.txt"
# The two checks the READ-ME gives, as it gives them.
check "every file matches its SHA-256 (sha256sum -c)" sh -c "cd '$folder' && sha256sum -c SHA256SUMS.txt >/dev/null"
check "every file matches its SHA-256 (shasum -a 256 -c)" \
  sh -c "cd '$folder' && shasum -a 256 -c SHA256SUMS.txt >/dev/null"
check "the check sums list every other file" \
  sh -c "cd '$folder' && [ \$(find . -type f ! -name SHA256SUMS.txt | wc -l) -eq \$(wc -l < SHA256SUMS.txt) ]"

rm -rf "$WINEPREFIX"
wine_env_start
wine() { "$WINELOADER" "$@" 2>/dev/null </dev/null | tr -d '\r'; }
program=$(wine winepath -w "$folder/64-bit/Tolvar.exe")
# Prints the registry value's data as `reg query` shows it, nothing when it is missing.
value_of() { wine reg query "$1" /v "$2" | awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
key_missing() { ! "$WINELOADER" reg query "$1" >/dev/null 2>&1 </dev/null; }

# The timer starts the program, waits for its icon in the notification area, then ends it through Exit and Yes
# (and, should that fail, after ten seconds by force).
milliseconds=$(wine "$TOLVAR_ROOT/build/win64/startup_timer.exe" "$program" tolvar)
check "the tray icon appears (after ${milliseconds:-no} ms)" awk -v ms="${milliseconds:-99999}" 'BEGIN { exit !(ms < 20000) }'

settings_key='HKCU\Software\Vesk\Tolvar\1.0'
# The first-run defaults: the counter at connection, costs, weekend as economic, common hours 7:00 to 20:00.
expected_settings="01000000010000000000000001000000$(printf '0%.0s' $(seq 1 64))$(printf '0%.0s' $(seq 1 80))"
expected_settings+="070000000000000000000000140000000000000000000000$(printf '0%.0s' $(seq 1 48))"
settings=$(value_of "$settings_key" Settings | tr 'A-F' 'a-f')
check "Settings holds the 136 first-run bytes" test "$settings" = "$expected_settings"
check "Settings1 holds no extra seconds and the automatic Sum Up" \
  test "$(value_of "$settings_key" Settings1 | tr 'A-F' 'a-f')" = "0000000001000000"
check "the autostart value names the program" \
  test "$(value_of 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' Tolvar)" = "$program"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvar'
check "the uninstall entry is named Tolvar" test "$(value_of "$uninstall_key" DisplayName)" = "Tolvar"
uninstall_command=$(value_of "$uninstall_key" UnInstallString)
check "the uninstall entry runs the INF engine on the script" \
  test "$uninstall_command" = 'RunDll32 advpack.dll,LaunchINFSectionEx C:\windows\INF\Tolvar.inf,Uninstall'
script="$WINEPREFIX/drive_c/windows/inf/Tolvar.inf"
script_folder=$(wine winepath -w "$folder/64-bit/")
check "the uninstall script names the program's folder" grep -qF ",,,,\"$script_folder\"" "$script"
check "Tq.dat is 64 bytes" test "$(stat -c %s "$folder/64-bit/Tq.dat" 2>/dev/null)" = 64

read -r engine arguments <<<"$uninstall_command"
# shellcheck disable=SC2086 # the engine's arguments are two words, as the system would split them
wine "$engine" $arguments >/dev/null
check "Tolvar.exe is removed" test ! -e "$folder/64-bit/Tolvar.exe"
check "Tq.dat is removed" test ! -e "$folder/64-bit/Tq.dat"
check "the settings key is removed" key_missing 'HKCU\Software\Vesk\Tolvar'
check "the autostart value is removed" test -z "$(value_of 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' Tolvar)"
check "the uninstall entry is removed" key_missing "$uninstall_key"
# Wine's INF engine does not carry out Cleanup, which on Windows deletes the script itself: it is the one file
# allowed to stay; so is the vendor's key "Software\Vesk" above the removed one, left for the vendor's other
# programs (it names nothing of Tolvar). The server writes the registry files when it ends.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
left=$(grep -rlis --exclude=Tolvar.inf 'tolvar' "$WINEPREFIX"/*.reg "$WINEPREFIX/drive_c/windows/inf" || true)
check "no registry entry names Tolvar any more" test -z "$left"

echo "release test: $failures failed"
[ "$failures" -eq 0 ]
