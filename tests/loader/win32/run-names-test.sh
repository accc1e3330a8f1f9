#!/usr/bin/env bash
# Archived names under Windows: varn.exe packs files whose names hold é, ß, € and characters of
# 0x80 to 0x9F into a medium that stores them as Windows-1252, and both varn.exe extract and
# loader.exe create the files under the same names, the medium and the output directory named
# with characters outside the ANSI code page; varn.exe lists the names in the ANSI code page to a
# pipe, as ever, and in UTF-8 as JSON; where the native varn is built, it lists
# the same names for that medium and extracts the same files, and packs from them a medium that
# varn.exe extracts under the same names.
# Exit 77 (skipped) when there is no Wine, Xvfb or ImageMagick's import.
# Usage: run-names-test.sh LOADER_EXE VARN_EXE INSTALLER_EXE [NATIVE_VARN]
set -u
loader_exe=$1
varn_exe=$2
installer_exe=$3
native_varn=${4:-}
here=$(cd "$(dirname "$0")" && pwd)

source "$here/../../common/gui-session.sh"
gui_session 200 "$@"
work=$(mktemp -d "${TMPDIR:-/tmp}/varn-names.XXXXXX")
cleanup() {
  rm -rf "$work"
  wine_env_cleanup
}
trap cleanup EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

names=("Grüße – ünïcødé.txt" "€‚ƒ„…†‡ˆ‰Š‹ŒŽ.txt" "‘’“”•–—˜™š›œžŸ.txt")
expected=$(printf '%s\n' installer.exe "${names[@]}" | LC_ALL=C sort)
listed() { (cd "$1" && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort); }

media="$work/鬼 media"
by_varn="$work/by varn Łukasz"
mkdir -p "$work/source" "$media" "$by_varn"
cp "$installer_exe" "$work/source/installer.exe"
for name in "${names[@]}"; do printf '%s\r\n' "$name" >"$work/source/$name"; done
# Wine's Z: is the root of the Linux tree; saying so here spares a Wine process per path, which
# under load has printed its own failure in place of the path.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
(cd "$work/source" &&
  "$VARN_WINE" "$varn_exe" pack --output "$(windows_path "$media/setup.1")" installer.exe \
    "${names[@]}" </dev/null) || fail "varn.exe pack"
"$VARN_WINE" "$varn_exe" list "$(windows_path "$media/setup.1")" </dev/null >"$work/list" ||
  fail "varn.exe list"
"$VARN_WINE" "$varn_exe" list --json "$(windows_path "$media/setup.1")" </dev/null \
  >"$work/json" || fail "varn.exe list --json"
for name in "${names[@]}"; do
  stored=$(printf '%s' "$name" | iconv -f UTF-8 -t CP1252)
  LC_ALL=C grep -qaF -- "$stored" "$media/setup.1" || fail "$name is not stored as Windows-1252"
  LC_ALL=C grep -qaF -- "$stored" "$work/list" || fail "varn.exe lists no $name in Windows-1252"
  grep -qF -- "\"name\":\"$name\"" "$work/json" || fail "varn.exe --json has no $name in UTF-8"
done

"$VARN_WINE" "$varn_exe" extract --directory "$(windows_path "$by_varn")" \
  "$(windows_path "$media/setup.1")" </dev/null || fail "varn.exe extract"
[ "$(listed "$by_varn")" = "$expected" ] ||
  fail "varn.exe extracted [$(listed "$by_varn" | tr '\n' '|')]"
# A name given on the command line selects the file it names.
mkdir -p "$work/one"
"$VARN_WINE" "$varn_exe" extract --directory "$(windows_path "$work/one")" \
  "$(windows_path "$media/setup.1")" "${names[1]}" </dev/null || fail "varn.exe extract NAME"
[ "$(listed "$work/one")" = "${names[1]}" ] || fail "varn.exe extracted [$(listed "$work/one")]"

temp_windows=$("$VARN_WINE" cmd /c echo %TEMP% </dev/null 2>/dev/null | tr -d '\r')
temp=$("$VARN_WINE" winepath -u "$temp_windows" 2>/dev/null)
temp=${temp%/}
[ -d "$temp" ] || { echo "FAIL: no temporary directory ($temp_windows)"; exit 1; }
rm -rf "$temp"/varn-setup.*
(cd "$media" && timeout 60 "$VARN_WINE" "$loader_exe" >"$work/loader.log" 2>&1) ||
  fail "loader.exe did not end by itself with 0"
private=("$temp"/varn-setup.*)
private=${private[0]}
for _ in $(seq 1 100); do [ -s "$private/commandline.txt" ] && break; sleep 0.1; done
[ -s "$private/commandline.txt" ] || fail "loader.exe started no installation program"
for name in "${names[@]}"; do
  cmp -s "$work/source/$name" "$private/$name" || fail "loader.exe did not create $name"
done

if [ -x "$native_varn" ]; then
  json=$("$native_varn" list --json "$media/setup.1") || fail "native varn list"
  for name in installer.exe "${names[@]}"; do
    case "$json" in *"\"name\":\"$name\""*) ;; *) fail "native varn lists no $name: $json" ;; esac
  done
  mkdir -p "$work/by-native"
  "$native_varn" extract --directory "$work/by-native" "$media/setup.1" ||
    fail "native varn extract"
  [ "$(listed "$work/by-native")" = "$expected" ] ||
    fail "native varn extracted [$(listed "$work/by-native" | tr '\n' '|')]"
  # And back: packed on Linux, extracted by varn.exe.
  mkdir -p "$work/from-linux" "$work/by-varn-from-linux"
  (cd "$work/source" && "$native_varn" pack --output "$work/from-linux/setup.1" installer.exe \
    "${names[@]}") || fail "native varn pack"
  "$VARN_WINE" "$varn_exe" extract --directory "$(windows_path "$work/by-varn-from-linux")" \
    "$(windows_path "$work/from-linux/setup.1")" </dev/null || fail "varn.exe extract of Linux media"
  [ "$(listed "$work/by-varn-from-linux")" = "$expected" ] ||
    fail "varn.exe extracted from Linux media [$(listed "$work/by-varn-from-linux" | tr '\n' '|')]"
else
  echo "note: no native varn at [$native_varn]; the names were compared with the expected ones only"
fi

rm -rf "$temp"/varn-setup.*
cat "$work/loader.log"
[ $status -eq 0 ] && echo passed
exit $status
