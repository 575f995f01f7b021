#!/usr/bin/env bash
# Builds the program a second time from the same sources in a fresh tree elsewhere and
# compares the two files byte for byte; also checks that the PE header carries no time stamp.
# Usage: check_reproducible.sh <source dir> <toolchain file> <program built by the suite> <work dir>
set -euo pipefail
source_dir=$1
toolchain=$2
program=$3
work=$4

rm -rf "$work"
cmake -S "$source_dir" -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$work" --target bootstrapper >/dev/null
second="$work/bootstrapper.exe"

objdump=${toolchain##*/toolchain-}
objdump=${objdump%.cmake}-objdump
stamp=$("$objdump" -p "$program" | grep "^Time/Date")
echo "$stamp"
[[ "$stamp" == *"Jan  1 00:00:00 1970" ]] || {
  echo "FAIL: the PE header time stamp is not zero"
  exit 1
}
if cmp "$program" "$second"; then
  echo "identical: $(stat -c %s "$program") bytes, sha256 $(sha256sum < "$program" | cut -c1-16)"
else
  echo "FAIL: two builds of the same sources differ"
  exit 1
fi
rm -rf "$work"
