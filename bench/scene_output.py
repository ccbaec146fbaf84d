#!/usr/bin/env python3
"""What a tessary-scene render costs per output format: the file's size, the
wall time and the peak resident memory of the process (cold process each
run, as a user pays it), for PROGRAM and, side by side in the same run, for
ANCHOR (another build of tessary-scene, e.g. one from an earlier commit).

Usage: scene_output.py PROGRAM [ANCHOR] [--structure FILE] [--repetitions N]
The structure defaults to the 50,293-atom data/molecules/pdb1tw7_step3_charmm2namd.pdb
at the default picture size. Prints one line per program and format: size in
MB, the median wall and CPU (user + system) times in seconds, peak RSS in
MB, and for PROGRAM the ratios to ANCHOR. On a shared machine the CPU time
is the steadier of the two.
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(program, structure, output):
    start = time.perf_counter()
    child = subprocess.Popen([program, "render", structure, "-o", output], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        raise SystemExit(f"{program} failed on {structure} -> {output}")
    return wall, usage.ru_maxrss / 1024.0, os.path.getsize(output) / 1e6, usage.ru_utime + usage.ru_stime


def measure(program, structure, fmt, repetitions, directory):
    runs = [run(program, structure, os.path.join(directory, "out." + fmt)) for _ in range(repetitions)]
    return (statistics.median(r[0] for r in runs), max(r[1] for r in runs), runs[-1][2],
            statistics.median(r[3] for r in runs))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("anchor", nargs="?")
    parser.add_argument("--structure", default=os.path.join(HERE, "..", "data", "molecules",
                                                            "pdb1tw7_step3_charmm2namd.pdb"))
    parser.add_argument("--repetitions", type=int, default=3)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as directory:
        for fmt in ("svg", "pdf", "png"):
            ours = measure(args.program, args.structure, fmt, args.repetitions, directory)
            line = f"{fmt}  size {ours[2]:8.2f} MB  wall {ours[0]:6.2f} s  cpu {ours[3]:6.2f} s  peak RSS {ours[1]:7.1f} MB"
            if args.anchor:
                anchor = measure(args.anchor, args.structure, fmt, args.repetitions, directory)
                print(f"{fmt}  size {anchor[2]:8.2f} MB  wall {anchor[0]:6.2f} s  cpu {anchor[3]:6.2f} s  "
                      f"peak RSS {anchor[1]:7.1f} MB  (anchor)")
                line += (f"  ratios size {ours[2] / anchor[2]:.2f} wall {ours[0] / anchor[0]:.2f} "
                         f"cpu {ours[3] / anchor[3]:.2f} rss {ours[1] / anchor[1]:.2f}")
            print(line)


if __name__ == "__main__":
    main()
