#!/usr/bin/env bash
# Builds both Windows executables and packs them with the users' text and a SHA-256 list of the files into
# dist/Tolvar-2.2.zip. scripts/release-test.sh tests the archive as a user would install and remove it.
set -euo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
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
# The check sums of every other file, in the form sha256sum -c reads.
(cd "$stage/Tolvar-2.2" && sha256sum 32-bit/Tolvar.exe 64-bit/Tolvar.exe READ-ME.txt | sed 's/$/\r/' > SHA256SUMS.txt)
mkdir -p dist
rm -f dist/Tolvar-2.2.zip
# Fixed dates and order, so the same sources give the same archive.
find "$stage" -exec touch -h -d '2026-01-01 00:00:00' {} +
(cd "$stage" && find Tolvar-2.2 -type f | LC_ALL=C sort | zip -q -X -D "$TOLVAR_ROOT/dist/Tolvar-2.2.zip" -@)
echo "dist/Tolvar-2.2.zip:"
unzip -l dist/Tolvar-2.2.zip | sed -n '4,$p'
