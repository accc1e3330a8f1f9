#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, one after the other, each as a single process, and
# fails on any finding. Arguments: seconds per target (default 60), then the targets to run
# (default: all).
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

status=0
summary=()
for target in "${targets[@]}"; do
  work=build/fuzz/corpus/$target
  findings=build/fuzz/findings/$target
  log=build/fuzz/logs/$target.log
  mkdir -p "$work" "$findings" build/fuzz/logs
  inputs=("$work" "fuzz/corpus/$target")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  echo "=== fuzz $target: ${seconds}s"
  rc=0
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
  if [ "$rc" -ne 0 ] || [ -n "$(ls -A "$findings")" ]; then
    line+=" FINDING (exit $rc, see $log and $findings)"
    tail -n 40 "$log"
    status=1
  fi
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$target" "$seconds" "${runs:-0}" "${rate:-0}" \
    "${cov:-?}" "${ft:-?}" "$rc" >>build/fuzz/history.tsv
  echo "$line"
  summary+=("$line")
done

echo "=== fuzz summary"
printf '%s\n' "${summary[@]}"
exit $status
