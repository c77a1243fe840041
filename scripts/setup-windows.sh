#!/usr/bin/env bash
# Installs what the 32-bit Windows cross build and its Wine tests need, from Debian's archive:
# the MinGW-w64 i686 toolchain, the i386 architecture and Wine (32-bit). Where the kernel runs no
# 32-bit programs (ia32 emulation off), 32-bit Wine runs through qemu-user instead, registered
# for i386 programs with binfmt_misc.
# Safe to run again: what is already there is left alone.
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
apt_get() { $SUDO apt-get -o DPkg::Lock::Timeout=600 -y -q "$@"; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

packages=(
  g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
  cmake make dpkg-dev googletest libspdlog-dev libfmt-dev
  wine wine32:i386
)

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done

if [ "${#missing[@]}" -gt 0 ] || [ "$need_update" = 1 ]; then
  apt_get update
fi
if [ "${#missing[@]}" -gt 0 ]; then
  apt_get install --no-install-recommends "${missing[@]}"
fi

# Wine's loader is a 32-bit program; when the kernel cannot start it, let qemu run i386 programs.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  installed qemu-user-static || apt_get install --no-install-recommends qemu-user-static
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # ELF, 32-bit, little endian, executable or shared object, machine i386; F: the interpreter
    # is opened now, so it serves every process whatever its root.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" | $SUDO tee "$binfmt/register" >/dev/null
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "setup-windows: 32-bit Wine cannot start" >&2; exit 1; }
  echo "setup-windows: 32-bit programs run through qemu-user (the kernel has no ia32 emulation)"
fi

for tool in i686-w64-mingw32-g++-posix i686-w64-mingw32-gcc-posix i686-w64-mingw32-windres wine; do
  command -v "$tool" >/dev/null || { echo "setup-windows: $tool missing after install" >&2; exit 1; }
done
echo "setup-windows: done"
