#!/usr/bin/env bash
# Whole-process `varn test` against bench/plain_decoder.c (the same job in plain C), and
# `varn extract` against `unzip -o` of the same files, in one run on one payload (see
# payload.sh), on tmpfs; and varn extract on its default threads against --threads 1. Prints the
# median of RUNS (default 5) of each, the ratios and varn extract's peak resident memory and
# processor time. BUSY=N keeps N other processes busy meanwhile (the machine under load).
# Usage: bench/cli_bench.sh [VARN]   (default build/native/tools/varn/varn; needs cc and
# libcrypto's headers; zip and unzip for the extract comparison, which is skipped without them)
set -euo pipefail
cd "$(dirname "$0")/.."
varn=$(realpath "${1:-build/native/tools/varn/varn}")
runs=${RUNS:-5}

work=$(mktemp -d "$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/varn-cli-bench.XXXXXX")
busy=()
trap 'rm -rf "$work"; [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}"' EXIT
cc -O2 -o "$work/plain_decoder" bench/plain_decoder.c -lcrypto
source bench/payload.sh
make_payload "$work/files"
"$varn" pack --output "$work/setup.1" "$work"/files/* >/dev/null
echo "medium: $(ls "$work/files" | wc -l) files, $(du -sm "$work/files" | cut -f1) MB, setup.1 $(($(stat -c %s "$work/setup.1") >> 20)) MB"

ms() {  # ms COMMAND...: milliseconds of one run, output discarded; fails with the command
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$(((runs + 1) / 2))p"; }
ratio() { echo "scale=2; $1 / $2" | bc; }

have_unzip=false
if command -v zip >/dev/null && command -v unzip >/dev/null; then
  have_unzip=true
  (cd "$work/files" && zip -q "$work/payload.zip" ./*)
else
  echo "zip or unzip is missing: varn extract is not compared (apt-get install zip unzip)"
fi
for _ in $(seq "${BUSY:-0}"); do
  (while :; do :; done) &
  busy+=($!)
done
[ ${#busy[@]} -eq 0 ] || echo "with ${#busy[@]} busy processes"
plain=() tests=() extracts=() serial=() unzips=()
for _ in $(seq "$runs"); do
  plain+=("$(ms "$work/plain_decoder" "$work/setup.1")")
  tests+=("$(ms "$varn" test "$work/setup.1")")
  rm -rf "$work/out" && mkdir "$work/out"
  extracts+=("$(ms "$varn" extract --directory "$work/out" "$work/setup.1")")
  rm -rf "$work/out" && mkdir "$work/out"
  serial+=("$(ms "$varn" extract --threads 1 --directory "$work/out" "$work/setup.1")")
  if $have_unzip; then
    rm -rf "$work/unzipped" && mkdir "$work/unzipped"
    unzips+=("$(ms unzip -o -q "$work/payload.zip" -d "$work/unzipped")")
  fi
done
diff -rq "$work/files" "$work/out" >/dev/null || { echo "varn extract differs from the payload"; exit 1; }
p=$(median "${plain[@]}") t=$(median "${tests[@]}") e=$(median "${extracts[@]}")
s=$(median "${serial[@]}")
echo "plain_decoder: ${plain[*]} ms, median $p"
echo "varn test:     ${tests[*]} ms, median $t"
echo "varn extract:  ${extracts[*]} ms, median $e"
echo "  --threads 1: ${serial[*]} ms, median $s"
echo "varn test / plain_decoder: $(ratio "$t" "$p")"
echo "varn extract --threads 1 / varn extract: $(ratio "$s" "$e")"
if $have_unzip; then
  u=$(median "${unzips[@]}")
  echo "unzip -o:      ${unzips[*]} ms, median $u"
  echo "unzip -o / varn extract: $(ratio "$u" "$e")"
fi
rm -rf "$work/out" && mkdir "$work/out"
if [ -x /usr/bin/time ]; then
  # The processor time too: files are decoded on several threads at once.
  echo "varn extract peak RSS and processor time: $(/usr/bin/time -f '%M KiB, %U s user, %S s system' \
    "$varn" extract --directory "$work/out" "$work/setup.1" 2>&1 >/dev/null | tail -1)"
fi
