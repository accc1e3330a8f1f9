# Sourced by the scripts that run Windows programs: a private, throw-away 32-bit Wine prefix,
# initialised once, and Wine kept quiet. Sets WINEPREFIX unless the caller chose one.
if [ -z "${WINEPREFIX:-}" ]; then
  VARN_WINE_DIR=$(mktemp -d "${TMPDIR:-/tmp}/varn-wine.XXXXXX")
  export WINEPREFIX="$VARN_WINE_DIR/prefix"
fi
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: initialising a private prefix in $WINEPREFIX"
  wineboot --init </dev/null >/dev/null 2>&1 || true
  wineserver --wait || true
fi
# One wineserver for the whole run, so each program starts quickly. Its system services are
# started here, detached from our output: started by the first test, they would inherit that
# test's output pipe and the test runner would wait for them for ever.
wineserver -p >/dev/null 2>&1 </dev/null || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
