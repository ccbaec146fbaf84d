"""Neighbour pairs of the 50,293-atom solvated system from Python.

    python3 python/bench/neighbor_pairs.py [REPEATS]

The same work as the C++ benchmark BM_Pairs_Tessary/solvated_50k_* in
bench/chemistry_bench.cpp (build the list, add every atom, collect every
pair), timed from Python through tessary.neighbor_pairs. Compare the two on
the same build type (the bench preset builds both with -DTESSARY_BUILD_PYTHON=ON).
"""

import sys
import time
from pathlib import Path

import numpy as np

import tessary

STRUCTURE = Path(__file__).resolve().parents[2] / "data" / "molecules" / "pdb1tw7_step3_charmm2namd.pdb"


def read_points(path):
    rows = [
        (float(line[30:38]), float(line[38:46]), float(line[46:54]))
        for line in open(path)
        if line.startswith(("ATOM", "HETATM"))
    ]
    return np.array(rows, np.float32)


def main():
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 30
    points = read_points(STRUCTURE)
    print(f"{len(points)} atoms")
    for cutoff, label in [(2.0, "bonds"), (4.0, "contacts")]:
        times = []
        for _ in range(repeats):
            # The results are freed inside the timed region, as in the C++ loop.
            start = time.perf_counter()
            first, second = tessary.neighbor_pairs(points, cutoff)
            count = len(first)
            del first, second
            times.append(time.perf_counter() - start)
        times = np.array(times) * 1e3
        print(f"solvated_50k_{label}: {count} pairs, median {np.median(times):.2f} ms, best {times.min():.2f} ms")


if __name__ == "__main__":
    main()
