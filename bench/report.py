#!/usr/bin/env python3
"""Turns the benchmark's JSON output into the tables of docs/benchmark.md."""
import json
import sys

# Per value against the exact floor, from 10,000 entries on: ANSI and UTF-8
# at most 1.25 times, UTF-16 at most 1.75 times.
TARGET_RATIO = [1.25, 1.25, 1.75]
TARGET_GROWTH = 11.0
SHAPES = ["spread", "camera roll"]
MODES = ["shared", "per-user"]
ENCODINGS = ["ANSI", "UTF-8 + mark", "UTF-16 LE"]


def main(path):
    runs = json.load(open(path))["benchmarks"]
    value, floor, peak, largest = {}, {}, {}, {}
    # With repetitions, each configuration's median time stands for it, and
    # its highest peak of memory.
    highest = {}
    for run in runs:
        if run.get("run_type") != "aggregate" and "peak_heap_MiB" in run:
            key = tuple(int(part) for part in run["name"].split("/")[1:5])
            highest[key] = max(highest.get(key, 0.0), run["peak_heap_MiB"])
    if any(run.get("aggregate_name") == "median" for run in runs):
        runs = [run for run in runs if run.get("aggregate_name") == "median"]
    for run in runs:
        if run.get("error_occurred"):
            print(f"**{run['name']}: {run.get('error_message', 'failed')}**")
            continue
        name, entries, shape, mode, encoding = run["name"].split("/")[:5]
        key = (int(entries), int(shape), int(mode), int(encoding))
        if name == "BM_Value":
            value[key] = run["cpu_time"]
            peak[key] = highest.get(key, run["peak_heap_MiB"])
            largest[key] = run["largest_file_MiB"]
        else:
            floor[key] = run["cpu_time"]
    print("| entries | shape | mode | encoding | per value (µs) | floor (µs) | ratio | target | "
          "peak heap (MiB) | limit (MiB) |")
    print("|---:|---|---|---|---:|---:|---:|---:|---:|---:|")
    failures = []
    for key in sorted(value):
        entries, shape, mode, encoding = key
        if key not in floor:
            continue
        ratio = value[key] / floor[key]
        target = TARGET_RATIO[encoding] if entries >= 10000 else None
        limit = 3 * largest[key] + 4
        where = f"{entries:,} {SHAPES[shape]} {MODES[mode]} {ENCODINGS[encoding]}"
        print(f"| {entries:,} | {SHAPES[shape]} | {MODES[mode]} | {ENCODINGS[encoding]} | "
              f"{value[key]:,.1f} | {floor[key]:,.1f} | {ratio:.2f} | "
              f"{'' if target is None else f'{target:.2f}'} | {peak[key]:.2f} | {limit:.2f} |")
        if target is not None and ratio > target:
            failures.append(f"ratio {ratio:.2f} ({where})")
        if peak[key] > limit:
            failures.append(f"peak {peak[key]:.2f} MiB ({where})")
    print()
    print("| shape | mode | encoding | growth 10,000 → 100,000 entries |")
    print("|---|---|---|---:|")
    for shape in range(len(SHAPES)):
        for mode in range(len(MODES)):
            for encoding in range(len(ENCODINGS)):
                small, large = (10000, shape, mode, encoding), (100000, shape, mode, encoding)
                if small not in value or large not in value:
                    continue
                growth = value[large] / value[small]
                print(f"| {SHAPES[shape]} | {MODES[mode]} | {ENCODINGS[encoding]} | {growth:.1f}× |")
                if growth > TARGET_GROWTH:
                    failures.append(f"growth {growth:.1f}× ({SHAPES[shape]} {MODES[mode]} "
                                    f"{ENCODINGS[encoding]})")
    print()
    print("Targets met." if not failures else "Targets missed: " + "; ".join(failures) + ".")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
