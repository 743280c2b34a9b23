#!/usr/bin/env bash
# Static analysis of the project's own code: cppcheck over everything, clang-tidy over the native and
# the x86_64 Windows compilation databases. Exits non-zero on any finding.
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

# Native files with the native flags; Windows files with the mingw target and its headers.
checks='-*,bugprone-*,-bugprone-easily-swappable-parameters,-bugprone-narrowing-conversions,-bugprone-implicit-widening-of-multiplication-result,-bugprone-reserved-identifier,clang-analyzer-*,-clang-analyzer-security.insecureAPI.*,performance-*,-performance-no-int-to-ptr'
cmake --preset native >/dev/null -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
if ! clang-tidy --quiet -p build/native --checks="$checks" --warnings-as-errors='*' core/*.cpp 2>/dev/null; then
  echo "lint: clang-tidy found problems in the platform-free code"; status=1
fi
gccinc=$(echo | x86_64-w64-mingw32-g++-posix -xc++ -E -v - 2>&1 | sed -n '/#include <...> search starts here:/,/End of search list./p' | grep '^ ' | grep -v -E '/12-posix/include(-fixed)?$' | sed 's/^ /--extra-arg=-isystem/')
if ! clang-tidy --quiet --checks="$checks" --warnings-as-errors='*' win32/*.cpp -- \
     --target=x86_64-w64-mingw32 -std=c++17 -I. -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0501 \
     -DWINVER=0x0501 -D_WIN32_IE=0x0500 $(echo "$gccinc" | sed 's/--extra-arg=//') 2>/dev/null; then
  echo "lint: clang-tidy found problems in the Windows code"; status=1
fi
[ $status -eq 0 ] && echo "lint: clean"
exit $status
