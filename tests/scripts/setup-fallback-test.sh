#!/usr/bin/env bash
# scripts/setup.sh against a package mirror in the middle of a sync, with stand-ins for apt-get,
# dpkg, dpkg-query and sudo first on PATH: no root is needed and the machine's own package state
# is never touched. Each case sets what the stand-ins do and checks what setup.sh printed and
# ran, which architectures it left, and whether the scripts then go on without 32-bit programs.
#   setup-fallback-test.sh REPOSITORY
set -uo pipefail
repo=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/varn-setup-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin"
# State of the stand-ins: installed (packages), architectures, update-failures (how many
# updates still fail), broken (packages that cannot be installed), calls (what was run).
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
state=$FAKE_STATE
args=()
for a in "$@"; do [[ $a == -* ]] || args+=("$a"); done
echo "apt-get ${args[*]}" >>"$state/calls"
case ${args[0]} in
  update)
    left=$(cat "$state/update-failures")
    if [ "$left" -gt 0 ]; then
      echo $((left - 1)) >"$state/update-failures"
      echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?" >&2
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
      exit 100
    fi
    ;;
  install)
    for p in "${args[@]:1}"; do
      if grep -qx "$p" "$state/broken"; then
        echo " $p : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed" >&2
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100
      fi
    done
    printf '%s\n' "${args[@]:1}" >>"$state/installed"
    ;;
esac
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
state=$FAKE_STATE
case $1 in
  --print-foreign-architectures) cat "$state/architectures" ;;
  --add-architecture)
    echo "dpkg $*" >>"$state/calls"
    echo "$2" >>"$state/architectures"
    ;;
  --remove-architecture)
    echo "dpkg $*" >>"$state/calls"
    grep -vx "$2" "$state/architectures" >"$state/architectures.new"
    mv "$state/architectures.new" "$state/architectures"
    ;;
  *) exit 2 ;;
esac
EOF
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
package=${!#}
grep -qx "$package" "$FAKE_STATE/installed" || exit 1
echo -n "install ok installed"
EOF
cat >"$work/bin/sudo" <<'EOF'
#!/usr/bin/env bash
exec "$@"
EOF
chmod +x "$work/bin/"*

# Every package setup.sh asks for, as installed on a machine that has the 64-bit set.
all_64bit=$(sed -n '/^packages=(/,/^)/p' "$repo/scripts/setup.sh" | sed '1d;$d' | tr -s ' \n' '\n' |
  sed '/^$/d')

failures=0  # cases
passes=0
problems=0  # within them
fail() {
  echo "FAILED $case_name: $*"
  problems=$((problems + 1))
}

# run_case NAME RUNS_32BIT MISSING ARCHITECTURES UPDATE_FAILURES BROKEN STATUS CALLS ARCHS_AFTER
#          SKIPS_32BIT EXPECTED_OUTPUT
# MISSING: 64-bit packages not yet installed ("wine32:i386" is never installed at first unless
# MISSING is "-wine32", which installs it); CALLS: the apt-get and dpkg calls, ";"-separated;
# SKIPS_32BIT: 1 when the scripts must then go on as without 32-bit programs.
run_case() {
  case_name=$1
  local runs32=$2 missing=$3 archs=$4 update_failures=$5 broken=$6 status=$7 calls=$8
  local archs_after=$9 skips=${10} expected=${11}
  local state="$work/state" problems_before=$problems
  rm -rf "$state"
  mkdir -p "$state"
  echo "$all_64bit" | grep -vxF -f <(tr ' ' '\n' <<<"$missing" | sed '/^$/d;/^-wine32$/d') \
    >"$state/installed"
  [ "$missing" = "-wine32" ] && echo "wine32:i386" >>"$state/installed"
  tr ' ' '\n' <<<"$archs" | sed '/^$/d' >"$state/architectures"
  echo "$update_failures" >"$state/update-failures"
  tr ' ' '\n' <<<"$broken" >"$state/broken"
  : >"$state/calls"
  # A stale mark of an earlier run: the run at hand decides again.
  echo stale >"$work/no-wine32"

  local out actual
  out=$(env PATH="$work/bin:$PATH" FAKE_STATE="$state" VARN_RUNS_32BIT="$runs32" \
    VARN_NO_WINE32_FILE="$work/no-wine32" VARN_SETUP_RETRY_SECONDS=0 \
    bash "$repo/scripts/setup.sh" 2>"$work/stderr")
  actual=$?
  [ "$actual" -eq "$status" ] || fail "exit status $actual, expected $status"
  [ "$out" = "$expected" ] || fail "printed:
$out
expected:
$expected"
  [ "$(paste -sd ';' "$state/calls")" = "$calls" ] ||
    fail "ran: $(paste -sd ';' "$state/calls"), expected: $calls"
  [ "$(paste -sd ' ' "$state/architectures")" = "$archs_after" ] ||
    fail "architectures: $(paste -sd ' ' "$state/architectures"), expected: $archs_after"
  # What test.sh and demo.sh see afterwards, even when told the machine runs 32-bit programs.
  local skipped=0
  (VARN_NO_WINE32_FILE="$work/no-wine32" VARN_RUNS_32BIT=1 &&
    source "$repo/scripts/probe-32bit.sh" && runs_32bit_programs) || skipped=1
  [ "$skipped" = "$skips" ] || fail "runs_32bit_programs gives $((1 - skipped)), expected $((1 - skips))"
  if [ "$skips" = 1 ]; then
    local reason
    reason=$(VARN_NO_WINE32_FILE="$work/no-wine32" && source "$repo/scripts/probe-32bit.sh" &&
      no_32bit_reason)
    [ "$reason" = "32-bit Wine could not be installed here" ] || fail "the scripts say: $reason"
  fi
  # Quiet on stderr when all went well; a failure names what could not be installed.
  if [ "$status" -eq 0 ]; then
    [ -s "$work/stderr" ] && fail "stderr: $(cat "$work/stderr")"
  else
    grep -q '^setup: could not install ' "$work/stderr" || fail "stderr: $(cat "$work/stderr")"
  fi
  if [ "$problems" -eq "$problems_before" ]; then passes=$((passes + 1)); else failures=$((failures + 1)); fi
}

fetch="E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
broken="E: Unable to correct problems, you have held broken packages."

run_case "all there: nothing to say" 1 "-wine32" "i386" 0 "" 0 "" "i386" 0 ""

run_case "no 32-bit programs: no i386, no wine32" 0 "xdotool" "" 0 "" 0 \
  "apt-get update;apt-get install xdotool" "" 0 \
  "setup: installing xdotool
setup: done"

run_case "update retried until the mirror is in sync" 1 "xdotool" "" 2 "" 0 \
  "apt-get update;apt-get update;apt-get update;apt-get install xdotool;dpkg --add-architecture i386;apt-get update;apt-get install wine32:i386" \
  "i386" 0 \
  "setup: installing xdotool
setup: apt-get update failed ($fetch); trying again in 0 s
setup: apt-get update failed ($fetch); trying again in 0 s
setup: done
setup: enabling the i386 architecture (this machine runs 32-bit programs: wine32)
setup: installing wine32:i386
setup: done"

run_case "an index still failing, wine32 unresolvable: i386 undone, no 32-bit" 1 "" "" 3 \
  "wine32:i386" 0 \
  "dpkg --add-architecture i386;apt-get update;apt-get update;apt-get update;apt-get install wine32:i386;dpkg --remove-architecture i386" \
  "" 1 \
  "setup: enabling the i386 architecture (this machine runs 32-bit programs: wine32)
setup: installing wine32:i386
setup: apt-get update failed ($fetch); trying again in 0 s
setup: apt-get update failed ($fetch); trying again in 0 s
setup: apt-get update failed 3 times ($fetch); going on with the indexes it could read
setup: 32-bit Wine could not be installed ($broken); the i386 architecture is disabled again; going on as on a machine that runs no 32-bit programs (VARN_RUNS_32BIT=0)"

run_case "i386 enabled before: it stays" 1 "" "i386" 0 "wine32:i386" 0 \
  "apt-get update;apt-get install wine32:i386" "i386" 1 \
  "setup: installing wine32:i386
setup: 32-bit Wine could not be installed ($broken); going on as on a machine that runs no 32-bit programs (VARN_RUNS_32BIT=0)"

run_case "the 64-bit set must install" 1 "xdotool" "" 3 "xdotool" 100 \
  "apt-get update;apt-get update;apt-get update;apt-get install xdotool" "" 0 \
  "setup: installing xdotool
setup: apt-get update failed ($fetch); trying again in 0 s
setup: apt-get update failed ($fetch); trying again in 0 s
setup: apt-get update failed 3 times ($fetch); going on with the indexes it could read"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
