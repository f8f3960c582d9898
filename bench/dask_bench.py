#!/usr/bin/env python3
"""qor.dask on a LocalCluster against the program, one run of each.

    PYTHONPATH=build/python /usr/bin/python3 bench/dask_bench.py [--rows 2000000] [--columns 100]
                                                                [--chunk 100000] [--build build]

The data: rows x columns of three components and noise 0.01 in a Zarr store
of `chunk`-row blocks. Measured: the product-matrix analysis with errors and
all eigenvalues on two worker processes and on one; the program on the same
data as a text file (load included) and the module on them in memory (both
one thread); each worker's peak memory; and the estimate for 100 workers
from the measured cost of a block, of the tree of additions and of the
client's core. Figures are printed as ratios of times of this one run.
"""
import argparse
import os
import resource
import shutil
import subprocess
import tempfile
import time

import numpy as np

import qor
import qor.dask


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--rows", type=int, default=2_000_000)
    p.add_argument("--columns", type=int, default=100)
    p.add_argument("--chunk", type=int, default=100_000)
    p.add_argument("--build", default="build")
    a = p.parse_args()
    folder = tempfile.mkdtemp(prefix="qor_dask_bench_")
    try:
        measure(a, folder)
    finally:
        shutil.rmtree(folder)


def measure(a, folder):
    import dask.array as da
    import distributed
    import zarr

    rng = np.random.default_rng(2)
    spectra = rng.uniform(0, 1, (3, a.columns))
    store = zarr.open(os.path.join(folder, "x.zarr"), mode="w", shape=(a.rows, a.columns), chunks=(a.chunk, a.columns),
                      dtype="f8")
    text = os.path.join(folder, "x.txt")
    with open(text, "w") as out:
        for start in range(0, a.rows, a.chunk):
            n = min(a.chunk, a.rows - start)
            block = rng.uniform(0, 1, (n, 3)) @ spectra + rng.normal(0, 0.01, (n, a.columns))
            store[start:start + n] = block
            np.savetxt(out, block, fmt="%.17g")
    blocks = -(-a.rows // a.chunk)
    print("%d x %d in %d blocks of %d rows" % (a.rows, a.columns, blocks, a.chunk))

    timings = {}
    for workers in (2, 1):
        with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, dashboard_address=None,
                                      silence_logs=50) as cluster, distributed.Client(cluster) as client:
            x = da.from_zarr(os.path.join(folder, "x.zarr"))
            start = time.perf_counter()
            result = qor.dask.eigen(x, error=0.01, client=client)
            timings[workers] = time.perf_counter() - start
            peaks = client.run(lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)
        print("%d worker(s): %.1f s, peak memory per worker %s MB" %
              (workers, timings[workers], ", ".join("%.0f" % (kb / 1024) for kb in peaks.values())))

    start = time.perf_counter()
    subprocess.run([os.path.join(a.build, "qor"), text, os.path.join(folder, "o.txt*"), "B", "0.01"], check=True,
                   capture_output=True, env=dict(os.environ, QOR_THREADS="1"))
    program = time.perf_counter() - start
    values = np.asarray(store[:])
    start = time.perf_counter()
    qor.eigen(values, error=0.01, threads=1)
    memory = time.perf_counter() - start

    # One block's two passes, and the client's core, measured alone.
    block = np.asarray(store[:a.chunk])
    settings = qor._settings(block.shape, 0.01, None, threads=1)
    start = time.perf_counter()
    sums = qor._qor.block_sums(block, settings, 1)
    core = qor._qor.Blockwise(sums, settings)
    tests = qor._qor.block_tests(block, settings, core.eigenvectors, core.wanted, 1)
    per_block = time.perf_counter() - start
    start = time.perf_counter()
    qor._qor.add_tests(qor._qor.add_tests(tests, tests), tests)
    qor._qor.add_sums(sums, sums)
    per_addition = (time.perf_counter() - start) / 3
    start = time.perf_counter()
    core.finish(tests, None)
    finish = time.perf_counter() - start
    hundred = -(-blocks // 100) * per_block + np.log2(max(blocks, 2)) * per_addition * 2 + finish
    print("program on the text file: %.1f s; module in memory: %.1f s" % (program, memory))
    print("ratios: two workers / program %.3f, two workers / module in memory %.3f, two / one worker %.3f" %
          (timings[2] / program, timings[2] / memory, timings[2] / timings[1]))
    print("a block's two passes %.2f s, an addition %.4f s, the client's core %.2f s: 100 workers would take "
          "about %.1f s (%.3f of two workers)" % (per_block, per_addition, finish, hundred, hundred / timings[2]))


if __name__ == "__main__":
    main()
