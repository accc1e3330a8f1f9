#!/usr/bin/env bash
# Installs, from Debian's packages, everything the build and the tests need. 64-bit Wine always;
# the i386 architecture and 32-bit Wine only where this machine really runs 32-bit programs.
# Idempotent: prints what it does, and nothing when all is there already.
#
# A package mirror may be in the middle of a sync: apt-get update is tried three times and then
# goes on with the indexes it could read. The 64-bit set is installed first and must install;
# 32-bit Wine is installed on its own, and when it cannot be, that is said in one line, the i386
# architecture is disabled again if this run enabled it, and the scripts go on as on a machine
# that runs no 32-bit programs (probe-32bit.sh).
set -euo pipefail
source "$(dirname "$0")/probe-32bit.sh"
# This run finds out again whether 32-bit Wine can be had.
rm -f "$varn_no_wine32"

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine64
  xvfb xauth xdotool imagemagick
  openssl osslsigncode
)
# Seconds before the second attempt of apt-get update; twice that before the third.
retry_seconds=${VARN_SETUP_RETRY_SECONDS:-20}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

log=$(mktemp "${TMPDIR:-/tmp}/varn-setup.XXXXXX")
trap 'rm -f "$log"' EXIT

# The first error apt wrote into $log (the one that says why), for a one-line report.
apt_error() {
  local line
  line=$(grep -m 1 '^E: ' "$log" || grep -m 1 '^W: ' "$log" || true)
  echo "${line:-exit status $1}"
}

# apt-get update, once per run (again after a change of architectures).
updated=
update_indexes() {
  [ -n "$updated" ] && return 0
  updated=1
  local attempt status
  for attempt in 1 2 3; do
    status=0
    as_root apt-get update -qq >"$log" 2>&1 || status=$?
    [ $status -eq 0 ] && return 0
    if [ $attempt -lt 3 ]; then
      echo "setup: apt-get update failed ($(apt_error $status)); trying again in" \
        "$((retry_seconds * attempt)) s"
      sleep $((retry_seconds * attempt))
    fi
  done
  echo "setup: apt-get update failed 3 times ($(apt_error $status)); going on with the" \
    "indexes it could read"
}

apt_install() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "$@" >"$log" 2>&1
}

missing=()
for p in "${packages[@]}"; do
  is_installed "$p" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  update_indexes
  status=0
  apt_install "${missing[@]}" || status=$?
  if [ $status -ne 0 ]; then
    cat "$log" >&2
    echo "setup: could not install ${missing[*]}" >&2
    exit $status
  fi
  echo "setup: done"
fi

# 32-bit Wine, where the machine runs 32-bit programs; tried again on every run until it is in.
if machine_runs_32bit_programs && ! is_installed wine32:i386; then
  enabled=
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: enabling the i386 architecture (this machine runs 32-bit programs: wine32)"
    as_root dpkg --add-architecture i386
    enabled=1
    updated=
  fi
  echo "setup: installing wine32:i386"
  update_indexes
  status=0
  apt_install wine32:i386 || status=$?
  if [ $status -eq 0 ]; then
    echo "setup: done"
  else
    reason=$(apt_error $status)
    undone=
    if [ -n "$enabled" ]; then
      if as_root dpkg --remove-architecture i386 >>"$log" 2>&1; then
        undone="; the i386 architecture is disabled again"
      else
        undone="; the i386 architecture stays enabled (packages use it)"
      fi
    fi
    echo "setup: 32-bit Wine could not be installed ($reason)$undone; going on" \
      "as on a machine that runs no 32-bit programs (VARN_RUNS_32BIT=0)"
    mkdir -p "$(dirname "$varn_no_wine32")"
    echo "32-bit Wine could not be installed: $reason" >"$varn_no_wine32"
  fi
fi
