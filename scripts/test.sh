#!/usr/bin/env bash
# Builds every preset and runs its tests: natively, under the sanitizers, and the Windows
# build under Wine; then runs each fuzz target for 60 seconds. Ends with CTest's summary line
# of each preset.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

source scripts/wine-env.sh
trap 'wineserver -k >/dev/null 2>&1 || true; [ -n "${VARN_WINE_DIR:-}" ] && rm -rf "$VARN_WINE_DIR"' EXIT

jobs=$(nproc)
summary=()
status=0
for preset in native native-asan windows; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset: test"
  log=$(mktemp)
  if ! ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"; then status=1; fi
  summary+=("$preset: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  rm -f "$log"
done

# Every fuzz target for a minute, after the presets (its own summary comes before theirs).
if ! scripts/fuzz.sh 60; then status=1; fi

echo "=== summary"
printf '%s\n' "${summary[@]}"
exit $status
