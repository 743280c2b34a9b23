#!/usr/bin/env bash
# Static analysis of the program's code (core/, win32/) and of the simulated service (tools/rasapi32/); the tests,
# benchmarks and other tools are not covered. cppcheck reads all three folders; clang-tidy reads core/ with the
# native compilation database and win32/ with the x86_64 Windows one; and every mutable global that the x86_64
# build's objects of core/ and win32/ define must be named in the README's "Process-wide state". Exits non-zero on
# any finding.
set -uo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
status=0

sources=$(ls core/*.cpp win32/*.cpp tools/rasapi32/*.cpp)
if ! cppcheck --quiet --std=c++17 --language=c++ --enable=warning,performance,portability \
     --error-exitcode=1 --inline-suppr -I . -D_WIN32 -DWINAPI= -DCALLBACK= \
     --suppress=missingIncludeSystem --suppress=passedByValue $sources; then
  echo "lint: cppcheck found problems"; status=1
fi

# Both compilation databases come from the presets, so the flags and the Windows defines are the build's own.
# The x86_64 build also supplies the objects the globals are read from.
cmake --preset native >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target tolvar_program_objects Tolvar >/dev/null || status=1

checks='-*,bugprone-*,-bugprone-easily-swappable-parameters,-bugprone-narrowing-conversions,-bugprone-implicit-widening-of-multiplication-result,-bugprone-reserved-identifier,clang-analyzer-*,-clang-analyzer-security.insecureAPI.*,performance-*,-performance-no-int-to-ptr'
if ! clang-tidy --quiet -p build/native --checks="$checks" --warnings-as-errors='*' core/*.cpp 2>/dev/null; then
  echo "lint: clang-tidy found problems in the platform-free code"; status=1
fi
# clang parses the Windows files for the mingw target, with mingw's own C++ headers (not gcc's intrinsics).
gccinc=$(echo | x86_64-w64-mingw32-g++-posix -xc++ -E -v - 2>&1 | sed -n '/#include <...> search starts here:/,/End of search list./p' | grep '^ ' | grep -v -E '/12-posix/include(-fixed)?$' | sed 's/^ /--extra-arg=-isystem/')
# shellcheck disable=SC2086 # one argument per include folder
if ! clang-tidy --quiet -p build/win64 --checks="$checks" --warnings-as-errors='*' \
     --extra-arg-before=--target=x86_64-w64-mingw32 $gccinc win32/*.cpp 2>/dev/null; then
  echo "lint: clang-tidy found problems in the Windows code"; status=1
fi

# Every mutable global (a symbol in .data or .bss) the program's own objects define, as "name source".
objects=build/win64/CMakeFiles
globals=$(for object in "$objects"/tolvar_program_objects.dir/{core,win32}/*.obj "$objects"/Tolvar.dir/win32/*.obj; do
  x86_64-w64-mingw32-nm -C --defined-only "$object" |
    awk -v source="${object#"$objects"/*.dir/}" '$2 ~ /^[bBdD]$/ && $3 !~ /^\./ && $3 != "guard" {
      name = $0; sub(/^[^ ]+ [^ ]+ /, "", name); sub(/.*::/, "", name); print name, substr(source, 1, length(source) - 4)
    }'
done | sort -u)
# The README's "Process-wide state" section, under "## Architecture", up to the next heading.
section=$(awk '/^## / { architecture = ($0 == "## Architecture") } /^#/ { inside = 0 }
               architecture && $0 == "### Process-wide state" { inside = 1; next } inside' README.md)
if [ -z "$globals" ]; then
  echo "lint: no mutable globals read from build/win64's objects"; status=1
else
  echo "lint: mutable globals of the program's objects:"
  while read -r name source; do
    if grep -qF "\`$name\`" <<<"$section"; then
      echo "  $name ($source)"
    else
      echo "  $name ($source): not named in the README's \"Process-wide state\""; status=1
    fi
  done <<<"$globals"
fi

[ $status -eq 0 ] && echo "lint: clean"
exit $status
