"""Errors element by element: error= and relative_error= take an array of
the data's shape. One error repeated gives the bits of that error given
once; each element's own error is propagated as worked out by hand; arrays
that cannot be errors are refused naming the parameter."""

import numpy as np
import pytest

import qor


@pytest.fixture(scope="module")
def data():
    rng = np.random.default_rng(15)
    signal = rng.uniform(0.5, 2, (9, 3)) @ rng.uniform(0.5, 2, (3, 6))
    return signal + rng.normal(0, 0.01, signal.shape)


def exact(result):
    """Every number of the results file but the settings, which say how the error was given."""
    d = result.to_dict(exact=True)
    return {key: value for key, value in d.items() if key != "settings"}


@pytest.mark.parametrize("given", [
    dict(error=0.003),
    dict(error=np.float32(0.003)),
    dict(relative_error=1.5),
    dict(error=0.01, relative_error=0.7),
])
def test_an_array_of_one_repeated_error_gives_the_bits_of_that_error(data, given):
    as_arrays = {}
    for name, value in given.items():
        as_arrays[name] = np.full(data.shape, value, dtype=np.asarray(value).dtype)
    for analysis in (qor.eliminate, qor.eigen, qor.rank):
        assert exact(analysis(data, **as_arrays)) == exact(analysis(data, **given)), analysis.__name__
    assert qor.evolving(data, **as_arrays).forward.equals(qor.evolving(data, **given).forward)


def test_each_element_keeps_its_own_error():
    # Pivot 5 with its own error 0.3; then 2 - 1 x 1 / 5 with
    # 0.1^2 + 0.2^2/25 + 0.1^2/25 + 0.3^2/625 = 0.012144.
    e = qor.eliminate([[2.0, 1.0], [1.0, 5.0]], error=np.array([[0.1, 0.2], [0.1, 0.3]]))
    assert e.pivots.tolist() == [5.0, 1.8]
    assert e.pivot_sd == pytest.approx([0.3, np.sqrt(0.012144)], rel=1e-14)
    # Relative errors in per cent of each value: 10 % of 5, against 0.2 for all.
    r = qor.eliminate([[2.0, 1.0], [1.0, 5.0]], error=0.2, relative_error=np.array([[1, 1], [1, 10]]))
    assert r.pivot_sd[0] == pytest.approx(0.5, rel=1e-15)


def test_unequal_errors_take_the_verdicts_path_for_them(data):
    errors = np.full(data.shape, 0.01)
    errors[:, 0] = 0.05
    v = qor.rank(data, error=errors)
    assert v.error_given and not v.equal_errors


def test_the_reference_row_leaves_its_errors_out_and_frames_go_by_their_labels(data):
    pd = pytest.importorskip("pandas")
    errors = np.linspace(0.01, 0.02, data.size).reshape(data.shape)
    with_reference = qor.eliminate(data, error=errors, reference_row=0)
    differences = qor.eliminate(data[1:] - data[0], error=errors[1:])
    assert with_reference.pivot_sd.tolist() == differences.pivot_sd.tolist()
    frame = pd.DataFrame(data, index=["s%d" % i for i in range(9)], columns=[400 + i for i in range(6)])
    same = pd.DataFrame(errors, index=frame.index, columns=frame.columns)
    assert exact(qor.eigen(frame, error=same)) == exact(qor.eigen(frame, error=errors))
    with pytest.raises(ValueError, match="index and columns must be the data's"):
        qor.eigen(frame, error=same.iloc[::-1])


@pytest.mark.parametrize("error, kind, words", [
    (np.full((3, 6), 0.01), ValueError, r"error must have the data's shape 9 x 6, not 3 x 6"),
    (np.full((9, 6), -0.01), ValueError, r"error\[0, 0\] is .*-0.01.*at least 0"),
    (np.full((9, 6), np.nan), ValueError, r"error\[0, 0\] is nan"),
    (np.full((9, 6), "a"), TypeError, r"error holds <U1, not numbers"),
    ([0.1, 0.2], TypeError, r"error must be a number, not \[0.1, 0.2\] \(or an array of the data's shape\)"),
])
def test_arrays_that_cannot_be_errors_are_refused(data, error, kind, words):
    with pytest.raises(kind, match=words):
        qor.eliminate(data, error=error)


@pytest.fixture(scope="module")
def tall():
    rng = np.random.default_rng(16)
    signal = rng.uniform(0.5, 2, (400, 3)) @ rng.uniform(0.5, 2, (3, 8))
    errors = 0.002 + 0.01 * rng.uniform(size=signal.shape)
    return signal + rng.normal(0, 1, signal.shape) * errors, errors


def test_blocks_take_errors_element_by_element(tall):
    """One block is the program's run to the bit; several blocks with one
    error repeated are those blocks with that error given once; unequal
    errors agree with the run in memory within the blocks' rounding."""
    da = pytest.importorskip("dask.array")
    import qor.dask

    values, errors = tall
    one = da.from_array(values, chunks=(400, 8))
    assert exact(qor.dask.eigen(one, error=errors, rank=True)) == exact(qor.eigen(values, error=errors, rank=True))
    blocks = da.from_array(values, chunks=(90, 8))
    repeated = np.full(values.shape, 0.004)
    assert (exact(qor.dask.eigen(blocks, error=da.from_array(repeated, chunks=(50, 8)), rank=True))
            == exact(qor.dask.eigen(blocks, error=0.004, rank=True)))
    apart, whole = qor.dask.eigen(blocks, error=errors, rank=True), qor.eigen(values, error=errors, rank=True)
    assert apart.eigenvalue_sd == pytest.approx(whole.eigenvalue_sd, rel=1e-12)
    assert apart.chi_square == pytest.approx(whole.chi_square, rel=1e-12)
    v = qor.dask.rank(blocks, relative_error=np.full(values.shape, 0.5))
    assert v.error_given and not v.equal_errors


def test_blocks_refuse_errors_that_cannot_be(tall):
    da = pytest.importorskip("dask.array")
    import qor.dask

    values, errors = tall
    blocks = da.from_array(values, chunks=(90, 8))
    bad = errors.copy()
    bad[250, 3] = -1
    with pytest.raises(ValueError, match=r"error\[250, 3\] is -1.0"):
        qor.dask.eigen(blocks, error=bad)
    with pytest.raises(ValueError, match="error must have the data's shape 400 x 8, not 400 x 7"):
        qor.dask.eigen(blocks, error=errors[:, :7])
    with pytest.raises(TypeError, match="error must be one number here"):
        qor.dask.evolving_windows(blocks, 5, error=errors)
