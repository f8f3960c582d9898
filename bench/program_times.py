#!/usr/bin/python3
"""Whole runs of one or more builds of the program, on one and two threads,
taken in turn within one run of this script so that their ratios compare like
with like on a machine whose load changes.

For every case and program: the best wall time of 1 and 2 threads, their
ratio, and the processor time (user + system, all threads) of the two-thread
runs over that of the one-thread runs. With --busy N, N processes running an
x87 loop compete for the processors during the whole script; with
--busy-apart N they run in a session of their own, as another user's or
another terminal's work does (Linux then gives each session's processes
together an equal share of the processors, however many threads they run).

  /usr/bin/python3 bench/program_times.py build/qor [other/qor ...] \
      [--cases product500,elimination1000] [--repeat 2] [--busy 2] [--busy-apart 2]

The data files are made once in a scratch folder (random values in -1..1
with six decimals, as the C++ benchmarks write them) and removed at the end.
"""
import argparse
import os
import random
import resource
import shutil
import subprocess
import tempfile
import time

# name: (rows, columns, keyword field, mode letters, error)
CASES = {
    "elimination1000": (1000, 1000, "", "", "0.002"),
    "product500": (500, 500, "", "B", "0.002"),
    "product1000": (1000, 1000, "", "B", "0.002"),
    "tall50": (200000, 50, "", "B", "0.002"),
    "tall100": (200000, 100, "", "B", "0.002"),
    "rank1000": (1000, 1000, ",RANK", "B", ""),
    "load100": (200000, 100, "", "", "0.002"),
}
# load100 loads 200,000 x 100 values and does one elimination step.
STEPS = {"load100": "1"}


def write_data(path, rows, cols, seed):
    rng = random.Random(seed)
    with open(path, "w", newline="") as f:
        for _ in range(rows):
            f.write(" ".join("%.6f" % rng.uniform(-1, 1) for _ in range(cols)))
            f.write("\r\n")


def run(program, folder, params, threads):
    env = dict(os.environ, QOR_THREADS=str(threads))
    start = time.perf_counter()
    child = subprocess.Popen([program] + params, cwd=folder, env=env, stdout=subprocess.DEVNULL,
                             stdin=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        raise SystemExit("%s %s ended with status %d" % (program, " ".join(params), status))
    return wall, usage.ru_utime + usage.ru_stime


def spin():
    x = 1.0
    while True:
        x = x * 1.0000001 + 1e-9


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--cases", default="elimination1000,product500,product1000,tall50")
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--busy", type=int, default=0)
    parser.add_argument("--busy-apart", type=int, default=0)
    args = parser.parse_args()
    names = args.cases.split(",")
    folder = tempfile.mkdtemp(prefix="qor-times-")
    busy = []
    try:
        files = {}
        for name in names:
            rows, cols, keywords, mode, error = CASES[name]
            data = "d%dx%d.txt" % (rows, cols)
            if data not in files.values():
                write_data(os.path.join(folder, data), rows, cols, rows * 7 + cols)
            files[name] = data
        for apart in [False] * args.busy + [True] * args.busy_apart:
            pid = os.fork()
            if pid == 0:
                if apart:
                    os.setsid()
                spin()
            busy.append(pid)
        print("load average at start: %.2f %.2f %.2f; busy processes: %d, in a session apart: %d"
              % (os.getloadavg() + (args.busy, args.busy_apart)))
        print("%-16s %-28s %9s %9s %7s %9s" % ("case", "program", "t1 s", "t2 s", "t1/t2", "cpu2/cpu1"))
        for name in names:
            rows, cols, keywords, mode, error = CASES[name]
            params = [files[name] + keywords, "O.OUT*", mode, error]
            if name in STEPS:
                params.append(STEPS[name])
            best = {p: [1e300, 1e300, 0.0, 0.0] for p in args.programs}
            for _ in range(args.repeat):
                for program in args.programs:
                    for threads in (1, 2):
                        wall, cpu = run(os.path.abspath(program), folder, params, threads)
                        b = best[program]
                        b[threads - 1] = min(b[threads - 1], wall)
                        b[threads + 1] += cpu
            for program in args.programs:
                t1, t2, c1, c2 = best[program]
                print("%-16s %-28s %9.3f %9.3f %7.3f %9.3f" % (name, program[-28:], t1, t2, t1 / t2, c2 / c1))
        print("load average at end: %.2f %.2f %.2f" % os.getloadavg())
    finally:
        for pid in busy:
            os.kill(pid, 9)
            os.waitpid(pid, 0)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
