#!/usr/bin/env bash
# Installs what is missing, then builds the three trees: the native core with its unit
# tests (build/native), the shipping i686 program (build/win32), the x86_64 program that
# runs under Wine here (build/win64), and, with --sanitize, the unit tests and fuzzers under
# AddressSanitizer and UBSan (build/sanitize, clang).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

sanitize=false
[ "${1:-}" = "--sanitize" ] && sanitize=true

jobs=$(nproc)
configure() {  # build dir, extra cmake arguments...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel "$@" >/dev/null
}

configure build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
configure build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
configure build/native -DCMAKE_BUILD_TYPE=Debug
trees=(build/win32 build/win64 build/native)
if $sanitize; then
  CC=clang CXX=clang++ configure build/sanitize -DCMAKE_BUILD_TYPE=Debug -DBOOT_SANITIZE=ON
  trees+=(build/sanitize)
fi
for dir in "${trees[@]}"; do
  cmake --build "$dir" -j "$jobs"
done
