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

A failing block does not fail its task on the worker: the failure travels
back as a value, so that the cluster logs no block's contents, and is raised
on the client. Ctrl-C cancels what is still running on the cluster and
raises KeyboardInterrupt alone.

Examples
--------
>>> import dask.array as da, qor.dask        # doctest: +SKIP
>>> x = da.from_zarr("spectra.zarr")          # doctest: +SKIP
>>> qor.dask.eigen(x, error=0.01).eigenvalues[:5]   # doctest: +SKIP
>>> qor.dask.rank(x, error=0.01)              # doctest: +SKIP
"""

import logging as _logging

import numpy as _np

import qor as _qor_package
from . import _qor

__all__ = ["eigen", "rank"]


class _Failure:
    """An exception of a block's task, carried back as its result."""

    def __init__(self, error):
        self.kind = type(error).__name__
        self.text = str(error)
        self.status = getattr(error, "status", None)
        self.message = getattr(error, "message", None)

    def exception(self):
        if self.status is not None:
            return _qor_package._error_of(self.status, self.message if self.message is not None else self.text)
        kind = {"TypeError": TypeError, "MemoryError": MemoryError}.get(self.kind, ValueError)
        return kind(self.text)


def _block_values(block, first_row):
    """A block as the C++ half reads it; a value that is not finite is
    refused with its position from 0 in the whole array."""
    values = _qor_package._native(_np.asarray(block))
    finite = _np.isfinite(values)
    if not finite.all():
        i, j = (int(k) for k in _np.argwhere(~finite)[0])
        what = "not a number (NaN)" if _np.isnan(values[i, j]) else "infinite"
        first = first_row - 1
        raise _qor_package._error_of(
            106, "Runtime error 106: the data's element [%d, %d] is %s (in the block of rows %d to %d, from 0); "
                 "every value must be a finite number." % (first + i, j, what, first, first + values.shape[0] - 1))
    return values


# The tasks are functions of this module, which a worker imports by name
# (the C++ half's functions cannot be sent as they are).
def _block_errors(block, first_row, name):
    """A block of errors given element by element as the C++ half reads it
    (None: one number for all); an error that is negative or not finite is
    refused with its position from 0 in the whole array."""
    if block is None:
        return None
    values = _qor_package._native(_np.asarray(block))
    bad = _qor_package._first_bad_error(values)
    if bad is not None:
        place = "[%d, %d]" % (first_row - 1 + bad[0], bad[1])
        raise ValueError(_qor_package._NOT_AN_ERROR % (name, place, values[bad]))
    return values


def _block_sums(block, settings, first_row, errors=None, relative=None):
    try:
        return _qor.block_sums(_block_values(block, first_row), settings, first_row,
                               _block_errors(errors, first_row, "error"),
                               _block_errors(relative, first_row, "relative_error"))
    except Exception as e:
        return _Failure(e)


def _block_tests(block, settings, eigenvectors, wanted, first_row, errors=None, relative=None):
    try:
        return _qor.block_tests(_qor_package._native(_np.asarray(block)), settings, eigenvectors, wanted, first_row,
                                _block_errors(errors, first_row, "error"),
                                _block_errors(relative, first_row, "relative_error"))
    except Exception as e:
        return _Failure(e)


def _added(add):
    def add_or_fail(a, b):
        for x in (a, b):
            if isinstance(x, _Failure):
                return x
        try:
            return add(a, b)
        except Exception as e:
            return _Failure(e)

    return add_or_fail


def _add_sums(a, b):
    return _added(_qor.add_sums)(a, b)


def _add_tests(a, b):
    return _added(_qor.add_tests)(a, b)


def _tree(items, add, submit):
    """Adds items pairwise in their order, level by level: the same shape
    for the same number of items."""
    level = list(items)
    while len(level) > 1:
        nxt = [submit(add, level[k], level[k + 1]) for k in range(0, len(level) - 1, 2)]
        if len(level) % 2:
            nxt.append(level[-1])
        level = nxt
    return level[0]


def _value(total):
    if isinstance(total, _Failure):
        raise total.exception()
    return total


class _Quiet:
    """Distributed's loggers silenced while a cancelled run winds down: the
    user pressed Ctrl-C and wants the prompt, not the cluster's account."""

    def __enter__(self):
        self._levels = {}
        for name in ("distributed", "distributed.client", "distributed.scheduler", "distributed.worker", "asyncio",
                     "tornado"):
            logger = _logging.getLogger(name)
            self._levels[name] = logger.level
            logger.setLevel(_logging.CRITICAL + 1)
        return self

    def __exit__(self, *exc):
        for name, level in self._levels.items():
            _logging.getLogger(name).setLevel(level)
        return False


class _CtrlCStaysWithTheClient:
    """A worker plugin: a worker process that shares the client's terminal
    (a LocalCluster's, in the client's process group on the same machine)
    leaves Ctrl-C to the client, which cancels the run; else the key would
    also kill the workers, each with its traceback. Workers elsewhere, or
    started in a terminal of their own, keep Ctrl-C."""

    name = "qor-ctrl-c-stays-with-the-client"

    def __init__(self):
        import os
        import socket

        self.host, self.group = socket.gethostname(), os.getpgrp()

    def setup(self, worker):
        import os
        import signal
        import socket

        if (socket.gethostname(), os.getpgrp()) == (self.host, self.group):
            try:
                signal.signal(signal.SIGINT, signal.SIG_IGN)
            except ValueError:  # not the process's main thread: nothing to change
                pass


_quieted = set()


def _leave_ctrl_c_to_the_client(client):
    """Once per client: its workers on this terminal ignore Ctrl-C."""
    if client.id in _quieted:
        return
    client.register_worker_plugin(_CtrlCStaysWithTheClient(), name=_CtrlCStaysWithTheClient.name)
    _quieted.add(client.id)


def _on_cluster(client, tasks, add, show):
    """One pass on the client's cluster: the blocks' tasks, then the tree of
    their sums; show(k) after the k-th block done. A failure or Ctrl-C
    cancels everything still running there."""
    import distributed

    futures = client.compute(tasks)
    made = list(futures)

    def submit(f, a, b):
        made.append(client.submit(f, a, b, pure=True))
        return made[-1]

    try:
        total = _tree(futures, add, submit)
        for done, _ in enumerate(distributed.as_completed(futures), start=1):
            show(done)
        return _value(total.result())
    except KeyboardInterrupt:
        with _Quiet():
            client.cancel(made, force=True)
        raise KeyboardInterrupt from None
    except BaseException:
        client.cancel(made, force=True)
        raise


def _on_dask(tasks, add, show):
    """One pass on Dask's own scheduler; show(k) after the k-th block done."""
    import dask
    from dask.callbacks import Callback

    keys = {t.key for t in tasks}
    done = [0]

    def finished(key, *_):
        if key in keys:
            done[0] += 1
            show(done[0])

    total = _tree(tasks, add, lambda f, a, b: dask.delayed(f)(a, b, pure=True))
    with Callback(posttask=finished):
        return _value(total.compute())


class _BlockProgress:
    """The blocks of both passes on one bar (tqdm when installed), or each
    block's count given to a callable as "pass 1 3/8"; then the stages of
    the client's finish."""

    def __init__(self, progress, blocks):
        self.blocks = blocks
        self.call = progress if callable(progress) else None
        self.bar = None
        if progress and self.call is None:
            try:
                from tqdm import tqdm
            except ImportError:
                return
            self.bar = tqdm(total=2 * blocks, desc="qor.dask", unit="block")

    def shower(self, which):
        def show(done):
            if self.bar is not None:
                self.bar.set_postfix_str("pass %d" % which, refresh=False)
                self.bar.update(1)
            elif self.call is not None:
                self.call("pass %d %d/%d" % (which, done, self.blocks))

        return show

    def stages(self):
        """What the client's finish reports, as for qor.eigen."""
        if self.call is not None:
            return lambda stage: self.call(_qor.STAGES[stage])
        if self.bar is not None:
            return lambda stage: self.bar.set_postfix_str(_qor.STAGES[stage])
        return None

    def close(self):
        if self.bar is not None:
            self.bar.close()


def _tall(x):
    import dask.array as da

    if not isinstance(x, da.Array):
        x = da.asarray(x)
    if x.ndim != 2:
        raise ValueError("the data must be a 2-D array (rows x columns), not %d-D" % x.ndim)
    if _np.isnan(x.shape[0]) or _np.isnan(x.shape[1]):
        raise ValueError("the array's chunk sizes are unknown: compute them first (e.g. to_dask_array(lengths=True))")
    if x.size == 0:
        raise ValueError("the data is empty (%d x %d)" % x.shape)
    kind = x.dtype.kind
    if kind not in "biuf":
        raise TypeError("the data holds %s, not numbers" % x.dtype)
    if x.dtype not in _qor_package._NATIVE or not x.dtype.isnative:
        x = x.astype(_np.longdouble)
    if x.shape[0] < x.shape[1]:
        x = x.T  # blocks of columns of a wide array are blocks of rows of its transpose
    if x.numblocks[1] != 1:
        x = x.rechunk({1: -1})  # every block holds all the columns
    return x


def _computed(client, x):
    if x is None:
        return None
    return client.compute(x).result() if client is not None else x.compute()


def _one_block(x, errors, settings, client, progress):
    """One block: the program's own run of it, on the client."""
    data = _qor_package._matrix(_np.asarray(_computed(client, x)))
    absolute, relative = (_qor_package._element_errors(_np.asarray(_computed(client, e)), data, name)
                          if e is not None else None for e, name in zip(errors, ("error", "relative_error")))
    _qor_package._refuse_non_finite(data)
    return _qor_package._with_progress(
        progress, lambda show: _qor.call(_qor.Kind.eigen, data.values, {}, {}, settings, show, absolute, relative)), None


def _error_array(value, shape, name):
    """An error given element by element (a numpy or Dask array, or a
    DataFrame, of the data's shape) as a Dask array of a type the C++ half
    reads, or None for one number."""
    import dask.array as da

    if type(value).__name__ == "DataFrame" and hasattr(value, "to_numpy"):
        value = value.to_numpy()
    if not isinstance(value, (_np.ndarray, da.Array)):
        return None
    e = value if isinstance(value, da.Array) else da.from_array(value, chunks=-1)
    if e.dtype.kind not in "biuf":
        raise TypeError("%s holds %s, not numbers" % (name, e.dtype))
    if e.shape != shape:
        raise ValueError("%s must have the data's shape %s, not %s"
                         % (name, " x ".join(str(k) for k in shape), " x ".join(str(k) for k in e.shape)))
    read_as = _qor_package._error_type(e.dtype)
    return e if e.dtype == read_as else e.astype(read_as)


def _errors_like(shape, tall, error, relative_error, client):
    """The errors given element by element, oriented and chunked as the tall
    array's blocks (None where one number is given), and the numbers given;
    an array of zeros is no error given, as the number 0 is."""
    errors, single = [], []
    for value, name in ((error, "error"), (relative_error, "relative_error")):
        e = _error_array(value, shape, name)
        if e is None:
            errors.append(None)
            single.append(value)
            continue
        if tuple(tall.shape) != shape:
            e = e.T
        e = e.rechunk(tall.chunks)
        errors.append(e if bool(_computed(client, (e != 0).any())) else None)
        single.append(None)
    return errors, single[0], single[1]


def _default_client():
    """The distributed client Dask would compute on now (the last one made,
    unless dask.config names another scheduler), or None for Dask's own
    schedulers."""
    import dask

    try:
        import distributed
    except ImportError:
        return None
    owner = getattr(dask.base.get_scheduler(), "__self__", None)
    return owner if isinstance(owner, distributed.Client) else None


def _analyse(x, error, relative_error, steps, verdict, client, threads, progress):
    import dask

    if client is None:
        client = _default_client()
    shape = tuple(x.shape) if hasattr(x, "shape") else _np.shape(x)
    x = _tall(x)
    errors, error, relative_error = _errors_like(shape, x, error, relative_error, client)
    settings = _qor_package._settings(error, relative_error, steps, verdict=verdict, threads=threads)
    _qor.check_settings(settings, x.shape[0], x.shape[1])
    if client is not None:
        _leave_ctrl_c_to_the_client(client)
    if x.numblocks[0] == 1:
        return _one_block(x, errors, settings, client, progress)
    blocks = x.to_delayed()[:, 0]
    absolute, relative = (e.to_delayed()[:, 0] if e is not None else [None] * len(blocks) for e in errors)
    starts = _np.concatenate([[1], 1 + _np.cumsum(x.chunks[0])[:-1]]).tolist()
    bar = _BlockProgress(progress, len(blocks))
    try:
        def run_pass(tasks, add, which):
            if client is not None:
                return _on_cluster(client, tasks, add, bar.shower(which))
            return _on_dask(tasks, add, bar.shower(which))

        sums = [dask.delayed(_block_sums)(b, settings, int(first), e, r, pure=True)
                for b, first, e, r in zip(blocks, starts, absolute, relative)]
        core = _qor.Blockwise(run_pass(sums, _add_sums, 1), settings)
        eigenvectors = core.eigenvectors
        wanted = core.wanted
        if client is not None:
            [eigenvectors] = client.scatter([eigenvectors], broadcast=True)
        tests = [dask.delayed(_block_tests)(b, settings, eigenvectors, wanted, int(first), e, r, pure=True)
                 for b, first, e, r in zip(blocks, starts, absolute, relative)]
        run = core.finish(run_pass(tests, _add_tests, 2), bar.stages())
    finally:
        bar.close()
    columns = x.shape[1]
    vectors = _np.asarray(core.eigenvectors).reshape(columns, columns)[:, :len(run.eigenvalues)]
    return run, vectors


def _result(kind, run_and_vectors):
    run, vectors = run_and_vectors
    _qor_package._warn_all(run.warnings, 3)
    if kind is _qor_package.Rank:
        return _qor_package.Rank(run)
    if vectors is None:
        return _qor_package.Eigen(run)
    return _qor_package.Eigen(run, eigenvectors=vectors)


def eigen(x, error=None, relative_error=None, steps=None, rank=False, client=None, threads=1, progress=False):
    """The eigenvalue analysis of the product matrix of a Dask array, with
    eigenvalue variances and residual tests when an error is given.

    Parameters
    ----------
    x : dask.array.Array or array-like
        The data, tall (many more rows than columns) or wide (analysed as its
        transpose); blocks of any real type (float32, float64 and
        numpy.longdouble as they are, others widened exactly), any chunking
        (blocks are made to span all columns). From Zarr
        (``da.from_zarr``), HDF5 (``da.from_array(h5py_dataset)``), a numpy
        memmap, ``dask.dataframe.from_pandas(...).to_dask_array(lengths=True)``
        or ``dask.dataframe.read_csv(...).to_dask_array(lengths=True)``.
    error, relative_error : float or array, optional
        The absolute error and the relative one in per cent: one number
        each, or an array (Dask or numpy) of the data's shape giving each
        element its own, as for :func:`qor.eliminate`; a Dask array is
        rechunked to the data's blocks of rows.
    steps : int, optional
        Eigenvalues examined (default: all).
    rank : bool
        The rank verdict too, from the same passes.
    client : distributed.Client, optional
        The cluster to run on; without one, the client Dask computes on by
        default when there is one, else Dask's own scheduler.
    threads : int
        Threads of each block's work on its worker, and of the client's core.
    progress : bool or callable
        True: a tqdm bar (when installed) over the blocks of both passes,
        then the client's stages. A callable is called with "pass 1 3/8"
        after each block of pass 1 (and "pass 2 ..." of pass 2), then with
        the stages of :func:`qor.eigen` ("analysing", ..., "done").

    Returns
    -------
    qor.Eigen
        Its eigenvectors and loadings are those of the product of the
        (tall) array's columns; with several blocks its scores are None
        (they would need a third pass).

    Raises
    ------
    TypeError
        For data that are not numbers, or a parameter of the wrong type.
    ValueError
        For data that are not a 2-D array, or unknown chunk sizes.
    qor.Error
        As the program: 106 for a value that is not finite, naming its
        position from 0 and the rows of its block.
    KeyboardInterrupt
        Ctrl-C: what runs on the cluster is cancelled, quietly.
    """
    return _result(_qor_package.Eigen, _analyse(x, error, relative_error, steps, rank, client, threads, progress))


def rank(x, error=None, relative_error=None, client=None, threads=1, progress=False):
    """The rank verdict of a Dask array, from the passes of :func:`eigen`.

    What needs the data in one place is left out, and the verdict says so:
    the random-sign draws (the noise edge of unequal errors is their bound;
    without the error the count is not checked against them) and the fits
    weighted by unequal errors. Without the error, the cross-validation of
    the counts and the scaling of uneven noise to one level need the data
    too: a range they would weigh stays.

    Parameters
    ----------
    x, error, relative_error, client, threads, progress
        As for :func:`eigen`.

    Returns
    -------
    qor.Rank
    """
    return _result(_qor_package.Rank, _analyse(x, error, relative_error, None, True, client, threads, progress))


# The moving windows of evolving factor analysis live in a module of their own.
from .dask_evolving import evolving_windows  # noqa: E402
__all__ += ["evolving_windows"]
