#!/usr/bin/env bash
# Runs the benchmarks and writes docs/benchmark.md:
#   - one value through the native module's ContentGetValue against the
#     floor of what that value must do by design, for stores of 100, 10,000 and
#     100,000 entries in seven shapes, and a periodic store made to defeat
#     the search;
#   - under wine64, the platform's profile API against the in-memory reader.
# Takes a few minutes; run it on an otherwise idle machine.
#
#   --baseline REF   also build the module of git revision REF in a scratch
#                    folder and run it interleaved with this tree's, in the
#                    same run: every table then shows both, and their ratio
#   --entries "N..." only stores of these sizes (100, 10000, 100000)
#   --native-only    leave out the comparison under wine64
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds="$root/build"
baseline="" entries="100 10000 100000" wine=1
while [[ $# -gt 0 ]]; do
  case $1 in
    --baseline) baseline=$2; shift 2 ;;
    --entries) entries=$2; shift 2 ;;
    --native-only) wine=0; shift ;;
    *) echo "usage: $0 [--baseline REF] [--entries \"N...\"] [--native-only]" >&2; exit 2 ;;
  esac
done
"$root/scripts/deps.sh" native bench $( ((wine)) && echo windows)
mkdir -p "$builds"

echo "building the native benchmark (log: $builds/bench.log)"
{ cmake -S "$root" -B "$builds/bench" -DCMAKE_BUILD_TYPE=Release -DOMBRELS_BUILD_TESTS=OFF \
    -DOMBRELS_BUILD_BENCH=ON && cmake --build "$builds/bench" -j"$(nproc)"; } >"$builds/bench.log" 2>&1 ||
  { tail -n 20 "$builds/bench.log" >&2; exit 1; }
if [[ -n $baseline ]]; then
  # The baseline's sources as committed, in a scratch folder; only its module
  # is built, with this tree's build settings.
  baseline_commit=$(git -C "$root" rev-parse --verify "$baseline^{commit}")
  echo "building the baseline module of $baseline (${baseline_commit:0:7}; log: $builds/bench-baseline.log)"
  rm -rf "$builds/baseline-src" && mkdir -p "$builds/baseline-src"
  git -C "$root" archive "$baseline_commit" | tar -x -C "$builds/baseline-src"
  { cmake -S "$builds/baseline-src" -B "$builds/bench-baseline" -DCMAKE_BUILD_TYPE=Release \
      -DOMBRELS_BUILD_TESTS=OFF && cmake --build "$builds/bench-baseline" -j"$(nproc)" --target TC_Ombrels; } \
    >"$builds/bench-baseline.log" 2>&1 || { tail -n 20 "$builds/bench-baseline.log" >&2; exit 1; }
  export OMBRELS_BASELINE_MODULE="$builds/bench-baseline/TC_Ombrels.wdx"
fi
if ((wine)); then
  echo "building the Windows comparison (log: $builds/bench-win64.log)"
  { cmake -S "$root" -B "$builds/bench-win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DOMBRELS_BUILD_TESTS=OFF -DOMBRELS_BUILD_BENCH=ON &&
    cmake --build "$builds/bench-win64" -j"$(nproc)" --target reader_compare; } >"$builds/bench-win64.log" 2>&1 ||
    { tail -n 20 "$builds/bench-win64.log" >&2; exit 1; }
fi

echo "running the value benchmark"
# The machine's load over the run: the load average, and how busy its cores
# were (jiffies of user, nice, system, irq and softirq against all).
cpu_jiffies() { awk '/^cpu /{print $2+$3+$4+$7+$8, $2+$3+$4+$5+$6+$7+$8}' /proc/stat; }
load_before=$(cut -d' ' -f1 /proc/loadavg)
read -r busy_before all_before < <(cpu_jiffies)
started=$(date +%s)
"$builds/bench/bench/value_bench" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  --benchmark_filter="^BM_[A-Za-z]+/(${entries// /|})/" --benchmark_format=json \
  --benchmark_out="$builds/bench.json" --benchmark_out_format=json >/dev/null
bench_seconds=$(($(date +%s) - started))
load_after=$(cut -d' ' -f1 /proc/loadavg)
read -r busy_after all_after < <(cpu_jiffies)
busy_percent=$(((busy_after - busy_before) * 100 / (all_after - all_before + 1)))
compare="Not measured in this run (\`--native-only\`)."
if ((wine)); then
  echo "running the reader comparison under wine64"
  export WINEPREFIX="$builds/bench-win64/wineprefix" WINEDEBUG=-all
  [[ -f "$WINEPREFIX/system.reg" ]] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  compare=$(cd "$builds/bench-win64" && /usr/lib/wine/wine64 bench/reader_compare.exe)
  /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
fi

out="$root/docs/benchmark.md"
mkdir -p "$root/docs"
{
  echo "# Benchmark"
  echo
  echo "Reproduce with \`./bench/run.sh$( ((wine)) || echo " --native-only")${baseline:+ --baseline $baseline}$([[ $entries == "100 10000 100000" ]] || echo " --entries \"$entries\"")\`"
  echo "(writes this file). Measured on $(date -u +%Y-%m-%d),"
  echo "$(nproc) cores, $(uname -m), $(g++ --version | head -n1). The value benchmark ran"
  echo "$bench_seconds s; the cores were $busy_percent % busy meanwhile (the benchmark itself keeps one"
  echo "core busy), load average $load_before at its start and $load_after at its end."
  echo
  echo "## One value through ContentGetValue, against the floor"
  echo
  echo "A panel of 2,000 full paths is asked one after the other through the built native"
  echo "module's exports, translation on (CurLang names a language file), from stores of 100,"
  echo "10,000 and 100,000 marks in seven shapes and a periodic one. *Spread*: keys over many folders that differ"
  echo "early, three in four asked files marked. The others are folders of numbered names"
  echo "that the panel lists as a host lists a folder, neighbouring names, about half of them"
  echo "unmarked:"
  echo
  echo "- *camera roll*: long shared prefixes (45 to 70 characters), names of one length that"
  echo "  differ near their end (\`.../2019/Holiday/IMG_00417.JPG\`);"
  echo "- *differ at start*: the number's digits, last digit first, open the key, and a long"
  echo "  ending (78 to 84 characters) is shared (\`/71400-Sicherung/home/anna/Documents/...\`);"
  echo "- *differ in the middle*: a long shared prefix (72 to 85 characters) and a long shared"
  echo "  ending (55 to 66) around a five-digit number"
  echo "  (\`.../Alben Kassel/Scan 00417 Seite links oben, 600 dpi, ...tif\`);"
  echo "- *differ at end*: a long shared prefix (70 to 85 characters) and the number as the"
  echo "  key's last characters, so that the names differ in length too"
  echo "  (\`.../Quittungen Barkasse/Quittung Nr. 417\`);"
  echo "- *beyond ASCII*: laid out as in the middle, with Cyrillic, Greek, German (umlauts, ß)"
  echo "  and CJK folder and file names (\`/home/anna/Документы/.../Снимок 00417 — набережная"
  echo "  вечером, обработанный\`); the ANSI store holds them as UTF-8 without a mark, the code"
  echo "  page of this system;"
  echo "- *case variant*: the beyond-ASCII names in another letter case than asked: every other"
  echo "  name stored in capital letters and asked in small letters, the others stored in small"
  echo "  letters and asked in capitals, so that no one trick of case suits the whole store;"
  echo "- *periodic*, made to defeat a search, at 10,000 and 100,000 entries only: keys of one"
  echo "  short period (\`/a\` 97 times, then \`b\` and a number), half of the panel asking for"
  echo "  them and half for names of that period alone, 240 to 270 characters (\`/a/a/.../a\`),"
  echo "  that no key holds. It is judged by its growth from 10,000 to 100,000 entries against"
  echo "  the floor's, not by the target."
  echo
  echo "The floor is what that value must do by design, each operation done by the benchmark"
  echo "itself with plain system calls, nothing parsed: every file read whole is first tested to"
  echo "be a regular file (only such a file is opened), then opened, its size taken, read and"
  echo "closed (stat, open, fstat, read, close); the registry value is read so for each use of"
  echo "the install directory; one stat for each other existence or date test (each profile"
  echo "reader tests its file's date again before the read; the language file's existence is"
  echo "tested before its reader is made) and for each folder of the per-user chain (here 5:"
  echo "\`/\`, \`/tmp/\`, the install's folder, its \`config/\` and \`config/Quorvel Ombrels/\`);"
  echo "getpwuid_r of the effective user for the user lookup; and each settings or language"
  echo "file read whole and scanned for line ends with memchr. Per value:"
  echo
  echo "| value | mode | registry reads | other stats | user lookups | files read whole |"
  echo "|---|---|---:|---:|---:|---|"
  echo "| empty or digits (no mark, 0, outside 1 to 10) | shared | 2 | 2 | 0 | settings file twice |"
  echo "| a mark name, translated (1 to 10) | shared | 5 | 6 | 0 | settings file 4 times, language file |"
  echo "| empty or digits | per-user | 1 | 7 (5 of the chain) | 1 | shared file, per-user file |"
  echo "| a mark name, translated | per-user | 3 | 16 (10 of the chain) | 2 | shared file twice, per-user file twice, language file |"
  echo
  echo "Peak heap is the most memory held while answering (the reader maps no file;"
  echo "everything it holds is heap), against the limit of three times the largest file plus"
  echo "4 MiB. Target: per value at most 1.2 times the floor, for every size, shape, mode and"
  echo "encoding but the periodic one. Times are CPU time, the median of five runs, all runs"
  echo "of all configurations in random order."
  if [[ -n $baseline ]]; then
    echo
    echo "**Baseline**: the module of $baseline (${baseline_commit:0:7}), built in a scratch folder"
    echo "with the same settings, measured in the same run, its runs interleaved with the others;"
    echo "each table shows it after this tree's figure, and the ratio of the two."
  fi
  echo
  /usr/bin/python3 "$root/bench/report.py" "$builds/bench.json" || true
  echo
  echo "What the value spends beyond the floor is the module's own work: finding the entry in"
  echo "the text, the conversions between ANSI and wide text, joining paths, and its"
  echo "allocations. From 10,000 to 100,000 entries the floor itself grows 10- to 15-fold once"
  echo "a file no longer fits the caches; the growth column gives the value's growth and, in"
  echo "brackets, the floor's."
  echo
  echo "![each shape's time per value against the floor, by store size](benchmark.png)"
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
