#!/usr/bin/env bash
# loader.exe end to end under Wine in an Xvfb display, driven as a person would:
#   success  media in a directory whose name holds a blank; the window while it works (kept as a
#            screenshot), then the extracted files, their times, the command line the stand-in
#            installation program recorded, and exit code 0
#   failures no setup.1, a missing volume, and a sealed medium with a damaged file: the box's
#            text, OK, the failed window (kept as a screenshot), the shutdown button, exit code 0
# Exit 77 (skipped) when there is no Wine, Xvfb or ImageMagick's import.
# Usage: run-loader-gui-test.sh LOADER_EXE INSTALLER_EXE MAKE_MEDIA_EXE DRIVER_EXE ARTEFACTS
set -u
loader_exe=$1
installer_exe=$2
make_media_exe=$3
driver_exe=$4
artefacts=$5
here=$(cd "$(dirname "$0")" && pwd)

source "$here/../../common/gui-session.sh"
gui_session 280 "$@"
mkdir -p "$artefacts"
rm -f "$artefacts"/*.png
work=$(mktemp -d "${TMPDIR:-/tmp}/varn-loader-gui.XXXXXX")
loader_pid=
cleanup() {
  [ -n "$loader_pid" ] && kill -CONT "$loader_pid" 2>/dev/null && kill "$loader_pid" 2>/dev/null
  rm -rf "$work"
  wine_env_cleanup
}
trap cleanup EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

step() {
  echo "--- driver: $*"
  timeout 90 "$VARN_WINE" "$driver_exe" "$@" || fail "driver step $1"
}

shot() {
  import -window root "$artefacts/$1.png" || fail "screenshot $1"
  echo "screenshot: $artefacts/$1.png"
}

start_loader() {  # DIRECTORY
  (cd "$1" && exec "$VARN_WINE" "$loader_exe" >"$work/loader.log" 2>&1) &
  loader_pid=$!
}

wait_loader() {  # NAME: the loader ends by itself, with exit code 0
  for _ in $(seq 1 300); do
    kill -0 "$loader_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$loader_pid" 2>/dev/null; then
    fail "$1: the loader did not end"
    kill "$loader_pid" 2>/dev/null
  fi
  wait "$loader_pid"
  local rc=$?
  loader_pid=
  [ $rc -eq 0 ] || fail "$1: the loader ended with $rc, not 0"
}

temp_windows=$("$VARN_WINE" cmd /c echo %TEMP% </dev/null 2>/dev/null | tr -d '\r')
temp=$("$VARN_WINE" winepath -u "$temp_windows" 2>/dev/null)
temp=${temp%/}
[ -d "$temp" ] || { echo "FAIL: no temporary directory ($temp_windows)"; exit 1; }
rm -f "$temp/installer.exe" "$temp/big.bin" "$temp/readme.txt" "$temp/commandline.txt"

media="$work/my media"
mkdir -p "$media" "$work/source"
cp "$installer_exe" "$work/source/installer.exe"
# Big enough that the extraction is still running when the driver looks at it.
head -c 24000000 /dev/zero >"$work/source/big.bin"
printf 'companion\r\n' >"$work/source/readme.txt"
windows_path() { "$VARN_WINE" winepath -w "$1" 2>/dev/null; }
"$VARN_WINE" "$make_media_exe" "$(windows_path "$media/setup")" 8000000 \
  "$(windows_path "$work/source/installer.exe")" "$(windows_path "$work/source/big.bin")" \
  "$(windows_path "$work/source/readme.txt")" </dev/null || { echo "FAIL: media"; exit 1; }

echo "=== success"
start_loader "$media"
step working moving
# Held still for the picture, then let go.
kill -STOP "$loader_pid" 2>/dev/null
shot working
kill -CONT "$loader_pid" 2>/dev/null
wait_loader success
for _ in $(seq 1 100); do [ -s "$temp/commandline.txt" ] && break; sleep 0.1; done
media_windows=$(windows_path "$media")
expected="$temp_windows\\installer.exe \"$media_windows\""
recorded=$(cat "$temp/commandline.txt" 2>/dev/null)
[ "$recorded" = "$expected" ] || fail "command line is [$recorded], not [$expected]"
for f in installer.exe big.bin readme.txt; do
  cmp -s "$work/source/$f" "$temp/$f" || fail "$f extracted wrongly"
  stamp=$(date -d "@$(stat -c %Y "$temp/$f" 2>/dev/null || echo 0)" '+%F %T')
  [ "$stamp" = "2020-06-18 12:00:00" ] || fail "$f dated $stamp"
done
rm -f "$temp/installer.exe" "$temp/big.bin" "$temp/readme.txt" "$temp/commandline.txt"

failure() {  # NAME DIRECTORY TEXT SCREENSHOT
  echo "=== $1"
  start_loader "$2"
  step box "$3"
  [ -n "$4" ] && shot "$4-box"
  step dismiss
  [ -n "$4" ] && shot "$4"
  step shutdown
  wait_loader "$1"
}

mkdir -p "$work/empty"
failure "no setup.1" "$work/empty" \
  "LOADER: Setup.1 must be in the same directory as the the loader program." failed
rm "$media/setup.2"
failure "a missing volume" "$media" "Could not open the correct disk file 2." ""

# A sealed medium whose last byte, in readme.txt's data, is damaged.
sealed="$work/sealed"
mkdir -p "$sealed"
"$VARN_WINE" "$make_media_exe" --sealed "$(windows_path "$sealed/setup")" 0 \
  "$(windows_path "$work/source/installer.exe")" "$(windows_path "$work/source/readme.txt")" \
  </dev/null || { echo "FAIL: sealed media"; exit 1; }
last=$(( $(stat -c %s "$sealed/setup.1") - 1 ))
byte=$(od -An -tu1 -j "$last" -N1 "$sealed/setup.1" | tr -d ' ')
printf "$(printf '\\%03o' $((byte ^ 255)))" |
  dd of="$sealed/setup.1" bs=1 seek="$last" conv=notrunc status=none
failure "a damaged sealed medium" "$sealed" \
  "LOADER: The installation files are damaged: readme.txt." damaged
[ -e "$temp/commandline.txt" ] && fail "a failed run started the program"
# And its seal (two records: at 333, 148 bytes) wiped out as well: still damaged, not unsealed.
dd if=/dev/zero of="$sealed/setup.1" bs=1 seek=333 count=148 conv=notrunc status=none
failure "a damaged medium whose seal is wiped out" "$sealed" \
  "LOADER: The installation files are damaged: setup.1." ""
[ -e "$temp/commandline.txt" ] && fail "a failed run started the program"
rm -f "$temp/installer.exe" "$temp/big.bin" "$temp/readme.txt"

cat "$work/loader.log"
[ $status -eq 0 ] && echo passed
exit $status
