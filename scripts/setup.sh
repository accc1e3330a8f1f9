#!/usr/bin/env bash
# Installs, from Debian's packages, everything the build and the tests need. 64-bit Wine always;
# the i386 architecture and 32-bit Wine only where this machine really runs 32-bit programs.
# Idempotent: prints what it does, and nothing when all is there already.
set -euo pipefail
source "$(dirname "$0")/probe-32bit.sh"

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine64
  xvfb xauth xdotool imagemagick
  openssl osslsigncode
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

need_update=
if runs_32bit_programs; then
  packages+=(wine32:i386)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: enabling the i386 architecture (this machine runs 32-bit programs: wine32)"
    as_root dpkg --add-architecture i386
    need_update=1
  fi
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
  echo "setup: done"
elif [ -n "$need_update" ]; then
  as_root apt-get update -qq
fi
