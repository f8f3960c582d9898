#!/usr/bin/env python3
"""What the Python module's conveniences cost, each figure a ratio of two
times measured in this one run.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_native_bench.py [--pip]

  - 5 x 5 elimination with an error: qor.eliminate against the C++ half's
    call on the same prepared arguments (the module's own overhead: checks,
    labels, the results' float64 arrays);
  - to_frame() of a 1000 x 1000 elimination (1000 pivots) and
    to_frame("scores") of a 1000 x 1000 eigenvalue analysis, against the
    analysis itself;
  - a 300 x 300 elimination with an array of errors against one error;
  - qor.dask on 200,000 x 50 in 10 blocks on Dask's own scheduler, with a
    progress callable against without;
  - with --pip: pip install . into a fresh venv --system-site-packages,
    against a fresh CMake build of the module alone (both with ccache off).
"""
import os
import subprocess
import sys
import tempfile
import time
import timeit

import numpy as np
import pandas  # noqa: F401  (imported once, as in a notebook: to_frame()'s time is its own)

import qor


def best(f, repeat, number):
    return min(timeit.repeat(f, repeat=repeat, number=number)) / number


def once(f):
    start = time.perf_counter()
    result = f()
    return time.perf_counter() - start, result


small = np.random.default_rng(5).uniform(-1, 1, (5, 5))
data = qor._matrix(small)
settings = qor._settings(0.002, None, threads=1)
bare = best(lambda: qor._qor.call(qor._qor.Kind.eliminate, data.values, data.rows, data.columns, settings, None),
            7, 2000)
module = best(lambda: qor.eliminate(small, error=0.002, threads=1), 7, 2000)
print("5 x 5: qor.eliminate %.1f us, the bare call %.1f us: ratio %.2f, the module adds %.1f us"
      % (module * 1e6, bare * 1e6, module / bare, (module - bare) * 1e6))

n = 1000
big = np.random.default_rng(6).uniform(-1, 1, (n, n))
analysis, e = once(lambda: qor.eliminate(big, error=0.002, threads=2))
frame, _ = once(e.to_frame)
print("1000 x 1000 elimination %.2f s, to_frame() %.4f s: ratio %.5f" % (analysis, frame, frame / analysis))
analysis, g = once(lambda: qor.eigen(big, threads=2))
frame, _ = once(lambda: g.to_frame("scores"))
print("1000 x 1000 eigenvalues %.2f s, to_frame('scores') %.4f s: ratio %.5f" % (analysis, frame, frame / analysis))

# Errors element by element: each float64 error is read from its shortest
# text, as one error is; against the same analysis with one error.
m = 300
square = np.random.default_rng(8).uniform(-1, 1, (m, m))
errors = np.full(square.shape, 0.002)
one = min(once(lambda: qor.eliminate(square, error=0.002, threads=1))[0] for _ in range(3))
each = min(once(lambda: qor.eliminate(square, error=errors, threads=1))[0] for _ in range(3))
print("300 x 300 elimination: %.3f s with one error, %.3f s with an error per element: ratio %.3f"
      % (one, each, each / one))

try:
    import dask.array as da
    import qor.dask
except ImportError:
    print("qor.dask: left out (no dask)")
else:
    rng = np.random.default_rng(7)
    tall = rng.uniform(0, 1, (200_000, 3)) @ rng.uniform(0, 1, (3, 50)) + rng.normal(0, 0.01, (200_000, 50))
    x = da.from_array(tall, chunks=(20_000, 50))
    counted = []
    off, on = [], []
    for _ in range(4):  # interleaved, so that a busy moment of the machine touches both
        off.append(once(lambda: qor.dask.eigen(x, error=0.01, threads=2))[0])
        on.append(once(lambda: qor.dask.eigen(x, error=0.01, threads=2, progress=counted.append))[0])
    off, on = min(off), min(on)
    print("qor.dask 200,000 x 50 in 10 blocks: %.2f s without progress, %.2f s with: ratio %.4f (%d calls)"
          % (off, on, on / off, len(counted)))

if "--pip" in sys.argv:
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    env = dict(os.environ, CCACHE_DISABLE="1")
    env.pop("PYTHONPATH", None)
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", folder + "/venv"], check=True)
        pip, _ = once(lambda: subprocess.run([folder + "/venv/bin/python", "-m", "pip", "install", "--no-index",
                                              "--quiet", source], check=True, env=env))
        build = folder + "/build"
        cmake, _ = once(lambda: (subprocess.run(["cmake", "-S", source, "-B", build, "-DQOR_TESTS=OFF",
                                                 "-DQOR_BENCH=OFF"], check=True, env=env, capture_output=True),
                                 subprocess.run(["cmake", "--build", build, "--target", "_qor", "-j", "2"],
                                                check=True, env=env, capture_output=True)))
    print("pip install . %.1f s, a fresh CMake build of the module %.1f s: ratio %.2f" % (pip, cmake, pip / cmake))
