#!/usr/bin/env bash
# Signed media end to end with the real varn and Linux loader, as a publisher and a user meet
# them: keys made by varn keygen (and one by OpenSSL's command line, where there is one), a
# medium packed and signed, the loader stamped with the publisher's public key. The stamped
# loader installs the signed medium; it refuses, with its one message and without starting
# anything, a medium that is unsigned, signed by another key, changed after signing (found as the
# file is extracted) and changed then sealed anew with the old signature kept. The loader as built
# still installs every medium, signed or not. varn verify agrees with the loader each time.
# Usage: run-signed-loader-test.sh LOADER VARN
set -u
loader=$(realpath "$1")
varn=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/varn-signed.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
refused="LOADER: The installation files are not signed by the publisher of this program: setup.1."

cd "$work" || exit 1
mkdir source temp
cat >source/install.sh <<'SCRIPT'
#!/bin/sh
echo started >"$TMPDIR/started"
SCRIPT
head -c 20000 /dev/urandom >source/data.bin
printf 'companion\n' >source/readme.txt

"$varn" keygen -q -o keys/publisher || fail "keygen"
"$varn" keygen -q -o keys/other || fail "keygen of the other key"
[ "$(stat -c %a keys/publisher.key)" = 600 ] || fail "the private key is not the owner's alone"
"$varn" stamp "$loader" --key keys/publisher.pub -o stamped/loader >stamp.out ||
  fail "stamp: $(cat stamp.out)"
[ -x stamped/loader ] || fail "the stamped loader is not executable"
cmp -s "$loader" stamped/loader && fail "stamping changed nothing"

pack() {  # DIRECTORY VARN-PACK-OPTIONS...: a medium of 8 KiB volumes
  local dir=$1
  shift
  "$varn" pack -q -o "$dir/setup.1" --volume-size 8k "$@" source/install.sh source/data.bin \
    source/readme.txt || fail "pack $dir"
}

run() {  # LOADER DIRECTORY: the run's last line of stderr in $last; whether it started, in $started
  rm -rf temp/* && (cd "$2" && TMPDIR="$work/temp" timeout 30 "$1" </dev/null >/dev/null 2>"$work/err")
  local rc=$?
  [ $rc -eq 0 ] || fail "$2: exit code $rc"
  last=$(tail -n 1 err)
  started=no
  for _ in $(seq 1 50); do
    [ -e temp/started ] && { started=yes; break; }
    [ "$3" = refused ] && break
    sleep 0.1
  done
}

expect() {  # NAME LOADER DIRECTORY installed|refused|refused-while-extracting VERIFY-STATUS
  echo "--- $1"
  run "$2" "$3" "$4"
  case $4 in
    installed)
      [ $started = yes ] || fail "$1: not installed ($last)"
      cmp -s source/data.bin temp/varn-setup.*/data.bin || fail "$1: data.bin extracted wrongly"
      ;;
    refused*)
      [ "$last" = "$refused" ] || fail "$1: last line [$last]"
      [ $started = no ] || fail "$1: the program was started"
      # Refused before extraction: the run's directory holds nothing.
      if [ "$4" = refused ] && [ -n "$(ls -A temp/varn-setup.* 2>/dev/null)" ]; then
        fail "$1: files were extracted before the refusal"
      fi
      ;;
  esac
  "$varn" verify --key keys/publisher.pub "$3/setup.1" >verify.out 2>&1
  local rc=$?
  [ $rc -eq "$5" ] || fail "$1: varn verify exited $rc: $(cat verify.out)"
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
# data.bin's data fills volume 2.
flip changed/setup.2 4000
# The same files, data.bin changed, packed and sealed anew; the publisher's block put back over
# its own (3 records: the block lies after 5 + 3 * 164 + 84 + 3 * 32 bytes).
cp source/data.bin data.orig
flip source/data.bin 100
pack resealed --sign keys/other.key
cp data.orig source/data.bin
block=$((5 + 3 * 164 + 84 + 3 * 32))
dd if=signed/setup.1 of=resealed/setup.1 bs=1 skip=$block seek=$block count=203 conv=notrunc \
  status=none
# Sound as a sealed medium: only the signature can tell.
"$varn" test resealed/setup.1 >/dev/null || fail "the medium sealed anew does not pass varn test"
"$varn" verify resealed/setup.1 2>&1 | grep -q "does not match the medium" ||
  fail "the medium sealed anew is not refused for its signature"

expect "signed, stamped loader" "$work/stamped/loader" signed installed 0
expect "unsigned, stamped loader" "$work/stamped/loader" unsigned refused 1
expect "another key's, stamped loader" "$work/stamped/loader" foreign refused 1
expect "changed after signing, stamped loader" "$work/stamped/loader" changed refused-while-extracting 1
expect "changed and sealed anew, stamped loader" "$work/stamped/loader" resealed refused 1
expect "signed, loader as built" "$loader" signed installed 0
expect "unsigned, loader as built" "$loader" unsigned installed 1

# A key that OpenSSL made signs as well, and its identifier is the one OpenSSL computes.
if command -v openssl >/dev/null; then
  echo "--- a key made by OpenSSL"
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out keys/openssl.key 2>/dev/null
  openssl pkey -in keys/openssl.key -pubout -out keys/openssl.pub
  id=$(openssl pkey -pubin -in keys/openssl.pub -outform DER | sha256sum | cut -c1-64)
  cp -r unsigned byopenssl
  "$varn" sign keys/openssl.key byopenssl/setup.1 >sign.out || fail "sign with OpenSSL's key"
  grep -q "with key $id\$" sign.out || fail "sign names another key: $(cat sign.out)"
  "$varn" verify --key keys/openssl.pub byopenssl/setup.1 >verify.out ||
    fail "verify with OpenSSL's key: $(cat verify.out)"
fi

[ $status -eq 0 ] && echo passed
exit $status
