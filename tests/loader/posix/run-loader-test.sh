#!/usr/bin/env bash
# The Linux loader end to end: real media in a directory whose name holds a blank and a letter
# Windows-1252 lacks, a file archived under a Windows-1252 name (é, €), TMPDIR set
# (with a blank too), a shell-script installation program that records its argument. TMPDIR is
# shared the way /tmp is (world-writable, sticky), and another user (nobody, where this test
# may switch to it) has planted a writable install.sh there: the loader must unpack into a
# directory of its own and run its own program. Then the failures a person meets: no setup.1
# in the current directory (only beside the program) and a missing volume. Then sealed media: a
# run as usual, and a damaged byte in a file's data (in volume 1 and 2), in the catalogue, in
# the seal and in the seal's own hash, each reported by name before anything starts. Every run
# ends with exit code 0 and without waiting for input.
# Usage: run-loader-test.sh LOADER MAKE_MEDIA
set -u
loader=$1
make_media=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/varn-loader.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

media="$work/my media Ж"
temp="$work/tmp dir"
mkdir -p "$media" "$temp" "$work/source"
cat >"$work/source/install.sh" <<'SCRIPT'
#!/bin/sh
printf '%s\n' "$#" "$1" >"$TMPDIR/argument.txt"
SCRIPT
chmod a-x "$work/source/install.sh"
head -c 30000 /dev/zero | tr '\0' 'z' >"$work/source/data.bin"
printf 'companion\n' >"$work/source/readme.txt"
"$make_media" "$media/setup" 4096 "$work/source/install.sh" "$work/source/data.bin" \
  "$work/source/readme.txt" "$(printf 'caf\351 \200.txt')=$work/source/readme.txt" ||
  { echo "FAIL: cannot make the media"; exit 1; }
[ -f "$media/setup.3" ] || fail "the media should span several volumes"

# The plant: a script anyone may rewrite, under the name the loader is about to write and run.
chmod 1777 "$temp"
chmod o+x "$work"
planted='#!/bin/sh
touch "$(dirname "$0")/hijacked"
'
plant="printf '%s' '$planted' >'$temp/install.sh' && chmod 777 '$temp/install.sh'"
if [ "$(id -u)" = 0 ] && setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>/dev/null; then
  setpriv --reuid=nobody --regid=nogroup --clear-groups sh -c "$plant" || fail "cannot plant"
  [ "$(stat -c %U "$temp/install.sh")" = nobody ] || fail "the plant is not nobody's"
else
  sh -c "$plant" || fail "cannot plant"
  [ "$(id -u)" = 0 ] && chown 65534:65534 "$temp/install.sh"
fi

run_loader() {  # DIRECTORY: runs the loader there, stdin not a terminal
  (cd "$1" && TMPDIR="$temp" timeout 30 "$loader" </dev/null >"$work/out" 2>"$work/err")
}

echo "--- success"
run_loader "$media"
rc=$?
[ $rc -eq 0 ] || fail "exit code $rc"
[ -s "$work/out" ] && fail "wrote on stdout"
for _ in $(seq 1 100); do [ -s "$temp/argument.txt" ] && break; sleep 0.1; done
if [ -s "$temp/argument.txt" ]; then
  expected=$(printf '1\n%s' "$media")
  [ "$(cat "$temp/argument.txt")" = "$expected" ] ||
    fail "the program got $(cat "$temp/argument.txt"), not one argument $media"
else
  fail "the installation program did not run"
fi
[ "$(cat "$temp/install.sh")" = "${planted%
}" ] || fail "the planted file was written to"
[ -e "$temp/hijacked" ] && fail "the planted program was run"
private=("$temp"/varn-setup.*)
[ ${#private[@]} -eq 1 ] && [ -d "${private[0]}" ] || fail "no one new directory in TMPDIR"
private=${private[0]}
[ "$(stat -c '%a %u' "$private")" = "700 $(id -u)" ] ||
  fail "the directory is $(stat -c '%a, owned by %u' "$private")"
for f in install.sh data.bin readme.txt; do
  cmp -s "$work/source/$f" "$private/$f" || fail "$f extracted wrongly"
  stamp=$(date -d "@$(stat -c %Y "$private/$f")" '+%F %T')
  [ "$stamp" = "2020-06-18 12:00:00" ] || fail "$f dated $stamp"
done
cmp -s "$work/source/readme.txt" "$private/café €.txt" || fail "café €.txt extracted wrongly"
[ -x "$private/install.sh" ] || fail "the program was not made executable"
head -n 1 "$work/err" | grep -qx "Initializing installation software." || fail "no label first"
tail -n 1 "$work/err" | grep -q "\] 100%$" || fail "the bar did not end at 100%"
cat "$work/err"

check_failure() {  # NAME DIRECTORY MESSAGE
  echo "--- $1"
  rm -f "$temp/argument.txt"
  run_loader "$2"
  local rc=$?
  [ $rc -eq 0 ] || fail "$1: exit code $rc"
  tail -n 1 "$work/err" | grep -qxF "$3" || fail "$1: last line is not \"$3\""
  [ -e "$temp/argument.txt" ] && fail "$1: the program was started"
  cat "$work/err"
}

# setup.1 beside the program, but the current directory is elsewhere.
mkdir -p "$work/program" "$work/elsewhere"
cp "$loader" "$work/program/loader"
cp "$media"/setup.* "$work/program/"
loader="$work/program/loader"
check_failure "setup.1 only beside the program" "$work/elsewhere" \
  "LOADER: Setup.1 must be in the same directory as the the loader program."

rm "$media/setup.2"
check_failure "a missing volume" "$media" "Could not open the correct disk file 2."

flip() {  # FILE OFFSET: inverts one byte
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "$(printf '\\%03o' $((byte ^ 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

sealed="$work/sealed"
mkdir -p "$sealed"
"$make_media" --sealed "$sealed/setup" 4096 "$work/source/install.sh" "$work/source/data.bin" \
  "$work/source/readme.txt" || { echo "FAIL: cannot make the sealed media"; exit 1; }
[ -f "$sealed/setup.2" ] && [ ! -f "$sealed/setup.3" ] || fail "the sealed media should span 2 volumes"
echo "--- sealed"
rm -f "$temp/argument.txt"
run_loader "$sealed"
for _ in $(seq 1 100); do [ -s "$temp/argument.txt" ] && break; sleep 0.1; done
[ -s "$temp/argument.txt" ] || fail "sealed: the installation program did not run"
cat "$work/err"

# The catalogue of three records ends at 497, the seal (180 bytes) at 677; install.sh's data
# follows, data.bin's runs on into volume 2, readme.txt's ends it.
last=$(( $(stat -c %s "$sealed/setup.2") - 1 ))
while read -r volume offset name; do
  flip "$sealed/setup.$volume" "$offset"
  check_failure "sealed, byte $offset of volume $volume" "$sealed" \
    "LOADER: The installation files are damaged: $name."
  flip "$sealed/setup.$volume" "$offset"
done <<DAMAGES
1 690 install.sh
2 0 data.bin
2 $last readme.txt
1 0 setup.1
1 100 setup.1
1 500 setup.1
1 676 setup.1
DAMAGES

# Damage on damage: a byte of install.sh's data, and the seal wiped out as a partial download
# leaves it. The catalogue still names the seal.
cp "$sealed/setup.1" "$work/setup.1.sound"
flip "$sealed/setup.1" 690
dd if=/dev/zero of="$sealed/setup.1" bs=1 seek=497 count=180 conv=notrunc status=none
check_failure "sealed, data and the whole seal damaged" "$sealed" \
  "LOADER: The installation files are damaged: setup.1."
cp "$work/setup.1.sound" "$sealed/setup.1"

[ $status -eq 0 ] && echo passed
exit $status
