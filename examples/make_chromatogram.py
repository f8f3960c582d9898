#!/usr/bin/env python3
"""Writes chromatogram.txt: a simulated chromatogram of 3 components, 60
spectra (rows, titled by their retention time in seconds) at 16
wavelengths (columns, titled in nm), with normal measurement noise of
standard deviation 0.002. Component 1 elutes alone first, components 2
and 3 overlap; the third tails. Rows 1 to 10 are baseline. The rows where
each component rises above the noise are known from the profiles: see
qor's ,EFA or qor.evolving."""
import math
import random

NOISE = 0.002
TIMES = [100 + 2 * k for k in range(60)]
WAVELENGTHS = [400 + 20 * k for k in range(16)]
# Elution: centre (s), width (s), tail time constant (s, 0: none), height.
PEAKS = [(136.0, 4.0, 0.0, 0.8), (170.0, 5.0, 0.0, 1.0), (182.0, 4.0, 6.0, 0.6)]
# Absorption band of each pure component: centre (nm), width (nm).
BANDS = [(450.0, 50.0), (540.0, 45.0), (620.0, 60.0)]


def elution(peak, t):
    centre, width, tail, height = peak
    if tail == 0:
        return height * math.exp(-0.5 * ((t - centre) / width) ** 2)
    # A Gaussian convolved with an exponential decay, summed in steps of 0.1 s.
    total = 0.0
    for k in range(int(10 * tail / 0.1)):
        s = k * 0.1
        total += math.exp(-s / tail) * math.exp(-0.5 * ((t - s - centre) / width) ** 2) * 0.1 / tail
    return height * total / 0.62


def absorbance(band, wavelength):
    centre, width = band
    return math.exp(-((wavelength - centre) / width) ** 2)


def main():
    rng = random.Random(40)
    lines = ["       " + "".join(f"{w:9d}" for w in WAVELENGTHS)]
    for t in TIMES:
        values = []
        for w in WAVELENGTHS:
            pure = sum(elution(p, t) * absorbance(b, w) for p, b in zip(PEAKS, BANDS))
            values.append(pure + rng.gauss(0.0, NOISE))
        lines.append(f"{t:7d}" + "".join(f"{v:9.4f}" for v in values))
    with open("chromatogram.txt", "w", newline="\r\n") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
