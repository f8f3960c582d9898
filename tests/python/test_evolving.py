"""qor.evolving: the windows' singular values against numpy's SVD, a
chromatogram whose components appear and disappear at known rows, row
titles, the reference row, and what it refuses."""

import numpy as np
import pandas as pd
import pytest

import qor


def noisy(shape, level, seed):
    return level * np.random.default_rng(seed).standard_normal(shape)


def boxes():
    """Component 1 in rows 4..12, component 2 in rows 8..17 of 22, with
    spectra over 6 columns that are not parallel."""
    c = np.zeros((22, 2))
    c[3:12, 0] = 1.0
    c[7:17, 1] = 1.0
    s = np.array([[1.0, 2.0, 0.5, 1.0, 0.0, 1.0], [0.0, 1.0, 3.0, -1.0, 2.0, 0.5]])
    return c @ s


def test_singular_values_agree_with_numpy():
    a = np.random.default_rng(7).standard_normal((12, 5))
    e = qor.evolving(a, error=0.1, window=4)
    # Rows are named by their positions from 0: forward window i ends at
    # row i, backward window i begins there.
    for i in range(12):
        expected = np.linalg.svd(a[:i + 1], compute_uv=False)
        got = e.forward.loc[i, ["s%d" % (k + 1) for k in range(len(expected))]].to_numpy(dtype=float)
        np.testing.assert_allclose(got, expected, rtol=1e-12, atol=1e-13)
        expected = np.linalg.svd(a[i:], compute_uv=False)
        got = e.backward.loc[i, ["s%d" % (k + 1) for k in range(len(expected))]].to_numpy(dtype=float)
        np.testing.assert_allclose(got, expected, rtol=1e-12, atol=1e-13)
    for i in range(9):
        expected = np.linalg.svd(a[i:i + 4], compute_uv=False)
        got = e.windows.loc[i, ["s1", "s2", "s3", "s4"]].to_numpy(dtype=float)
        np.testing.assert_allclose(got, expected, rtol=1e-12, atol=1e-13)
        assert e.windows.loc[i, "last"] == i + 3
    # Past a window's own values: missing.
    assert np.isnan(float(e.forward.loc[1, "s3"]))
    assert len(e.windows) == 9 and e.window == 4


@pytest.mark.parametrize("error", [0.001, None])
def test_components_appear_and_disappear_at_their_rows(error):
    a = boxes() + noisy((22, 6), 0.001, 3)
    titles = [100 + 5 * i for i in range(22)]  # the time of each row
    e = qor.evolving(pd.DataFrame(a, index=titles), error=error)
    c = e.components
    assert list(c.index) == [1, 2]
    # The sure ends are the true rows; the ranges hold them (a window of a
    # few rows of noise alone may pass the 95 % point of the noise's law).
    assert list(c["appears_high"]) == [titles[3], titles[7]]
    assert list(c["disappears_low"]) == [titles[11], titles[16]]
    assert all(low <= high for low, high in zip(c["appears_low"], c["appears_high"]))
    assert all(low <= high for low, high in zip(c["disappears_low"], c["disappears_high"]))
    assert e.forward.index.tolist() == titles
    assert e.backward.index.tolist() == titles
    # The sure counts are the truth; a window of noise alone may now and
    # then say "or one more" (the noise's 95 % or 90 % point), never more.
    truth = [0] * 3 + [1] * 4 + [2] * 15
    assert e.forward["low"].tolist() == truth
    assert all(t <= h <= t + 1 for t, h in zip(truth, e.forward["high"]))
    assert e.error_given == (error is not None)
    if error is None:
        # The noise estimated from the whole matrix: near the level drawn.
        assert 0.0007 < float(e.sigma) < 0.0013


def test_a_range_leaves_the_count_missing():
    # A second component barely above the noise in the last rows.
    a = noisy((30, 8), 1.0, 11)
    a[:, :] += np.outer(np.linspace(0, 30, 30), np.ones(8))
    e = qor.evolving(a, error=1.0, window=6)
    for frame in (e.forward, e.backward, e.windows):
        ranged = frame["low"] != frame["high"]
        assert frame["count"][ranged].isna().all()
        assert (frame["count"][~ranged] == frame["low"][~ranged]).all()
        assert (frame["low"] <= frame["high"]).all()


def test_reference_row_is_subtracted_and_removed():
    a = np.random.default_rng(5).standard_normal((9, 4))
    e = qor.evolving(a, error=0.01, reference_row=2, window=3)  # the third row, from 0 as numpy counts
    b = np.delete(a - a[2], 2, axis=0)
    assert e.forward.index.tolist() == [0, 1, 3, 4, 5, 6, 7, 8]
    expected = np.linalg.svd(b, compute_uv=False)
    np.testing.assert_allclose(e.forward.iloc[-1][["s1", "s2", "s3", "s4"]].to_numpy(dtype=float), expected,
                               rtol=1e-12)


@pytest.mark.parametrize("window, says", [(0, "at least 1"), (2.5, "whole number"), (10, "window must lie")])
def test_bad_window_is_refused(window, says):
    with pytest.raises(ValueError) as caught:
        qor.evolving(np.ones((9, 3)), window=window)
    assert says in str(caught.value)


def test_ctrl_c_stops_the_analysis_and_leaves_nothing_behind():
    import signal
    import threading

    # Some three thousand windows: longer than the moment Ctrl-C comes after.
    big = np.random.default_rng(5).normal(size=(1500, 60))
    threads_before = threading.active_count()
    main = threading.main_thread().ident
    timer = threading.Timer(0.3, lambda: signal.pthread_kill(main, signal.SIGINT))
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            qor.evolving(big, error=0.01, threads=2)
    finally:
        timer.cancel()
        timer.join()
    assert threading.active_count() == threads_before
    assert qor.evolving(np.eye(4) + 0.1, error=0.01).window >= 1  # the module works on
