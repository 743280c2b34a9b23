#!/usr/bin/env bash
# Builds both Windows executables and packs them with the users' text and a SHA-256 list of the files into
# dist/Tolvar-2.2.zip. The same commit gives the same bytes wherever it is built (the executables carry no link time,
# the archive the commit's time, fixed modes and a fixed order), so anyone can rebuild it and check the published
# sums. scripts/release-test.sh checks that, and tests the archive as a user would install and remove it.
# SOURCE_DATE_EPOCH, when set, stands for the commit's time (a copy of the sources without its history needs it).
set -euo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    { echo "release: no commit to date the archive by; set SOURCE_DATE_EPOCH"; exit 1; }
fi
export SOURCE_DATE_EPOCH
bash scripts/deps.sh
for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" --target Tolvar >/dev/null
done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/Tolvar-2.2/32-bit" "$stage/Tolvar-2.2/64-bit"
cp build/win32/Tolvar.exe "$stage/Tolvar-2.2/32-bit/"
cp build/win64/Tolvar.exe "$stage/Tolvar-2.2/64-bit/"
# The users' text has Windows line ends.
sed 's/$/\r/' dist-src/READ-ME.txt > "$stage/Tolvar-2.2/READ-ME.txt"
# The check sums of every other file, one "SHA256 (name) = sum" line each: sha256sum -c and shasum -a 256 -c both
# read that form with the Windows line ends Notepad needs (shasum takes the other form's CR for part of the name).
(cd "$stage/Tolvar-2.2" && sha256sum --tag 32-bit/Tolvar.exe 64-bit/Tolvar.exe READ-ME.txt | sed 's/$/\r/' > SHA256SUMS.txt)
mkdir -p dist
rm -f dist/Tolvar-2.2.zip
# The modes, dates and order of the files, whatever the umask, time zone and folder order of the machine.
find "$stage/Tolvar-2.2" -type f -exec chmod 0644 {} +
chmod 0755 "$stage/Tolvar-2.2/32-bit/Tolvar.exe" "$stage/Tolvar-2.2/64-bit/Tolvar.exe"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$stage" && find Tolvar-2.2 -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D "$TOLVAR_ROOT/dist/Tolvar-2.2.zip" -@)
echo "dist/Tolvar-2.2.zip:"
unzip -l dist/Tolvar-2.2.zip | sed -n '4,$p'
