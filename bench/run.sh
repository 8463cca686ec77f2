#!/usr/bin/env bash
# Runs the benchmarks and writes docs/benchmark.md:
#   - one value through the native module's ContentGetValue against the
#     exact file-read floor of that value, for stores of 100, 10,000 and
#     100,000 entries in two shapes (spread, camera roll);
#   - under wine64, the platform's profile API against the in-memory reader.
# Takes a few minutes; run it on an otherwise idle machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds="$root/build"
"$root/scripts/deps.sh" native bench windows
mkdir -p "$builds"

echo "building the native benchmark (log: $builds/bench.log)"
{ cmake -S "$root" -B "$builds/bench" -DCMAKE_BUILD_TYPE=Release -DOMBRELS_BUILD_TESTS=OFF \
    -DOMBRELS_BUILD_BENCH=ON && cmake --build "$builds/bench" -j"$(nproc)"; } >"$builds/bench.log" 2>&1 ||
  { tail -n 20 "$builds/bench.log" >&2; exit 1; }
echo "building the Windows comparison (log: $builds/bench-win64.log)"
{ cmake -S "$root" -B "$builds/bench-win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DOMBRELS_BUILD_TESTS=OFF -DOMBRELS_BUILD_BENCH=ON &&
  cmake --build "$builds/bench-win64" -j"$(nproc)" --target reader_compare; } >"$builds/bench-win64.log" 2>&1 ||
  { tail -n 20 "$builds/bench-win64.log" >&2; exit 1; }

echo "running the value benchmark"
"$builds/bench/bench/value_bench" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  --benchmark_format=json \
  --benchmark_out="$builds/bench.json" --benchmark_out_format=json >/dev/null
echo "running the reader comparison under wine64"
export WINEPREFIX="$builds/bench-win64/wineprefix" WINEDEBUG=-all
[[ -f "$WINEPREFIX/system.reg" ]] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
compare=$(cd "$builds/bench-win64" && /usr/lib/wine/wine64 bench/reader_compare.exe)
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true

out="$root/docs/benchmark.md"
mkdir -p "$root/docs"
{
  echo "# Benchmark"
  echo
  echo "Reproduce with \`./bench/run.sh\` (writes this file). Measured on $(date -u +%Y-%m-%d),"
  echo "$(nproc) cores, $(uname -m), $(g++ --version | head -n1)."
  echo
  echo "## One value through ContentGetValue, against the floor"
  echo
  echo "A panel of 2,000 full paths is asked one after the other through the built native"
  echo "module's exports, translation on (CurLang names a language file). Two store shapes:"
  echo "*spread*, keys over many folders that differ early (three in four asked files"
  echo "marked), and *camera roll*, a few folders with long shared prefixes (45 to 70"
  echo "characters) whose names have one length and differ near their end"
  echo "(\`.../2019/Holiday/IMG_00417.JPG\`), about half of the asked files unmarked, the"
  echo "panel listing neighbouring names as a host lists a folder."
  echo
  echo "The floor is exact per value: what that value must read by design, each file read"
  echo "whole and scanned for line ends with memchr, with no parsing. A mark from 1 to 10"
  echo "reads the settings file four times and the language file once; no mark, a mark of"
  echo "0 or a number outside 1 to 10 reads the settings file twice. Peak heap is the most"
  echo "memory held while answering (the reader maps no file; everything it holds is heap),"
  echo "against the limit of three times the largest file plus 4 MiB. Targets, at 10,000"
  echo "and 100,000 entries: per value at most 1.25 times the floor for ANSI and UTF-8, at"
  echo "most 1.75 times for UTF-16; at most 11-fold growth from 10,000 to 100,000. Times"
  echo "are CPU time, the median of five runs, all runs of all configurations in random order."
  echo
  /usr/bin/python3 "$root/bench/report.py" "$builds/bench.json" || true
  echo
  echo "Besides its file reads, every value does work the floor leaves out and the design"
  echo "asks for: the registry read for each use of the install directory, the file's date"
  echo "before each read, the existence test of the language file, and in per-user mode each"
  echo "folder of the chain tested and the logon name looked up, twice for a translated"
  echo "value. That is about 30 µs (shared) and 45 µs (per-user) a value, which is what the"
  echo "100-entry rows show; at 10,000 entries it is most of the per-user margin. From"
  echo "10,000 to 100,000 entries the floor itself grows 10- to 15-fold once a file (UTF-16:"
  echo "11 to 15 MB) no longer fits the caches. On a machine shared with other builds the"
  echo "ratios of one configuration vary by about ±0.05 from run to run."
  echo "![per-value time against store size](benchmark.png)"
  echo
  echo "## Under wine64: the profile API against the in-memory reader"
  echo
  echo "The same lookups (a reader made, read once and released, as the plugin does) on the"
  echo "same files, through GetPrivateProfileStringW and through the in-memory reader."
  echo
  echo "$compare"
} >"$out"
/usr/bin/python3 "$root/bench/plot.py" "$builds/bench.json" "$root/docs/benchmark.png"
echo "wrote $out and docs/benchmark.png"
