#!/usr/bin/python3
"""Plots each shape's ratio to the floor against store size from the
   benchmark's JSON: plot.py BENCH.json OUT.png  (needs Debian's
   python3-matplotlib)."""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

from report import ENCODINGS, MODES, SHAPES, SIZES, TARGET_RATIO, load  # noqa: E402

STYLES = ["-o", "-s", "-^", "-v", "-D", "-P", "--X", ":*"]


def main(path, out):
    value, floor, _, _, _ = load(path)
    fig, grid = plt.subplots(len(MODES), len(ENCODINGS), figsize=(14, 8.5), sharex=True,
                             sharey=True)
    for mode, row in enumerate(grid):
        for encoding, ax in enumerate(row):
            for shape, name in enumerate(SHAPES):
                points = [(size, value[key] / floor[key]) for size in SIZES
                          for key in [(size, shape, mode, encoding)]
                          if key in value and key in floor]
                if points:
                    ax.plot([p[0] for p in points], [p[1] for p in points], STYLES[shape],
                            label=name, markersize=5)
            ax.axhline(TARGET_RATIO, color="black", linestyle=":", linewidth=1)
            ax.axhline(1.0, color="grey", linewidth=0.8)
            ax.set_xscale("log")
            ax.set_xticks(SIZES)
            ax.set_xticklabels([f"{size:,}" for size in SIZES])
            ax.set_title(f"{MODES[mode]} settings file, {ENCODINGS[encoding]}")
            ax.grid(True, which="both", alpha=0.3)
            if mode == len(MODES) - 1:
                ax.set_xlabel("marks in the store")
            if encoding == 0:
                ax.set_ylabel("time per value / floor")
    grid[0, -1].legend(fontsize=8, title=f"dotted: target {TARGET_RATIO}×", title_fontsize=8)
    fig.suptitle("One value through ContentGetValue, against the floor of what it must do "
                 "(CPU time, median of five runs)")
    fig.tight_layout()
    fig.savefig(out, dpi=100)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
