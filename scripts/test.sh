#!/usr/bin/env bash
# Builds and runs every test: the workflow presets of CMakePresets.json, then
# the release (scripts/release.sh) and the checks of what it ships.
# CONTRIBUTING.md ("What the test command runs") tells what each part is.
#   --skip-windows   leave out the Windows part (a quick local run; never in CI)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
skip_windows=0
for arg in "$@"; do
  case "$arg" in
    --skip-windows) skip_windows=1 ;;
    *) echo "usage: $0 [--skip-windows]" >&2; exit 2 ;;
  esac
done
if [[ $skip_windows == 1 && "${CI:-}" == true ]]; then
  echo "test: --skip-windows is not allowed in CI" >&2
  exit 2
fi
builds="$root/build"
mkdir -p "$builds"
rm -rf "$builds/junit"
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
cd "$root"
# A build folder that an earlier version of this command made with another
# generator is made anew.
for dir in native linux sanitize tsan win32 win64; do
  cache="$builds/$dir/CMakeCache.txt"
  if [[ -f "$cache" ]] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache"; then
    echo "removing $builds/$dir (made with another generator)"
    rm -rf "${builds:?}/$dir"
  fi
done
step() { echo; echo "== $*"; }
trap 'echo "test: failed: $BASH_COMMAND (line $LINENO)" >&2' ERR

# workflow NAME : runs the workflow preset NAME into build/NAME.log; shows
# the log's end and fails when it fails.
workflow() {
  local log="$builds/$1.log" start=$SECONDS
  echo "workflow $1 (log: $log)"
  if ! cmake --workflow --preset "$1" >"$log" 2>&1; then
    grep -E -B2 -A40 "^[0-9 /]+Test +#[0-9]+: .*\*\*\*|^FAILED:|CMake Error|No tests were found" "$log" | tail -n 120 >&2 ||
      tail -n 60 "$log" >&2
    echo "test: the workflow $1 failed (full log: $log)" >&2
    return 1
  fi
  echo "   $(grep -E '^[0-9]+% tests passed' "$log" | paste -sd ';' | sed 's/;/; /g') ($((SECONDS - start)) s)"
}

step "Packages"
# Every package in one apt run, before the first build: apt then picks
# versions of the shared libraries that both architectures (wine32 is
# i386) can have. The static checks need the Windows set's headers.
"$root/scripts/deps.sh" native package host lint sanitize windows release

step "Native builds and tests"
workflow native
workflow lint
workflow linux
workflow sanitize
workflow tsan

if [[ $skip_windows == 1 ]]; then
  echo
  echo "!! Windows modules NOT built or tested (--skip-windows)"
  python3 "$root/scripts/junit_summary.py" "$builds"/junit/*.xml
  exit 0
fi

windows_start=$SECONDS
step "Windows modules and their tests under wine64 and 32-bit wine, side by side"
# A kernel that runs no i386 programs runs the 32-bit wine under qemu-user,
# registered in binfmt_misc for this run only (before the win32 build is
# configured: that decides the time limit of its tests).
emulation="$builds/emulation"
wine32_pid=
# Ends the 32-bit run if it is still going, the wine servers, and the
# emulation this run set up.
stop_windows() {
  set +e
  if [[ -n "$wine32_pid" ]]; then
    kill -- "-$wine32_pid" 2>/dev/null
    wait "$wine32_pid" 2>/dev/null
  fi
  local bits
  for bits in 32 64; do
    WINEPREFIX="$builds/win$bits/wineprefix" timeout 30 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  done
  "$root/scripts/emulate-i386.sh" stop "$emulation"
}
trap stop_windows EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
"$root/scripts/emulate-i386.sh" start "$emulation"

# (set -m: the 32-bit run is a process group of its own, which stop_windows
# ends whole.)
set -m
workflow win32 >"$builds/win32-run.log" 2>&1 &
wine32_pid=$!
set +m
win64_status=0
workflow win64 || win64_status=$?
[[ $win64_status == 0 ]] || { kill -- "-$wine32_pid" 2>/dev/null || true; }
win32_status=0
wait "$wine32_pid" || win32_status=$?
wine32_pid=
cat "$builds/win32-run.log"
[[ $win64_status == 0 && $win32_status == 0 ]] || exit 1

step "Release, and what it ships"
# The release command as a user runs it; then its zip is checked against the
# tested Windows builds, its package against the one the package checks
# passed, and a second run, with another umask, must write the same bytes.
release="$builds/release"
"$root/scripts/release.sh"
release_checks=0
"$root/tests/check_package.sh" "$release/TC_Ombrels.zip" "$builds/win32" "$builds/win64"
release_checks=$((release_checks + 1))
deb=$(cd "$release" && echo tc-ombrels_*.deb)
cmp "$release/$deb" "$builds/linux/check/first/$deb" ||
  { echo "test: the release's $deb is not the package that the package checks passed" >&2; exit 1; }
rm -rf "$builds/release.first"
cp -a "$release" "$builds/release.first"
(umask 0077 && "$root/scripts/release.sh" >/dev/null)
for file in TC_Ombrels.zip "$deb" SHA256SUMS; do
  cmp "$builds/release.first/$file" "$release/$file" ||
    { echo "test: the release's $file differs when made a second time" >&2; exit 1; }
done
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || { echo "test: SHA256SUMS does not match" >&2; exit 1; }
echo "ok release: $deb is the tested package; made again, the same bytes; SHA256SUMS holds"
release_checks=$((release_checks + 1))
# The zipped tools, unpacked as the installer would, each under its wine in
# its build's prefix, for twice as long as one program of the Windows tests
# may run (their TIMEOUT, from CTest).
limit=$(ctest --test-dir "$builds/win32" --show-only=json-v1 | python3 -c '
import json, sys
print(max(int(p["value"]) for t in json.load(sys.stdin)["tests"] for p in t.get("properties", [])
          if p["name"] == "TIMEOUT"))')
limit=$((2 * limit))
# (A server that stays up for the check: no wine of it starts while the
# server of the one before is ending after its idle time.)
for bits_wine in 64:wine64 32:wine; do
  bits=${bits_wine%:*} wine=/usr/lib/wine/${bits_wine#*:}
  export WINEPREFIX="$builds/win$bits/wineprefix" WINEDEBUG=-all WINEARCH=win$bits \
    WINEDLLOVERRIDES="mscoree,mshtml="
  /usr/lib/wine/wineserver -p
  timeout -k 10 "$limit" "$root/tests/check_zip_tools.sh" "$release/TC_Ombrels.zip" "$bits" "$wine" ||
    { echo "test: the zipped $bits-bit tool failed or did not end within $limit s" >&2; exit 1; }
  timeout 30 /usr/lib/wine/wineserver -k || true
  release_checks=$((release_checks + 1))
done
echo
echo "Windows part took $((SECONDS - windows_start)) s"
python3 "$root/scripts/junit_summary.py" "$builds"/junit/*.xml "zip:$release_checks"
