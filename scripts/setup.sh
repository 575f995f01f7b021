#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian packages, and makes 32-bit
# Wine run (WoW64, through qemu-user), so that the shipped i686 program can be run.
# Idempotent and non-interactive; safe to run on every build.
set -euo pipefail

packages=(
  build-essential cmake ninja-build googletest libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 msitools wixl
  xvfb x11-apps imagemagick hyperfine
  clang libclang-rt-14-dev clang-format python3 locales
  osslsigncode openssl libssl-dev zip
)
# 32-bit Wine beside wine64 gives 32-bit programs a WoW64 process, as on 64-bit Windows.
wow64_packages=(wine32:i386)
# The kernel runs no 32-bit code here: qemu-user emulates it. Bookworm's qemu 7.2 spends
# about a minute of CPU in its own page bookkeeping at every 32-bit Wine start; the 10.0
# of bookworm-backports starts the same process in a second.
QEMU_PACKAGE=qemu-user
QEMU_MIN_VERSION=1:9.1
QEMU_I386=/usr/bin/qemu-i386
BACKPORTS_LIST=/etc/apt/sources.list.d/bootstrapper-backports.list
BINFMT=/proc/sys/fs/binfmt_misc
WINE32_LOADER=/usr/lib/wine/wine

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

installed() {  # package
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

qemu_is_current() {
  installed "$QEMU_PACKAGE" &&
    dpkg --compare-versions "$(dpkg-query -W -f='${Version}' "$QEMU_PACKAGE")" ge \
      "$QEMU_MIN_VERSION"
}

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
apt_changed=false
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  apt_changed=true
fi
if [ "$codename" = bookworm ] && [ ! -f "$BACKPORTS_LIST" ]; then
  echo "deb http://deb.debian.org/debian bookworm-backports main" |
    "${sudo_cmd[@]}" tee "$BACKPORTS_LIST" >/dev/null
  apt_changed=true
fi

missing=()
for p in "${packages[@]}" "${wow64_packages[@]}"; do
  installed "$p" || missing+=("$p")
done
qemu_is_current || missing+=("$QEMU_PACKAGE/${codename}-backports")

if [ ${#missing[@]} -gt 0 ] || $apt_changed; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  # gdk-pixbuf's i386 trigger cannot run before binfmt is set up below; it says
  # "Exec format error" and does no harm.
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Registers qemu-i386 for 32-bit x86 ELF files. Flag F opens the interpreter now, so the
# registration keeps working whatever happens to the file later.
register_qemu_i386() {
  [ -e "$BINFMT/register" ] ||
    "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null || return 1
  if [ -e "$BINFMT/qemu-i386" ]; then
    grep -qx enabled "$BINFMT/qemu-i386" && grep -qx "interpreter $QEMU_I386" "$BINFMT/qemu-i386" &&
      return 0
    echo -1 | "${sudo_cmd[@]}" tee "$BINFMT/qemu-i386" >/dev/null
  fi
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":qemu-i386:M::$magic:$mask:$QEMU_I386:F" |
    "${sudo_cmd[@]}" tee "$BINFMT/register" >/dev/null
}

wow64_problem=""
if ! qemu_is_current || [ ! -x "$QEMU_I386" ]; then
  wow64_problem="$QEMU_PACKAGE >= $QEMU_MIN_VERSION is not installed (bookworm-backports)"
elif ! register_qemu_i386; then
  wow64_problem="binfmt_misc cannot be mounted or written, so qemu-i386 cannot be registered"
elif ! QEMU_RESERVED_VA=0xffff0000 "$WINE32_LOADER" --version >/dev/null 2>&1; then
  wow64_problem="$WINE32_LOADER does not start under qemu-i386"
fi
if [ -n "$wow64_problem" ]; then
  echo "setup: 32-bit Wine cannot run on this machine: $wow64_problem;" \
    "the WoW64 tests (i686 program) will fail." >&2
fi
