#!/usr/bin/env bash
# The win32 toolkit on a real (virtual) screen: runs GuiWindow under Wine in an Xvfb display,
# walks it through GuiDriver step by step and keeps a screenshot of each state in ARTEFACTS.
# Exit 77 (skipped) when there is no Wine, Xvfb or ImageMagick's import.
# Usage: run-gui-test.sh GUI_WINDOW_EXE GUI_DRIVER_EXE ARTEFACTS
set -u
window_exe=$1
driver_exe=$2
artefacts=$3
here=$(cd "$(dirname "$0")" && pwd)

source "$here/../../common/gui-session.sh"
gui_session 240 "$@"
mkdir -p "$artefacts"
rm -f "$artefacts"/*.png
work=$(mktemp -d "${TMPDIR:-/tmp}/varn-gui.XXXXXX")
window_pid=
cleanup() {
  [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null
  rm -rf "$work"
  wine_env_cleanup
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- window program output:"
  cat "$work/window.log" 2>/dev/null
  exit 1
}

step() {
  echo "--- driver: $1"
  timeout 90 "$VARN_WINE" "$driver_exe" "$1" || fail "driver step $1"
}

shot() {
  import -window root "$artefacts/$1.png" || fail "screenshot $1"
  echo "screenshot: $artefacts/$1.png"
}

(cd "$work" && exec "$VARN_WINE" "$window_exe" >"$work/window.log" 2>&1) &
window_pid=$!

step working
shot working
touch "$work/raise-error"
step box
shot error-box
step dismiss
shot failed
step shutdown

for _ in $(seq 1 300); do
  kill -0 "$window_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$window_pid" 2>/dev/null && fail "the window program did not end after the shutdown button"
wait "$window_pid"
window_status=$?
window_pid=
cat "$work/window.log"
[ $window_status -eq 0 ] || fail "the window program ended with $window_status, not 0"
echo "passed"
