#!/usr/bin/env bash
# The console toolkit with stderr and stdin not terminals: the label, the bar as one line per
# tenth, the error text with its full stop, the shutdown button pressed without waiting, exit 0.
# Usage: run-console-test.sh CONSOLE_WINDOW
set -u
program=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/varn-console.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0

bar() {
  local filled=$(($1 * 40 / 100))
  printf '[%s%s] %3d%%\n' "$(printf '%*s' $filled '' | tr ' ' '#')" \
    "$(printf '%*s' $((40 - filled)) '' | tr ' ' '-')" "$1"
}

check() {
  local mode=$1 expected=$2
  timeout 20 "$program" "$mode" </dev/null >"$work/out" 2>"$work/err"
  local rc=$?
  if [ $rc -ne 0 ]; then echo "FAIL ($mode): exit code $rc"; status=1; fi
  if [ -s "$work/out" ]; then echo "FAIL ($mode): wrote on stdout"; status=1; fi
  if ! diff -u <(printf '%s' "$expected") "$work/err"; then
    echo "FAIL ($mode): stderr differs"
    status=1
  fi
}

ok="Initializing installation software."$'\n'
for p in 0 10 20 30 40 50 60 70 80 90 100; do ok+=$(bar $p)$'\n'; done
check ok "$ok"

failed="Initializing installation software."$'\n'
for p in 0 10 20 30 40; do failed+=$(bar $p)$'\n'; done
failed+="LOADER: No files in setup.1."$'\n'
check fail "$failed"

[ $status -eq 0 ] && echo passed
exit $status
