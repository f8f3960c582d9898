#!/usr/bin/env python3
"""Writes mixtures.txt: absorption spectra of 12 mixtures of 3 coloured
components at 20 wavelengths, with row titles (mixture numbers), column
titles (wavelengths in nm) and normal measurement noise of standard
deviation 0.002. The data have rank 3; the noise sets the size of every
further pivot."""
import math
import random

NOISE = 0.002
WAVELENGTHS = [400 + 10 * k for k in range(20)]
# Band centre (nm), width (nm) and peak absorbance of each pure component.
COMPONENTS = [(440.0, 35.0, 1.0), (510.0, 30.0, 0.8), (570.0, 40.0, 0.6)]


def absorbance(component, wavelength):
    centre, width, height = component
    return height * math.exp(-((wavelength - centre) / width) ** 2)


def main():
    rng = random.Random(1)
    lines = ["       " + "".join(f"{w:9d}" for w in WAVELENGTHS)]
    for mixture in range(1, 13):
        amounts = [rng.uniform(0.1, 1.0) for _ in COMPONENTS]
        values = []
        for w in WAVELENGTHS:
            pure = sum(c * absorbance(comp, w) for c, comp in zip(amounts, COMPONENTS))
            values.append(pure + rng.gauss(0.0, NOISE))
        lines.append(f"{mixture:7d}" + "".join(f"{v:9.4f}" for v in values))
    with open("mixtures.txt", "w", newline="\r\n") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
