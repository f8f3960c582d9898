#!/usr/bin/env python3
"""How far qor.dask's eigenvalues lie from the program's when the rows are
summed in blocks, in units of the last place of the largest eigenvalue,
next to the bound the README states.

    PYTHONPATH=build/python /usr/bin/python3 bench/dask_agreement.py

Cases: the bundled example (12 mixtures x 20 wavelengths, wide, so summed
over blocks of its columns) and a tall matrix of 200,000 x 60, each in
several chunkings, on Dask's threaded scheduler (the bits do not depend on
the scheduler).
"""
import numpy as np
import dask.array as da

import qor
import qor.dask

U = float(np.finfo(np.longdouble).eps) / 2


def last_place(x):
    return float(np.spacing(np.longdouble(abs(x))))


def bound(a):
    """2 (N - 1) u M max_ij sum_k |a_ki a_kj| over the summed side."""
    a = a if a.shape[0] >= a.shape[1] else a.T
    magnitudes = np.abs(a).T @ np.abs(a)
    return 2 * (a.shape[0] - 1) * U * a.shape[1] * float(magnitudes.max())


def compare(name, a, error, chunkings):
    whole = qor.eigen(a, error=error, rank=True)
    top = whole.exact.eigenvalues[0]
    unit = last_place(top)
    print("%s: %d x %d, largest eigenvalue %.6g, its last place %.3g; the bound is %.0f of those"
          % (name, a.shape[0], a.shape[1], float(top), unit, bound(a) / unit))
    for chunks in chunkings:
        x = da.from_array(a, chunks=chunks)
        mine = qor.dask.eigen(x, error=error, rank=True, threads=2)
        diff = np.abs((mine.exact.eigenvalues - whole.exact.eigenvalues).astype(float))
        own = np.array([d / last_place(v) for d, v in zip(diff, whole.exact.eigenvalues)])
        print("  chunks %-12s %3d blocks: largest difference %.1f last places of the largest eigenvalue, "
              "at most %.3g of each eigenvalue's own; verdict %s / %s"
              % (str(chunks), x.numblocks[0] * x.numblocks[1], diff.max() / unit, own.max(),
                 mine.verdict.rank, whole.verdict.rank))


def main():
    example = qor.load("examples/mixtures.txt", row_titles=True, column_titles=True)
    values = np.asarray(example.values, dtype=np.longdouble)
    compare("bundled example", values, 0.002, [(12, 20), (12, 10), (12, 7), (12, 3), (12, 1)])

    rng = np.random.default_rng(1)
    spectra = rng.uniform(0, 1, (3, 60))
    tall = rng.uniform(0, 1, (200_000, 3)) @ spectra + rng.normal(0, 0.01, (200_000, 60))
    compare("tall", tall, 0.01, [(200_000, 60), (100_000, 60), (20_000, 60), (1_000, 60), (77, 60)])


if __name__ == "__main__":
    main()
