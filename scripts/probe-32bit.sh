# Sourced by the scripts: runs_32bit_programs tells whether this machine executes 32-bit x86
# programs. It runs one (an 84-byte i386 ELF that exits with 42) rather than trusting a kernel
# version or a CPU flag: a 64-bit kernel may be built or booted without its 32-bit personality,
# and then every i386 program fails with "Exec format error".
runs_32bit_programs() {
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
