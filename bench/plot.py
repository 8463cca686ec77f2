#!/usr/bin/python3
"""Plots per-value time against store size from the benchmark's JSON:
   plot.py BENCH.json OUT.png  (needs Debian's python3-matplotlib)."""
import json
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

SHAPES = ["spread", "camera roll"]
MODES = ["shared", "per-user"]
ENCODINGS = ["ANSI", "UTF-8 + mark", "UTF-16 LE"]


def main(path, out):
    series = {}
    runs = json.load(open(path))["benchmarks"]
    if any(run.get("aggregate_name") == "median" for run in runs):
        runs = [run for run in runs if run.get("aggregate_name") == "median"]
    for run in runs:
        name, entries, shape, mode, encoding = run["name"].split("/")[:5]
        if run.get("error_occurred"):
            continue
        key = (name, int(shape), int(mode), int(encoding))
        series.setdefault(key, []).append((int(entries), run["cpu_time"]))
    fig, grid = plt.subplots(2, 2, figsize=(11, 9), sharey=True)
    for (shape, mode), ax in zip([(s, m) for s in range(2) for m in range(2)], grid.flat):
        for encoding, colour in zip(range(3), ["tab:blue", "tab:orange", "tab:green"]):
            for name, style, label in [("BM_Value", "-o", "value"), ("BM_Floor", ":", "floor")]:
                points = sorted(series.get((name, shape, mode, encoding), []))
                if points:
                    ax.plot([p[0] for p in points], [p[1] for p in points], style, color=colour,
                            label=f"{ENCODINGS[encoding]}, {label}")
        ax.set_xscale("log")
        ax.set_yscale("log")
        ax.set_title(f"{SHAPES[shape]} store, {MODES[mode]} settings file")
        ax.set_xlabel("marks in the store")
        ax.grid(True, which="both", alpha=0.3)
    for ax in grid[:, 0]:
        ax.set_ylabel("time per value (µs)")
    grid[0, 1].legend(fontsize=8)
    fig.suptitle("One value through ContentGetValue, against the file-read floor")
    fig.tight_layout()
    fig.savefig(out, dpi=110)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
