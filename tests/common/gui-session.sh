# Sourced by the on-screen tests. gui_session SECONDS "$@": skips the test (exit 77) when Wine,
# Xvfb or ImageMagick's import is missing; otherwise runs the calling script again inside an
# Xvfb display, ended after SECONDS, and in there prepares Wine (of VARN_WINE_ARCH, see
# scripts/wine-env.sh) and returns.
gui_session() {
  local seconds=$1
  shift
  local tool
  for tool in wineserver xvfb-run Xvfb xauth import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "skipped: $tool is not installed"
      exit 77
    fi
  done
  if [ -z "${VARN_GUI_DISPLAY_STARTED:-}" ]; then
    export VARN_GUI_DISPLAY_STARTED=1
    timeout "$seconds" xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
    local status=$?
    [ $status -eq 124 ] && echo "FAIL: the test timed out"
    exit $status
  fi
  # A prefix of its own, started inside the display: a wineserver that the caller started
  # without a display keeps a desktop that cannot create windows.
  unset WINEPREFIX
  source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
  # Xvfb has no window manager; Wine then draws the frames itself, so the screenshots show the
  # title bar (caption, no border icons) as Windows would.
  "$VARN_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
}
