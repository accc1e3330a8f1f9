# Sourced by the scripts that run Windows programs: a private, throw-away Wine prefix for
# VARN_WINE_ARCH (win64, the default, or win32), initialised once, and Wine kept quiet.
# Sets WINEPREFIX unless the caller chose one, and VARN_WINE: the Wine loader to start programs
# with ("$VARN_WINE" program.exe, "$VARN_WINE" winepath -u ...). For win64 that is the 64-bit
# loader itself: Debian's `wine` launcher picks the 32-bit one whenever wine32 is installed,
# even on machines that cannot run it.
export VARN_WINE_ARCH=${VARN_WINE_ARCH:-win64}
case "$VARN_WINE_ARCH" in
  win64)
    VARN_WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
    export WINELOADER=$VARN_WINE
    ;;
  win32) VARN_WINE=$(command -v wine || echo wine) ;;
  *) echo "wine-env: VARN_WINE_ARCH must be win64 or win32, not $VARN_WINE_ARCH" >&2; return 1 ;;
esac
export VARN_WINE
if [ -z "${WINEPREFIX:-}" ]; then
  VARN_WINE_DIR=$(mktemp -d "${TMPDIR:-/tmp}/varn-$VARN_WINE_ARCH.XXXXXX")
  export WINEPREFIX="$VARN_WINE_DIR/prefix"
fi
export WINEARCH=$VARN_WINE_ARCH
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: initialising a private $VARN_WINE_ARCH prefix in $WINEPREFIX"
  "$VARN_WINE" wineboot --init </dev/null >/dev/null 2>&1 || true
  wineserver --wait || true
fi
# One wineserver for the whole run, so each program starts quickly. Its system services are
# started here, detached from our output: started by the first test, they would inherit that
# test's output pipe and the test runner would wait for them for ever.
wineserver -p >/dev/null 2>&1 </dev/null || true
"$VARN_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true

# Ends this prefix's wineserver and removes the prefix if this script made it.
wine_env_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${VARN_WINE_DIR:-}" ]; then rm -rf "$VARN_WINE_DIR"; fi
}
