"""The moving windows of evolving factor analysis on a tall Dask array:
each block of rows gives the windows that start in it, with the first rows
of the next block that its last windows reach into, on a worker."""

import numpy as _np

import qor as _qor_package
from . import _qor
from .evolving import _frame


def _block_windows(block, tail, settings, window, starts):
    values = _np.asarray(block) if tail is None else _np.concatenate([_np.asarray(block), _np.asarray(tail)])
    return _qor.evolving_moving(_np.ascontiguousarray(values, dtype=_np.longdouble), settings, window, starts)


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


def _joined(parts, offsets):
    d = {}
    for key in ("first", "last", "low", "high", "edge"):
        d[key] = _np.concatenate([_np.asarray(p[key]) + (o if key in ("first", "last") else 0)
                                  for p, o in zip(parts, offsets)])
    d["singular"] = _np.concatenate([_np.asarray(p["singular"], dtype=_np.longdouble) for p in parts])
    return d


def evolving_windows(x, window, error=None, relative_error=None, client=None, threads=1):
    """The moving windows of ``window`` rows of a tall Dask array, as
    :func:`qor.evolving` gives them in ``windows``: the same numbers, since
    a window's values are those of its own rows.

    A window lies in one block or straddles two: every block after the
    first must hold at least ``window - 1`` rows (rechunk otherwise). The
    error is required, as the noise level cannot be estimated from one
    block; ``qor.dask.rank(x).sigma`` gives an estimate from the whole
    array.

    Parameters
    ----------
    x : dask.array.Array or array-like
        The data, rows in order; its blocks are made to span all columns.
    window : int
        Rows of a window.
    error, relative_error : float
        The absolute error and the relative one in per cent (one at least).
    client : distributed.Client, optional
        The cluster to run on; without one, Dask's default scheduler.
    threads : int
        Threads of each block's work on its worker.

    Returns
    -------
    pandas.DataFrame
        Indexed by each window's first row (its position from 0): ``count`` (missing
        where a range), ``low``, ``high``, ``edge``, ``last`` and the
        singular values ``s1``, ``s2``, ...
    """
    import dask
    import dask.array as da

    if not isinstance(x, da.Array):
        x = da.asarray(x)
    if x.ndim != 2 or x.size == 0:
        raise ValueError("the data must be a non-empty 2-D array (rows x columns)")
    if _np.isnan(x.shape[0]) or _np.isnan(x.shape[1]):
        raise ValueError("the array's chunk sizes are unknown: compute them first (e.g. to_dask_array(lengths=True))")
    if x.dtype.kind not in "biuf":
        raise ValueError("the data holds %s, not numbers" % x.dtype)
    if isinstance(window, bool) or int(window) != window or int(window) < 1:
        raise ValueError("window must be a whole number of at least 1, not %r" % (window,))
    window = int(window)
    if error is None and relative_error is None:
        raise ValueError("the moving windows of a Dask array need the error (error or relative_error); "
                         "qor.dask.rank(x).sigma estimates it from the whole array")
    if x.numblocks[1] != 1:
        x = x.rechunk({1: -1})
    rows = int(x.shape[0])
    if window > rows:
        raise ValueError("window must lie from 1 to %d, the rows of the array, not %d" % (rows, window))
    sizes = list(x.chunks[0])
    if any(s < window - 1 for s in sizes[1:]):
        raise ValueError("a block after the first holds fewer than window - 1 = %d rows: rechunk the rows "
                         "(x.rechunk({0: %d}) or larger)" % (window - 1, max(window - 1, 1)))
    settings = _qor_package._settings(error, relative_error, threads=threads)
    _qor.check_settings(settings, rows, int(x.shape[1]))
    blocks = x.to_delayed()[:, 0]
    tasks, offsets = [], []
    first = 0  # rows before the block
    for b, size in enumerate(sizes):
        starts = min(size, rows - window + 1 - first)
        if starts < 1:
            break
        reach = first + starts + window - 1 - (first + size)  # rows needed from the next block
        tail = x[first + size:first + size + reach].to_delayed()[0, 0] if reach > 0 else None
        tasks.append(dask.delayed(_block_windows)(blocks[b], tail, settings, window, starts, pure=True))
        offsets.append(first)
        first += size
    parts = _compute(dask.delayed(list)(tasks), client)
    d = _joined(parts, offsets)
    return _frame(d, list(range(rows)), "first", last=True)
