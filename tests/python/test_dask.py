"""The product-matrix analysis and the verdict of Dask arrays, on a real
cluster of two worker processes: the same bits for the same chunking, the
program's for one block, within the stated bound for several; data as users
keep them; a worker killed during the run; a block that is not finite."""

import os
import re

import numpy as np
import pytest

import qor

da = pytest.importorskip("dask.array")
distributed = pytest.importorskip("distributed")
import qor.dask  # noqa: E402

EPS = float(np.finfo(np.longdouble).eps)


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                       silence_logs=50)
    c = distributed.Client(cluster)
    yield c
    c.close()
    cluster.close()


@pytest.fixture(scope="module")
def tall():
    rng = np.random.default_rng(30)
    signal = rng.uniform(0.5, 2, (2400, 3)) @ rng.uniform(0.5, 2, (3, 9))
    return signal + rng.normal(0, 0.01, signal.shape)


def eigenvalues(result):
    return np.array([e["value"] for e in result.to_dict(exact=True)["results"]["eigenvalues"]], dtype=np.longdouble)


def test_one_block_gives_the_programs_numbers(client, tall):
    program = qor.eigen(tall, error=0.01, rank=True).to_dict(exact=True)
    for x in (da.from_array(tall, chunks=tall.shape), da.from_array(tall.T, chunks=tall.T.shape)):
        mine = qor.dask.eigen(x, error=0.01, rank=True, client=client).to_dict(exact=True)
        assert mine["results"] == program["results"]
        assert mine["rank_verdict"] == program["rank_verdict"]


def test_the_same_chunking_gives_the_same_bits_on_any_scheduler(client, tall):
    x = da.from_array(tall, chunks=(300, 9))
    on_cluster = qor.dask.eigen(x, error=0.01, rank=True, client=client).to_dict(exact=True)
    threaded = qor.dask.eigen(x, error=0.01, rank=True, threads=2).to_dict(exact=True)
    assert on_cluster["results"] == threaded["results"]
    assert on_cluster["rank_verdict"] == threaded["rank_verdict"]


def summation_bound(a):
    """How far two orders of the same sums over N rows can lie apart: each
    is within (N - 1) u of the sum of the magnitudes of its terms (recursive
    summation, u = 2^-64 the unit roundoff; N. J. Higham, "The accuracy of
    floating point summation", SIAM J. Sci. Comput. 14, 1993), and an
    eigenvalue moves by at most the 2-norm of the change of the matrix, at
    most M times its largest element."""
    u = EPS / 2
    magnitudes = np.abs(a).T @ np.abs(a)
    return 2 * (a.shape[0] - 1) * u * a.shape[1] * float(magnitudes.max()) * 1.01


@pytest.mark.parametrize("chunk", [1200, 777, 100, 1])
def test_several_blocks_stay_within_the_bound(client, tall, chunk):
    whole = qor.eigen(tall, error=0.01, rank=True)
    x = da.from_array(tall, chunks=(chunk, 9))
    mine = qor.dask.eigen(x, error=0.01, rank=True, client=client if chunk > 1 else None)
    assert np.max(np.abs((eigenvalues(mine) - eigenvalues(whole)).astype(float))) <= summation_bound(tall)
    assert mine.verdict.rank == whole.verdict.rank == 3
    assert (mine.beyond == whole.beyond).all()
    assert np.allclose(mine.q_rest.astype(float), whole.q_rest.astype(float), rtol=1e-9, atol=1e-12)


def test_data_as_users_keep_them(client, tall, tmp_path):
    reference = qor.dask.eigen(da.from_array(tall, chunks=(500, 9)), error=0.01, client=client).exact.eigenvalues
    stores = []
    zarr = pytest.importorskip("zarr")
    z = zarr.open(str(tmp_path / "t.zarr"), mode="w", shape=tall.shape, chunks=(500, 9), dtype="f8")
    z[:] = tall
    stores.append(da.from_zarr(str(tmp_path / "t.zarr")))
    memmap = np.lib.format.open_memmap(str(tmp_path / "t.npy"), mode="w+", dtype="f8", shape=tall.shape)
    memmap[:] = tall
    memmap.flush()
    stores.append(da.from_array(np.load(str(tmp_path / "t.npy"), mmap_mode="r"), chunks=(500, 9)))
    stores.append(da.from_array(tall, chunks=(500, 3)))  # blocks of unequal widths become whole rows
    for x in stores:
        assert list(qor.dask.eigen(x, error=0.01, client=client).exact.eigenvalues) == list(reference)
    # float32 blocks are widened exactly: the same as the float32 values widened in numpy.
    small = tall.astype(np.float32)
    assert list(qor.dask.eigen(da.from_array(small, chunks=(500, 9)), error=0.01).exact.eigenvalues) == list(
        qor.dask.eigen(da.from_array(small.astype(np.longdouble), chunks=(500, 9)), error=0.01).exact.eigenvalues)
    h5py = pytest.importorskip("h5py")
    with h5py.File(str(tmp_path / "t.h5"), "w") as f:
        f["d"] = tall
    with h5py.File(str(tmp_path / "t.h5"), "r") as f:
        assert list(qor.dask.eigen(da.from_array(f["d"], chunks=(500, 9)), error=0.01).exact.eigenvalues) == list(
            reference)
    dd = pytest.importorskip("dask.dataframe")
    np.savetxt(str(tmp_path / "t.csv"), tall, delimiter=",", fmt="%.17g")
    frame = dd.read_csv(str(tmp_path / "t.csv"), header=None, blocksize=40000)
    x = frame.to_dask_array(lengths=True)
    assert x.numblocks[0] > 1
    result = qor.dask.eigen(x, error=0.01, client=client)
    assert np.allclose(result.eigenvalues.astype(float), reference.astype(float), rtol=1e-12)


def test_wide_data_is_analysed_as_its_transpose(tall):
    wide = da.from_array(tall.T, chunks=(9, 600))
    assert list(qor.dask.eigen(wide, error=0.01).exact.eigenvalues) == list(
        qor.dask.eigen(da.from_array(tall, chunks=(600, 9)), error=0.01).exact.eigenvalues)


def test_sigma_of_a_given_error_reads_the_same_in_the_module_and_in_dask(tall):
    """An error of 0.01 given for every element is sigma 0.01 whatever the
    shape or the blocks: the mean of the equal variances of a wide array
    once came out just below it and read 1.000000E-02 instead of
    1.00000E-02."""
    rng = np.random.default_rng(1)
    x = rng.normal(size=(40, 5)) @ rng.normal(size=(5, 6)) + 0.01 * rng.normal(size=(40, 6))

    def sigma_line(verdict):
        return [line for line in verdict.reasons if line.startswith("Sigma:")]

    expected = ["Sigma: 1.00000E-02 (given)"]
    for data in (x, x.T, tall, tall.T):
        assert sigma_line(qor.rank(data, error=0.01)) == expected
        assert sigma_line(qor.dask.rank(da.from_array(data, chunks=(3, 3)), error=0.01)) == expected
        assert qor.rank(data, error=0.01).exact.sigma == qor.rank(x, error=0.01).exact.sigma


def test_a_worker_killed_during_the_run_changes_nothing(client, tall):
    x = da.from_array(tall, chunks=(200, 9))
    expected = qor.dask.eigen(x, error=0.01, client=client).to_dict(exact=True)
    killed = []

    def kill_once(stage):
        if not killed:  # the first block of pass 1 done: one worker dies, Dask reruns its blocks
            victim = sorted(client.scheduler_info()["workers"])[0]
            try:
                client.run(os._exit, 1, workers=[victim], wait=False)
            except Exception:  # the worker's connection ends with it
                pass
            killed.append(stage)

    again = qor.dask.eigen(x, error=0.01, client=client, progress=kill_once).to_dict(exact=True)
    assert killed == ["pass 1 1/12"]
    assert again["results"] == expected["results"]
    client.wait_for_workers(2)


def test_a_block_that_is_not_finite_names_its_rows_and_leaves_nothing_running(client, tall):
    bad = tall.copy()
    bad[1234, 5] = np.nan
    with pytest.raises(qor.Error) as caught:
        qor.dask.eigen(da.from_array(bad, chunks=(500, 9)), error=0.01, client=client)
    assert "element [1234, 5] is not a number (NaN)" in caught.value.message
    assert "(in the block of rows 1000 to 1499, from 0)" in caught.value.message
    assert caught.value.status == 106
    assert not any(client.processing().values())


@pytest.mark.parametrize("make, kind", [
    (lambda: da.zeros((0, 5), chunks=(1, 5)), ValueError),
    (lambda: da.from_array(np.array([["a", "b"], ["c", "d"]])), TypeError),
    (lambda: da.zeros((4, 3, 2)), ValueError),
])
def test_bad_arrays_are_refused(make, kind):
    with pytest.raises(kind):
        qor.dask.eigen(make())


def test_settings_are_checked_before_any_block_is_read(tall):
    calls = []
    x = da.from_array(tall, chunks=(500, 9)).map_blocks(lambda b: calls.append(1) or b, meta=tall[:0, :0])
    for settings, says in [(dict(steps=10), "steps must lie from 1 to 9"), (dict(error=-1), "error must be")]:
        with pytest.raises(qor.Error) as caught:
            qor.dask.eigen(x, **settings)
        assert says in caught.value.message
    assert calls == []


def test_edges_of_the_chunking(tall):
    whole = qor.eigen(tall[:, :1], error=0.01)
    one_column = qor.dask.eigen(da.from_array(tall[:, :1], chunks=(700, 1)), error=0.01)
    assert abs(float(one_column.exact.eigenvalues[0] - whole.exact.eigenvalues[0])) <= summation_bound(tall[:, :1])
    short_last = qor.dask.rank(da.from_array(tall, chunks=(1000, 9)), error=0.01)  # 1000, 1000, 400
    assert short_last.rank == 3
    assert any("random signs" in line or "plain components" in line or "Both tests" in line
               for line in short_last.reasons)
    estimated = qor.dask.rank(da.from_array(tall, chunks=(1000, 9)))
    assert estimated.low <= 3 <= estimated.high


def test_blocks_of_every_float_type_and_from_dataframes_on_the_cluster(client, tall, tmp_path):
    """Blocks come to the workers through pickle, whose dtype objects equal
    numpy's without being them; every documented input works there, with the
    same bits as the same chunking on Dask's own scheduler."""
    pd = pytest.importorskip("pandas")
    dd = pytest.importorskip("dask.dataframe")
    np.savetxt(str(tmp_path / "t.csv"), tall, delimiter=",", fmt="%.17g")
    inputs = {
        "from_pandas": dd.from_pandas(pd.DataFrame(tall), npartitions=4).to_dask_array(lengths=True),
        "read_csv": dd.read_csv(str(tmp_path / "t.csv"), header=None, blocksize=40000).to_dask_array(lengths=True),
        "float32": da.from_array(tall, chunks=(700, 9)).astype(np.float32),
        "longdouble": da.from_array(tall.astype(np.longdouble), chunks=(700, 9)),
    }
    for name, x in inputs.items():
        assert x.numblocks[0] > 1, name
        on_cluster = qor.dask.eigen(x, error=0.01, rank=True, client=client)
        local = qor.dask.eigen(x, error=0.01, rank=True)
        assert on_cluster.to_dict(exact=True)["results"] == local.to_dict(exact=True)["results"], name
        assert on_cluster.verdict.rank == 3, name
    # float32 blocks are the float32 values widened exactly.
    widened = da.from_array(tall.astype(np.float32).astype(np.longdouble), chunks=(700, 9))
    assert list(qor.dask.eigen(inputs["float32"], error=0.01, client=client).exact.eigenvalues) == list(
        qor.dask.eigen(widened, error=0.01).exact.eigenvalues)


@pytest.mark.parametrize("on_cluster", [True, False])
def test_progress_counts_the_blocks_of_both_passes(client, tall, on_cluster):
    import dask

    seen = []
    with dask.config.set(scheduler="distributed" if on_cluster else "threads"):
        qor.dask.eigen(da.from_array(tall, chunks=(600, 9)), error=0.01, rank=True, progress=seen.append)
    passes = [s for s in seen if s.startswith("pass")]
    assert passes == ["pass 1 %d/4" % k for k in range(1, 5)] + ["pass 2 %d/4" % k for k in range(1, 5)]
    assert seen[-1] == "done"


def test_a_progress_bar_over_the_blocks(tall, capsys):
    import dask

    pytest.importorskip("tqdm")
    with dask.config.set(scheduler="threads"):
        qor.dask.eigen(da.from_array(tall, chunks=(600, 9)), error=0.01, progress=True)
    shown = capsys.readouterr().err
    assert "qor.dask" in shown and "8/8" in shown


def test_the_cores_warnings_come_through_the_warnings_module(tall, monkeypatch):
    real = qor._qor.Blockwise

    class WithAWarning:
        def __init__(self, *args):
            self._core = real(*args)
            self.eigenvectors, self.wanted = self._core.eigenvectors, self._core.wanted

        def finish(self, tests, show):
            run = self._core.finish(tests, show)

            class Run:
                warnings = ["Pause in Gcf - a too large, itmax too small"]

                def __getattr__(self, name):
                    return getattr(run, name)

            return Run()

    monkeypatch.setattr(qor._qor, "Blockwise", WithAWarning)
    with pytest.warns(qor.QorWarning, match="Pause in Gcf"):
        qor.dask.eigen(da.from_array(tall, chunks=(600, 9)), error=0.01)


QUIET_CANCEL = r"""
import os
import signal
import time
import numpy as np
import dask.array as da
import distributed
import qor, qor.dask

if __name__ == "__main__":
    rng = np.random.default_rng(2)
    x = rng.normal(size=(4000, 6))
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        bad = x.copy()
        bad[2500, 3] = np.nan
        try:
            qor.dask.eigen(da.from_array(bad, chunks=(500, 6)), error=0.01, client=client)
        except qor.Error as e:
            print("refused", e.status)

        def ctrl_c(stage):
            if stage == "pass 1 2/8":  # as a terminal sends it: to every process of the group, workers too
                os.killpg(os.getpgrp(), signal.SIGINT)

        try:
            qor.dask.eigen(da.from_array(x, chunks=(500, 6)), error=0.01, client=client, progress=ctrl_c)
        except KeyboardInterrupt:
            print("interrupted")
        for _ in range(200):  # cancelling reaches the scheduler a moment later
            if not any(client.processing().values()):
                break
            time.sleep(0.05)
        print("processing", sum(len(v) for v in client.processing().values()))
        print("again", type(qor.dask.rank(da.from_array(x, chunks=(500, 6)), error=1.0, client=client)).__name__)
"""


def test_a_failing_block_and_ctrl_c_on_a_cluster_leave_no_tracebacks(tmp_path):
    """A script, as a user runs one in a terminal: the block that is not
    finite is refused without the cluster logging its contents; Ctrl-C,
    which reaches the LocalCluster's worker processes too, cancels quietly,
    and the cluster works on."""
    import subprocess
    import sys

    (tmp_path / "cancel.py").write_text(QUIET_CANCEL)
    # A session of its own: the script's Ctrl-C reaches its workers and nothing else.
    run = subprocess.run([sys.executable, "cancel.py"], cwd=tmp_path, capture_output=True, text=True, timeout=300,
                         start_new_session=True)
    assert run.returncode == 0, run.stderr
    assert run.stdout.split("\n")[:4] == ["refused 106", "interrupted", "processing 0", "again Rank"]
    stderr = _without_released_input_race(run.stderr)
    for noise in ("Traceback", "CancelledError", "Compute Failed", "nan"):
        assert noise not in stderr, run.stderr


# A log record of distributed's worker: from its time stamp to the next.
_WORKER_RECORD = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d+ - .*?(?=^\d{4}-\d\d-\d\d |\Z)", re.M | re.S)


def _without_released_input_race(stderr):
    """stderr without the one record distributed's worker may log when the
    Ctrl-C reaches it while it gathers a task's input that the cancel has
    just released: "Exception during execution of task", ending in a
    KeyError of that input's key. The race lies within distributed (its
    worker looks the key up after the scheduler let it go); a record of any
    other kind, or from qor's code, stays."""
    def keep(record):
        text = record.group(0)
        released = ("distributed.worker - ERROR - Exception during execution of task" in text
                    and text.rstrip().splitlines()[-1].startswith("KeyError: "))
        return "" if released else text
    return _WORKER_RECORD.sub(keep, stderr)
