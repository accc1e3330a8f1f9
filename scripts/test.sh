#!/usr/bin/env bash
# Builds every preset and runs its tests: natively, under the sanitizers, and the Windows builds
# under Wine (64-bit always; 32-bit where this machine runs 32-bit programs, and otherwise only
# the checks of its loader.exe that need no Windows); then runs each fuzz target for 40 seconds.
# Ends with a summary: CTest's result for each preset and the sizes of both loader.exe.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
source scripts/probe-32bit.sh

jobs=$(nproc)
summary=()
status=0

# run_tests PRESET SUMMARY_PREFIX [CTEST_ARGUMENTS...]: CTest for a built preset; its result
# line goes into the summary.
run_tests() {
  local preset=$1 prefix=$2 log
  shift 2
  echo "=== $preset: test"
  log=$(mktemp)
  if ! ctest --preset "$preset" -j "$jobs" "$@" 2>&1 | tee "$log"; then status=1; fi
  summary+=("$preset: $prefix$(grep -E 'tests passed|tests failed|No tests were found' "$log" |
    tail -n 1)")
  rm -f "$log"
}

# run_wine_tests PRESET ARCH: the preset's tests in a private Wine prefix of that width.
run_wine_tests() {
  local preset=$1
  export VARN_WINE_ARCH=$2
  source scripts/wine-env.sh
  run_tests "$preset" ""
  wine_env_cleanup
  unset WINEPREFIX VARN_WINE_DIR VARN_WINE_ARCH WINEARCH WINELOADER
}

for preset in native native-asan windows64 windows; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  case $preset in
    windows64) run_wine_tests windows64 win64 ;;
    windows)
      if runs_32bit_programs; then
        run_wine_tests windows win32
      else
        echo "windows: built; tests not run ($(no_32bit_reason)); checking loader.exe as a file"
        run_tests windows "built; tests not run ($(no_32bit_reason)); loader.exe checks: " \
          -L windows-free
      fi
      ;;
    *) run_tests "$preset" "" ;;
  esac
done

# Every fuzz target for 40 seconds, one per processor at a time, after the presets (its own
# summary comes before theirs).
if ! scripts/fuzz.sh 40; then status=1; fi

echo "=== summary"
printf '%s\n' "${summary[@]}"
for preset in windows windows64; do
  echo "$preset: loader.exe is $(stat -c %s "build/$preset/loader/loader.exe") bytes"
done
exit $status
