"""The module as a notebook uses it: what it takes, what it refuses and how,
titles from DataFrames and files, results, warnings, progress and Ctrl-C."""

import os
import signal
import threading
import warnings

import numpy as np
import pytest

import qor

SOURCE = os.environ.get("QOR_SOURCE_DIR", ".")
MIXTURES = os.path.join(SOURCE, "examples", "mixtures.txt")


@pytest.mark.parametrize("data, kind, says", [
    (np.zeros(3), ValueError, "2-D"),
    (np.zeros((2, 2, 2)), ValueError, "2-D"),
    (np.zeros((0, 3)), ValueError, "empty"),
    (np.array([[1, object()]], dtype=object), TypeError, "Python objects"),
    (np.array([[1 + 2j, 1]]), TypeError, "complex"),
    (np.array([["a", "b"]]), TypeError, "not numbers"),
    ([[1.0, float("nan")], [2.0, 3.0]], qor.Error, "element [0, 1] is not a number (NaN)"),
    ([[1.0, 2.0], [float("inf"), 3.0]], qor.Error, "element [1, 0] is infinite"),
    (np.ma.masked_array([[1.0, 2.0], [3.0, 4.0]], mask=[[0, 0], [1, 0]]), ValueError, "1 masked element"),
])
def test_bad_data_is_refused_with_what_is_wrong(data, kind, says):
    with pytest.raises(kind, match=None) as caught:
        qor.eliminate(data)
    assert says in str(caught.value)


def test_qor_error_carries_the_status_and_the_programs_line():
    with pytest.raises(qor.Error) as caught:
        qor.rank([[1.0, float("nan")]])
    assert caught.value.status == 106
    assert caught.value.message.startswith("Runtime error 106: ")
    assert isinstance(caught.value, ValueError)
    with pytest.raises(FileNotFoundError) as missing:
        qor.load("no such file.txt")
    assert missing.value.filename == "no such file.txt"


@pytest.mark.parametrize("call", [
    lambda: qor.eliminate([[1, 2], [3, 4]], error=-0.1),
    lambda: qor.eliminate([[1, 2], [3, 4]], error=float("inf")),
    lambda: qor.eliminate([[1, 2], [3, 4]], relative_error=float("nan")),
    lambda: qor.eliminate([[1, 2], [3, 4]], steps=3),
    lambda: qor.eliminate([[1, 2], [3, 4]], steps=0),
    lambda: qor.eliminate([[1, 2], [3, 4]], reference_row=2),
    lambda: qor.eliminate([[1, 2], [3, 4]], reference_column=-3),
    lambda: qor.eliminate([[1, 2], [3, 4]], threads=0),
    lambda: qor.load(MIXTURES, separator="|"),
])
def test_settings_out_of_range_are_value_errors(call):
    with pytest.raises(ValueError):
        call()


def test_a_dataframe_gives_its_index_and_columns_as_titles():
    pd = pytest.importorskip("pandas")
    table = qor.load(MIXTURES, row_titles=True, column_titles=True)
    frame = pd.DataFrame(table.values.astype(float), index=["S%02d" % i for i in range(1, 13)],
                         columns=[400 + 10 * j for j in range(20)])
    e = qor.eliminate(frame, error=0.002, steps=3)
    # Mixtures 3, 1, 4 at 440, 510 and 570 nm, as the README's report says.
    assert e.row_titles == ["S03", "S01", "S04"]
    assert e.column_titles == [440, 510, 570] and all(type(t) is int for t in e.column_titles)
    assert list(e.rows) == [2, 0, 3] and list(e.row_numbers) == [3, 1, 4]
    assert list(e.columns) == [4, 11, 17] and list(e.column_numbers) == [5, 12, 18]
    plain = qor.eliminate(pd.DataFrame(table.values.astype(float)), steps=1)
    assert plain.row_titles is None
    with pytest.raises(TypeError, match="column 'b'"):
        qor.eliminate(pd.DataFrame({"a": [1.0, 2.0], "b": ["x", "y"]}))


def test_a_table_from_a_file_keeps_its_titles_and_original_numbers(tmp_path):
    path = tmp_path / "d.csv"
    path.write_text("Sample;400;450;500\nS1;1,5;2;3\nS2;4;5;6\nS3;7;8;9,5\n")
    t = qor.load(path, row_titles=True, column_titles=True, separator=";", decimal_comma=True, rows_left_out=[2],
                 columns_left_out="[1]")
    assert t.values.dtype == np.longdouble
    assert t.values.tolist() == [[2, 3], [8, 9.5]]
    assert t.row_titles == ["S1", "S3"]
    assert list(t.row_numbers) == [1, 3]
    e = qor.eliminate(t)
    # Positions in t.values from 0; the program's numbers are the file's.
    assert e.row_titles == ["S3", "S1"] and list(e.rows) == [1, 0] and list(e.row_numbers) == [3, 1]


def test_results_read_well():
    table = qor.load(MIXTURES, row_titles=True, column_titles=True)
    v = qor.rank(table, error=0.002)
    assert (v.rank, v.low, v.high, v.confident, v.error_given) == (3, 3, 3, True, True)
    assert repr(v) == "Rank(3)"
    assert v.reasons[:2] == ["Rank verdict", "Rank: 3"]
    assert str(v).startswith("Rank verdict\nRank: 3\n")
    assert set(v.to_dict()) >= {"low", "high", "rank", "sigma", "edge", "singular_values", "q_after"}
    assert v._repr_svg_().startswith("<?xml")
    e = qor.eigen(table, error=0.002)
    assert repr(e).startswith("Eigen(12 eigenvalues [44.84, 1.646, 0.8203")
    assert e.beyond.shape == (12, 3)
    assert e.q_rest[2] > 0.05 > e.q_rest[1]
    d = e.to_dict()
    assert list(d) == ["program", "version", "data_file", "written_file", "settings", "status", "message",
                       "results", "rank_verdict"]
    s = qor.eliminate(table, error=0.002, statistics=True, steps=4)
    assert s.statistics.shape == (4, 8)
    assert s.statistics.dtype == np.float64 and s.exact.statistics.dtype == np.longdouble
    assert qor.eliminate(table).pivot_sd is None


def test_warnings_come_through_the_warnings_module(monkeypatch):
    real = qor._qor.call

    class WithAPause:
        warnings = ["Pause in Gcf - a too large, itmax too small"]

        def __init__(self, run):
            self._run = run

        def __getattr__(self, name):
            return getattr(self._run, name)

    def with_a_pause(*args):
        return WithAPause(real(*args))

    monkeypatch.setattr(qor._qor, "call", with_a_pause)
    with pytest.warns(qor.QorWarning, match="Pause in Gcf"):
        qor.eliminate([[1.0, 2.0], [3.0, 4.0]])


def test_progress_shows_every_stage_in_order():
    seen = []
    qor.eigen(np.eye(3) + 0.1, error=0.01, rank=True, progress=seen.append)
    assert seen[-1] == "done"
    assert seen == sorted(seen, key=["preparing", "analysing", "judging", "writing", "done"].index)


def test_ctrl_c_stops_a_long_run_and_leaves_nothing_behind():
    rng = np.random.default_rng(3)
    big = rng.normal(size=(400, 400))
    threads_before = threading.active_count()

    def interrupt(stage):
        if stage == "analysing":
            signal.raise_signal(signal.SIGINT)

    seen = []
    with pytest.raises(KeyboardInterrupt):
        qor.eigen(big, error=0.01, threads=2, progress=lambda stage: (seen.append(stage), interrupt(stage)))
    assert "done" not in seen
    assert threading.active_count() == threads_before
    assert qor.rank([[1.0, 0.0], [0.0, 1.0]], error=0.01).rank == 2  # the module works on


def test_two_threads_at_once_share_nothing():
    rng = np.random.default_rng(4)
    data = [rng.normal(size=(30, 20)), rng.normal(size=(25, 35))]
    alone = [qor.eigen(a, error=1.0, rank=True).to_dict() for a in data]
    together = [None, None]

    def work(k):
        together[k] = qor.eigen(data[k], error=1.0, rank=True).to_dict()

    runs = [threading.Thread(target=work, args=(k,)) for k in range(2)]
    for r in runs:
        r.start()
    for r in runs:
        r.join()
    assert together == alone


def test_help_reads_well():
    for f in (qor.load, qor.eliminate, qor.eigen, qor.rank):
        assert "Parameters" in f.__doc__ and "Returns" in f.__doc__ and "Raises" in f.__doc__
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert qor.eliminate([[2, 1], [1, 3]]).steps_done == 2


@pytest.mark.parametrize("call, names", [
    (lambda: qor.eliminate([[1, 2], [3, 4]], steps=3), "steps must lie from 1 to 2"),
    (lambda: qor.eliminate([[1, 2], [3, 4]], threads=1000), "threads must lie from 1 to 256, not 1000"),
    (lambda: qor.rank([[1, 2], [3, 4]], error=-0.5), "error must be a finite number of at least 0, not -0.5"),
    (lambda: qor.rank([[1, 2], [3, 4]], relative_error=float("inf")), "relative_error must be a finite number"),
])
def test_one_check_in_the_library_names_the_parameter(call, names):
    with pytest.raises(qor.Error) as caught:
        call()
    assert names in str(caught.value)
    assert caught.value.status == 64


def test_the_settings_are_typed_and_travel_exactly():
    import pickle
    s = qor._settings(None, np.longdouble(1) / 3, steps=2, reference_row=1, threads=2)
    s.absolute_error = "0.1"
    back = pickle.loads(pickle.dumps(s))
    # "0.1" is read as the program reads it: the 80-bit value nearest to 0.1, not a double's.
    assert back.absolute_error == s.absolute_error == np.longdouble("0.1")
    assert back.absolute_error != np.longdouble(0.1)
    assert back.relative_error_percent == np.longdouble(1) / 3
    assert (back.steps, back.reference_row, back.threads) == (2, 1, 2)
    with pytest.raises(TypeError):
        qor._qor.call("eigne", np.eye(2), {}, {}, s, None)  # a kind is a qor._qor.Kind, not a text
