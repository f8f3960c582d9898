"""qor: how many independent components a data matrix holds, given its
measurement error.

The analyses of the program ``qor`` on numpy arrays, pandas DataFrames and
data files: Gaussian elimination with complete pivoting and error
propagation (:func:`eliminate`), the eigenvalue analysis with its residual
chi-square tests, eigenvectors and scores (:func:`eigen`) and the rank
verdict with its confidence (:func:`rank`).

The work is done in 80-bit extended precision (``numpy.longdouble`` on
x86-64 Linux), and the numbers are those of the program to the last bit.
A result's arrays are plain float64 numpy arrays, rounded once from those
values; the values themselves are one attribute away, under ``.exact``
(``result.exact.pivots``), and ``to_dict(exact=True)`` gives them with the
keys of the program's results file.

Positions count from 0, as in numpy and pandas: ``result.rows[0] == 3``
means the first pivot stood in ``X[3]``. The program's report and results
file count from 1; those numbers are under ``row_numbers`` and
``column_numbers``. Titles keep their type: a DataFrame's index and columns
come back as the labels they were.

Refusals raise Python's exceptions, naming the parameter: ``TypeError`` for
a value of the wrong type, ``ValueError`` for one out of range,
``FileNotFoundError`` for a missing file, and :class:`qor.Error` (a
``ValueError``) where the program has a run-time error number, as
``status``, with its line as ``message``. What the program would pause for,
or warn of, comes as a :class:`QorWarning`. The work runs without the GIL,
and Ctrl-C stops it within a loop of the analysis (KeyboardInterrupt).

Examples
--------
>>> import numpy as np, qor
>>> a = np.outer([1.0, 2.0, 3.0, 4.0], [1.0, 0.5, 0.25]) + [[0.001, 0, 0], [0, -0.001, 0], [0, 0, 0.001], [0.001, 0, 0]]
>>> qor.rank(a, error=0.001).rank
1
"""

import warnings as _warnings

from ._qor import Error  # noqa: F401  (qor.Error)
from . import _qor
from ._version import __version__  # noqa: F401
# The data and the parameters live in modules of their own; the package
# gives their names, which qor.dask and qor.evolving use.
from ._parameters import (_error, _error_of, _is_error_array, _position, _settings,  # noqa: F401
                          _threads, _whole)
from ._data import (_Data, _NATIVE, _NOT_AN_ERROR, _element_errors, _error_type, _first_bad_error,  # noqa: F401
                    _matrix, _native, _refuse_non_finite, Table, load)

__all__ = ["Error", "QorWarning", "Table", "Elimination", "Eigen", "Rank", "load", "eliminate", "eigen", "rank",
           "__version__"]


class QorWarning(UserWarning):
    """What the program would pause for or warn of (a series that needed
    more terms than usual, a setting read otherwise than meant)."""


# ---- Progress and warnings


def _progress_bar(progress):
    if not progress:
        return None, None
    if callable(progress):
        return None, lambda stage: progress(_qor.STAGES[stage])
    try:
        from tqdm import tqdm
    except ImportError:
        return None, None
    bar = tqdm(total=len(_qor.STAGES) - 1, desc="qor", unit="stage")

    def show(stage):
        bar.set_postfix_str(_qor.STAGES[stage])
        bar.update(stage - bar.n)

    return bar, show


def _with_progress(progress, work):
    """work(show), where show reports the stages as progress asks."""
    bar, show = _progress_bar(progress)
    try:
        return work(show)
    finally:
        if bar is not None:
            bar.close()


def _warn_all(lines, stacklevel):
    for line in lines:
        _warnings.warn(line, QorWarning, stacklevel=stacklevel + 1)


def _run(kind, a, error, relative_error, steps=None, statistics=False, product=True, reference_row=None,
         reference_column=None, verdict=False, threads=None, progress=False):
    data = _matrix(a)
    errors = _element_errors(error, data, "error")
    relative = _element_errors(relative_error, data, "relative_error")
    settings = _settings(None if errors is not None else error, None if relative is not None else relative_error,
                         steps, statistics, product,
                         _position(reference_row, data, 0, "reference_row"),
                         _position(reference_column, data, 1, "reference_column"), verdict, threads)
    _refuse_non_finite(data)
    run = _with_progress(progress, lambda show: _qor.call(kind, data.values, data.rows, data.columns, settings, show,
                                                          errors, relative))
    _warn_all(run.warnings, 3)
    return run, data


# ---- Results (their classes live in results.py)


from .results import Eigen, Elimination, Exact, Rank  # noqa: E402,F401


# ---- The analyses


def eliminate(a, error=None, relative_error=None, steps=None, statistics=False, reference_row=None,
              reference_column=None, rank=False, threads=None, progress=False):
    """Gaussian elimination with complete pivoting and error propagation.

    Parameters
    ----------
    a : array-like, pandas.DataFrame or Table
        The data matrix (rows x columns). float64, float32 and
        numpy.longdouble are taken as they are, whole numbers exactly; a
        DataFrame gives its index and columns as titles. A masked array is
        taken only without masked elements.
    error : float or array, optional
        The absolute measurement error: the standard deviation of every
        element, or an array (or DataFrame) of the data's shape giving each
        element its own, as ``scipy.optimize.curve_fit(sigma=...)`` takes
        them. A reference row or column leaves its errors out; an array of
        zeros is no error given; an array of one repeated value gives the
        results of that value given once, to the last bit.
    relative_error : float or array, optional
        The relative error in per cent of each element's value, one for all
        or an array of the data's shape; with both errors, each element
        takes the larger.
    steps : int, optional
        Elimination steps (default: all).
    statistics : bool
        Mean, standard deviation, skewness and kurtosis of the remainder at
        every step.
    reference_row, reference_column : int or label, optional
        A row (column) subtracted from the others and removed: its position
        from 0 (negative from the end) or its label in a DataFrame or table.
    rank : bool
        Add the rank verdict (``.verdict``).
    threads : int, optional
        Threads that share the work (default: every processor); the result
        is the same on any number.
    progress : bool or callable
        Show the stages (preparing, analysing, judging, writing, done) with
        tqdm when it is installed; a callable is called with each stage's name.

    Returns
    -------
    Elimination

    Raises
    ------
    TypeError
        For data that are not numbers, or a parameter of the wrong type
        (``error="0.1"``, ``steps=2.5``).
    ValueError
        For data that are not 2-D or empty, a masked element, or a position
        out of range.
    qor.Error
        A ValueError with the program's run-time error number: 106 for a
        value that is NaN or infinite (naming its position from 0 and its
        labels), 64 for a setting out of range (naming the parameter), 67
        for numbers beyond the 80-bit range.

    Examples
    --------
    >>> import qor
    >>> qor.eliminate([[2, 1], [1, 3]]).pivots
    array([3.        , 1.66666667])
    """
    run, data = _run(_qor.Kind.eliminate, a, error, relative_error, steps, statistics, True, reference_row,
                     reference_column, rank, threads, progress)
    return Elimination(run, data)


def eigen(a, error=None, relative_error=None, product=True, steps=None, reference_row=None, reference_column=None,
          rank=False, threads=None, progress=False):
    """The eigenvalue analysis with eigenvalue variances, the residual
    chi-square tests of the data rebuilt from the first eigenvectors, and
    the eigenvectors, loadings and scores.

    Parameters
    ----------
    a : array-like, pandas.DataFrame or Table
        The data matrix (see :func:`eliminate`).
    error, relative_error : float or array, optional
        As for :func:`eliminate` (one for all, or element by element); the
        residual tests need one of them.
    product : bool
        Analyse the product of the matrix with its transpose (default), or
        the matrix itself, which must then be square and symmetric.
    steps : int, optional
        Eigenvalues examined (default: all).
    reference_row, reference_column, rank, threads, progress
        As for :func:`eliminate`.

    Returns
    -------
    Eigen

    Raises
    ------
    TypeError, ValueError, qor.Error
        As for :func:`eliminate`; with product=False a matrix that is not
        square and symmetric is refused (qor.Error naming ``product``).
    """
    run, data = _run(_qor.Kind.eigen, a, error, relative_error, steps, False, product, reference_row,
                     reference_column, rank, threads, progress)
    result = Eigen(run, data)
    result._reference = (_position(reference_row, data, 0, "reference_row") - 1,
                         _position(reference_column, data, 1, "reference_column") - 1)
    return result


def rank(a, error=None, relative_error=None, reference_row=None, reference_column=None, threads=None,
         progress=False):
    """The rank verdict: how many components the data hold, and how sure.

    With the error, from the singular values against the noise edge and the
    residual tests; without it, from the noise level estimated from the
    data. The answer is a rank, or a range of ranks when the evidence does
    not decide, with the reasons in the words of the report.

    Parameters
    ----------
    a : array-like, pandas.DataFrame or Table
        The data matrix (see :func:`eliminate`).
    error, relative_error : float or array, optional
        The measurement error, one for all or element by element as for
        :func:`eliminate` (unequal errors take the verdict's path for
        unequal errors); without it the noise is estimated.
    reference_row, reference_column, threads, progress
        As for :func:`eliminate`.

    Returns
    -------
    Rank

    Raises
    ------
    TypeError, ValueError, qor.Error
        As for :func:`eliminate`.

    Examples
    --------
    >>> import qor
    >>> v = qor.rank(data, error=0.002)     # doctest: +SKIP
    >>> v.rank, v.low, v.high               # doctest: +SKIP
    (3, 3, 3)
    >>> print(v)                            # the verdict block  # doctest: +SKIP
    """
    run, data = _run(_qor.Kind.rank, a, error, relative_error, None, False, True, reference_row, reference_column,
                     True, threads, progress)
    return Rank(run, data)


# Evolving factor analysis lives in a module of its own.
from .evolving import evolving, Evolving  # noqa: E402
__all__ += ["evolving", "Evolving"]
