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

import errno as _errno
import json as _json
import math as _math
import numbers as _numbers
import operator as _operator
import os as _os
import re as _re
import warnings as _warnings

import numpy as _np

from ._qor import Error  # noqa: F401  (qor.Error)
from . import _qor
from ._version import __version__  # noqa: F401

__all__ = ["Error", "QorWarning", "Table", "Elimination", "Eigen", "Rank", "load", "eliminate", "eigen", "rank",
           "__version__"]


class QorWarning(UserWarning):
    """What the program would pause for or warn of (a series that needed
    more terms than usual, a setting read otherwise than meant)."""


def _error_of(status, text):
    """A qor.Error as the C++ half raises it: the run-time error number as
    ``status``, the program's line as ``message``."""
    e = Error(text)
    e.status = status
    e.message = text
    return e


# ---- Labels and tables


def _labels(d):
    """Titles from the C++ half: texts, numbers, or None."""
    if "texts" in d:
        return list(d["texts"])
    if "titles" in d:
        return d["titles"]
    return None


class Table:
    """A data matrix as :func:`load` reads it.

    Attributes
    ----------
    values : numpy.ndarray of numpy.longdouble, rows x columns
    row_titles, column_titles : numpy.ndarray, list of str, or None
        The titles when the file has them (texts from a spreadsheet table).
    row_numbers, column_numbers : numpy.ndarray of int
        The numbers of the rows and columns in the file, counted from 1 as
        the program counts them (rows left out leave gaps).
    """

    def __init__(self, values, row_titles=None, column_titles=None, row_numbers=None, column_numbers=None):
        self.values = values
        self.row_titles = row_titles
        self.column_titles = column_titles
        self.row_numbers = _np.arange(1, values.shape[0] + 1) if row_numbers is None else _np.asarray(row_numbers)
        self.column_numbers = (
            _np.arange(1, values.shape[1] + 1) if column_numbers is None else _np.asarray(column_numbers)
        )

    def __repr__(self):
        return "Table(%d x %d)" % self.values.shape


def _selection(left_out, name):
    """A selection list of the program ("[2,5..7]") from numbers and ranges."""
    if isinstance(left_out, str):
        return left_out
    parts = []
    for item in left_out:
        if isinstance(item, range):
            if item.step != 1 or len(item) == 0:
                raise ValueError("%s: a range must count up by 1, not %r" % (name, item))
            parts.append("%d..%d" % (item.start, item.stop - 1))
        else:
            number = _whole(item, name)
            if number < 1:
                raise ValueError("%s: the file's rows and columns are numbered from 1, not %r" % (name, item))
            parts.append(str(number))
    return "[" + ",".join(parts) + "]"


# The run-time error numbers of the program's own, which are not a system's
# errno although some share its values.
_PROGRAM_NUMBERS = {64, 65, 67, 106, 130, 203}

_SEPARATORS = {None: "", ",": ",", ";": ";", "\t": "\t", "comma": ",", "semicolon": ";", "tab": "\t"}

# The program's hints name its keywords; a Python caller sets parameters.
_KEYWORD_HINTS = [
    (r" \(in a parameter file the line[^)]*\)", ""),
    (r" \((?:S [CST]|U \+)\)", ""),
    (r"add ,SEPC to the data file's name", "pass separator=','"),
    (r",SEPS,DEC", "separator=';', decimal_comma=True"),
    (r",SEPC", "separator=','"),
    (r",SEPS", "separator=';'"),
    (r",SEPT", "separator='\\\\t'"),
    (r",DEC", "decimal_comma=True"),
    (r",TOC", "column_titles=True"),
    (r",TOR", "row_titles=True"),
    (r"add (\w+=)", r"pass \1"),
]


def _python_words(message):
    for pattern, replacement in _KEYWORD_HINTS:
        message = _re.sub(pattern, replacement, message)
    return message


def load(path, row_titles=False, column_titles=False, separator=None, decimal_comma=False, rows_left_out=(),
         columns_left_out=()):
    """Read a data file as the program does.

    Parameters
    ----------
    path : str or os.PathLike
        The data file: a table of numbers.
    row_titles, column_titles : bool
        Every row begins with a title (the program's ,TOR); a line of column
        titles comes first (,TOC).
    separator : None, ',', ';' or '\\t' (or 'comma', 'semicolon', 'tab')
        The character between the values (,SEPC, ,SEPS, ,SEPT); None: blanks.
    decimal_comma : bool
        Decimal commas instead of points (,DEC).
    rows_left_out, columns_left_out : iterable of int and range, or str
        Rows or columns of the file left out, numbered from 1 as the program
        numbers the file's rows and columns, e.g. ``(2, range(5, 8))`` or
        ``"[2,5..7]"``.

    Returns
    -------
    Table

    Raises
    ------
    FileNotFoundError, PermissionError, OSError
        The file cannot be opened or read.
    TypeError
        A parameter of the wrong type.
    qor.Error
        As the program stops: 106 for a token that is not a number or a row
        of another length, 65 for nothing to analyse; the hints name this
        function's parameters.
    """
    if separator not in _SEPARATORS:
        raise ValueError("separator must be None, ',', ';' or '\\t', not %r" % (separator,))
    path = _os.fspath(path)
    if not isinstance(path, str):
        path = _os.fsdecode(path)
    try:
        d = _qor.load(path, bool(row_titles), bool(column_titles), _SEPARATORS[separator], bool(decimal_comma),
                      _selection(rows_left_out, "rows_left_out"), _selection(columns_left_out, "columns_left_out"))
    except Error as e:
        if e.status not in _PROGRAM_NUMBERS and e.status in _errno.errorcode:
            # A failed file operation carries the system's number: OSError
            # picks its subclass (FileNotFoundError for 2).
            raise OSError(e.status, _os.strerror(e.status), path) from None
        raise _error_of(e.status, _python_words(e.message)) from None
    return Table(d["values"], _labels(d["rows"]), _labels(d["columns"]), d["rows"]["numbers"],
                 d["columns"]["numbers"])


class _Data:
    """The data as the C++ half reads them, with the caller's labels.

    values: a 2-D float32, float64 or longdouble array (a view where it can);
    rows, columns: the labels for the C++ half (titles, original numbers);
    row_labels, column_labels: the caller's labels (None: positions);
    row_numbers, column_numbers: the program's numbers of the rows and
    columns (from 1; a loaded table's numbers in its file)."""

    def __init__(self, values, rows, columns, row_labels, column_labels, row_numbers, column_numbers):
        self.values = values
        self.rows, self.columns = rows, columns
        self.row_labels, self.column_labels = row_labels, column_labels
        self.row_numbers, self.column_numbers = row_numbers, column_numbers

    def positions(self, numbers, axis):
        """0-based positions in the data of the program's numbers."""
        known = self.row_numbers if axis == 0 else self.column_numbers
        return _np.searchsorted(known, _np.asarray(numbers, dtype=_np.int64)).astype(_np.int64)

    def labels_at(self, positions, axis):
        labels = self.row_labels if axis == 0 else self.column_labels
        return None if labels is None else [labels[p] for p in positions]

    def label_words(self, i, j):
        """ "[3, 7]", with the labels when the data have them."""
        words = "[%d, %d]" % (i, j)
        named = []
        if self.row_labels is not None:
            named.append("row %r" % (self.row_labels[i],))
        if self.column_labels is not None:
            named.append("column %r" % (self.column_labels[j],))
        return words + (" (%s)" % ", ".join(named) if named else "")


def _title_labels(titles, count, what):
    """Titles given with the data for the C++ half: numbers or texts, one for
    each row or column."""
    if titles is None:
        return {}
    titles = list(titles)
    if len(titles) != count:
        raise ValueError("%d %s titles for %d %ss" % (len(titles), what, count, what))
    if all(isinstance(t, (int, float, _np.integer, _np.floating)) and not isinstance(t, bool) for t in titles):
        numbers = _np.array(titles, dtype=_np.longdouble)
        if _np.all(_np.isfinite(numbers)):
            return {"titles": numbers}
    return {"texts": [str(t) for t in titles]}


def _frame_titles(index):
    """A DataFrame's index or columns as titles; a plain 0, 1, 2, ... is none."""
    import pandas as pd  # only reached for a DataFrame

    if isinstance(index, pd.RangeIndex) and index.start == 0 and index.step == 1 and index.name is None:
        return None
    return list(index)


_NATIVE = tuple(_np.dtype(t) for t in (_np.float32, _np.float64, _np.longdouble))


def _native(values):
    """The values as the C++ half reads them in place: float32, float64 or
    longdouble in the machine's byte order; anything else widened exactly
    to longdouble (whole numbers and half floats fit its 64-bit
    significand)."""
    if values.dtype in _NATIVE and values.dtype.isnative:
        return values
    return values.astype(_np.longdouble)


def _numbers_of(values):
    """The data as an array of real numbers, or the reason they are not."""
    kind = values.dtype.kind
    if kind == "O":
        raise TypeError("the data is an array of Python objects, not of numbers; convert it with .astype(float)")
    if kind == "c":
        raise TypeError("the data is complex; qor analyses real matrices")
    if kind not in "biuf":
        raise TypeError("the data holds %s, not numbers" % values.dtype)
    if values.ndim != 2:
        raise ValueError("the data must be a 2-D array (rows x columns), not %d-D" % values.ndim)
    if values.size == 0:
        raise ValueError("the data is empty (%d x %d)" % values.shape)
    return _native(values)


def _matrix(a):
    """The data, their labels and the program's numbers of their rows and
    columns."""
    rows = columns = {}
    row_labels = column_labels = None
    row_numbers = column_numbers = None
    if type(a).__name__ == "DataFrame" and hasattr(a, "dtypes"):
        for name, dtype in a.dtypes.items():
            if dtype.kind not in "biuf":
                raise TypeError("column %r of the DataFrame holds %s, not numbers" % (name, dtype))
        row_labels = _frame_titles(a.index)
        column_labels = _frame_titles(a.columns)
        rows = _title_labels(row_labels, a.shape[0], "row")
        columns = _title_labels(column_labels, a.shape[1], "column")
        a = a.to_numpy()
    elif isinstance(a, Table):
        if a.row_titles is not None:
            row_labels = list(a.row_titles)
            rows = _title_labels(a.row_titles, a.values.shape[0], "row")
        if a.column_titles is not None:
            column_labels = list(a.column_titles)
            columns = _title_labels(a.column_titles, a.values.shape[1], "column")
        row_numbers = _np.asarray(a.row_numbers, dtype=_np.int64)
        column_numbers = _np.asarray(a.column_numbers, dtype=_np.int64)
        rows["numbers"] = row_numbers.tolist()
        columns["numbers"] = column_numbers.tolist()
        a = a.values
    elif isinstance(a, _np.ma.MaskedArray):
        masked = int(_np.count_nonzero(_np.ma.getmaskarray(a)))
        if masked:
            raise ValueError("the data is a masked array with %d masked element%s; qor analyses every element: fill "
                             "them (a.filled(value)) or leave their rows or columns out" %
                             (masked, "" if masked == 1 else "s"))
        a = a.data
    try:
        values = _np.asarray(a)
    except (TypeError, ValueError) as e:
        raise TypeError("the data cannot be read as an array of numbers: %s" % e) from None
    values = _numbers_of(values)
    n, m = values.shape
    if row_numbers is None:
        row_numbers = _np.arange(1, n + 1, dtype=_np.int64)
    if column_numbers is None:
        column_numbers = _np.arange(1, m + 1, dtype=_np.int64)
    return _Data(values, rows, columns, row_labels, column_labels, row_numbers, column_numbers)


def _refuse_non_finite(data):
    """Run-time error 106, as the program's, for the first value in row order
    that is not finite: its position from 0 and its labels."""
    finite = _np.isfinite(data.values)
    if finite.all():
        return
    i, j = (int(k) for k in _np.argwhere(~finite)[0])
    v = data.values[i, j]
    what = "not a number (NaN)" if _np.isnan(v) else "infinite"
    raise _error_of(106, "Runtime error 106: the data's element %s is %s; every value must be a finite number."
                    % (data.label_words(i, j), what))


# ---- Parameters


def _whole(value, name):
    """A whole number (int or numpy integer, not bool) or TypeError."""
    if isinstance(value, (bool, _np.bool_)):
        raise TypeError("%s must be a whole number, not %r" % (name, value))
    try:
        return _operator.index(value)
    except TypeError:
        raise TypeError("%s must be a whole number, not %r" % (name, value)) from None


def _is_error_array(value):
    return isinstance(value, _np.ndarray) or (type(value).__name__ == "DataFrame" and hasattr(value, "to_numpy"))


def _error(value, name):
    """An error as the decimal text the program reads: a Python float by its
    shortest text (0.01 is "0.01", as typed on the command line), a
    numpy.longdouble as it is. The library checks its range."""
    if value is None:
        return "0"
    if isinstance(value, _np.longdouble):
        return value
    if _is_error_array(value):
        raise TypeError("%s must be one number here; errors element by element (an array) are taken by "
                        "qor.eliminate, qor.eigen, qor.rank, qor.evolving, qor.dask.eigen and qor.dask.rank" % name)
    if isinstance(value, (bool, _np.bool_)) or not isinstance(value, (_numbers.Real, _np.integer, _np.floating)):
        raise TypeError("%s must be a number, not %r (or an array of the data's shape)" % (name, value))
    v = float(value)
    return repr(v) if _math.isfinite(v) else _np.longdouble(v)


def _threads(threads):
    if threads is None:
        return max(1, min(256, len(_os.sched_getaffinity(0))))
    return _whole(threads, "threads")


def _position(value, data, axis, name):
    """A row or column named by its position from 0 (negative from the end)
    or by its label: the program's number of it (from 1); 0 for None."""
    if value is None:
        return 0
    count = data.values.shape[axis]
    labels = data.row_labels if axis == 0 else data.column_labels
    if labels is not None and not isinstance(value, (int, _np.integer)) and value in labels:
        position = labels.index(value)
    else:
        position = _whole(value, name)
        if not -count <= position < count:
            raise ValueError("%s must be a position from 0 to %d (or from -%d), not %d"
                             % (name, count - 1, count, position))
        position %= count
    return position + 1


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


def _settings(error, relative_error, steps=None, statistics=False, product=True, reference_row=0,
              reference_column=0, verdict=False, threads=None):
    """The library's settings (references as the program numbers them, 0:
    none); the library checks them against the data when the call starts
    (qor.Error, a ValueError, naming the parameter)."""
    s = _qor.Settings()
    s.absolute_error = _error(error, "error")
    s.relative_error_percent = _error(relative_error, "relative_error")
    s.steps = -1 if steps is None else _whole(steps, "steps")
    s.statistics = bool(statistics)
    s.product_matrix = bool(product)
    s.reference_row = reference_row
    s.reference_column = reference_column
    s.verdict = bool(verdict)
    s.threads = _threads(threads)
    return s


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


def _element_errors(value, data, name):
    """An error given element by element (an array or DataFrame of the
    data's shape) as the C++ half reads it, or None for one number. The
    C++ half reads a float64 or float32 error as its shortest decimal text,
    as it reads one number, so an array of one repeated error gives that
    error's results to the last bit."""
    if not _is_error_array(value):
        return None
    if type(value).__name__ == "DataFrame":
        if data.row_labels is not None and (list(value.index) != data.row_labels
                                            or list(value.columns) != data.column_labels):
            raise ValueError("%s's index and columns must be the data's" % name)
        value = value.to_numpy()
    if isinstance(value, _np.ma.MaskedArray):
        if _np.ma.getmaskarray(value).any():
            raise ValueError("%s is a masked array with masked elements; give every element its error" % name)
        value = value.data
    if value.dtype.kind not in "biuf":
        raise TypeError("%s holds %s, not numbers" % (name, value.dtype))
    if value.shape != data.values.shape:
        raise ValueError("%s must have the data's shape %d x %d, not %s" % (
            (name,) + data.values.shape + (" x ".join(str(k) for k in value.shape) or "a scalar",)))
    if value.dtype.kind == "f" and not value.dtype.isnative and value.dtype.itemsize in (4, 8):
        value = value.astype(value.dtype.newbyteorder("="))  # still read as its shortest text
    values = _native(value)
    bad = ~(_np.isfinite(values) & (values >= 0))
    if bad.any():
        i, j = (int(k) for k in _np.argwhere(bad)[0])
        raise ValueError("%s%s is %r; an error is a standard deviation, a finite number of at least 0"
                         % (name, data.label_words(i, j), values[i, j]))
    return values


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
