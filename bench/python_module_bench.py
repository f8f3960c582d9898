#!/usr/bin/env python3
"""The Python module against the bare library call and the program.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_module_bench.py [build]

Prints, each measured in this one run:
  - 5 x 5 elimination with an error: the module's call and the bare
    library call (qor_bench's LibraryEliminate/5), and the difference;
  - 1000 x 1000 elimination with an error: the module against the program
    on the same matrix (as a text file, load included), as a ratio;
  - the module's peak memory for that call beyond the caller's matrix, in
    copies of the matrix as 80-bit values (16 bytes an element).
"""
import json
import os
import resource
import subprocess
import sys
import tempfile
import time
import timeit

import numpy as np

import qor

build = sys.argv[1] if len(sys.argv) > 1 else "build"


def best(f, repeat, number):
    return min(timeit.repeat(f, repeat=repeat, number=number)) / number


small = np.random.default_rng(5).uniform(-1, 1, (5, 5))
module_small = best(lambda: qor.eliminate(small, error=0.002, threads=1), 7, 2000)
bench = subprocess.run([os.path.join(build, "qor_bench"), "--benchmark_filter=LibraryEliminate/5$",
                        "--benchmark_format=json", "--benchmark_repetitions=5"], capture_output=True, text=True)
runs = [b for b in json.loads(bench.stdout)["benchmarks"] if b.get("run_type") == "iteration"]
bare_small = min(b["real_time"] for b in runs) * 1e-6  # microseconds
print("5 x 5: module %.1f us, bare library call %.1f us, the module adds %.1f us" %
      (module_small * 1e6, bare_small * 1e6, (module_small - bare_small) * 1e6))

n = 1000
big = np.random.default_rng(6).uniform(-1, 1, (n, n))
with tempfile.TemporaryDirectory() as folder:
    data = os.path.join(folder, "big.txt")
    np.savetxt(data, big, fmt="%.17g")
    program = os.path.abspath(os.path.join(build, "qor"))
    start = time.perf_counter()
    subprocess.run([program, data, os.path.join(folder, "o.txt*"), "", "0.002"], check=True, capture_output=True,
                   env=dict(os.environ, QOR_THREADS="1"))
    program_time = time.perf_counter() - start
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
start = time.perf_counter()
qor.eliminate(big, error=0.002, threads=1)
module_time = time.perf_counter() - start
after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
copies = (after - before) * 1024 / (16 * n * n)
print("1000 x 1000: module %.2f s, program %.2f s (load included), ratio %.3f" %
      (module_time, program_time, module_time / program_time))
print("peak memory of the call beyond the caller's float64 matrix: %.2f matrices of 80-bit values "
      "(the run's copy, and the variances of the error)" % copies)
