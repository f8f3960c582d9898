"""The results of qor's analyses: Elimination, Eigen and Rank, with their
float64 arrays, the exact 80-bit values under ``exact``, ``to_dict()`` and
``to_frame()``. The analyses themselves are in the package (``qor.eliminate``,
``qor.eigen``, ``qor.rank``), which gives these classes under its own name."""

import json as _json

import numpy as _np


def _float64(values):
    return None if values is None else _np.asarray(values, dtype=_np.float64)


class Exact:
    """A result's numbers as the analysis computed them: numpy.longdouble
    (80-bit) arrays and scalars with the names of the result's float64
    ones."""

    def __init__(self, **values):
        self.__dict__.update(values)

    def __repr__(self):
        return "Exact(%s)" % ", ".join(sorted(self.__dict__))


class _Result:
    """What every result has: the program's results file as a dict, the
    picture, the warnings."""

    def __init__(self, run, data):
        # Plain Python values only, so that a result pickles: the data's
        # labels and shape, not the data.
        self._labels = None if data is None else (data.row_labels, data.column_labels)
        self._shape = None if data is None else data.values.shape
        self._json = run.json
        self._svg = run.svg
        self.warnings = list(run.warnings)

    def _set_exact(self, **values):
        self.exact = Exact(**values)
        for name, value in values.items():
            setattr(self, name, _float64(value) if isinstance(value, _np.ndarray) or value is None else float(value))

    def to_dict(self, exact=False):
        """The results with the keys and meaning of the program's JSON
        results file (,JSON): positions and numbers as the program counts
        them, from 1. Numbers are Python floats, ready for ``json.dumps``;
        with ``exact=True`` numpy.longdouble, the program's values to the
        last bit."""
        if exact:
            return _json.loads(self._json, parse_float=_np.longdouble)
        # Rounded once from the 80-bit value, as the float64 arrays are.
        return _json.loads(self._json, parse_float=lambda text: float(_np.longdouble(text)))

    def _repr_svg_(self):
        return self._svg or None

    @property
    def svg(self):
        """The picture of the evidence (SVG text), as ,PLOT writes it; data
        given as an array are titled by their size ("qor: array 5 x 6")."""
        return self._svg


def _frame():
    try:
        import pandas as pd
    except ImportError:
        raise ImportError("to_frame() needs pandas (apt-get install python3-pandas)") from None
    return pd


class Rank(_Result):
    """The rank verdict: one answer and how sure it is.

    Attributes
    ----------
    low, high : int
        The rank lies in low..high; the verdict is confident when they agree.
    rank : int or None
        The rank when confident, else None.
    confident : bool
    error_given : bool
        Judged with the measurement error; else the noise was estimated.
    equal_errors : bool
        Every element carries the same error (always True without one);
        unequal errors, given element by element or relative, take the
        verdict's path for them.
    sigma, edge : float
        The noise level (given or estimated) and the noise edge.
    singular_values, q_after : numpy.ndarray of float64
        The data's singular values, largest first; the residual test's Q
        after r = 0, 1, ... components.
    reasons : list of str
        The verdict block as the report prints it, line by line.
    exact : Exact
        sigma, edge, singular_values and q_after as numpy.longdouble.
    """

    def __init__(self, run, data=None):
        super().__init__(run, data)
        v = run.verdict
        self.low, self.high = v.low, v.high
        self.confident = self.low == self.high
        self.rank = self.low if self.confident else None
        self.error_given = v.error_given
        self.equal_errors = v.equal_errors
        self._set_exact(sigma=v.sigma, edge=v.edge, singular_values=v.singular_values, q_after=v.q_after)
        self.reasons = list(run.verdict_lines)

    def to_dict(self, exact=False):
        """The rank verdict with the keys of the JSON results file's
        "rank_verdict" (floats; numpy.longdouble with ``exact=True``)."""
        return super().to_dict(exact)["rank_verdict"]

    def __str__(self):
        return "\n".join(self.reasons)

    def __repr__(self):
        if self.confident:
            return "Rank(%d)" % self.rank
        return "Rank(%d to %d, uncertain)" % (self.low, self.high)


def _verdict(run, data):
    return Rank(run, data) if run.verdict is not None else None


class Elimination(_Result):
    """Gaussian elimination with complete pivoting.

    Attributes
    ----------
    pivots : numpy.ndarray of float64
        One pivot per step done.
    pivot_sd : numpy.ndarray of float64 or None
        Their standard deviations propagated from the error (None without one).
    rows, columns : numpy.ndarray of int
        Where the pivots stood: positions in the data given, from 0
        (``data[rows[k], columns[k]]``).
    row_numbers, column_numbers : numpy.ndarray of int
        The same as the program's report numbers them, from 1 (a loaded
        table's numbers in its file).
    row_titles, column_titles : list or None
        Their labels (a DataFrame's index and columns as they were, a
        table's titles), when the data have them.
    steps_done : int
    statistics : numpy.ndarray of float64 or None
        With statistics=True: per step, the remainder's mean, standard
        deviation, normalised skewness and kurtosis of the signed, then the
        absolute values (steps x 8).
    verdict : Rank or None
        With rank=True.
    exact : Exact
        pivots, pivot_sd and statistics as numpy.longdouble.
    """

    def __init__(self, run, data):
        super().__init__(run, data)
        sd = _np.sqrt(run.pivot_variances) if run.errors else None
        self._set_exact(pivots=run.pivots, pivot_sd=sd, statistics=run.statistics)
        self.row_numbers = run.pivot_row_numbers
        self.column_numbers = run.pivot_column_numbers
        self.rows = data.positions(self.row_numbers, 0)
        self.columns = data.positions(self.column_numbers, 1)
        self.row_titles = data.labels_at(self.rows, 0)
        self.column_titles = data.labels_at(self.columns, 1)
        self.steps_done = len(self.pivots)
        self.verdict = _verdict(run, data)

    def to_frame(self):
        """The pivots as a pandas DataFrame, one row per step, indexed by
        the pivots' row and column titles (their positions without titles):
        the pivot, its sd and its row and column positions from 0."""
        pd = _frame()
        index = pd.MultiIndex.from_arrays(
            [self.row_titles if self.row_titles is not None else self.rows,
             self.column_titles if self.column_titles is not None else self.columns], names=["row", "column"])
        sd = self.pivot_sd if self.pivot_sd is not None else _np.full(self.steps_done, _np.nan)
        return pd.DataFrame({"pivot": self.pivots, "sd": sd, "row_position": self.rows,
                             "column_position": self.columns}, index=index)

    def __repr__(self):
        shown = ", ".join("%.4g" % p for p in self.pivots[:4]) + (", ..." if self.steps_done > 4 else "")
        return "Elimination(%d steps, pivots [%s])" % (self.steps_done, shown)


def _components(run, eigenvalues):
    """Loadings (columns x k, unit columns) and scores (rows x k) of the
    data, data ~ scores @ loadings.T, as scikit-learn's PCA gives them
    without centring; None when the run kept no eigenvectors."""
    vectors, projections = run.eigenvectors, run.projections
    if vectors is None:
        return None, None, None
    if run.rows >= run.columns:
        # The decomposed matrix is over the columns: its eigenvectors are
        # the loadings, and the data projected on them the scores.
        return vectors, vectors, projections
    # Over the rows: the eigenvectors are the scores' directions; the
    # columns projected on them, scaled by the singular values, the loadings.
    with _np.errstate(divide="ignore", invalid="ignore"):
        singular = _np.sqrt(_np.where(eigenvalues > 0, eigenvalues, _np.nan))
        return vectors, projections / singular, vectors * singular


class Eigen(_Result):
    """The eigenvalue analysis with its residual tests.

    Attributes
    ----------
    eigenvalues, eigenvalue_sd : numpy.ndarray of float64
        The eigenvalues examined, by decreasing magnitude, and their standard
        deviations (None without an error).
    positions : numpy.ndarray of int
        Where each stood before sorting, from 0 (the report shows these + 1).
    beyond : numpy.ndarray of int, n x 3
        Residuals beyond 1, 2 and 3 standard deviations after 1, 2, ... n
        components (row k: after k + 1).
    chi_square, q_all, q_rest : numpy.ndarray of float64
        The chi-square sum and its tail probabilities Q(nm-i) and
        Q((n-i)(m-i)) (NaN without an error).
    eigenvectors : numpy.ndarray of float64, order x n
        The eigenvectors of the examined eigenvalues as columns, of the
        matrix decomposed: the product over the columns (columns x columns)
        when the data have at least as many rows as columns, else over the
        rows, or the matrix itself (product=False).
    loadings, scores : numpy.ndarray of float64, columns x n and rows x n
        The data as scores @ loadings.T summed over all components, with
        unit loadings, as scikit-learn's PCA (without centring) gives
        components_.T and transform(): the rows' coordinates on each
        component. Rows of the scores are the rows analysed (a reference
        row left out). None from qor.dask on several blocks (scores need
        another pass).
    verdict : Rank or None
        With rank=True.
    exact : Exact
        The arrays above as numpy.longdouble.
    """

    _reference = (-1, -1)  # the positions of the reference row and column left out; -1: none

    def __init__(self, run, data=None, eigenvectors=None):
        super().__init__(run, data)
        values = run.eigenvalues
        sd = _np.sqrt(run.eigenvalue_variances) if run.errors else None
        if eigenvectors is not None:
            vectors, loadings, scores = eigenvectors, eigenvectors, None
        else:
            vectors, loadings, scores = _components(run, values)
        self._set_exact(eigenvalues=values, eigenvalue_sd=sd, chi_square=run.chi_square, q_all=run.q_all,
                        q_rest=run.q_rest, eigenvectors=vectors, loadings=loadings, scores=scores)
        self._variances = _float64(run.eigenvalue_variances) if run.errors else None
        self.positions = run.positions - 1
        self.beyond = run.beyond
        self.verdict = _verdict(run, data)

    def to_frame(self, what="eigenvalues"):
        """A pandas DataFrame of the results.

        what="eigenvalues" (default): one row per eigenvalue examined,
        indexed by the number of components 1, 2, ... its tests are after:
        the eigenvalue, its sd and variance, its position before sorting
        (from 0), the residuals beyond 1, 2, 3 sd, chi-square, Q(nm-i) and
        Q((n-i)(m-i)). "scores": rows x components, indexed by the data's
        row titles (positions without titles); "loadings": columns x
        components, indexed by the column titles."""
        pd = _frame()
        if what == "eigenvalues":
            n = len(self.eigenvalues)
            sd = self.eigenvalue_sd if self.eigenvalue_sd is not None else _np.full(n, _np.nan)
            variance = self._variances if self._variances is not None else _np.full(n, _np.nan)
            return pd.DataFrame({
                "eigenvalue": self.eigenvalues, "sd": sd, "variance": variance, "position": self.positions,
                "beyond_1sd": self.beyond[:, 0], "beyond_2sd": self.beyond[:, 1], "beyond_3sd": self.beyond[:, 2],
                "chi_square": self.chi_square, "q_all": self.q_all, "q_rest": self.q_rest,
            }, index=pd.RangeIndex(1, n + 1, name="components"))
        if what not in ("scores", "loadings"):
            raise ValueError("what must be 'eigenvalues', 'scores' or 'loadings', not %r" % (what,))
        values = getattr(self, what)
        if values is None:
            raise ValueError("this result has no %s" % what)
        return pd.DataFrame(values, index=self._index(0 if what == "scores" else 1, values.shape[0]),
                            columns=pd.RangeIndex(1, values.shape[1] + 1, name="component"))

    def _index(self, axis, count):
        """The labels of the rows (columns) analysed: without the reference
        one the call left out."""
        labels = None if self._labels is None else self._labels[axis]
        positions = _np.arange(count if self._shape is None else self._shape[axis])
        if len(positions) != count:
            left_out = self._reference[axis]
            positions = positions[positions != left_out]
        return [labels[p] for p in positions] if labels is not None else positions

    def __repr__(self):
        shown = ", ".join("%.4g" % e for e in self.eigenvalues[:4]) + (", ..." if len(self.eigenvalues) > 4 else "")
        return "Eigen(%d eigenvalues [%s])" % (len(self.eigenvalues), shown)
