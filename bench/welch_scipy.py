#!/usr/bin/env python3
"""The obvious scipy way to the noise spectral density of a data file, timed.

    welch_scipy.py FILE [--rate HZ] [--hex]   load FILE with numpy, run scipy.signal.welch as
                                              kx3105-cli spectrum does by default, print seconds
    welch_scipy.py --make FILE [N]            write a data file of N codes (default 1000000):
                                              white noise and a 50 Hz tone at 1365.33 Hz

The welch call matches the tool's defaults: Hann window, segments of the largest power of two
not above a quarter of the run (at least 64), half overlap, mean removed per segment, one-sided
density. The time printed covers the load and the welch call, not Python's start-up; time the
whole process from outside to compare whole processes. Without numpy or scipy it says so and
exits 0, so a benchmark script can go on.
"""

import sys
import time


def segment_for(count):
    segment = 64
    while segment * 2 <= count // 4:
        segment *= 2
    return segment


def make(path, count):
    import numpy as np

    rng = np.random.default_rng(1)
    rate = 4096 / 3
    t = np.arange(count) / rate
    codes = np.round(8388608 + rng.normal(0, 16, count) + np.sqrt(2) * 65 * np.sin(2 * np.pi * 50 * t))
    # The data file's form: a blank before each decimal code, CR LF after every line.
    with open(path, "w", newline="") as f:
        f.write("".join(" %d\r\n" % c for c in codes.astype(np.int64)))


def main(argv):
    try:
        import numpy as np
    except ImportError:
        print("numpy is not installed: skipped")
        return 0
    if len(argv) >= 2 and argv[0] == "--make":
        make(argv[1], int(argv[2]) if len(argv) > 2 else 1000000)
        return 0
    try:
        from scipy import signal
    except ImportError:
        print("scipy is not installed (Debian: python3-scipy): skipped")
        return 0
    if not argv or argv[0].startswith("-"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    path, rate, hex_codes = argv[0], 1.0, False
    rest = argv[1:]
    while rest:
        option = rest.pop(0)
        if option == "--rate" and rest:
            rate = float(rest.pop(0))
        elif option == "--hex":
            hex_codes = True
        else:
            print("unknown option " + option, file=sys.stderr)
            return 2

    start = time.perf_counter()
    if hex_codes:
        codes = np.loadtxt(path, dtype=np.float64, converters={0: lambda s: int(s, 16)})
    else:
        codes = np.loadtxt(path, dtype=np.float64)
    segment = segment_for(len(codes))
    freqs, psd = signal.welch(codes, fs=rate, window="hann", nperseg=segment, noverlap=segment // 2,
                              detrend="constant", return_onesided=True, scaling="density")
    nsd = np.sqrt(psd)
    float(np.median(nsd[1:]))
    print("%.3f" % (time.perf_counter() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
