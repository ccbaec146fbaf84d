#!/usr/bin/env python3
"""All pairs within the cutoff by SciPy's kd-tree, on the neighbour-list
suite's point sets (written by the neighbor_points program): the anchor for
chemistry_bench's BM_Pairs_* cases, timed the same way (build + every pair,
once each, as an (n, 2) array).

Usage: kdtree_pairs.py DIR [REPETITIONS]
Prints one line per set: the median CPU time of the repetitions (processor
time, as Google Benchmark's rates use, so other jobs on a shared machine
count less), their spread, the pairs found and ns per point, named like the
C++ cases.
"""
import statistics
import sys
import time

import numpy as np
from scipy.spatial import cKDTree


def measure(points, cutoff, repetitions):
    times = []
    pairs = 0
    for _ in range(repetitions):
        start = time.process_time()
        tree = cKDTree(points)
        found = tree.query_pairs(cutoff, output_type="ndarray")
        times.append(time.process_time() - start)
        pairs = len(found)
        del tree, found
    return times, pairs


def main(argv):
    if len(argv) not in (2, 3):
        sys.exit(__doc__)
    folder = argv[1]
    repetitions = int(argv[2]) if len(argv) == 3 else 3
    print(f"{'Benchmark':48} {'median ms':>10} {'spread':>7} {'pairs':>10} {'ns/pt':>8}")
    with open(f"{folder}/index.txt") as index:
        for line in index:
            name, cutoff, count = line.split()
            points = np.fromfile(f"{folder}/{name}.xyz", dtype="<f4").reshape(-1, 3).astype(np.float64)
            assert len(points) == int(count), f"{name}: {len(points)} points, index says {count}"
            times, pairs = measure(points, float(cutoff), repetitions)
            median = statistics.median(times)
            spread = (max(times) - min(times)) / median
            print(f"{'BM_Pairs_ScipyKDTree/' + name:48} {median * 1e3:10.1f} {spread:6.0%} {pairs:10d} "
                  f"{median * 1e9 / len(points):8.1f}")


if __name__ == "__main__":
    main(sys.argv)
