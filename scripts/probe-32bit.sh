# Sourced by the scripts: runs_32bit_programs tells whether this machine runs 32-bit Windows
# programs for the tests, the demo and the build's checks.
#
# machine_runs_32bit_programs runs one (an 84-byte i386 ELF that exits with 42) rather than
# trusting a kernel version or a CPU flag: a 64-bit kernel may be built or booted without its
# 32-bit personality, and then every i386 program fails with "Exec format error".
# VARN_RUNS_32BIT=1 or 0 stands in for the probe.
#
# runs_32bit_programs is that, unless scripts/setup.sh could not install 32-bit Wine: it then
# leaves the file $varn_no_wine32 (VARN_NO_WINE32_FILE, by default build/no-wine32 of this
# checkout), and every script goes on as on a machine that runs no 32-bit programs until a
# later set-up installs it.
varn_no_wine32=${VARN_NO_WINE32_FILE:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/no-wine32}

machine_runs_32bit_programs() {
  if [ -n "${VARN_RUNS_32BIT:-}" ]; then [ "$VARN_RUNS_32BIT" = 1 ]; return; fi
  local probe status
  probe=$(mktemp "${TMPDIR:-/tmp}/varn-i386.XXXXXX")
  printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00' \
    '\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00' \
    '\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  [ $status -eq 42 ]
}

runs_32bit_programs() {
  [ ! -e "$varn_no_wine32" ] && machine_runs_32bit_programs
}

# Why runs_32bit_programs said no, for the scripts' messages.
no_32bit_reason() {
  if [ -e "$varn_no_wine32" ]; then
    echo "32-bit Wine could not be installed here"
  else
    echo "this machine runs no 32-bit programs"
  fi
}
