#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, as many at a time as there are processors, each as a
# single process, and fails on any finding. Arguments: seconds per target (default 60), then the
# targets to run (default: all).
# New inputs gather in build/fuzz/corpus/TARGET, findings in build/fuzz/findings/TARGET, logs
# in build/fuzz/logs; build/fuzz/history.tsv keeps one line per run (for totals over runs).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
targets=(catalogue decoder extract resealed version_block pe_resource signature)
if [ $# -gt 1 ]; then targets=("${@:2}"); fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

# The extraction target writes and removes files for every input: a memory file system when
# there is one.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

# One target: its log, and its summary line in build/fuzz/logs/TARGET.line; fails on a finding.
run_target() {
  local target=$1 work=build/fuzz/corpus/$1 findings=build/fuzz/findings/$1
  local log=build/fuzz/logs/$1.log rc=0 runs rate last cov ft units line
  local inputs=("$work" "fuzz/corpus/$target")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  "build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -malloc_limit_mb=256 \
    -print_final_stats=1 -artifact_prefix="$findings/" "${inputs[@]}" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  units=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' <<<"$last")
  line="fuzz $target: ${seconds}s, ${runs:-0} runs, ${rate:-0} exec/s, cov ${cov:-?}, ft ${ft:-?}, corpus ${units:-?}"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$target" "$seconds" "${runs:-0}" "${rate:-0}" \
    "${cov:-?}" "${ft:-?}" "$rc" >"build/fuzz/logs/$target.history"
  if [ "$rc" -ne 0 ] || [ -n "$(ls -A "$findings")" ]; then
    line+=" FINDING (exit $rc, see $log and $findings)"
    echo "$line" >"build/fuzz/logs/$target.line"
    return 1
  fi
  echo "$line" >"build/fuzz/logs/$target.line"
}

# As many targets at a time as there are processors (FUZZ_JOBS), each a single process: the
# time per target stays what was asked, the whole run takes a fraction of it.
jobs=${FUZZ_JOBS:-$(nproc)}
running=0
for target in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$target" "build/fuzz/findings/$target" build/fuzz/logs
  rm -f "build/fuzz/logs/$target.line" "build/fuzz/logs/$target.history"
  echo "=== fuzz $target: ${seconds}s"
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true

status=0
summary=()
for target in "${targets[@]}"; do
  line=$(cat "build/fuzz/logs/$target.line" 2>/dev/null || echo "fuzz $target: FINDING (no result)")
  cat "build/fuzz/logs/$target.history" >>build/fuzz/history.tsv 2>/dev/null || true
  if [[ $line == *FINDING* ]]; then
    tail -n 40 "build/fuzz/logs/$target.log"
    status=1
  fi
  summary+=("$line")
done

echo "=== fuzz summary"
printf '%s\n' "${summary[@]}"
exit $status
