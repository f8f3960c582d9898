"""qor.dask.evolving_windows: the moving windows of a tall Dask array, the
same numbers as qor.evolving on the whole array, whether a window lies in
one block or straddles two; and what it refuses."""

import numpy as np
import pytest

import qor

da = pytest.importorskip("dask.array")
import qor.dask  # noqa: E402


def series():
    rng = np.random.default_rng(21)
    t = np.arange(120.0)
    c = np.stack([np.exp(-0.5 * ((t - 40) / 6) ** 2), np.exp(-0.5 * ((t - 70) / 8) ** 2)], axis=1)
    s = rng.uniform(0.2, 1.0, size=(2, 7))
    return c @ s + 0.002 * rng.standard_normal((120, 7))


@pytest.mark.parametrize("chunks, window", [(120, 5), (30, 5), ((50, 7, 63), 8), (40, 41)])
def test_windows_are_those_of_the_whole_array(chunks, window):
    a = series()
    whole = qor.evolving(a, error=0.002, window=window).windows
    got = qor.dask.evolving_windows(da.from_array(a, chunks=(chunks, 7)), window, error=0.002)
    assert got.index.tolist() == whole.index.tolist()
    for column in whole.columns:
        if column == "count":
            assert got[column].astype("float").fillna(-1).tolist() == whole[column].astype("float").fillna(-1).tolist()
        else:
            np.testing.assert_array_equal(got[column].to_numpy(), whole[column].to_numpy())


def test_blocks_too_short_and_no_error_are_refused():
    x = da.from_array(series(), chunks=(30, 7))
    with pytest.raises(ValueError, match="rechunk"):
        qor.dask.evolving_windows(x, 40, error=0.002)
    with pytest.raises(ValueError, match="need the error"):
        qor.dask.evolving_windows(x, 5)
