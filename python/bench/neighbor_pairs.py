"""Neighbour pairs of the 50,293-atom solvated system from Python.

    python3 python/bench/neighbor_pairs.py [REPEATS] [--warm]

The same work as the C++ benchmark BM_Pairs_Tessary/solvated_50k_* in
bench/chemistry_bench.cpp (build the list, add every atom, collect every
pair), timed from Python through tessary.neighbor_pairs. Compare the two on
the same build type (the bench preset builds both with -DTESSARY_BUILD_PYTHON=ON).

Each call allocates about 12 MB (the list and the growing pair arrays). glibc
raises its mmap and trim thresholds after the first large block is freed; the
C++ benchmark process has done so while loading its data sets and reuses the
same pages call after call, while a fresh Python process returns them to the
system after each call and faults them in again (about 3000 minor faults a
call). --warm frees one large block first, so both run in the same allocator
state; without it the figures include those faults.
"""

import ctypes
import resource
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
    arguments = [a for a in sys.argv[1:] if a != "--warm"]
    repeats = int(arguments[0]) if arguments else 30
    if "--warm" in sys.argv:
        libc = ctypes.CDLL("libc.so.6")
        libc.malloc.restype = ctypes.c_void_p
        libc.free(ctypes.c_void_p(libc.malloc(ctypes.c_size_t(16 << 20))))
    points = read_points(STRUCTURE)
    print(f"{len(points)} atoms{' (allocator warmed)' if '--warm' in sys.argv else ''}")
    for cutoff, label in [(2.0, "bonds"), (4.0, "contacts")]:
        times = []
        faults = resource.getrusage(resource.RUSAGE_SELF).ru_minflt
        for _ in range(repeats):
            # The results are freed inside the timed region, as in the C++ loop.
            start = time.perf_counter()
            first, second = tessary.neighbor_pairs(points, cutoff)
            count = len(first)
            del first, second
            times.append(time.perf_counter() - start)
        faults = (resource.getrusage(resource.RUSAGE_SELF).ru_minflt - faults) / repeats
        times = np.array(times) * 1e3
        print(f"solvated_50k_{label}: {count} pairs, median {np.median(times):.2f} ms, best {times.min():.2f} ms, "
              f"{faults:.0f} page faults a call")


if __name__ == "__main__":
    main()
