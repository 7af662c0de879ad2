#!/usr/bin/python3
# Reference vectors for the filter, peak finder and echo tests, made once with SciPy/NumPy and
# committed, so the tests need neither. Made from the repository root with:
#
#   /usr/bin/python3 tests/data/make_reference.py tests/data
#
# (Debian's python3-scipy and python3-numpy; seed fixed, output is deterministic.)
#
# Files, one case per line, fields separated by single spaces, numbers as %.17g:
#   firwin_taps.txt  type window order ncut cut... ntaps tap...
#   convolve.txt     fftSize order cut window n x... y...           (y = convolve(x, taps))
#   find_peaks.txt   n x... then four times: height prominence npeaks index... prominence...
#                    (height/prominence "off" when the filter is not used)
#   echo_frame.txt   dataHeight distReso direction samples... then per beam:
#                    index value (index -1 when the beam has no echo)
import os
import sys

import numpy as np
from scipy import signal

WINDOWS = {
    "hamming": "hamming",
    "hanning": "hann",
    "blackman": "blackman",
    "rectwin": "boxcar",
    "kaiser": ("kaiser", 0.5),
}


def fmt(v):
    return "%.17g" % v


def firwin(order, cuts, kind, window):
    w = WINDOWS[window]
    if kind == 0:
        return signal.firwin(order + 1, cuts[0], window=w)
    if kind == 1:
        return signal.firwin(order + 1, cuts[0], window=w, pass_zero=False)
    if kind == 2:
        return signal.firwin(order + 1, cuts[:2], window=w, pass_zero=False)
    return signal.firwin(order + 1, cuts[:2], window=w, pass_zero=True)


def write_taps(path):
    cases = []
    for window in WINDOWS:
        for order in (2, 8, 64):
            for cut in (0.05, 0.3, 0.77):
                cases.append((0, window, order, [cut]))
        for order in (16, 64):
            cases.append((1, window, order, [0.4]))
            cases.append((2, window, order, [0.2, 0.45]))
            cases.append((3, window, order, [0.25, 0.6]))
    with open(path, "w") as f:
        for kind, window, order, cuts in cases:
            taps = firwin(order, cuts, kind, window)
            fields = [str(kind), window, str(order), str(len(cuts))] + [fmt(c) for c in cuts]
            fields += [str(len(taps))] + [fmt(t) for t in taps]
            f.write(" ".join(fields) + "\n")


def write_convolve(path, rng):
    cases = [(256, 64, 0.05, "hamming", 700), (128, 16, 0.3, "blackman", 301), (66, 64, 0.1, "kaiser", 130)]
    with open(path, "w") as f:
        for fft_size, order, cut, window, n in cases:
            x = rng.integers(0, 4096, n).astype(np.float64) ** 2
            y = np.convolve(x, firwin(order, [cut], 0, window))
            fields = [str(fft_size), str(order), fmt(cut), window, str(n)]
            fields += [fmt(v) for v in x] + [fmt(v) for v in y]
            f.write(" ".join(fields) + "\n")


def write_peaks(path, rng):
    sequences = [
        rng.normal(size=200),
        np.convolve(rng.normal(size=400), np.ones(9) / 9, mode="same"),
        np.round(rng.uniform(0, 5, size=300)),  # ties and flat tops
        np.cumsum(rng.normal(size=300)),
        np.sin(np.linspace(0, 12 * np.pi, 250)) * np.linspace(1, 3, 250) + 0.05 * rng.normal(size=250),
    ]
    with open(path, "w") as f:
        for x in sequences:
            top = max(0.0, float(np.max(x)))
            fields = [str(len(x))] + [fmt(v) for v in x]
            for height, prominence in ((None, None), (0.5 * top, 0.5 * top), (None, 1.0), (0.0, None)):
                kwargs = {"plateau_size": (1, 1)}
                if height is not None:
                    kwargs["height"] = height
                if prominence is not None:
                    kwargs["prominence"] = prominence
                peaks, _ = signal.find_peaks(x, **kwargs)
                prom = signal.peak_prominences(x, peaks)[0] if len(peaks) else []
                fields += ["off" if height is None else fmt(height),
                           "off" if prominence is None else fmt(prominence)]
                fields += [str(len(peaks))] + [str(i) for i in peaks] + [fmt(p) for p in prom]
            f.write(" ".join(fields) + "\n")


def echo_of(beam, order, taps):
    n = len(beam)
    a = np.zeros(n)
    a[60:] = beam[60:].astype(np.float64) ** 2
    fa = np.convolve(a, taps)  # n + order samples
    fa = np.concatenate([fa, [0.0]])
    length = int(n + 1 + order - order * 0.5)
    fa = fa[:length]
    top = max(0.0, float(np.max(fa)))
    peaks, _ = signal.find_peaks(fa, height=0.5 * top, prominence=0.5 * top, plateau_size=(1, 1))
    best_index, best_value = -1, 0.0
    for p in peaks:
        if fa[p] > best_value:
            best_index, best_value = int(p), float(fa[p])
    return best_index, best_value


def write_echo(path, rng):
    order = 64
    taps = signal.firwin(order + 1, 0.05, window="hamming")
    with open(path, "w") as f:
        for n, echo_a, echo_b in ((1000, 412, 777), (400, 150, None), (4000, 3100, 95)):
            k = np.arange(n)
            beams = []
            for echo in (echo_a, echo_b):
                noise = rng.integers(0, 300, n)
                if echo is not None:
                    noise = noise + 9000 * np.exp(-0.5 * ((k - echo) / 6.0) ** 2)
                beams.append(np.minimum(np.round(noise), 65535).astype(np.uint16))
            samples = np.empty(2 * n, dtype=np.uint16)
            samples[0::2] = beams[0]
            samples[1::2] = beams[1]
            fields = [str(n), fmt(np.float32(0.05)), fmt(np.float32(33.5))]
            fields += [str(int(s)) for s in samples]
            for beam in beams:
                index, value = echo_of(beam, order, taps)
                fields += [str(index), fmt(value)]
            f.write(" ".join(fields) + "\n")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    rng = np.random.default_rng(20240517)
    write_taps(os.path.join(out, "firwin_taps.txt"))
    write_convolve(os.path.join(out, "convolve.txt"), rng)
    write_peaks(os.path.join(out, "find_peaks.txt"), rng)
    write_echo(os.path.join(out, "echo_frame.txt"), rng)


if __name__ == "__main__":
    main()
