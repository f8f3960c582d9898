"""The module's numbers are the program's to the last bit: a matrix written
with enough digits to read back exactly, the program run with ,JSON, and
the module's to_dict() on the same matrix, both read as numpy.longdouble."""

import json
import os
import subprocess

import numpy as np
import pytest

import qor

QOR = os.environ.get("QOR_BINARY", "build/qor")


def exact_text(value):
    # 21 significant digits tell every 80-bit value apart.
    return np.format_float_scientific(np.longdouble(value), precision=20, unique=False)


@pytest.fixture(scope="module")
def matrix():
    rng = np.random.default_rng(28)
    signal = rng.uniform(0.5, 2, (9, 2)) @ rng.uniform(0.5, 2, (2, 7))
    return (signal + rng.normal(0, 0.01, signal.shape)).astype(np.longdouble) / 3


def program_results(tmp_path, matrix, parameters, threads):
    (tmp_path / "d.txt").write_text("\n".join(" ".join(exact_text(v) for v in row) for row in matrix) + "\n")
    run = subprocess.run([QOR, "d.txt," + parameters[0]] + parameters[1:], cwd=tmp_path, capture_output=True,
                         env=dict(os.environ, QOR_THREADS=str(threads)), stdin=subprocess.DEVNULL)
    assert run.returncode == 0, run.stdout
    return json.loads((tmp_path / "OUT.json").read_text(), parse_float=np.longdouble)


CASES = {
    "elimination with the error and the verdict":
        (["JSON,RANK", "out.txt", "", "0.01"], lambda a, t: qor.eliminate(a, error=0.01, rank=True, threads=t)),
    "elimination without the error": (["JSON", "out.txt"], lambda a, t: qor.eliminate(a, threads=t)),
    "unequal errors": (["JSON,RANK", "out.txt", "", "0.01%2"],
                       lambda a, t: qor.eliminate(a, error=0.01, relative_error=2, rank=True, threads=t)),
    "product matrix with the error":
        (["JSON,RANK", "out.txt", "B", "0.01"], lambda a, t: qor.eigen(a, error=0.01, rank=True, threads=t)),
    "product matrix, verdict estimated": (["JSON,RANK", "out.txt", "B"], lambda a, t: qor.eigen(a, rank=True, threads=t)),
    # R2, the program's row 2, is position 1.
    "steps, reference row, statistics": (["JSON", "out.txt", "S", "0.01", "3", "R2"],
                                         lambda a, t: qor.eliminate(a, error=0.01, statistics=True, steps=3,
                                                                    reference_row=1, threads=t)),
}


@pytest.mark.parametrize("threads", [1, 2])
@pytest.mark.parametrize("name", sorted(CASES))
def test_the_module_gives_the_programs_numbers(tmp_path, matrix, name, threads):
    parameters, call = CASES[name]
    program = program_results(tmp_path, matrix, parameters, threads)
    module = call(matrix, threads).to_dict(exact=True)
    assert module["results"] == program["results"]
    assert module["rank_verdict"] == program["rank_verdict"]
    for key in ("absolute_error", "relative_error", "steps", "rows", "columns", "mode", "product_matrix"):
        assert module["settings"][key] == program["settings"][key], key


def test_the_square_matrix_itself(tmp_path):
    rng = np.random.default_rng(5)
    b = rng.normal(size=(6, 6))
    square = ((b + b.T) / 2).astype(np.longdouble)
    program = program_results(tmp_path, square, ["JSON", "out.txt", "E", "0.01"], 1)
    assert qor.eigen(square, error=0.01, product=False).to_dict(exact=True)["results"] == program["results"]


def test_arrays_hold_the_values_of_to_dict(matrix):
    e = qor.eliminate(matrix, error=0.01, rank=True)
    d = e.to_dict(exact=True)
    assert e.exact.pivots.dtype == np.longdouble
    assert list(e.exact.pivots) == [p["value"] for p in d["results"]["pivots"]]
    assert list(e.exact.pivot_sd) == [p["sd"] for p in d["results"]["pivots"]]
    assert list(e.row_numbers) == [p["row"] for p in d["results"]["pivots"]]
    assert list(e.rows + 1) == list(e.row_numbers)
    assert list(e.verdict.exact.singular_values) == d["rank_verdict"]["singular_values"]
    # The float64 arrays are the 80-bit values rounded once; to_dict() likewise.
    assert e.pivots.dtype == np.float64
    assert list(e.pivots) == list(e.exact.pivots.astype(np.float64))
    assert [p["value"] for p in e.to_dict()["results"]["pivots"]] == list(e.pivots)


def test_float64_widens_exactly_and_views_read_as_copies(matrix):
    as_float64 = matrix.astype(np.float64)
    def pivots(a):
        return list(qor.eliminate(a).exact.pivots)

    assert pivots(as_float64) == pivots(as_float64.astype(np.longdouble))
    assert pivots(matrix.T) == pivots(np.ascontiguousarray(matrix.T))
    assert pivots(matrix[::2, 1:]) == pivots(matrix[::2, 1:].copy())
    whole = np.array([[2, 1], [1, 3]])
    assert pivots(whole) == [3, 2 - np.longdouble(1) / 3]
