#!/usr/bin/env bash
# Checks one Windows build of the bootstrapper as a PE file: machine, GUI subsystem,
# Terminal-Server aware with ASLR and DEP, the embedded administrator manifest, and imports from system DLLs only (msi.dll is
# loaded at run time, never imported or delay-loaded), and for the shipped i686 build its
# size: at most 128 KiB. Prints the file's size and its imports.
#
# Usage: check_pe.sh i686|x86_64 path/to/bootstrapper.exe
set -euo pipefail

arch=$1
exe=$2

case "$arch" in
  i686) format=pei-i386 magic="010b" size_limit=131072 ;;
  x86_64) format=pei-x86-64 magic="020b" size_limit="" ;;
  *) echo "unknown architecture: $arch" >&2; exit 2 ;;
esac

# The DLLs a bootstrapper that runs on a bare Windows may import.
allowed_dlls="kernel32.dll user32.dll advapi32.dll shell32.dll msvcrt.dll"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

[ -f "$exe" ] || { echo "FAIL: no file $exe"; exit 1; }
headers=$("$arch-w64-mingw32-objdump" -p "$exe")

size=$(stat -c %s "$exe")
echo "$exe: $size bytes"
if [ -n "$size_limit" ] && [ "$size" -gt "$size_limit" ]; then
  fail "$size bytes is more than the $size_limit that the shipped program may take"
fi

grep -q "file format $format\$" <<<"$headers" || fail "not a $format file"
grep -Eq "^Magic[[:space:]]+$magic[[:space:]]" <<<"$headers" || fail "optional header magic is not $magic"
grep -Eq "^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)" <<<"$headers" ||
  fail "subsystem is not Windows GUI (2)"

# TERMINAL_SERVER_AWARE (0x8000), DYNAMIC_BASE (0x40) and NX_COMPAT (0x100).
characteristics=$(awk '$1 == "DllCharacteristics" { print $2 }' <<<"$headers")
echo "DllCharacteristics: 0x$characteristics"
for flag in 8000 0040 0100; do
  [ $((0x${characteristics:-0} & 0x$flag)) -ne 0 ] || fail "DllCharacteristics lacks 0x$flag"
done

imports=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$headers" | sort -u)
[ -n "$imports" ] || fail "no imports found"
echo "imports: $(tr '\n' ' ' <<<"$imports")"
for dll in $imports; do
  grep -qw -- "$dll" <<<"$allowed_dlls" || fail "imports $dll, which is not a system DLL of the allow-list"
done
if grep -qx "msi.dll" <<<"$imports"; then fail "imports msi.dll"; fi
# An import or a delay-load descriptor names a DLL in ASCII; the run-time load uses UTF-16.
if grep -aqi "msi\.dll" "$exe"; then
  fail "the file names msi.dll in ASCII (an import or a delay-load)"
fi

if ! grep -aq 'level="requireAdministrator"' "$exe"; then
  fail "no manifest asking for requireAdministrator"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all PE checks passed"
