"""Evolving factor analysis: how many components the rows of a series hold,
window by window, and where each component appears and disappears."""

import warnings as _warnings

import numpy as _np

from . import _qor


class Evolving:
    """What :func:`evolving` finds.

    Attributes
    ----------
    forward : pandas.DataFrame
        One row per growing window of the first rows, indexed by the title of
        its last row: ``count`` (the number of components when the evidence
        decides, else missing), ``low`` and ``high`` (the range), ``edge``
        (the noise edge of the window's size) and the singular values
        ``s1``, ``s2``, ... (missing past the window's own).
    backward : pandas.DataFrame
        Likewise for the growing windows of the last rows, indexed by the
        title of each window's first row.
    windows : pandas.DataFrame
        Likewise for the moving windows of ``window`` rows, indexed by the
        title of each window's first row, with its last row's title in
        ``last``.
    components : pandas.DataFrame
        One row per component, in the order they appear: ``appears_low`` and
        ``appears_high``, the earliest and latest row where it may appear,
        ``disappears_low`` and ``disappears_high``, the earliest and latest
        row where it may be present for the last time (row titles; missing
        where the counts never show it with confidence). Rows
        ``appears_low`` to ``disappears_high`` are its concentration window.
    window : int
        Rows of a moving window.
    sigma : numpy.longdouble
        The error's root mean square, or the noise level estimated from the
        whole matrix when no error was given.
    error_given : bool
    """

    def __init__(self, d, titles):
        import pandas as pd

        self._d = d
        self.window = int(d["window"])
        self.window_default = bool(d["window_default"])
        self.error_given = bool(d["error_given"])
        self.equal_errors = bool(d["equal_errors"])
        self.sigma = _np.longdouble(d["sigma"])
        self.row_titles = titles
        self.forward = _frame(d["forward"], titles, "last")
        self.backward = _frame(d["backward"], titles, "first")
        self.windows = _frame(d["moving"], titles, "first", last=True)
        c = d["components"]
        self.components = pd.DataFrame(
            {name: pd.array([titles[i - 1] if i > 0 else None for i in c[name]], dtype=_title_dtype(titles))
             for name in ("appears_low", "appears_high", "disappears_low", "disappears_high")},
            index=pd.RangeIndex(1, len(c["appears_low"]) + 1, name="component"))

    def singular_values(self, which="forward"):
        """The singular values of one series as a numpy.longdouble array
        (windows x values, NaN past a window's own)."""
        key = {"forward": "forward", "backward": "backward", "windows": "moving"}[which]
        return _np.asarray(self._d[key]["singular"], dtype=_np.longdouble)

    def __repr__(self):
        return "<qor.Evolving: %d rows, %d components, moving windows of %d rows>" % (
            len(self.forward), len(self.components), self.window)


def _frame(w, titles, row, last=False):
    """One series of windows as a DataFrame indexed by the title of each
    window's `row` ("first" or "last"); with `last`, the title of its last
    row in a column of that name."""
    import pandas as pd

    low = _np.asarray(w["low"], dtype=_np.int64)
    high = _np.asarray(w["high"], dtype=_np.int64)
    count = pd.array(_np.where(low == high, low, 0), dtype="Int64")
    count[low != high] = pd.NA
    frame = pd.DataFrame({"count": count, "low": low, "high": high,
                          "edge": _np.asarray(w["edge"], dtype=_np.longdouble)},
                         index=pd.Index([titles[i - 1] for i in w[row]], name="row"))
    if last:
        frame["last"] = [titles[i - 1] for i in w["last"]]
    singular = _np.asarray(w["singular"], dtype=_np.longdouble)
    for k in range(singular.shape[1]):
        frame["s%d" % (k + 1)] = singular[:, k]
    return frame


def _title_dtype(titles):
    return "object" if any(isinstance(t, str) for t in titles) else None


def evolving(a, error=None, relative_error=None, window=None, reference_row=None, reference_column=None,
             threads=None):
    """Evolving factor analysis: the rank along the rows, with its confidence.

    The singular values of the first i rows (forward) and of the last i rows
    (backward), i = 1..N, and of every window of ``window`` consecutive rows;
    for each window the noise edge of its size and the number of components
    above it, as the rank verdict judges a matrix: one count, or a range
    where the noise's law does not decide. From the forward and backward
    counts the row where each component appears and the row where it is
    present for the last time, the first to appear taken as the first to
    disappear, with a range where the counts allow more than one row.

    Rows are taken in the data's order; a reference row or column is
    subtracted from the others and removed first, as in every analysis.

    Parameters
    ----------
    a : array-like, pandas.DataFrame or Table
        The data matrix; a DataFrame's index (or a Table's row titles) gives
        the row titles, else the rows are named by their positions from 0,
        as numpy counts them.
    error, relative_error : float or array, optional
        The measurement error (absolute; relative in per cent), one for all
        or element by element as for :func:`qor.eliminate`. Without it
        the noise level is estimated once from the whole matrix, whose
        noise is taken to be one level in every row.
    window : int, optional
        Rows of a moving window (1 to the rows analysed). By default twice
        the components of the whole matrix plus one, at least 3.
    reference_row, reference_column : int or label, optional
        Subtracted from the other rows (columns) and removed: a position
        from 0 (negative from the end), or a DataFrame's or Table's label.
    threads : int, optional
        Threads sharing the larger loops; the results are the same on any
        number.

    Returns
    -------
    Evolving

    Examples
    --------
    >>> e = qor.evolving(chromatogram, error=0.002)     # doctest: +SKIP
    >>> e.components                                    # doctest: +SKIP
    >>> e.forward[["count", "low", "high", "s1", "s2"]]  # doctest: +SKIP
    """
    from . import _element_errors, _matrix, _position, _settings, QorWarning

    data = _matrix(a)
    values = data.values
    errors = _element_errors(error, data, "error")
    relative = _element_errors(relative_error, data, "relative_error")
    settings = _settings(None if errors is not None else error, None if relative is not None else relative_error,
                         None, False, True, _position(reference_row, data, 0, "reference_row"),
                         _position(reference_column, data, 1, "reference_column"), False, threads)
    if window is None:
        w = 0
    else:
        if isinstance(window, bool) or int(window) != window:
            raise ValueError("window must be a whole number, not %r" % (window,))
        w = int(window)
        if w < 1:
            raise ValueError("window must be at least 1, not %d" % w)
    d = _qor.evolving(_np.ascontiguousarray(values, dtype=_np.longdouble), settings, w, errors, relative)
    for line in d["warnings"]:
        _warnings.warn(line, QorWarning, stacklevel=2)
    titles = _row_titles(a, values.shape[0])
    kept = [titles[i - 1] for i in d["table_rows"]]
    return Evolving(d, kept)


def _row_titles(a, count):
    """The titles of the data's rows: a DataFrame's index, a Table's titles
    (else its rows' numbers in the file), else the positions 0, 1, ..."""
    from . import Table

    if type(a).__name__ == "DataFrame" and hasattr(a, "index"):
        return list(a.index)
    if isinstance(a, Table):
        return list(a.row_titles) if a.row_titles is not None else [int(n) for n in a.row_numbers]
    return list(range(count))
