#!/usr/bin/env bash
# The loader at work: sets up the machine, builds, packs a small sample installation program
# and companion files into a multi-volume medium with `varn pack`, and runs the Linux loader on
# it, so you see its progress and the program's output. Where Wine is available, loader.exe
# then runs on the same kind of medium, in a virtual display, with a small Windows program: the
# 32-bit one the media ship with where this machine runs 32-bit programs, else the 64-bit one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/probe-32bit.sh

if [ "${1:-}" = "--windows" ]; then
  # The Windows half, inside the virtual display: loader.exe of preset $2 in the medium
  # directory $3.
  if [ "$2" = windows ]; then export VARN_WINE_ARCH=win32; else export VARN_WINE_ARCH=win64; fi
  source scripts/wine-env.sh
  trap wine_env_cleanup EXIT
  temp=$("$VARN_WINE" winepath -u "$("$VARN_WINE" cmd /c echo %TEMP% </dev/null 2>/dev/null |
    tr -d '\r')" 2>/dev/null)
  temp=${temp%/}
  rm -rf "$temp"/varn-setup.*
  (cd "$3" && "$VARN_WINE" "$root/build/$2/loader/loader.exe" </dev/null)
  echo "(loader.exe has ended with exit code $?)"
  # The loader unpacks into a directory of its own below TEMP, varn-setup.XXXXXX.
  recorded() { compgen -G "$temp/varn-setup.*/commandline.txt" | head -n 1 || true; }
  for _ in $(seq 1 300); do [ -n "$(recorded)" ] && [ -s "$(recorded)" ] && break; sleep 0.1; done
  file=$(recorded)
  echo "setup.exe was started in $(dirname "$file") with the command line: $(cat "$file")"
  exit 0
fi

scripts/setup.sh
echo "=== building (native)"
cmake --preset native >/dev/null
cmake --build --preset native -j 2 --target loader loader_make_media >/dev/null
cmake --build --preset native -j 2 --target varn >/dev/null 2>&1 || true

demo=$(mktemp -d "${TMPDIR:-/tmp}/varn-demo.XXXXXX")
trap 'rm -rf "$demo"' EXIT
mkdir -p "$demo/sample" "$demo/medium" "$demo/temp"

# Lays out a medium: pack MEDIUM_DIR FILE...; the first FILE is the installation program.
pack() {
  local medium=$1
  shift
  local varn="$root/build/native/tools/varn/varn"
  if [ -x "$varn" ]; then
    "$varn" pack --output "$medium/setup.1" --volume-size 64k "$@"
  else
    echo "(varn pack is not built yet here: laying the medium out with the test suite's helper)"
    "$root/build/native/tests/loader/loader_make_media" "$medium/setup" 65536 "$@"
  fi
  echo "medium: $(ls "$medium" | wc -l) volumes of at most 64 KiB in $medium"
}

cat >"$demo/sample/install.sh" <<'SCRIPT'
#!/bin/sh
here=$(dirname "$0")
echo "sample installer: started from the medium in $1"
echo "sample installer: companion files beside me in $here:"
for f in "$here"/readme.txt "$here"/payload.bin; do
  echo "  $(basename "$f"): $(wc -c <"$f") bytes"
done
echo "sample installer: $(head -n 1 "$here/readme.txt")"
touch "$here/installed"
SCRIPT
printf 'Thank you for trying the varn setup loader.\n' >"$demo/sample/readme.txt"
head -c 100000 /dev/urandom >"$demo/sample/payload.bin"

echo "=== packing the Linux sample"
pack "$demo/medium" "$demo/sample/install.sh" "$demo/sample/readme.txt" "$demo/sample/payload.bin"

echo "=== running the loader in $demo/medium (TMPDIR=$demo/temp)"
(cd "$demo/medium" && TMPDIR="$demo/temp" "$root/build/native/loader/loader" </dev/null)
echo "(the loader has ended with exit code $?; the installation program runs on its own)"
# The loader unpacks into a new directory of its own below TMPDIR, which it leaves there.
installed() { compgen -G "$demo/temp/varn-setup.*/installed" >/dev/null; }
for _ in $(seq 1 50); do installed && break; sleep 0.1; done
installed || { echo "demo: the installation program did not finish"; exit 1; }

if command -v wineserver >/dev/null && command -v xvfb-run >/dev/null; then
  if runs_32bit_programs; then
    preset=windows
    echo "=== building (windows: the 32-bit loader.exe media ship with)"
  else
    preset=windows64
    echo "=== building (windows64: $(no_32bit_reason), so the 64-bit loader.exe)"
  fi
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j 2 --target loader loader_test_installer >/dev/null
  mkdir -p "$demo/windows medium"
  cp "$root/build/$preset/tests/loader/loader_test_installer.exe" "$demo/sample/setup.exe"
  echo "=== packing the Windows sample (a small program that records its command line)"
  pack "$demo/windows medium" "$demo/sample/setup.exe" "$demo/sample/readme.txt" \
    "$demo/sample/payload.bin"
  echo "=== running build/$preset/loader/loader.exe under Wine in a virtual display"
  # Wine, the loader and the program it starts all live in the one display.
  timeout 300 xvfb-run -a "$0" --windows $preset "$demo/windows medium"
else
  echo "=== Wine or xvfb-run is missing: loader.exe is left out"
fi
echo "=== demo done"
