#!/usr/bin/env bash
# loader.exe under 64-bit Wine against bench/plain_loader.c, the same job as a plain C Windows
# program without a window, in one run on one medium: a few hundred executables, libraries and
# text files of this machine (about 60 MB) behind a small Windows program as entry 0, on tmpfs.
# Prints the median of RUNS (default 5) for each and the ratio; several loaders (say, before
# and after a change) are timed in turn in the same run.
# Usage: bench/loader_bench.sh [LOADER_EXE...]   (default build/windows64/loader/loader.exe;
# needs build/native/tools/varn/varn, x86_64-w64-mingw32-gcc, Wine and xvfb-run)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ $# -gt 0 ] || set -- build/windows64/loader/loader.exe
loaders=()
for l in "$@"; do loaders+=("$(realpath "$l")"); done
runs=${RUNS:-5}

if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a "$0" "${loaders[@]}"; fi

work=$(mktemp -d "$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/varn-loader-bench.XXXXXX")
export VARN_WINE_ARCH=win64 TMPDIR=$work
source scripts/wine-env.sh >/dev/null
trap 'wine_env_cleanup; rm -rf "$work"' EXIT

mkdir -p "$work/files" "$work/medium" "$work/plain"
printf 'int main(void) { return 0; }\n' >"$work/noop.c"
x86_64-w64-mingw32-gcc -O2 -s -o "$work/files/setup.exe" "$work/noop.c"
x86_64-w64-mingw32-gcc -O2 -s -o "$work/plain/plain_loader.exe" bench/plain_loader.c -lbcrypt

source bench/payload.sh
make_payload "$work/files"
files=("$work/files/setup.exe")
for f in "$work"/files/*; do [ "$f" != "$work/files/setup.exe" ] && files+=("$f"); done
"$root/build/native/tools/varn/varn" pack --output "$work/medium/setup.1" "${files[@]}" >/dev/null
echo "medium: ${#files[@]} files, $(du -sm "$work/files" | cut -f1) MB, setup.1 $(($(stat -c %s "$work/medium/setup.1") >> 20)) MB"

temp=$("$VARN_WINE" winepath -u "$("$VARN_WINE" cmd /c echo %TEMP% </dev/null 2>/dev/null |
  tr -d '\r')" 2>/dev/null)
# run SUBJECT: seconds for one run from an empty temporary directory.
run() {
  rm -rf "${temp:?}"/*
  local start end
  start=$(date +%s%N)
  (cd "$work/medium" && "$VARN_WINE" "$1" </dev/null >/dev/null 2>&1)
  end=$(date +%s%N)
  # Every file must be there, whole.
  local last=${files[-1]}
  cmp -s "$last" "$temp/$(basename "$last")" || { echo "$1 did not extract the medium" >&2; exit 1; }
  echo $(((end - start) / 1000000))
}
median() { sort -n | sed -n "$(((runs + 1) / 2))p"; }
plain=()
declare -A times
for _ in $(seq "$runs"); do
  plain+=("$(run "$work/plain/plain_loader.exe")")
  for l in "${loaders[@]}"; do times[$l]+="$(run "$l") "; done
done
p=$(printf '%s\n' "${plain[@]}" | median)
echo "plain_loader.exe: ${plain[*]} ms, median $p"
for l in "${loaders[@]}"; do
  m=$(printf '%s\n' ${times[$l]} | median)
  echo "$l: ${times[$l]}ms, median $m, ratio to plain $(echo "scale=2; $m / $p" | bc)"
done
