#!/usr/bin/python3
"""Plots per-value time against store size from the benchmark's JSON:
   plot.py BENCH.json OUT.png  (needs Debian's python3-matplotlib)."""
import json
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

MODES = ["shared", "per-user"]
ENCODINGS = ["ANSI", "UTF-8 + mark", "UTF-16 LE"]


def main(path, out):
    series = {}
    for run in json.load(open(path))["benchmarks"]:
        name, entries, mode, encoding = run["name"].split("/")[:4]
        key = (name, int(mode), int(encoding))
        series.setdefault(key, []).append((int(entries), run["real_time"]))
    fig, axes = plt.subplots(1, 2, figsize=(11, 4.5), sharey=True)
    for mode, ax in enumerate(axes):
        for encoding, colour in zip(range(3), ["tab:blue", "tab:orange", "tab:green"]):
            for name, style, label in [("BM_Value", "-o", "value"), ("BM_Floor", ":", "floor")]:
                points = sorted(series.get((name, mode, encoding), []))
                if points:
                    ax.plot([p[0] for p in points], [p[1] for p in points], style, color=colour,
                            label=f"{ENCODINGS[encoding]}, {label}")
        ax.set_xscale("log")
        ax.set_yscale("log")
        ax.set_title(f"{MODES[mode]} settings file")
        ax.set_xlabel("marks in the store")
        ax.grid(True, which="both", alpha=0.3)
    axes[0].set_ylabel("time per value (µs)")
    axes[1].legend(fontsize=8)
    fig.suptitle("One value through ContentGetValue, against the file-read floor")
    fig.tight_layout()
    fig.savefig(out, dpi=110)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
