#!/usr/bin/env python3
"""Evolving factor analysis study: how often qor.evolving's count per window
is right on simulated series of known truth, and how far its appearance and
disappearance rows lie from the true ones, beside the usual reading by eye
automated: a fixed threshold on the singular values at the largest singular
value of a noise-only stretch of rows.

Needs the Python module built (PYTHONPATH=build/python) with numpy and pandas.

Usage: PYTHONPATH=build/python bench/evolving_study.py [--seed S] [--repeats R]
       (defaults: seed 1, 2 repeats of every setting; about a minute)

Series (rows: time or added volume; columns: 30 wavelengths), 2 to 6
components with random smooth spectra:
  chromatogram  elution profiles along 160 rows, Gaussian or exponentially
                tailed (a Gaussian convolved with an exponential of 1.5
                widths), with the peaks' distance in widths from 4
                (separated) through 2 to 0.8 (nearly coeluting); the first
                20 rows are baseline
  titration     the species of a stepwise equilibrium along 160 rows of
                added reagent: species k is present between the k-th and
                the (k+1)-th step (a chain of logistic fractions), the steps
                4, 2 or 1 pH units apart; 20 rows of reagent alone before
                the first step
Noise:
  known     normal, standard deviation 0.002, the error given
  unknown   the same, the error not given (estimated)
  uneven    deviation max(0.001, 3 % of the value), the error given as
            0.001 and 3 %
(peak heights 0.2 to 1, so the weakest component stands 100 to 500 noise
deviations high at its apex)

The truth: a component is present in a row when its part of that row,
c_k(i) |s_k|, reaches the norm of the row's noise, sigma sqrt(M) (for
uneven noise its root mean square); a window's true count is the number
of components present in any of its rows; a component's true appearance
and disappearance rows are the first and last rows where it is present.

Scored, for the forward, backward and moving windows together: "right"
(a confident count equal to the truth), "in range" (a range holding the
truth), "wrong" (a confident count not the truth, or a range that misses
it); and for each component the distance in rows between the truth and
the nearest end of qor's range (0 when the range holds it). The threshold
reading takes every singular value above the largest singular value of
rows 1..20 (noise only) as a component, in every window, and places the
components with the same first-in first-out pairing.
"""
import argparse
import math
import sys
import time

import numpy as np

import qor

ROWS, COLUMNS, BASELINE = 160, 30, 20


def spectra(rng, k):
    """k smooth positive spectra: two Gaussian bands each, well apart."""
    x = np.arange(COLUMNS)
    s = np.zeros((k, COLUMNS))
    for c in range(k):
        for _ in range(2):
            centre, width = rng.uniform(0, COLUMNS), rng.uniform(3, 8)
            s[c] += rng.uniform(0.3, 1.0) * np.exp(-((x - centre) / width) ** 2)
    return s


def gaussian(t, centre, width):
    return np.exp(-0.5 * ((t - centre) / width) ** 2)


def tailed(t, centre, width, tau):
    """A Gaussian convolved with an exponential decay of time constant tau."""
    dt = t[1] - t[0]
    g = gaussian(t, centre, width)
    kernel = np.exp(-np.arange(0, 10 * tau, dt) / tau)
    out = np.convolve(g, kernel)[: len(t)]
    return out / out.max()


def chromatogram_profiles(rng, k, distance, shape):
    t = np.arange(ROWS, dtype=float)
    width = 4.0
    span = distance * width * (k - 1)
    first = BASELINE + 3 * width + rng.uniform(0, max(1.0, ROWS - BASELINE - 10 * width - span))
    c = np.zeros((ROWS, k))
    for j in range(k):
        centre = first + j * distance * width
        c[:, j] = gaussian(t, centre, width) if shape == "gaussian" else tailed(t, centre, width, 1.5 * width)
        c[:, j] *= rng.uniform(0.2, 1.0)
    return c


def titration_profiles(rng, k, step):
    """Fractions of species 1..k along pH; step pH units between the steps."""
    ph = np.linspace(0, 16, ROWS)
    first = ph[BASELINE] + 1.5
    pk = [first + step * j for j in range(k - 1)]
    logs = np.zeros((ROWS, k))
    for j in range(1, k):
        logs[:, j] = logs[:, j - 1] + (ph - pk[j - 1]) * math.log(10)
    logs -= logs.max(axis=1, keepdims=True)
    f = np.exp(logs)
    f /= f.sum(axis=1, keepdims=True)
    # Nothing before the reagent: the total rises over the baseline rows.
    amount = np.clip((np.arange(ROWS) - BASELINE) / 5.0, 0, 1)
    return f * amount[:, None] * rng.uniform(0.5, 1.0, size=k)


def truth_presence(c, s, noise_norm):
    part = c * np.linalg.norm(s, axis=1)[None, :]
    return part >= noise_norm


def true_count(presence, first, last):
    return int(presence[first - 1:last].any(axis=0).sum())


def threshold_counts(singular, threshold):
    return np.sum(np.nan_to_num(singular.astype(float), nan=0.0) > threshold, axis=1)


def fifo_rows(forward, backward, k_total):
    """Appearance and disappearance rows from counts (first in, first out)."""
    rows = []
    n = len(forward)
    for k in range(1, k_total + 1):
        appears = next((i + 1 for i in range(n) if forward[i] >= k), None)
        from_end = k_total - k + 1
        disappears = next((i + 1 for i in reversed(range(n)) if backward[i] >= from_end), None)
        rows.append((appears, disappears))
    return rows


def distance(truth, low, high):
    if low is None or high is None or (isinstance(low, float) and math.isnan(low)):
        return None
    if low <= truth <= high:
        return 0
    return min(abs(truth - low), abs(truth - high))


def one_series(rng, kind, k, overlap, shape, noise):
    s = spectra(rng, k)
    if kind == "chromatogram":
        c = chromatogram_profiles(rng, k, overlap, shape)
    else:
        c = titration_profiles(rng, k, overlap)
    clean = c @ s
    if noise == "uneven":
        deviation = np.maximum(0.001, 0.03 * np.abs(clean))
        error, relative = 0.001, 3.0
        noise_norm = np.sqrt((deviation ** 2).mean()) * math.sqrt(COLUMNS)
    else:
        deviation = np.full(clean.shape, 0.002)
        error, relative = (0.002, None) if noise == "known" else (None, None)
        noise_norm = 0.002 * math.sqrt(COLUMNS)
    a = clean + deviation * rng.standard_normal(clean.shape)
    return a, c, s, error, relative, noise_norm


def score(args):
    rng = np.random.default_rng(args.seed)
    tally = {}
    rows_off = {}
    timing = 0.0
    settings = []
    for kind in ("chromatogram", "titration"):
        overlaps = (4.0, 2.0, 0.8) if kind == "chromatogram" else (4.0, 2.0, 1.0)
        shapes = ("gaussian", "tailed") if kind == "chromatogram" else ("logistic",)
        for shape in shapes:
            for overlap in overlaps:
                for k in range(2, 7):
                    for noise in ("known", "unknown", "uneven"):
                        settings.append((kind, shape, overlap, k, noise))
    for repeat in range(args.repeats):
        for kind, shape, overlap, k, noise in settings:
            a, c, s, error, relative, noise_norm = one_series(rng, kind, k, overlap, shape, noise)
            presence = truth_presence(c, s, noise_norm)
            started = time.perf_counter()
            e = qor.evolving(a, error=error, relative_error=relative)
            timing += time.perf_counter() - started
            threshold = np.linalg.svd(a[:BASELINE], compute_uv=False)[0]
            group = (kind, overlap, noise)
            for frame, spans in ((e.forward, [(1, i) for i in range(1, ROWS + 1)]),
                                 (e.backward, [(i, ROWS) for i in range(1, ROWS + 1)]),
                                 (e.windows, [(i, i + e.window - 1) for i in range(1, ROWS - e.window + 2)])):
                singular = frame[[col for col in frame.columns if col.startswith("s") and col[1:].isdigit()]]
                fixed = threshold_counts(singular.to_numpy(), threshold)
                for (first, last), low, high, f in zip(spans, frame["low"], frame["high"], fixed):
                    truth = true_count(presence, first, last)
                    t = tally.setdefault(group, {"right": 0, "in range": 0, "wrong": 0, "threshold right": 0})
                    if low == high:
                        t["right" if low == truth else "wrong"] += 1
                    else:
                        t["in range" if low <= truth <= high else "wrong"] += 1
                    t["threshold right"] += int(f == truth)
            # Appearance rows: qor's ranges and the threshold's rows.
            present_rows = [np.nonzero(presence[:, j])[0] for j in range(k)]
            order = sorted(range(k), key=lambda j: present_rows[j][0] if len(present_rows[j]) else ROWS)
            true_rows = [(present_rows[j][0] + 1, present_rows[j][-1] + 1) for j in order if len(present_rows[j])]
            fixed_rows = fifo_rows(threshold_counts(e.forward.filter(regex=r"^s\d+$").to_numpy(), threshold),
                                   threshold_counts(e.backward.filter(regex=r"^s\d+$").to_numpy(), threshold),
                                   len(true_rows))
            comps = e.components
            r = rows_off.setdefault(group, {"qor": [], "threshold": [], "qor missing": 0, "threshold missing": 0})
            # True disappearance order is first in, first out only where the
            # components leave in the order they came; the truth pairs them
            # by the same rule, sorted by their last rows.
            true_last = sorted(last for _, last in true_rows)
            for idx, (first_true, _) in enumerate(true_rows):
                last_true = true_last[idx]
                if idx < len(comps):
                    row = comps.iloc[idx]
                    for truth_row, low, high in ((first_true, row["appears_low"], row["appears_high"]),
                                                 (last_true, row["disappears_low"], row["disappears_high"])):
                        d = distance(truth_row, _value(low), _value(high))
                        if d is None:
                            r["qor missing"] += 1
                        else:
                            r["qor"].append(d)
                else:
                    r["qor missing"] += 2
                appears, disappears = fixed_rows[idx] if idx < len(fixed_rows) else (None, None)
                for truth_row, got in ((first_true, appears), (last_true, disappears)):
                    if got is None:
                        r["threshold missing"] += 1
                    else:
                        r["threshold"].append(abs(truth_row - got))
    return tally, rows_off, timing, len(settings) * args.repeats


def _value(v):
    try:
        return None if v is None or v is np.nan or (hasattr(v, "__class__") and str(v) == "<NA>") else int(v)
    except (TypeError, ValueError):
        return None


def report(tally, rows_off, timing, series):
    print("%d series, qor.evolving %.1f s in all" % (series, timing))
    print()
    print("Counts per window (forward, backward and moving together), in per cent:")
    print("%-13s %7s %-8s %7s %9s %7s %10s" % ("series", "overlap", "noise", "right", "in range", "wrong",
                                                "threshold"))
    for (kind, overlap, noise), t in sorted(tally.items()):
        n = t["right"] + t["in range"] + t["wrong"]
        print("%-13s %7.1f %-8s %7.1f %9.1f %7.1f %10.1f" % (
            kind, overlap, noise, 100 * t["right"] / n, 100 * t["in range"] / n, 100 * t["wrong"] / n,
            100 * t["threshold right"] / n))
    print()
    print("Appearance and disappearance rows: rows between the truth and qor's range (median, 90 % point),")
    print("beside the threshold's rows; 'missing': components not placed")
    print("%-13s %7s %-8s %12s %12s %9s %12s %9s" % ("series", "overlap", "noise", "qor median", "qor 90 %",
                                                    "missing", "thr median", "missing"))
    for (kind, overlap, noise), r in sorted(rows_off.items()):
        q = np.array(r["qor"]) if r["qor"] else np.array([np.nan])
        f = np.array(r["threshold"]) if r["threshold"] else np.array([np.nan])
        print("%-13s %7.1f %-8s %12.1f %12.1f %9d %12.1f %9d" % (
            kind, overlap, noise, np.median(q), np.percentile(q, 90), r["qor missing"], np.median(f),
            r["threshold missing"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--repeats", type=int, default=2)
    args = parser.parse_args()
    tally, rows_off, timing, series = score(args)
    report(tally, rows_off, timing, series)
    return 0


if __name__ == "__main__":
    sys.exit(main())
