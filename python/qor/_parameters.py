"""The parameters of the analyses as the C++ half takes them: whole numbers,
errors given as one number, threads, positions, the library's settings; and
qor.Error as the C++ half raises it. Each refusal is Python's exception and
names the parameter."""

import math as _math
import numbers as _numbers
import operator as _operator
import os as _os

import numpy as _np

from ._qor import Error
from . import _qor


def _error_of(status, text):
    """A qor.Error as the C++ half raises it: the run-time error number as
    ``status``, the program's line as ``message``."""
    e = Error(text)
    e.status = status
    e.message = text
    return e




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
