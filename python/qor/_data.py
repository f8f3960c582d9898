"""The data as the C++ half reads them: tables read from files, arrays and
DataFrames with their labels, errors given element by element; the data's
refusals in Python's exception types."""

import errno as _errno
import os as _os
import re as _re

import numpy as _np

from . import _qor
from ._qor import Error
from ._parameters import _error_of, _is_error_array, _whole


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


def _error_type(dtype):
    """The type errors are read in: float32, float64 and longdouble as they
    are (in the other byte order turned round, so that a float64 error still
    counts as its shortest text), anything else longdouble, exactly."""
    if dtype.kind == "f" and not dtype.isnative and dtype.itemsize in (4, 8):
        return dtype.newbyteorder("=")
    return dtype if dtype in _NATIVE and dtype.isnative else _np.dtype(_np.longdouble)


def _first_bad_error(values):
    """The position (i, j) of the first error in row order that is negative
    or not finite, or None."""
    bad = ~(_np.isfinite(values) & (values >= 0))
    return tuple(int(k) for k in _np.argwhere(bad)[0]) if bad.any() else None


_NOT_AN_ERROR = "%s%s is %r; an error is a standard deviation, a finite number of at least 0"


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
    values = value.astype(_error_type(value.dtype), copy=False)
    bad = _first_bad_error(values)
    if bad is not None:
        raise ValueError(_NOT_AN_ERROR % (name, data.label_words(*bad), values[bad]))
    return values
