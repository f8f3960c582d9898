#!/usr/bin/env python3
"""Rank study: how often the rank verdict (,RANK) is right, on noisy matrices
of known rank, beside the reading rules a user would apply to qor's report
and a few published rules, all on the same matrices.

Needs Python 3 with numpy (Debian: apt-get install python3-numpy, which
installs it for /usr/bin/python3) and a built qor.

Usage: bench/rank_study.py [--seed S] [--count C] [--build DIR]
       (defaults: seed 1, 700 matrices, build directory "build")

Every matrix is a signal of known rank r plus independent Gaussian noise,
with both sizes drawn from 4 to 60 and r from 1 to one below the smaller
dimension (at most 8 for overlap and growing, whose bands beyond that are
lost in the 12 digits of the data file). Seven kinds, in turn:
  spread    singular values spread over 3 to 30 noise edges
  weak      as spread, but one component at 0.5 to 2 noise edges
  faint     as spread, but one component at 0.5 to 1 noise edges: near and
            below the edge, where only the noise left after the components
            before it tells it apart
  overlap   strongly correlated positive factors: positive amounts times
            overlapping Gaussian bands, the smallest singular value scaled
            to 1.5 to 10 noise edges
  rowscale  rows scaled over three decades, the smallest singular value
            then scaled to 1.5 to 10 noise edges
  longthin  as spread, on long thin matrices: one side 4 to 12, the other
            30 to 60
  uneven    as spread, with noise of uneven level: in turn, each element's
            deviation max(sigma, rel x |value|) with rel 2 to 20 % (the
            error given as sigma and rel), or each row's level drawn over
            one and a half decades (an error qor cannot be given: these
            count without the error only)
  growing   correlated factors as overlap (bands less wide and further
            apart), sizes 6 to 60, with noise that grows with the value:
            deviation max(sigma, rel x |value|), rel 0.2 to 2 %, the error
            given as sigma and rel; the smallest singular value at 1.5 to
            10 noise edges of the root mean square deviation, where the
            relative part lets it reach that far (see growing_matrix)
(noise edge: sigma (sqrt(N) + sqrt(M)), the limit of the largest singular
value of the noise; for uneven noise the root mean square deviation takes
sigma's place). The same seed gives the same matrices and figures.

For each matrix qor runs three times: elimination with ,RANK and the error
(the pivot rule reads the pivots and their deviations, the verdict is
taken "with error"), ,RANK without the error, and the eigenvalue mode with
the error (the Q((n-i)(m-i)) rule). A verdict is "right" when it names the
true rank without doubt, "in range" when it is uncertain and its range holds
the true rank, "missed" when it is uncertain and its range misses the true rank,
"wrong" when it names another rank without doubt; a range over every count
(0 or 1 to the smaller dimension) says nothing and is counted apart.

Beside the verdict, as peers on the same matrices, each written from its
publication: the F-test of Faber and Kowalski (J. Chemometrics 11, 1997)
with sigma given (from the largest eigenvalue down) and with the noise
estimated (from the smallest up), element-wise k-fold cross-validation of
least PRESS (Bro, Kjeldahl, Smilde and Kiers, Anal. Bioanal. Chem. 390,
2008; 7 diagonal segments, fits by expectation maximisation, the counts
within 2 of the F-test's), Malinowski's IND (Anal. Chem. 49, 1977),
numpy's rank with tol = sigma (sqrt m + sqrt n) ("edge") and Gavish and
Donoho's hard thresholds.
"""
import argparse
import math
import os
import re
import subprocess
import sys
import tempfile

try:
    import numpy as np
    from scipy.stats import chi2, f as f_law
except ImportError:
    sys.exit("rank_study.py needs numpy and scipy: apt-get install python3-numpy python3-scipy, then run it with "
             "/usr/bin/python3")

KINDS = ("spread", "weak", "faint", "overlap", "rowscale", "longthin", "uneven", "growing")


def noise_edge(n, m, sigma):
    return sigma * (math.sqrt(n) + math.sqrt(m))


def orthonormal(rng, n, r):
    q, _ = np.linalg.qr(rng.standard_normal((n, r)))
    return q[:, :r]


def log_uniform(rng, low, high, size=None):
    return 10 ** rng.uniform(math.log10(low), math.log10(high), size)


def with_smallest_singular_value(signal, target):
    s = np.linalg.svd(signal, compute_uv=False)
    rank = int(np.sum(s > s[0] * 1e-12))
    return signal * (target / s[rank - 1])


def sizes(rng, kind):
    if kind == "growing":
        return int(rng.integers(6, 61)), int(rng.integers(6, 61))
    if kind == "longthin":
        short, long = int(rng.integers(4, 13)), int(rng.integers(30, 61))
        return (short, long) if rng.integers(2) else (long, short)
    return int(rng.integers(4, 61)), int(rng.integers(4, 61))


def spread_signal(rng, n, m, r, edge):
    values = np.sort(log_uniform(rng, 3, 30, r))[::-1] * edge
    return orthonormal(rng, n, r) @ np.diag(values) @ orthonormal(rng, m, r).T


def uneven_noise(rng, signal, sigma, number):
    """Noise of uneven level, its root mean square deviation, and the error to give."""
    n, m = signal.shape
    if number % 2 == 0:
        rel = float(rng.uniform(0.02, 0.2))
        deviations = np.maximum(sigma, rel * np.abs(signal))
        error = f"{sigma:.12g}%{100 * rel:.12g}"
    else:
        levels = sigma * log_uniform(rng, 10 ** -0.75, 10 ** 0.75, n)
        deviations = np.repeat(levels[:, None], m, axis=1)
        error = None
    rms = math.sqrt(np.mean(deviations ** 2))
    return deviations * rng.standard_normal((n, m)), rms, error


def overlapping_bands(rng, m, r, centres, widths):
    """Strongly correlated positive factors: positive amounts times
    overlapping Gaussian bands, before any scaling."""
    x = np.linspace(0, 1, m)
    centres = np.sort(rng.uniform(*centres, r))
    widths = rng.uniform(*widths, r)
    return np.exp(-((x[None, :] - centres[:, None]) / widths[:, None]) ** 2)


def rms_edge(signal, sigma, rel):
    """The noise edge of deviations max(sigma, rel x |value|), their root mean square in sigma's place."""
    n, m = signal.shape
    return noise_edge(n, m, math.sqrt(np.mean(np.maximum(sigma, rel * np.abs(signal)) ** 2)))


def growing_matrix(rng, n, m, r, sigma):
    """Correlated factors with noise that grows with the value: deviation
    max(sigma, rel x |value|), rel 0.2 to 2 %. The signal is scaled so that its
    smallest singular value stands at 1.5 to 10 such noise edges. A larger
    signal does not outgrow noise that grows with it, so a target beyond the
    reach of the relative part is lowered to 0.9 of that reach, and where
    even 1.5 edges are out of reach the rank is lowered until they are not."""
    rel = float(rng.uniform(0.002, 0.02))
    target = float(log_uniform(rng, 1.5, 10))
    bands = overlapping_bands(rng, m, r, (0.15, 0.85), (0.08, 0.25))
    amounts = rng.uniform(0.1, 1.0, (n, r))
    while True:
        signal = amounts[:, :r] @ bands[:r]
        s = np.linalg.svd(signal, compute_uv=False)[r - 1]
        reach = s / rms_edge(signal, 0, rel)
        if reach * 0.9 >= 1.5 or r == 1:
            break
        r -= 1
    target = min(target, 0.9 * reach)
    # s c / edge(c) grows with the scale c towards the reach: bisection on log c.
    low, high = math.log(target * noise_edge(n, m, sigma) / s), math.log(target * noise_edge(n, m, sigma) / s) + 60
    for _ in range(100):
        mid = (low + high) / 2
        if s * math.exp(mid) / rms_edge(signal * math.exp(mid), sigma, rel) < target:
            low = mid
        else:
            high = mid
    signal = signal * math.exp(high)
    deviations = np.maximum(sigma, rel * np.abs(signal))
    noise = deviations * rng.standard_normal((n, m))
    rms = math.sqrt(np.mean(deviations ** 2))
    return signal + noise, r, rms, f"{sigma:.12g}%{100 * rel:.12g}"


def make_matrix(rng, kind, number):
    """A noisy matrix, its rank, its noise level, and the error to give qor
    (parameter 4; None when qor cannot be given it)."""
    n, m = sizes(rng, kind)
    p = min(n, m)
    r = int(rng.integers(1, (min(8, p - 1) if kind in ("overlap", "growing") else p - 1) + 1))
    sigma = float(log_uniform(rng, 1e-3, 1e-1))
    edge = noise_edge(n, m, sigma)
    if kind == "growing":
        return growing_matrix(rng, n, m, r, sigma)
    if kind in ("spread", "weak", "faint", "longthin"):
        signal = spread_signal(rng, n, m, r, edge)
        if kind in ("weak", "faint"):
            u, s, vt = np.linalg.svd(signal, full_matrices=False)
            s[r - 1] = rng.uniform(0.5, 2 if kind == "weak" else 1) * edge
            signal = (u[:, :r] * s[:r]) @ vt[:r]
    elif kind == "overlap":
        bands = overlapping_bands(rng, m, r, (0.3, 0.7), (0.15, 0.35))
        amounts = rng.uniform(0.1, 1.0, (n, r))
        signal = with_smallest_singular_value(amounts @ bands, log_uniform(rng, 1.5, 10) * edge)
    elif kind == "rowscale":
        values = np.sort(log_uniform(rng, 3, 30, r))[::-1]
        signal = orthonormal(rng, n, r) @ np.diag(values) @ orthonormal(rng, m, r).T
        signal = np.diag(log_uniform(rng, 10 ** -1.5, 10 ** 1.5, n)) @ signal
        signal = with_smallest_singular_value(signal, log_uniform(rng, 1.5, 10) * edge)
    else:
        signal = spread_signal(rng, n, m, r, edge)
        noise, rms, error = uneven_noise(rng, signal, sigma, number)
        return signal + noise, r, rms, error
    return signal + sigma * rng.standard_normal((n, m)), r, sigma, f"{sigma:.12g}"


def write_matrix(path, x):
    with open(path, "w", newline="") as out:
        for row in x:
            out.write(" ".join(f"{v:.12e}" for v in row) + "\r\n")


def run(qor, args, cwd):
    done = subprocess.run([qor] + args, cwd=cwd, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    if done.returncode != 0:
        sys.exit(f"qor {' '.join(args)} ended with status {done.returncode}")
    return done.stdout.decode("latin-1")


VERDICT = re.compile(r"^Rank: (\d+)(?: to (\d+) \(uncertain\))?\r?$", re.M)


def read_verdict(text):
    found = VERDICT.search(text)
    if not found:
        sys.exit("no verdict in:\n" + text)
    low = int(found.group(1))
    high = int(found.group(2)) if found.group(2) else low
    return low, high


def numbers_after(line, label, width=16):
    """The numbers of a report line: each right-aligned in its field of the width."""
    rest = line[len(label):]
    return [float(rest[i:i + width]) for i in range(0, len(rest), width)]


def pivot_rule(text):
    """Pivots more than 3 standard deviations: the D line and the line under it."""
    lines = text.replace("\r", "").split("\n")
    at = next(i for i, line in enumerate(lines) if line.startswith(" D: "))
    pivots = numbers_after(lines[at], " D: ")
    deviations = numbers_after(lines[at + 1], "   \xf1")
    return sum(1 for d, s in zip(pivots, deviations) if abs(d) > 3 * s)


def eigenvalue_rule(report, p):
    """The first eigenvalue count whose Q((n-i)(m-i)) exceeds 0.05."""
    count = 0
    for line in report.replace("\r", "").split("\n"):
        if line.startswith("\xe6"):
            count += 1
            if float(line.split()[-1]) > 0.05:
                return count
    return p


def published_rules(x, sigma):
    n, m = x.shape
    s = np.linalg.svd(x, compute_uv=False)
    small, large = min(n, m), max(n, m)
    beta = small / large
    edge = np.sum(s > noise_edge(n, m, sigma))
    # Gavish and Donoho's optimal hard threshold, sigma known and unknown.
    lam = math.sqrt(2 * (beta + 1) + 8 * beta / ((beta + 1) + math.sqrt(beta * beta + 14 * beta + 1)))
    gd_known = np.sum(s > lam * math.sqrt(large) * sigma)
    omega = 0.56 * beta ** 3 - 0.95 * beta ** 2 + 1.82 * beta + 1.43
    gd_unknown = np.sum(s > omega * np.median(s))
    # Malinowski's indicator function.
    ev = s ** 2
    ind = [math.sqrt(ev[k:].sum() / (large * (small - k))) / (small - k) ** 2 for k in range(1, small)]
    malinowski = 1 + int(np.argmin(ind)) if ind else 0
    fk_known = faber_kowalski(ev, n, m, sigma)
    fk = faber_kowalski(ev, n, m)
    cv = cross_validation(x, list(range(max(0, fk - 2), min(small - 1, fk + 2) + 1)))
    return {"edge": int(edge), "gd known": int(gd_known), "malinowski": malinowski, "gd median": int(gd_unknown),
            "fk known": fk_known, "fk": fk, "cv": cv}


TRACY_WIDOM_MEAN = -1.2065335745820


def expected_largest_noise(n, q):
    """Johnstone's centring and scaling of the largest eigenvalue of unit noise, at the mean of TW1."""
    n, q = max(n, q), min(n, q)
    a = math.sqrt(n - 1) + math.sqrt(q)
    return a * a + a * (1 / math.sqrt(n - 1) + 1 / math.sqrt(q)) ** (1 / 3) * TRACY_WIDOM_MEAN


def faber_kowalski(ev, n, m, sigma=None, level=0.01):
    """Component k against the expected largest eigenvalue nu1 of the noise left after k - 1 components;
    with sigma given, lambda_k / (nu1 sigma^2) as chi-square(nu1) / nu1, counted from the largest down;
    without it, against the eigenvalues past k over nu2 = (n-k+1)(m-k+1) - nu1 as F(nu1, nu2), from the
    smallest up."""
    p = min(n, m)
    if sigma is not None:
        k = 0
        while k < p:
            nu1 = expected_largest_noise(n - k, m - k) if max(n, m) - k >= 2 else 1.0
            if chi2.sf(nu1 * ev[k] / (nu1 * sigma * sigma), nu1) >= level:
                break
            k += 1
        return k
    for k in range(p - 1, 0, -1):
        nu1 = expected_largest_noise(n - k + 1, m - k + 1)
        nu2 = (n - k + 1) * (m - k + 1) - nu1
        rest = ev[k:].sum()
        if rest <= 0 or f_law.sf((ev[k - 1] / nu1) / (rest / nu2), nu1, nu2) < level:
            return k
    return 0


def cross_validation(x, counts, folds=7, rounds=40):
    """Element-wise k-fold cross-validation: the count of least PRESS among `counts`."""
    n, m = x.shape
    i, j = np.indices((n, m))
    segment = (i - j) % folds
    u, s, vt = np.linalg.svd(x, full_matrices=False)
    press = []
    for r in counts:
        total = 0.0
        for f in range(folds):
            missing = segment == f
            if r == 0:
                total += float((x[missing] ** 2).sum())
                continue
            y = x.copy()
            y[missing] = ((u[:, :r] * s[:r]) @ vt[:r])[missing]
            for _ in range(rounds):
                a, b, c = np.linalg.svd(y, full_matrices=False)
                z = ((a[:, :r] * b[:r]) @ c[:r])[missing]
                change = float(((z - y[missing]) ** 2).sum())
                y[missing] = z
                if change <= 1e-16 * float((z ** 2).sum()):
                    break
            total += float(((x[missing] - y[missing]) ** 2).sum())
        press.append(total)
    return counts[int(np.argmin(press))]


def verdict_class(low, high, r, p=None):
    if p is not None and low <= 1 and high >= p and low < high:
        return "every count"
    if low == high:
        return "right" if low == r else "wrong"
    return "in range" if low <= r <= high else "missed"


def rule_class(found, r):
    return "right" if found == r else ("low" if found < r else "high")


RULES = ("pivots>3sd", "Q>0.05", "edge", "gd known", "fk known", "malinowski", "gd median", "fk", "cv")


SHARES = ((0, 0.25), (0.25, 0.5), (0.5, 0.75), (0.75, 1.0))


def share_group(r, p):
    low, high = next(s for s in SHARES if r / p < s[1] or s[1] == 1.0)
    return f"rank/MIN {low:.2f}-{high:.2f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=700)
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    qor = os.path.abspath(os.path.join(args.build, "qor"))
    rng = np.random.default_rng(args.seed)
    verdicts, rules = {}, {}

    def add(table, group, what, outcome):
        counts = table.setdefault(group, {}).setdefault(what, {})
        counts[outcome] = counts.get(outcome, 0) + 1

    with tempfile.TemporaryDirectory() as work:
        for i in range(args.count):
            kind = KINDS[i % len(KINDS)]
            x, r, sigma, error = make_matrix(rng, kind, i // len(KINDS))
            n, m = x.shape
            write_matrix(os.path.join(work, "m.txt"), x)
            # The rules read the runs with the error; where qor cannot be
            # given it, they get the root mean square level.
            given = error or f"{sigma:.12g}"
            with_error = run(qor, ["m.txt,RANK", "e1*", "16:-1", given], work)
            without = run(qor, ["m.txt,RANK", "e2*"], work)
            run(qor, ["m.txt", "e3*", "B12:4", given], work)
            with open(os.path.join(work, "E3"), encoding="latin-1") as f:
                eigen_report = f.read()
            groups = [kind, "all", share_group(r, min(n, m))] + (["20 x 20 and up"] if min(n, m) >= 20 else [])
            for what, text in (("given", with_error), ("estimated", without)):
                if what == "given" and error is None:
                    continue
                outcome = verdict_class(*read_verdict(text), r, min(n, m))
                for group in groups:
                    add(verdicts, group, what, outcome)
            found = {"pivots>3sd": pivot_rule(with_error), "Q>0.05": eigenvalue_rule(eigen_report, min(n, m))}
            found.update(published_rules(x, sigma))
            for rule in RULES:
                for group in (kind, "all"):
                    add(rules, group, rule, rule_class(found[rule], r))

    def share(counts, *outcomes):
        total = sum(counts.values())
        return 100.0 * sum(counts.get(o, 0) for o in outcomes) / total if total else float("nan")

    print(f"rank study: seed {args.seed}, {args.count} matrices, sizes 4 to 60, ranks 1 to MIN - 1")
    print("\nverdicts: contains the rank / confident and right / confident and wrong / every count, in % of the group")
    print(f"  {'group':22} {'count':>5}   {'with the error':^29}   {'without the error':^29}")
    groups = list(KINDS) + ["all", "20 x 20 and up"] + [share_group(s[0] + 1e-9, 1) for s in SHARES]
    for group in groups:
        t = verdicts.get(group)
        if not t:
            continue
        cells = [f"{share(t[w], 'right', 'in range', 'every count'):6.1f} {share(t[w], 'right'):6.1f} "
                 f"{share(t[w], 'wrong'):6.1f} {share(t[w], 'every count'):6.1f}" if w in t else "-"
                 for w in ("given", "estimated")]
        print(f"  {group:22} {sum(t['estimated'].values()):5}   {cells[0]:29}   {cells[1]:29}")
    print("\nreading rules and published rules (error known except malinowski, gd median, fk and cv): "
          "right / low / high, %")
    for group in list(KINDS) + ["all"]:
        t = rules[group]
        cells = "  ".join(f"{rule} {share(t[rule], 'right'):.0f}/{share(t[rule], 'low'):.0f}/"
                          f"{share(t[rule], 'high'):.0f}" for rule in RULES)
        print(f"  {group:9} {cells}")


if __name__ == "__main__":
    main()
