#!/usr/bin/env python3
"""Turns the benchmark's JSON output into the tables of docs/benchmark.md."""
import json
import sys

# Per value against the exact floor, for every size, shape, mode and
# encoding but the periodic store, which is made to defeat the search: it is
# judged by its growth with the store, against the floor's.
TARGET_RATIO = 1.2
SIZES = [100, 10000, 100000]
SHAPES = ["spread", "camera roll", "differ at start", "differ in the middle", "differ at end",
          "beyond ASCII", "case variant", "periodic"]
NONASCII, CASE, PERIODIC = 5, 6, 7
MODES = ["shared", "per-user"]
ENCODINGS = ["ANSI", "UTF-8 + mark", "UTF-16 LE"]


def load(path):
    """Median CPU time of each benchmark, the highest peak heap of its runs."""
    runs = json.load(open(path))["benchmarks"]
    value, floor, peak, largest, errors = {}, {}, {}, {}, []
    highest = {}
    for run in runs:
        if (run.get("run_type") != "aggregate" and "peak_heap_MiB" in run
                and run["name"].startswith("BM_Value/")):
            key = tuple(int(part) for part in run["name"].split("/")[1:5])
            highest[key] = max(highest.get(key, 0.0), run["peak_heap_MiB"])
    if any(run.get("aggregate_name") == "median" for run in runs):
        runs = [run for run in runs if run.get("aggregate_name") == "median"]
    for run in runs:
        if run.get("error_occurred"):
            errors.append(f"**{run['name']}: {run.get('error_message', 'failed')}**")
            continue
        name, entries, shape, mode, encoding = run["name"].split("/")[:5]
        key = (int(entries), int(shape), int(mode), int(encoding))
        if name == "BM_Value":
            value[key] = run["cpu_time"]
            peak[key] = highest.get(key, run["peak_heap_MiB"])
            largest[key] = run["largest_file_MiB"]
        elif name == "BM_Floor":
            floor[key] = run["cpu_time"]
    return value, floor, peak, largest, errors


def load_candidates(path):
    """Lines the search reported per lookup, by configuration."""
    found = {}
    for run in json.load(open(path))["benchmarks"]:
        if (run["name"].startswith("BM_Value/") and "candidates_per_lookup" in run
                and run.get("run_type") != "aggregate"):
            key = tuple(int(part) for part in run["name"].split("/")[1:5])
            found[key] = run["candidates_per_lookup"]
    return found


def load_baseline(path):
    """Median CPU time of the baseline module's values, when it ran."""
    runs = json.load(open(path))["benchmarks"]
    if any(run.get("aggregate_name") == "median" for run in runs):
        runs = [run for run in runs if run.get("aggregate_name") == "median"]
    baseline = {}
    for run in runs:
        name, entries, shape, mode, encoding = run["name"].split("/")[:5]
        if name == "BM_Baseline" and not run.get("error_occurred"):
            baseline[(int(entries), int(shape), int(mode), int(encoding))] = run["cpu_time"]
    return baseline


def main(path):
    value, floor, peak, largest, errors = load(path)
    baseline = load_baseline(path)
    for error in errors:
        print(error)
    ratio = {key: value[key] / floor[key] for key in value if key in floor}
    base_ratio = {key: baseline[key] / floor[key] for key in baseline if key in floor}
    configs = [(mode, encoding) for mode in range(len(MODES)) for encoding in range(len(ENCODINGS))]
    sizes = [size for size in SIZES if any(key[0] == size for key in ratio)]

    def worst(ratios, size, shape):
        found = [(ratios[k], k) for k in ((size, shape, m, e) for m, e in configs) if k in ratios]
        return max(found) if found else None

    print("Worst ratio to the floor of each shape, over both modes and the three encodings" +
          (", this tree's and the baseline's (each its own worst configuration), and the "
           "difference:" if baseline else ":"))
    def shape_table(cell):
        print()
        print("| shape | " + " | ".join(f"{size:,} entries" for size in sizes) + " |")
        print("|---|" + "---:|" * len(sizes))
        for shape, shape_name in enumerate(SHAPES):
            print(f"| {shape_name} | " + " | ".join(cell(size, shape) for size in sizes) + " |")
        print()

    def worst_cell(size, shape):
        now = worst(ratio, size, shape)
        if not now:
            return ""
        (high, (_, _, mode, encoding)) = now
        cell = f"{high:.2f} ({MODES[mode]}, {ENCODINGS[encoding]})"
        base = worst(base_ratio, size, shape)
        if base:
            cell += f" / baseline {base[0]:.2f}: {high - base[0]:+.2f}"
        return cell

    shape_table(worst_cell)

    candidates = load_candidates(path)
    if candidates:
        print("Lines the reader's search reports per mark lookup (each then compared whole; "
              "50 names of the panel; ANSI and UTF-8 alike, then UTF-16):")

        def candidate_cell(size, shape):
            utf8 = candidates.get((size, shape, 0, 1))
            utf16 = candidates.get((size, shape, 0, 2))
            return f"{utf8:.2f} / {utf16:.2f}" if utf8 is not None and utf16 is not None else ""

        shape_table(candidate_cell)

    print("The case variant asks for names its store holds in another letter case (half of "
          "them in capitals asked in small letters, half the other way round); its time per "
          "value against the same names stored as asked (beyond ASCII):")
    print()
    print("| mode | encoding | " + " | ".join(f"{size:,} entries" for size in SIZES) + " |")
    print("|---|---|" + "---:|" * len(SIZES))
    for mode, encoding in configs:
        cells = []
        for size in SIZES:
            case, same = (size, CASE, mode, encoding), (size, NONASCII, mode, encoding)
            cells.append(f"{value[case] / value[same]:.2f}×" if case in value and same in value
                         else "")
        print(f"| {MODES[mode]} | {ENCODINGS[encoding]} | " + " | ".join(cells) + " |")
    print()

    extra = " baseline (µs) | baseline ratio | this ÷ baseline |" if baseline else ""
    print("| entries | shape | mode | encoding | per value (µs) | floor (µs) | ratio | target | "
          "growth from 10,000 (floor) | peak heap (MiB) | limit (MiB) |" + extra)
    print("|---:|---|---|---|---:|---:|---:|---:|---:|---:|---:|" + ("---:|" * 3 if baseline else ""))
    failures = []
    for key in sorted(ratio):
        entries, shape, mode, encoding = key
        target = TARGET_RATIO if shape != PERIODIC else None
        limit = 3 * largest[key] + 4
        where = f"{entries:,} {SHAPES[shape]} {MODES[mode]} {ENCODINGS[encoding]}"
        small = (10000, shape, mode, encoding)
        growth = ""
        if entries == 100000 and small in ratio:
            growth = f"{value[key] / value[small]:.1f}× ({floor[key] / floor[small]:.1f}×)"
        print(f"| {entries:,} | {SHAPES[shape]} | {MODES[mode]} | {ENCODINGS[encoding]} | "
              f"{value[key]:,.1f} | {floor[key]:,.1f} | {ratio[key]:.2f} | "
              f"{'' if target is None else f'{target:.2f}'} | {growth} | {peak[key]:.2f} | "
              f"{limit:.2f} |" +
              (f" {baseline[key]:,.1f} | {base_ratio[key]:.2f} | {value[key] / baseline[key]:.2f} |"
               if key in baseline and key in base_ratio else (" | | |" if baseline else "")))
        if target is not None and ratio[key] > target:
            failures.append(f"ratio {ratio[key]:.2f} ({where})")
        if peak[key] > limit:
            failures.append(f"peak {peak[key]:.2f} MiB ({where})")
    print()
    print("Targets met." if not failures else "Targets missed: " + "; ".join(failures) + ".")
    return 1 if failures or errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
