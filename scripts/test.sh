#!/usr/bin/env bash
# Builds and runs every test:
#   1. the native build: unit, contract, end-to-end and hostile-file tests
#      (CTest); a Release build installed with `cmake --install` and
#      packaged with CPack (.deb), both checked; the installed module's
#      column in Double Commander under Xvfb; clang-tidy and cppcheck;
#   2. the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
#      a short run of each fuzz target, the end-to-end tests (concurrency
#      included) under ThreadSanitizer;
#   3. the Windows modules: both cross-built with mingw-w64, their export,
#      import and version tables and their size checked, the tests of each
#      run under its wine (wine64, 32-bit wine) in a single-byte and a
#      double-byte code page, and the plugin zip checked.
# Missing packages are installed when run as root (apt-get), all in one apt
# run before the first build.
#   --skip-windows   leave out part 3 (for a quick local run; never in CI)
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
checks=0
step() { echo; echo "== $*"; }
passed() { checks=$((checks + 1)); }

# build NAME CMAKE-ARGS... : configure and build into build/NAME, quietly
build() {
  local name=$1; shift
  local log="$builds/$name.log"
  echo "building $name (log: $log)"
  if ! { cmake -S "$root" -B "$builds/$name" "$@" &&
         cmake --build "$builds/$name" -j"$(nproc)"; } >"$log" 2>&1; then
    grep -E "error|Error" "$log" | head -n 20 >&2 || tail -n 20 "$log" >&2
    echo "test: the $name build failed (full log: $log)" >&2
    exit 1
  fi
}

# Every package of the run in one apt run, before the first build: apt then
# picks versions of the shared libraries that both architectures (wine32 is
# i386) can have, before an install of one step upgrades them on one side.
step "Packages"
# (The static checks need the Windows set's cross compilers even with
# --skip-windows.)
"$root/scripts/deps.sh" native package host lint sanitize windows

step "Native build and tests"
build native -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
(cd "$builds/native" && ctest --output-on-failure -j"$(nproc)")
passed

step "Linux install and Debian package"
"$root/scripts/deps.sh" package
# The date the packages must carry: SOURCE_DATE_EPOCH, by default the last commit's.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null ||
  stat -c %Y "$root/CMakeLists.txt")}
build linux -DCMAKE_BUILD_TYPE=Release -DOMBRELS_BUILD_TESTS=OFF
rm -rf "$builds/linux-install" "$builds/linux/"*.deb
cmake --install "$builds/linux" --prefix "$builds/linux-install" >/dev/null
# pack [UMASK] : the Debian package, into build/linux, from a fresh staging folder
pack() {
  rm -rf "$builds/linux/_CPack_Packages"
  (umask "${1:-0022}" && cd "$builds/linux" && cpack -G DEB >"$builds/linux-cpack.log" 2>&1) ||
    { tail -n 20 "$builds/linux-cpack.log" >&2; echo "test: cpack failed" >&2; exit 1; }
}
pack
deb=$(echo "$builds/linux/"*.deb)
"$root/tests/check_linux_install.sh" "$builds/linux-install" "$deb" \
  "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$builds/linux/CMakeCache.txt")" "$epoch"
passed
# Packed again, later and with another umask: the same members (the ar
# header keeps the members' modes, which the umask sets).
mv "$deb" "$builds/linux-first.deb"
pack 0077
for member in debian-binary control.tar.gz data.tar.gz; do
  cmp <(ar p "$builds/linux-first.deb" "$member") <(ar p "$deb" "$member") ||
    { echo "test: $member differs when packed a second time" >&2; exit 1; }
done
echo "ok $(basename "$deb"): packed again, the same"
passed

step "The column in a real host: Double Commander under Xvfb"
"$root/scripts/deps.sh" host
"$root/tests/check_doublecmd.sh" "$builds/linux-install/lib/ombrels/TC_Ombrels.wdx" "$builds/doublecmd"
passed

step "Static checks"
"$root/scripts/deps.sh" lint windows
"$root/tests/lint.sh" "$builds/native"
passed

step "Sanitizers and fuzzing"
"$root/scripts/deps.sh" sanitize
build sanitize -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DOMBRELS_SANITIZE=address,undefined -DOMBRELS_BUILD_FUZZ=ON -DOMBRELS_FUZZ_SECONDS=5
(cd "$builds/sanitize" && ctest --output-on-failure -j"$(nproc)")
passed
build tsan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOMBRELS_SANITIZE=thread
(cd "$builds/tsan" && ctest --output-on-failure -j"$(nproc)" -R 'Module')
passed

if [[ $skip_windows == 1 ]]; then
  echo
  echo "!! Windows modules NOT built or tested (--skip-windows)"
  exit 0
fi

windows_start=$SECONDS
step "Windows modules"
"$root/scripts/deps.sh" windows
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "test: the locale ja_JP.UTF-8 is missing (needed for wine's code page 932);" >&2
    echo "      enable it in /etc/locale.gen and run locale-gen" >&2
    exit 1
  fi
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release
build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$builds/win64/CMakeCache.txt")

step "Export, import and version tables; module size"
# The 32-bit stdcall check stays next to the tests under wine: the tests and
# wdxquery take the calling convention from the same header as the module,
# so they would pass with a wrong convention on both sides.
"$root/tests/check_pe_tables.sh" i686-w64-mingw32-objdump "$builds/win32/TC_Ombrels.wdx" \
  pei-i386 TC_Ombrels.wdx
passed
"$root/tests/check_pe_tables.sh" x86_64-w64-mingw32-objdump "$builds/win64/TC_Ombrels.wdx64" \
  pei-x86-64 TC_Ombrels.wdx64
passed
for module in win32/TC_Ombrels.wdx win64/TC_Ombrels.wdx64; do
  python3 "$root/tests/check_pe_version.py" "$builds/$module" "$version" "$(basename "$module")"
  size=$(stat -c %s "$builds/$module")
  ((size < 400 * 1024)) || { echo "test: $module has $size bytes, more than 400 KiB" >&2; exit 1; }
  echo "ok $module: $((size / 1024)) KiB"
  passed
done

# A kernel that runs no 32-bit programs (IA-32 emulation off) runs the
# 32-bit wine under qemu-user, registered in binfmt_misc for this run only.
emulation="$builds/emulation"
"$root/scripts/emulate-i386.sh" start "$emulation"
emulated=$([[ -f "$emulation/added-entry" ]] && echo 1 || echo 0)

# Ends the 32-bit run if it is still going, the wine servers of both
# prefixes, and the emulation this run set up.
stop_wine() {
  [[ -n "${wine32_pid:-}" ]] && kill -- "-$wine32_pid" 2>/dev/null
  local bits
  for bits in 32 64; do
    WINEPREFIX="$builds/win$bits/wineprefix" timeout 30 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  done
  "$root/scripts/emulate-i386.sh" stop "$emulation"
}
trap stop_wine EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# Every program under wine runs with a time limit: a hang fails its run.
# Emulated, a wine program starts and runs several times slower.
wine_limit=$((emulated ? 900 : 300))
# in_time SECONDS COMMAND... : runs COMMAND, killed after SECONDS.
in_time() {
  local limit=$1 status=0; shift
  timeout -k 10 "$limit" "$@" || status=$?
  [[ $status != 124 && $status != 137 ]] || echo "test: killed after $limit s: $*" >&2
  return $status
}
# with_wine BITS : sets up the prefix of the 32- or 64-bit wine (a pure
# 32-bit prefix for the 32-bit one), for run_wine and query_module.
with_wine() {
  bits=$1
  export WINEPREFIX="$builds/win$bits/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ $bits == 32 ]]; then
    wine=/usr/lib/wine/wine
    export WINEARCH=win32
  else
    wine=/usr/lib/wine/wine64
    export WINEARCH=win64
  fi
  [[ -x "$wine" ]] || { echo "test: $wine is missing (scripts/deps.sh windows installs it)" >&2; exit 1; }
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "making the wine prefix $WINEPREFIX"
    in_time "$wine_limit" "$wine" wineboot -i >"$builds/wineboot$bits.log" 2>&1 ||
      { tail -n 20 "$builds/wineboot$bits.log" >&2; echo "test: wineboot failed" >&2; exit 1; }
    # the registry is on disk once the server is gone
    in_time 120 /usr/lib/wine/wineserver -w || { echo "test: wineserver did not end" >&2; exit 1; }
  fi
  grep -q "^#arch=win$bits" "$WINEPREFIX/system.reg" ||
    { echo "test: $WINEPREFIX is not a win$bits prefix; remove it" >&2; exit 1; }
}

# run_wine LOCALE MUST-RUN EXE [FILTER] : runs a test program; MUST-RUN
# names the tests (space-separated) that the code page of LOCALE must not
# skip.
run_wine() {
  local locale=$1 must_run=$2 exe=$3 filter=${4:-*}
  local out start=$SECONDS
  echo "-- win$bits $(basename "$exe") with LC_ALL=$locale"
  if ! out=$(cd "$builds/win$bits" &&
             LC_ALL=$locale in_time "$wine_limit" "$wine" "$exe" "--gtest_filter=$filter" 2>&1); then
    echo "$out" | tail -n 60 >&2
    echo "test: $(basename "$exe") failed under $(basename "$wine") with LC_ALL=$locale" >&2
    exit 1
  fi
  echo "$out" | grep -E "^\[  (PASSED|SKIPPED) " || true
  local name
  for name in $must_run; do
    if ! grep -q "^\[       OK \] $name " <<<"$out"; then
      echo "test: $name did not run with LC_ALL=$locale" >&2
      exit 1
    fi
  done
  echo "   ok ($((SECONDS - start)) s)"
  passed
}

# query_module MODULE : the host tool of the same build loads the module.
query_module() {
  local module=$1 query
  echo "-- win$bits wdxquery.exe loads $module"
  query=$(cd "$builds/win$bits" && in_time "$wine_limit" "$wine" wdxquery.exe "$module" 'C:\none.txt' 2>&1) ||
    { echo "$query" >&2; echo "test: wdxquery.exe failed" >&2; exit 1; }
  grep -q '"Ombrel"  type 8' <<<"$query" && grep -q 'C:\\none.txt  -3 (ft_fieldempty)' <<<"$query" ||
    { echo "$query" >&2; echo "test: unexpected answer from wdxquery.exe" >&2; exit 1; }
  echo "   ok"
  passed
}

single_byte="Win32Os.SingleByteCodePageBestFitAndDefault Win32Os.TranslationOutsideTheCodePageGetsBestFitOrDefault"
double_byte="Win32Os.DoubleByteCodePageNeverCutsACharacter Win32Os.DirectoryChainWalksDoubleByteCharacters"
non_ascii=ModuleTest.FindsANonAsciiNameInAUtf16Store
explain=ModuleTest.ExplainShowsTheRoadOfEachValue  # wdxquery.exe --explain against the module

wine32_pid=

# Each wine has its own prefix and server, and most of their time is spent
# waiting on their servers: the 32-bit tests run beside the 64-bit ones,
# into a log shown when both are done.
step "Tests under wine64 and 32-bit wine, side by side"
wine32_log="$builds/win32/wine-tests.log"
: >"$wine32_log"
# (set -m: the 32-bit run is a process group of its own, which stop_wine
# ends whole.)
set -m
(
  with_wine 32
  run_wine C.UTF-8 "$single_byte" tests/ombrels_unit_tests.exe
  run_wine ja_JP.UTF-8 "$double_byte" tests/ombrels_unit_tests.exe
  run_wine C.UTF-8 "$non_ascii $explain ModuleConcurrency.AnswersStayConsistentWhileFilesAreReplaced" \
    tests/ombrels_module_tests.exe
  run_wine ja_JP.UTF-8 "$non_ascii" tests/ombrels_module_tests.exe 'ModuleTest.*'
  run_wine C.UTF-8 HostileTest.FiftyMegabyteStore tests/ombrels_hostile_tests.exe
  query_module TC_Ombrels.wdx
) >"$wine32_log" 2>&1 &
wine32_pid=$!
set +m
with_wine 64
run_wine C.UTF-8 "$single_byte Win32Os.RegistryViewsOfThe64BitModule" tests/ombrels_unit_tests.exe
run_wine ja_JP.UTF-8 "$double_byte" tests/ombrels_unit_tests.exe
run_wine C.UTF-8 "$non_ascii $explain ModuleConcurrency.AnswersStayConsistentWhileFilesAreReplaced" tests/ombrels_module_tests.exe
run_wine ja_JP.UTF-8 "$non_ascii" tests/ombrels_module_tests.exe 'ModuleTest.*'
run_wine C.UTF-8 HostileTest.FiftyMegabyteStore tests/ombrels_hostile_tests.exe
query_module TC_Ombrels.wdx64
wine32_status=0
wait "$wine32_pid" || wine32_status=$?
wine32_pid=
cat "$wine32_log"
[[ $wine32_status == 0 ]] || { echo "test: the tests under 32-bit wine failed" >&2; exit 1; }
# The checks of the 32-bit run, counted in its subshell, end in "ok".
checks=$((checks + $(grep -c '^   ok' "$wine32_log" || true)))

step "Plugin zip"
zip_files=("$builds/win32/TC_Ombrels.wdx" "$builds/win64/TC_Ombrels.wdx64"
  "$builds/win32/wdxquery.exe" "$builds/win64/wdxquery.exe")
"$root/scripts/package.sh" "${zip_files[@]}" "$version" "$builds/TC_Ombrels.zip"
"$root/tests/check_package.sh" "$builds/TC_Ombrels.zip" "${zip_files[@]}" "$version" "$epoch"
passed
(umask 0077 && "$root/scripts/package.sh" "${zip_files[@]}" "$version" \
  "$builds/TC_Ombrels-again.zip" >/dev/null)
cmp "$builds/TC_Ombrels.zip" "$builds/TC_Ombrels-again.zip" ||
  { echo "test: the zip differs when packed a second time" >&2; exit 1; }
echo "ok TC_Ombrels.zip: packed again, the same"
passed
# The zipped tools, unpacked as the installer would, each under its wine.
in_time $((wine_limit * 2)) "$root/tests/check_zip_tools.sh" "$builds/TC_Ombrels.zip" 64 "$wine"
passed
(with_wine 32 && in_time $((wine_limit * 2)) "$root/tests/check_zip_tools.sh" "$builds/TC_Ombrels.zip" 32 "$wine")
passed

echo
echo "Windows part took $((SECONDS - windows_start)) s"
echo "checks: $checks passed, 0 failed"
