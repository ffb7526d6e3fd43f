#!/usr/bin/env python3
"""The Python module against the tool and numpy, and against the simulated board's own pace.

    bench/python_module.py [BUILD_DIR] [RUNS]        (default build, 5; best of RUNS each)

Run with the system's python3 (it needs numpy): /usr/bin/python3 bench/python_module.py. Prints:
- whole processes on the fast simulated board, 100,000 codes at filter word 3, chopping off:
  `board.capture(10**5)` and `kx3105.analyse` in one script, against `kx3105-cli capture 100000`
  into a data file followed by a script of `numpy.loadtxt` and numpy's mean, std, min and max;
- the module's capture of those codes in the process against the simulated board's own time for
  them (kx3105_capture_loop_bench: the capture loop alone, into a vector);
- `kx3105.analyse` of a 10**7-code int32 array against numpy's mean, std(ddof=1), min and max.
Figures only: nothing is asserted.
"""
import os
import subprocess
import sys
import tempfile
import time

COUNT = 100_000

MODULE_SCRIPT = f"""
import kx3105
with kx3105.Board(simulate=True) as board:
    run = board.capture({COUNT}, filter=3, chop="off")
kx3105.analyse(run)
"""

NUMPY_SCRIPT = """
import sys
import numpy
codes = numpy.loadtxt(sys.argv[1])
codes.mean(), codes.std(ddof=1), codes.min(), codes.max()
"""


def best(runs, work):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    sys.path.insert(0, os.path.join(build, "python"))
    import numpy as np
    import kx3105

    cli = os.path.join(build, "cli", "kx3105-cli")
    loop = os.path.join(build, "bench", "kx3105_capture_loop_bench")
    env = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
    python = sys.executable

    with tempfile.TemporaryDirectory() as work:
        data = os.path.join(work, "run.dat")

        def module_process():
            subprocess.run([python, "-c", MODULE_SCRIPT], env=env, check=True)

        def tool_and_numpy():
            subprocess.run([cli, "--simulate", "capture", str(COUNT), "--filter", "3", "--chop",
                            "off", "-o", data], check=True)
            subprocess.run([python, "-c", NUMPY_SCRIPT, data], check=True)

        ours = best(runs, module_process)
        theirs = best(runs, tool_and_numpy)
        print(f"whole processes, {COUNT} codes: module {ours * 1e3:.0f} ms, "
              f"kx3105-cli capture + numpy {theirs * 1e3:.0f} ms (ratio {theirs / ours:.2f})")

    with kx3105.Board(simulate=True) as board:
        capture = best(runs, lambda: board.capture(COUNT, filter=3, chop="off"))
    own = float(subprocess.run([loop, str(COUNT), str(runs)], check=True, capture_output=True,
                               text=True).stdout)
    print(f"capture of {COUNT} codes: module {capture * 1e3:.1f} ms, the simulated board's own "
          f"{own * 1e3:.1f} ms, beyond it {100 * (capture - own) / own:.1f} %")

    rng = np.random.default_rng(1)
    codes = (2**23 + rng.normal(0, 3, 10**7)).astype(np.int32)
    analysed = best(runs, lambda: kx3105.analyse(codes, range="2.56V", polarity="bipolar"))
    numpy_own = best(runs, lambda: (codes.mean(), codes.std(ddof=1), codes.min(), codes.max()))
    print(f"10**7 codes: kx3105.analyse {analysed * 1e3:.1f} ms, numpy mean, std, min, max "
          f"{numpy_own * 1e3:.1f} ms (analyse / numpy {analysed / numpy_own:.2f})")


if __name__ == "__main__":
    main()
