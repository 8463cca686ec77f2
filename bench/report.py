#!/usr/bin/env python3
"""Turns the benchmark's JSON output into the table of docs/benchmark.md."""
import json
import sys

TARGET_RATIO = 3.0
TARGET_GROWTH = 12.0


def main(path):
    runs = json.load(open(path))["benchmarks"]
    value, floor, peak, largest = {}, {}, {}, {}
    for run in runs:
        name, entries, mode, encoding = run["name"].split("/")[:4]
        key = (int(entries), int(mode), int(encoding))
        if name == "BM_Value":
            value[key] = run["real_time"]
            peak[key] = run["peak_heap_MiB"]
            largest[key] = run["largest_file_MiB"]
        else:
            floor[key] = run["real_time"]
    modes, encodings = ["shared", "per-user"], ["ANSI", "UTF-8 + mark", "UTF-16 LE"]
    print("| entries | mode | encoding | per value (µs) | floor (µs) | ratio | "
          "peak heap (MiB) | limit (MiB) |")
    print("|---:|---|---|---:|---:|---:|---:|---:|")
    failures = []
    for key in sorted(value):
        entries, mode, encoding = key
        ratio = value[key] / floor[key]
        limit = 3 * largest[key] + 4
        print(f"| {entries:,} | {modes[mode]} | {encodings[encoding]} | {value[key]:,.1f} | "
              f"{floor[key]:,.1f} | {ratio:.2f} | {peak[key]:.2f} | {limit:.2f} |")
        if entries >= 10000 and ratio > TARGET_RATIO:
            failures.append(f"ratio {ratio:.2f} at {key}")
        if peak[key] > limit:
            failures.append(f"peak {peak[key]:.2f} MiB at {key}")
    print()
    print("| mode | encoding | growth 10,000 → 100,000 entries |")
    print("|---|---|---:|")
    for mode in range(2):
        for encoding in range(3):
            growth = value[(100000, mode, encoding)] / value[(10000, mode, encoding)]
            print(f"| {modes[mode]} | {encodings[encoding]} | {growth:.1f}× |")
            if growth > TARGET_GROWTH:
                failures.append(f"growth {growth:.1f} for {modes[mode]}/{encodings[encoding]}")
    print()
    print("Targets met." if not failures else "Targets missed: " + "; ".join(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
