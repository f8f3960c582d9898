"""The README's notebook example as a script: the verdict and the pivots of
the bundled spectra, read with pandas from the semicolon table, and the
picture of the evidence.

Run from the repository root after building:  PYTHONPATH=build/python /usr/bin/python3 examples/notebook.py
"""
import os

import pandas as pd

import qor

here = os.path.dirname(os.path.abspath(__file__))
frame = pd.read_csv(os.path.join(here, "mixtures_semicolon.csv"), sep=";", decimal=",", index_col=0)

verdict = qor.rank(frame, error=0.002)
print(verdict)
print()
result = qor.eliminate(frame, error=0.002, steps=4)
for value, sd, row, column in zip(result.pivots, result.pivot_sd, result.row_titles, result.column_titles):
    print("pivot %9.4f +- %.4f  mixture %s, %s nm" % (value, sd, row, column))
with open("notebook.svg", "w", encoding="latin-1") as f:
    f.write(result.svg)
print("Picture written to notebook.svg.")
