#!/usr/bin/env bash
# Signed media with loader.exe under Wine in an Xvfb display, made as a publisher makes them with
# varn.exe (keys and signatures from CNG under Wine): loader.exe stamped with the publisher's
# key installs the signed medium, and refuses with its one message box, starting nothing, a
# medium that is unsigned, signed by another key, changed after signing, or changed and sealed
# anew with the old signature kept. Then the stamped loader.exe is signed (Authenticode) with a
# certificate of a test CA made here, by osslsigncode: the signature verifies, the signed program
# still installs the signed medium, and varn refuses to stamp it again.
# Exit 77 (skipped) when there is no Wine, Xvfb or ImageMagick's import.
# Usage: run-signed-gui-test.sh LOADER_EXE VARN_EXE INSTALLER_EXE DRIVER_EXE
set -u
loader_exe=$1
varn_exe=$2
installer_exe=$3
driver_exe=$4
here=$(cd "$(dirname "$0")" && pwd)

source "$here/../../common/gui-session.sh"
gui_session 280 "$@"
work=$(mktemp -d "${TMPDIR:-/tmp}/varn-signed-gui.XXXXXX")
loader_pid=
cleanup() {
  [ -n "$loader_pid" ] && kill "$loader_pid" 2>/dev/null
  rm -rf "$work"
  wine_env_cleanup
}
trap cleanup EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
refused="LOADER: The installation files are not signed by the publisher of this program: setup.1."

# varn.exe in the work directory, with paths relative to it.
varn() { (cd "$work" && "$VARN_WINE" "$varn_exe" "$@" </dev/null); }
step() {
  echo "--- driver: $*"
  timeout 90 "$VARN_WINE" "$driver_exe" "$@" || fail "driver step $1"
}

temp_windows=$("$VARN_WINE" cmd /c echo %TEMP% </dev/null 2>/dev/null | tr -d '\r')
temp=$("$VARN_WINE" winepath -u "$temp_windows" 2>/dev/null)
temp=${temp%/}
[ -d "$temp" ] || { echo "FAIL: no temporary directory ($temp_windows)"; exit 1; }

cd "$work" || exit 1
mkdir source
cp "$loader_exe" loader.exe
cp "$installer_exe" source/installer.exe
head -c 30000 /dev/urandom >source/data.bin
varn keygen -q -o keys/publisher || fail "keygen"
varn keygen -q -o keys/other || fail "keygen of another key"
varn stamp loader.exe --key keys/publisher.pub -o stamped/loader.exe >/dev/null ||
  fail "stamp"

pack() {  # DIRECTORY VARN-PACK-OPTIONS...
  local dir=$1
  shift
  varn pack -q -o "$dir/setup.1" "$@" source/installer.exe source/data.bin || fail "pack $dir"
}
flip() {  # FILE OFFSET
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

pack signed --sign keys/publisher.key
pack unsigned
pack foreign --sign keys/other.key
cp -r signed changed
flip changed/setup.1 $(($(stat -c %s changed/setup.1) - 100))
# data.bin changed, the medium sealed anew; the publisher's block (after 5 + 2 * 164 + 84 +
# 2 * 32 bytes) put back over the new one.
cp source/data.bin data.orig
flip source/data.bin 100
pack resealed --sign keys/other.key
cp data.orig source/data.bin
dd if=signed/setup.1 of=resealed/setup.1 bs=1 skip=481 seek=481 count=203 conv=notrunc \
  status=none

# The loader extracts into a directory of its own below TEMP, varn-setup.XXXXXX.
start_loader() {  # PROGRAM DIRECTORY
  rm -rf "$temp"/varn-setup.*
  (cd "$2" && exec "$VARN_WINE" "$1" >"$work/loader.log" 2>&1) &
  loader_pid=$!
}
wait_loader() {  # NAME
  for _ in $(seq 1 300); do
    kill -0 "$loader_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$loader_pid" 2>/dev/null && { fail "$1: the loader did not end"; kill "$loader_pid"; }
  wait "$loader_pid"
  local rc=$?
  loader_pid=
  [ $rc -eq 0 ] || fail "$1: the loader ended with $rc"
}
installs() {  # NAME PROGRAM DIRECTORY
  echo "=== $1"
  start_loader "$2" "$3"
  wait_loader "$1"
  local made=("$temp"/varn-setup.*)
  [ ${#made[@]} -eq 1 ] && [ -d "${made[0]}" ] || fail "$1: no one directory of the loader's"
  for _ in $(seq 1 100); do [ -s "${made[0]}/commandline.txt" ] && break; sleep 0.1; done
  [ -s "${made[0]}/commandline.txt" ] || fail "$1: the installation program did not run"
  cmp -s source/data.bin "${made[0]}/data.bin" || fail "$1: data.bin extracted wrongly"
}
refuses() {  # NAME DIRECTORY
  echo "=== $1"
  start_loader "$work/stamped/loader.exe" "$2"
  step box "$refused"
  step dismiss
  step shutdown
  wait_loader "$1"
  compgen -G "$temp/varn-setup.*/commandline.txt" >/dev/null && fail "$1: the program was started"
  # A change after signing is found as data.bin is decoded: the file before it is out by then.
  compgen -G "$temp/varn-setup.*/data.bin" >/dev/null && fail "$1: data.bin was extracted"
}

installs "signed, stamped loader" "$work/stamped/loader.exe" signed
refuses "unsigned" unsigned
refuses "signed by another key" foreign
refuses "changed after signing" changed
refuses "changed and sealed anew" resealed
installs "unsigned, loader as built" "$work/loader.exe" unsigned

# Authenticode after stamping, with a code-signing certificate of a CA made for this test.
if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
  echo "=== Authenticode"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=varn test CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
    -keyout ca.key -out ca.pem 2>/dev/null || fail "test CA"
  openssl req -newkey rsa:2048 -nodes -subj "/CN=varn test publisher" -keyout code.key \
    -out code.csr 2>/dev/null || fail "code-signing request"
  printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n' >code.ext
  openssl x509 -req -in code.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
    -extfile code.ext -out code.pem 2>/dev/null || fail "code-signing certificate"
  osslsigncode sign -certs code.pem -key code.key -n "varn test" -in stamped/loader.exe \
    -out stamped/signed.exe >/dev/null || fail "osslsigncode sign"
  osslsigncode verify -CAfile ca.pem -in stamped/signed.exe >verify.log 2>&1 ||
    { fail "osslsigncode verify"; cat verify.log; }
  grep -q "Signature verification: ok" verify.log || fail "no good signature: $(cat verify.log)"
  installs "signed, stamped and Authenticode-signed loader" "$work/stamped/signed.exe" signed
  varn stamp stamped/signed.exe --key keys/other.pub -o again.exe >stamp.out 2>&1 &&
    fail "a signed program was stamped"
  grep -q "is signed (Authenticode) already" stamp.out || fail "stamp said: $(cat stamp.out)"
else
  echo "osslsigncode or openssl missing: Authenticode not tried"
fi

cat "$work/loader.log"
[ $status -eq 0 ] && echo passed
exit $status
