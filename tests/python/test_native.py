"""The module as numpy and pandas users expect it: arrays that went through
pickle, refusals in Python's exception types naming the parameter, float64
results with the 80-bit values beside them, DataFrames out, labels that keep
their type, positions from 0, eigenvectors and scores."""

import json
import os
import pickle

import numpy as np
import pytest

import qor

SOURCE = os.environ.get("QOR_SOURCE_DIR", ".")
MIXTURES = os.path.join(SOURCE, "examples", "mixtures.txt")


@pytest.fixture(scope="module")
def data():
    rng = np.random.default_rng(36)
    signal = rng.uniform(0.5, 2, (12, 3)) @ rng.uniform(0.5, 2, (3, 7))
    return signal + rng.normal(0, 0.01, signal.shape)


def exact(result):
    return result.to_dict(exact=True)["results"]


# ---- Any float array, whatever its dtype object


def test_arrays_and_frames_that_went_through_pickle_give_the_same_bits(data):
    pd = pytest.importorskip("pandas")
    expected = exact(qor.eigen(data, error=0.01))
    back = pickle.loads(pickle.dumps(data))
    # What the test stands on: an equal dtype that is not numpy's own object.
    assert back.dtype == np.float64 and back.dtype is not np.dtype(np.float64)
    assert exact(qor.eigen(back, error=0.01)) == expected
    frame = pickle.loads(pickle.dumps(pd.DataFrame(data)))
    assert exact(qor.eigen(frame, error=0.01)) == expected
    for dtype in (np.float32, np.longdouble):
        a = data.astype(dtype)
        assert exact(qor.eigen(pickle.loads(pickle.dumps(a)), error=0.01)) == exact(qor.eigen(a, error=0.01))


@pytest.mark.parametrize("convert", [
    lambda a: a.astype(">f8"),                 # the other byte order: read after widening
    lambda a: a.astype(np.float16).astype(np.float64),
    lambda a: np.asfortranarray(a),
])
def test_every_real_layout_is_read_as_its_values(data, convert):
    a = convert(data)
    assert exact(qor.eliminate(a, error=0.01)) == exact(qor.eliminate(np.ascontiguousarray(a, dtype=np.float64),
                                                                      error=0.01))


def test_half_floats_are_widened_exactly(data):
    half = data.astype(np.float16)
    assert exact(qor.eliminate(half)) == exact(qor.eliminate(half.astype(np.longdouble)))


# ---- Refusals that name the parameter, in Python's types


@pytest.mark.parametrize("call, kind, says", [
    (lambda a: qor.rank(a, error="0.003"), TypeError, "error must be a number, not '0.003'"),
    (lambda a: qor.rank(a, error=True), TypeError, "error must be a number, not True"),
    (lambda a: qor.rank(a, relative_error=[1]), TypeError, "relative_error must be a number"),
    (lambda a: qor.eigen(a, steps=2.5), TypeError, "steps must be a whole number, not 2.5"),
    (lambda a: qor.eigen(a, steps=True), TypeError, "steps must be a whole number"),
    (lambda a: qor.eliminate(a, threads="2"), TypeError, "threads must be a whole number, not '2'"),
    (lambda a: qor.eliminate(a, reference_row=1.0), TypeError, "reference_row must be a whole number"),
    (lambda a: qor.eliminate(a, reference_row=12), ValueError, "reference_row must be a position from 0 to 11"),
    (lambda a: qor.eliminate(a, threads=1000), qor.Error, "threads must lie from 1 to 256, not 1000"),
    (lambda a: qor.eliminate(a, steps=8), qor.Error, "steps must lie from 1 to 7"),
    (lambda a: qor.eigen(a, product=False), qor.Error, "product=False analyses the data matrix itself, which must "
                                                      "be square and symmetric; it is 12 x 7"),
])
def test_refusals_name_the_parameter(data, call, kind, says):
    with pytest.raises(kind) as caught:
        call(data)
    assert says in str(caught.value)


def test_the_matrix_itself_must_be_square_and_symmetric():
    b = np.array([[4.0, 1.0, 0.0], [1.0, 3.0, 0.5], [0.0, 0.5, 2.0]])
    skew = b.copy()
    skew[2, 1] = 0.25
    with pytest.raises(qor.Error, match=r"element \[1, 2\] differs from element \[2, 1\]"):
        qor.eigen(skew, product=False)
    # Symmetric: the eigenvalues of the matrix itself, as numpy finds them.
    e = qor.eigen(b, product=False)
    assert np.allclose(np.sort(e.eigenvalues), np.linalg.eigvalsh(b), rtol=1e-14)
    # The reference column left out of a square matrix leaves it 3 x 2.
    with pytest.raises(qor.Error, match="it is 3 x 2"):
        qor.eigen(b, product=False, reference_column=0)


def test_a_masked_array_is_taken_only_without_masked_elements(data):
    clean = np.ma.masked_array(data, mask=np.zeros(data.shape, dtype=bool))
    assert exact(qor.eliminate(clean)) == exact(qor.eliminate(data))
    masked = np.ma.masked_greater(data, np.percentile(data, 99))
    with pytest.raises(ValueError, match="masked array with 1 masked element"):
        qor.rank(masked, error=0.01)


def test_a_value_that_is_not_finite_is_named_by_its_position_and_labels(data):
    pd = pytest.importorskip("pandas")
    bad = data.copy()
    bad[3, 5] = np.inf
    with pytest.raises(qor.Error) as caught:
        qor.eliminate(bad)
    assert caught.value.status == 106
    assert "element [3, 5] is infinite" in caught.value.message
    frame = pd.DataFrame(bad, index=["s%d" % i for i in range(12)], columns=range(400, 470, 10))
    with pytest.raises(qor.Error, match=r"element \[3, 5\] \(row 's3', column 450\) is infinite"):
        qor.eliminate(frame)


def test_files_are_refused_in_pythons_words(tmp_path):
    with pytest.raises(FileNotFoundError) as missing:
        qor.load(tmp_path / "none.txt")
    assert missing.value.filename == str(tmp_path / "none.txt")
    path = tmp_path / "comma.txt"
    path.write_text("1,5 2\n3 4,25\n")
    with pytest.raises(qor.Error) as caught:
        qor.load(path)
    assert "decimal_comma=True" in caught.value.message
    assert ",DEC" not in caught.value.message
    assert qor.load(path, decimal_comma=True).values.tolist() == [[1.5, 2], [3, 4.25]]
    path.write_text("a;b\n1,5;2\n")
    with pytest.raises(qor.Error) as caught:
        qor.load(path)
    assert "separator=';'" in caught.value.message and ",SEPS" not in caught.value.message


# ---- Results as numpy, json and pandas users take them


def test_results_are_float64_with_the_exact_values_one_attribute_away(data):
    e = qor.eigen(data, error=0.01, rank=True)
    for name in ("eigenvalues", "eigenvalue_sd", "chi_square", "q_all", "q_rest", "eigenvectors", "loadings",
                 "scores"):
        value, exact_value = getattr(e, name), getattr(e.exact, name)
        assert value.dtype == np.float64 and exact_value.dtype == np.longdouble, name
        assert np.array_equal(value, exact_value.astype(np.float64)), name
    assert type(e.verdict.sigma) is float and type(e.verdict.exact.sigma) is np.longdouble
    text = json.dumps(e.to_dict())
    assert json.loads(text)["results"]["eigenvalues"][0]["value"] == e.eigenvalues[0]
    assert json.dumps(e.verdict.to_dict())


def test_pivots_are_placed_from_0_and_the_program_counts_from_1():
    x = np.ones((5, 9))
    x[3, 7] = 10.0
    e = qor.eliminate(x, steps=1)
    assert (e.rows[0], e.columns[0]) == (3, 7)
    assert (e.row_numbers[0], e.column_numbers[0]) == (4, 8)
    assert e.to_dict()["results"]["pivots"][0]["row"] == 4  # the results file is the program's


def test_labels_keep_their_type_and_frames_are_indexed_by_them(data):
    pd = pytest.importorskip("pandas")
    frame = pd.DataFrame(data, index=range(101, 113), columns=[436, 450, 480, 500, 520, 546, 578])
    e = qor.eliminate(frame, error=0.01, steps=3)
    assert all(type(t) is int for t in e.row_titles + e.column_titles)
    f = e.to_frame()
    assert list(f.index.names) == ["row", "column"]
    assert f.index[0] == (e.row_titles[0], e.column_titles[0])
    assert list(f.columns) == ["pivot", "sd", "row_position", "column_position"]
    assert f["pivot"].tolist() == e.pivots.tolist() and f["sd"].tolist() == e.pivot_sd.tolist()
    assert [frame.index[p] for p in f["row_position"]] == e.row_titles
    g = qor.eigen(frame, error=0.01, steps=3)
    values = g.to_frame()
    assert values.index.tolist() == [1, 2, 3] and values.index.name == "components"
    assert values["beyond_1sd"].tolist() == g.beyond[:, 0].tolist()
    assert np.allclose(values["variance"], g.eigenvalue_sd ** 2, rtol=1e-12)
    assert g.to_frame("scores").index.tolist() == list(range(101, 113))
    assert g.to_frame("loadings").index.tolist() == [436, 450, 480, 500, 520, 546, 578]
    # The reference row left out is not among the scores.
    assert qor.eigen(frame, steps=2, reference_row=0).to_frame("scores").index.tolist() == list(range(102, 113))
    with pytest.raises(ValueError, match="what must be"):
        g.to_frame("pivots")


@pytest.mark.parametrize("shape", [(12, 7), (7, 12)])
def test_eigenvectors_and_scores_are_those_of_the_singular_value_decomposition(shape):
    rng = np.random.default_rng(sum(shape) * shape[0])
    a = rng.normal(size=shape)
    e = qor.eigen(a)
    u, s, vt = np.linalg.svd(a, full_matrices=False)
    assert np.allclose(e.eigenvalues, s ** 2, rtol=1e-12)
    k = min(shape)
    # Up to the sign of each component: loadings are V, scores U S.
    signs = np.sign(np.sum(e.loadings * vt.T, axis=0))
    assert np.allclose(e.loadings * signs, vt.T, atol=1e-10)
    assert np.allclose(e.scores * signs, u * s, atol=1e-10)
    assert np.allclose(e.scores @ e.loadings.T, a, atol=1e-10)
    assert e.eigenvectors.shape == (k, k)
    assert np.allclose(np.linalg.norm(e.loadings, axis=0), 1, rtol=1e-12)


def test_the_version_is_the_programs():
    import subprocess

    binary = os.environ.get("QOR_BINARY", "build/qor")
    printed = subprocess.run([binary, "--version"], capture_output=True, text=True).stdout.split()
    assert printed == ["qor", qor.__version__]


def test_results_pickle_as_plain_python(data):
    e = qor.eigen(data, error=0.01, steps=2, rank=True)
    back = pickle.loads(pickle.dumps(e))
    assert back.to_dict(exact=True) == e.to_dict(exact=True)
    assert np.array_equal(back.exact.scores, e.exact.scores) and back.verdict.rank == e.verdict.rank
