#!/usr/bin/env python3
"""Times whole qor runs of Gaussian elimination on random N x N data files
(N = 200, 500, 1000), without and with an absolute error of 0.002, on one
thread, and prints each time also as a ratio to the plain long-double
row-update kernel (y[j] -= l * x[j], the same n^3/3 updates) measured in the
same run.

Usage: bench/elimination_times.py [build-dir]   (default: build)
The detailed listing is switched off with the asterisk: its report files are
huge by nature."""
import json
import os
import random
import subprocess
import sys
import tempfile
import time

SIZES = (200, 500, 1000)


def write_matrix(path, n, seed):
    rng = random.Random(seed)
    with open(path, "w") as out:
        for _ in range(n):
            out.write(" ".join(f"{rng.uniform(-1, 1):.6f}" for _ in range(n)) + "\r\n")


def time_run(qor, args, cwd):
    # One thread, like the kernel it is compared with.
    env = dict(os.environ, QOR_THREADS="1")
    start = time.perf_counter()
    subprocess.run([qor] + args, cwd=cwd, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL, check=True, env=env)
    return time.perf_counter() - start


def kernel_seconds(bench):
    out = subprocess.run([bench, "--benchmark_filter=RowUpdateKernel", "--benchmark_format=json"],
                         capture_output=True, text=True, check=True).stdout
    result = {}
    for b in json.loads(out)["benchmarks"]:
        n = int(b["name"].split("/")[1])
        result[n] = b["real_time"] / 1000.0  # milliseconds
    return result


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    qor = os.path.join(build, "qor")
    bench = os.path.join(build, "qor_bench")
    kernel = kernel_seconds(bench)
    with tempfile.TemporaryDirectory() as work:
        print(f"{'N':>6} {'kernel s':>10} {'qor s':>10} {'ratio':>7} {'qor+err s':>10} {'ratio':>7}")
        for n in SIZES:
            data = f"r{n}.txt"
            write_matrix(os.path.join(work, data), n, n)
            plain = time_run(qor, [data, "plain.out*"], work)
            errors = time_run(qor, [data, "errors.out*", "", "0.002"], work)
            k = kernel[n]
            print(f"{n:>6} {k:>10.3f} {plain:>10.3f} {plain / k:>7.2f} {errors:>10.3f} {errors / k:>7.2f}")


if __name__ == "__main__":
    main()
