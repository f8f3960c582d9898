#!/usr/bin/env python3
"""Whole-run outputs: runs a built qor over a battery of command lines and
keeps everything each run leaves (standard output, standard error, the exit
status and every file it writes), so that two builds can be compared byte
for byte with `diff -r`:

    bench/whole_run_outputs.py build/qor /tmp/before
    ... change, rebuild ...
    bench/whole_run_outputs.py build/qor /tmp/after
    diff -r /tmp/before /tmp/after

The elapsed time of the "Time:" line is the only text that differs from run
to run; it is replaced by "#.##". Needs Python 3 only.
"""
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "examples")


def table(rows, cols, rank, seed, noise=0.001, titles=False):
    rng = random.Random(seed)
    left = [[rng.uniform(0, 1) for _ in range(rank)] for _ in range(rows)]
    right = [[rng.uniform(0, 1) for _ in range(cols)] for _ in range(rank)]
    lines = []
    if titles:
        lines.append("  ".join(str(100 + 10 * j) for j in range(cols)))
    for i in range(rows):
        values = [sum(left[i][k] * right[k][j] for k in range(rank)) + rng.gauss(0, noise) for j in range(cols)]
        text = " ".join("%.12f" % v for v in values)
        lines.append(("%d " % (i + 1) if titles else "") + text)
    return "\n".join(lines) + "\n"


DATA = {
    "small.txt": table(6, 5, 2, 1),
    "tall.txt": table(40, 6, 3, 2),
    "wide.txt": table(5, 30, 2, 3),
    "titled.txt": table(8, 7, 3, 4, titles=True),
    "one.txt": "3.5\n",
    "zero.txt": "0 0 0\n0 0 0\n0 0 0\n",
    "exact.txt": "1 2 3\n2 4 6\n1 0 1\n",
    "bad.txt": "1 2 3\n4 x 6\n",
    "ragged.txt": "1 2 3\n4 5\n",
    "comma.txt": "1,2,3\n4,5,6\n7,8,10\n",
    "empty.txt": "\n\n",
    "params.txt": "A small.txt\nG pf.out\nK 9:4\nM 0.001\nN 3\nL +\nR 0.01\n",
    "params2.txt": "A titled.txt\nB +\nC +\nG pf2.out\nJ +\nI +\nM 0.001%2\nV +\nX +\nY +\n",
    "params3.txt": "a small.txt\ng tab.out\nf 2\np +\nq -\n; a comment\n",
}

# name: parameters (after the program name)
CASES = [
    ("bundled", ["mixtures.txt,TOR,TOC", "mixtures.out*", "S10:4", "0.002", "5"]),
    ("bundled_detail", ["mixtures.txt,TOR,TOC", "mixtures.out", "S10:4", "0.002", "3"]),
    ("bundled_all", ["mixtures.txt,TOR,TOC,RANK,PLOT,JSON,TG0.01", "mix.out*", "S10:4", "0.002"]),
    ("bundled_eigen", ["mixtures.txt,TOR,TOC,PLOT,JSON", "eig.txt", "BE", "0.002"]),
    ("bundled_eigen_square", ["mixtures.txt,TOR,TOC", "eig2.txt", "E", "0.002"]),
    ("bundled_eigen_noerr", ["mixtures.txt,TOR,TOC,RANK", "eig3.txt", "B"]),
    ("bundled_product_elim", ["mixtures.txt,TOR,TOC,RANK", "tp.txt*", "T12:-3", "0.002"]),
    ("bundled_relative", ["mixtures.txt,TOR,TOC,RANK,PLOT,JSON", "rel.out*", "", "0.002%3"]),
    ("bundled_relative_only", ["mixtures.txt,TOR,TOC,RANK", "rel2.out*", "", "@5"]),
    ("bundled_tables", ["mixtures.txt,TOR,TOC,TW3", "tables.txt"]),
    ("bundled_tables_crc", ["mixtures.txt,TOR,TOC,TW2,CRC,NS", "tables2.txt", "10:4", "0.002"]),
    ("bundled_tables_console", ["mixtures.txt,TOR,TOC,TW2", ""]),
    ("bundled_tables_rank_json", ["mixtures.txt,TOR,TOC,TW2,RANK,JSON", "tw.txt", "", "0.01"]),
    ("bundled_selection", ["mixtures.txt,TOR,TOC,R[2,5..7],C[1..3]", "sel.out", "8:3", "0.002", "4", "R1"]),
    ("bundled_ref_col", ["mixtures.txt,TOR,TOC", "ref.out*", "", "0.002", "", "C2"]),
    ("bundled_histogram", ["mixtures.txt,TOR,TOC,TG0.05", "hist.out*", "", "0.002", "3"]),
    ("semicolon", ["mixtures_semicolon.csv,SEPS,DEC,TOR,TOC,JSON", "semi.out*", "S10:4", "0.002", "5"]),
    ("small", ["small.txt", "small.out"]),
    ("small_stats", ["small.txt,RANK", "small2.out", "S", "0.001"]),
    ("small_sci", ["small.txt", "small3.out", "12:-4", "0.001"]),
    ("small_narrow", ["small.txt", "small4.out", "3:2", "0.001"]),
    ("tall_eigen", ["tall.txt,RANK,JSON", "tall.out", "B", "0.001"]),
    ("tall_eigen_detail", ["tall.txt", "tall2.out", "BS", "0.001", "3"]),
    ("wide_eigen", ["wide.txt,RANK,PLOT", "wide.out", "B", "0.001"]),
    ("wide_elim", ["wide.txt,RANK,PLOT,JSON", "wide2.out*", "", "0.001"]),
    ("titled", ["titled.txt,TOR,TOC,RANK,JSON,PLOT", "titled.out", "S", "0.001"]),
    ("one", ["one.txt,RANK,JSON", "one.out", "", "0.01"]),
    ("one_eigen", ["one.txt,RANK", "one2.out", "B", "0.01"]),
    ("zero", ["zero.txt,RANK,PLOT,JSON", "zero.out", "", "0.01"]),
    ("zero_eigen", ["zero.txt", "zero2.out", "E", "0.01"]),
    ("exact", ["exact.txt,RANK", "exact.out", "", "0.01"]),
    ("no_report", ["small.txt", "", "", "0.001"]),
    ("no_report_eigen", ["small.txt,RANK", "", "B", "0.001"]),
    ("steps_zero", ["small.txt,TW7", "tw7.out"]),
    ("missing_file", ["nothere.txt", "x.out"]),
    ("bad_number", ["bad.txt,JSON,PLOT", "bad.out"]),
    ("ragged", ["ragged.txt", "ragged.out"]),
    ("comma_plain", ["comma.txt", "comma.out"]),
    ("comma_sepc", ["comma.txt,SEPC,JSON", "comma2.out", "", "0.01"]),
    ("empty", ["empty.txt", "empty.out"]),
    ("every_row_out", ["small.txt,R[1..6]", "out.out"]),
    ("dec_sepc", ["comma.txt,SEPC,DEC", "x.out"]),
    ("json_no_report", ["small.txt,JSON", ""]),
    ("sep_unnamed", ["small.txt,SEPX", "x.out"]),
    ("report_is_input", ["small.txt", "small.txt"]),
    ("param_file", ["params.txt"]),
    ("param_file2", ["params2.txt"]),
    ("param_file3", ["params3.txt"]),
    ("param_missing", ["nothere.par"]),
    ("usage", ["--help"]),
    ("version", ["--version"]),
    ("help_missing", ["?"]),
    ("seventh", ["small.txt", "s7.out", "", "0.001", "", "", "extra"]),
    ("unknown_keyword", ["small.txt,RNAK,PLTO", "uk.out", "X10:4", "abc"]),
    ("percent_error", ["small.txt", "pc.out", "", "5%"]),
]


def run_case(qor, name, args, out_root):
    work = tempfile.mkdtemp(prefix="qor_whole_run_")
    try:
        for f in os.listdir(EXAMPLES):
            shutil.copy(os.path.join(EXAMPLES, f), work)
        for f, text in DATA.items():
            with open(os.path.join(work, f), "w") as fh:
                fh.write(text)
        before = {f: os.path.getmtime(os.path.join(work, f)) for f in os.listdir(work)}
        env = dict(os.environ)
        env.setdefault("QOR_THREADS", "1")  # one thread unless the caller sets another number
        p = subprocess.run([qor] + args, cwd=work, stdin=subprocess.DEVNULL, capture_output=True, env=env,
                           timeout=300)
        dest = os.path.join(out_root, name)
        os.makedirs(dest)
        stdout = re.sub(rb"Time: *[0-9.]+s", b"Time:#.##s", p.stdout)
        with open(os.path.join(dest, "stdout"), "wb") as fh:
            fh.write(stdout)
        with open(os.path.join(dest, "stderr"), "wb") as fh:
            fh.write(p.stderr)
        with open(os.path.join(dest, "status"), "w") as fh:
            fh.write("%d\n" % p.returncode)
        for root, _, files in os.walk(work):
            for f in files:
                path = os.path.join(root, f)
                rel = os.path.relpath(path, work)
                if rel in before and os.path.getmtime(path) == before[rel]:
                    continue
                target = os.path.join(dest, "files", rel)
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copy(path, target)
    finally:
        shutil.rmtree(work)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: whole_run_outputs.py QOR_BINARY OUTPUT_DIR")
    qor = os.path.abspath(sys.argv[1])
    out_root = sys.argv[2]
    if os.path.exists(out_root):
        shutil.rmtree(out_root)
    os.makedirs(out_root)
    for name, args in CASES:
        run_case(qor, name, args, out_root)
    print("%d runs written to %s" % (len(CASES), out_root))


if __name__ == "__main__":
    main()
