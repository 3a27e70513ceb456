#!/usr/bin/env python3
"""Compares two runs of a Google Benchmark program saved as JSON
(--benchmark_format=json or --benchmark_out=FILE): for every benchmark in
both, the real time per iteration of each run and their ratio, new/old.

Usage: scripts/compare-benchmarks.py OLD.json NEW.json
"""
import json
import sys


def times(path):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    # Plain runs only: aggregates (mean, median, ...) repeat them.
    return {r["name"]: (r["real_time"], r["time_unit"]) for r in runs if r.get("run_type", "iteration") == "iteration"}


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    old, new = times(sys.argv[1]), times(sys.argv[2])
    print(f"{'benchmark':32} {'old':>12} {'new':>12} {'new/old':>8}")
    for name in old:
        if name in new:
            (a, unit), (b, _) = old[name], new[name]
            print(f"{name:32} {a:10.3f}{unit:>2} {b:10.3f}{unit:>2} {b / a:8.3f}")


if __name__ == "__main__":
    main()
