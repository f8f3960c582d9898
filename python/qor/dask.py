"""The product-matrix analysis and the rank verdict of Dask arrays: data
too tall for one machine, in blocks of rows on a cluster.

The work of the product-matrix analysis is sums over rows. Each block of
rows gives, in one pass on a worker, the product of its columns and the sums
behind its variances (in 80-bit REAL, by the program's own code); the blocks
are added in block order by a tree whose shape depends on the number of
blocks alone; the M x M eigen-decomposition runs once on the client; a second
pass gives every component count's residual tests at once; the verdict comes
from the same sums. A worker holds one block and a few M x M matrices.

A wide array (fewer rows than columns) is analysed as its transpose, the
product of its rows over blocks of columns. An array of one block gives the
program's numbers to the last bit. With several blocks each sum is rounded
once more per block: the results agree with the program's within the bound
stated in the README, and are the same bits for the same chunking whatever
the number of workers or threads, or the order in which blocks finish.

Examples
--------
>>> import dask.array as da, qor.dask        # doctest: +SKIP
>>> x = da.from_zarr("spectra.zarr")          # doctest: +SKIP
>>> qor.dask.eigen(x, error=0.01).eigenvalues[:5]   # doctest: +SKIP
>>> qor.dask.rank(x, error=0.01)              # doctest: +SKIP
"""

import numpy as _np

import qor as _qor_package
from . import _qor

__all__ = ["eigen", "rank"]


def _block_sums(block, settings, first_row):
    return _qor.block_sums(_np.asarray(block), settings, first_row)


def _block_tests(block, settings, eigenvectors, wanted, first_row):
    return _qor.block_tests(_np.asarray(block), settings, eigenvectors, wanted, first_row)


# The tasks are functions of this module, which a worker imports by name
# (the C++ half's functions cannot be sent as they are).
def _add_sums(a, b):
    return _qor.add_sums(a, b)


def _add_tests(a, b):
    return _qor.add_tests(a, b)


def _whole(block, settings):
    return _qor.call(_qor.Kind.eigen, _np.asarray(block), {}, {}, settings, None)


def _tree(items, add):
    """Adds delayed items pairwise in their order, level by level: the same
    shape for the same number of items."""
    import dask

    level = list(items)
    while len(level) > 1:
        nxt = [dask.delayed(add)(level[k], level[k + 1], pure=True) for k in range(0, len(level) - 1, 2)]
        if len(level) % 2:
            nxt.append(level[-1])
        level = nxt
    return level[0]


def _compute(value, client):
    """The value of one delayed object: on the client's cluster, cancelled
    there on a failure or Ctrl-C; else on Dask's own scheduler."""
    if client is None:
        return value.compute()
    future = client.compute(value)
    try:
        return future.result()
    except BaseException:
        client.cancel(future)
        raise


def _tall(x):
    import dask.array as da

    if not isinstance(x, da.Array):
        x = da.asarray(x)
    if x.ndim != 2:
        raise ValueError("the data must be a 2-D array (rows x columns), not %d-D" % x.ndim)
    if x.size == 0:
        raise ValueError("the data is empty (%d x %d)" % x.shape)
    if _np.isnan(x.shape[0]) or _np.isnan(x.shape[1]):
        raise ValueError("the array's chunk sizes are unknown: compute them first (e.g. to_dask_array(lengths=True))")
    kind = x.dtype.kind
    if kind not in "biuf":
        raise ValueError("the data holds %s, not numbers" % x.dtype)
    if kind in "biu" or x.dtype not in (_np.float32, _np.float64, _np.longdouble):
        x = x.astype(_np.longdouble)
    if x.shape[0] < x.shape[1]:
        x = x.T  # blocks of columns of a wide array are blocks of rows of its transpose
    if x.numblocks[1] != 1:
        x = x.rechunk({1: -1})  # every block holds all the columns
    return x


def _analyse(x, error, relative_error, steps, verdict, client, threads, progress):
    import dask

    x = _tall(x)
    settings = _qor_package._settings(error, relative_error, steps, verdict=verdict, threads=threads)
    _qor.check_settings(settings, x.shape[0], x.shape[1])
    if x.numblocks[0] == 1:
        # One block: the program's own run of it, on a worker.
        call = dask.delayed(_whole)(x.to_delayed()[0, 0], settings)
        return _compute(call, client)
    blocks = x.to_delayed()[:, 0]
    starts = _np.concatenate([[1], 1 + _np.cumsum(x.chunks[0])[:-1]]).tolist()
    sums = [dask.delayed(_block_sums)(b, settings, int(first), pure=True) for b, first in zip(blocks, starts)]
    total = _compute(_tree(sums, _add_sums), client)
    core = _qor.Blockwise(total, settings)
    eigenvectors = core.eigenvectors
    wanted = core.wanted
    if client is not None:
        [eigenvectors] = client.scatter([eigenvectors], broadcast=True)
    tests = [dask.delayed(_block_tests)(b, settings, eigenvectors, wanted, int(first), pure=True)
             for b, first in zip(blocks, starts)]
    totals = _compute(_tree(tests, _add_tests), client)
    return _qor_package._with_progress(progress, lambda show: core.finish(totals, show))


def eigen(x, error=None, relative_error=None, steps=None, rank=False, client=None, threads=1, progress=False):
    """The eigenvalue analysis of the product matrix of a Dask array, with
    eigenvalue variances and residual tests when an error is given.

    Parameters
    ----------
    x : dask.array.Array or array-like
        The data, tall (many more rows than columns) or wide (analysed as its
        transpose); blocks of float32, float64 or numpy.longdouble, any
        chunking (blocks are made to span all columns). From Zarr
        (``da.from_zarr``), HDF5 (``da.from_array(h5py_dataset)``), a numpy
        memmap or ``dask.dataframe.read_csv(...).to_dask_array(lengths=True)``.
    error, relative_error : float, optional
        The absolute error and the relative one in per cent.
    steps : int, optional
        Eigenvalues examined (default: all).
    rank : bool
        The rank verdict too, from the same passes.
    client : distributed.Client, optional
        The cluster to run on; without one, Dask's default scheduler.
    threads : int
        Threads of each block's work on its worker, and of the client's core.
    progress : bool or callable
        As for :func:`qor.eigen`, for the client's last stage.

    Returns
    -------
    qor.Eigen

    Raises
    ------
    ValueError
        For data that are not a 2-D array of numbers, or unknown chunk sizes.
    qor.Error
        As the program: 106 for a value that is not finite, naming its row
        and the rows of its block.
    """
    return _qor_package.Eigen(_analyse(x, error, relative_error, steps, rank, client, threads, progress))


def rank(x, error=None, relative_error=None, client=None, threads=1, progress=False):
    """The rank verdict of a Dask array, from the passes of :func:`eigen`.

    What needs the data in one place is left out, and the verdict says so:
    the random-sign draws (the noise edge of unequal errors is their bound;
    without the error the count is not checked against them) and the fits
    weighted by unequal errors.

    Parameters
    ----------
    x, error, relative_error, client, threads, progress
        As for :func:`eigen`.

    Returns
    -------
    qor.Rank
    """
    return _qor_package.Rank(_analyse(x, error, relative_error, None, True, client, threads, progress))


# The moving windows of evolving factor analysis live in a module of their own.
from .dask_evolving import evolving_windows  # noqa: E402
__all__ += ["evolving_windows"]
