#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
# Usage: scripts/deps.sh [--wine32]
#   --wine32  also Debian's 32-bit Wine (wine32:i386), which runs the i686 build, after checking that this kernel
#             runs i386 programs at all. Exits 3 with one line giving the reason when it cannot.
set -euo pipefail
packages=(cmake make g++ mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 xvfb
          googletest libgtest-dev libbenchmark-dev imagemagick xdotool x11-utils clang libclang-rt-14-dev
          cppcheck clang-tidy zip libc6-i386)
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_missing() {
  local missing=() p
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
}

install_missing "${packages[@]}"
[ "${1:-}" = "--wine32" ] || exit 0

# The i386 dynamic loader (from libc6-i386, an amd64 package) is itself an i386 program: if the kernel cannot
# start it, it cannot start 32-bit Wine either, and nothing of i386 is installed.
if ! why=$(/lib/ld-linux.so.2 --version 2>&1 >/dev/null); then
  echo "this kernel cannot run i386 programs (/lib/ld-linux.so.2: ${why##*: })"
  exit 3
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "adding the i386 architecture for Debian's 32-bit Wine"
  $sudo_cmd dpkg --add-architecture i386
  $sudo_cmd apt-get update -qq
fi
# wine32 sits beside wine64: the scripts and CTest name each loader by its path, so the x86_64 build keeps wine64.
install_missing wine32:i386
