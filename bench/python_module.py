#!/usr/bin/env python3
"""The Python module against the tool and numpy, and against the simulated board's own pace.

    bench/python_module.py [BUILD_DIR] [RUNS]        (default build, 5; best of RUNS each)

Run with the system's python3 (it needs numpy): /usr/bin/python3 bench/python_module.py. Prints:
Wall times and processor times (what a machine loaded by other work leaves alone):
- whole processes on the fast simulated board, 100,000 codes at filter word 3, chopping off:
  `board.capture(10**5)` and `kx3105.analyse` in one script, against `kx3105-cli capture 100000`
  into a data file followed by a script of `numpy.loadtxt` and numpy's mean, std, min and max;
- the module's capture of those codes in the process against the simulated board's own time for
  them (kx3105_capture_loop_bench: the capture loop alone, into a vector);
- `kx3105.analyse` of a 10**7-code int32 array against numpy's mean, std(ddof=1), min and max.
Figures only: nothing is asserted.
"""
import os
import resource
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


def best(runs, work, clock=time.perf_counter):
    times = []
    for _ in range(runs):
        start = clock()
        work()
        times.append(clock() - start)
    return min(times)


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


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

        for what, clock in (("wall", time.perf_counter), ("processor", children_cpu)):
            ours = best(runs, module_process, clock)
            theirs = best(runs, tool_and_numpy, clock)
            print(f"whole processes, {COUNT} codes, {what} time: module {ours * 1e3:.0f} ms, "
                  f"kx3105-cli capture + numpy {theirs * 1e3:.0f} ms "
                  f"(module {theirs / ours:.2f} times as fast)")

    with kx3105.Board(simulate=True) as board:
        board.capture(1)  # numpy is imported with the first array the module makes
        capture = best(runs, lambda: board.capture(COUNT, filter=3, chop="off"))
        # Processor time of the whole process, the worker thread's included.
        capture_cpu = best(runs, lambda: board.capture(COUNT, filter=3, chop="off"),
                           time.process_time)
    own, own_cpu = map(float, subprocess.run([loop, str(COUNT), str(runs)], check=True,
                                             capture_output=True, text=True).stdout.split())
    for what, ours, base in (("wall", capture, own), ("processor", capture_cpu, own_cpu)):
        print(f"capture of {COUNT} codes, {what} time: module {ours * 1e3:.1f} ms, the simulated "
              f"board's own {base * 1e3:.1f} ms, beyond it {100 * (ours - base) / base:.1f} %")

    rng = np.random.default_rng(1)
    codes = (2**23 + rng.normal(0, 3, 10**7)).astype(np.int32)
    analysed = best(runs, lambda: kx3105.analyse(codes, range="2.56V", polarity="bipolar"))
    numpy_own = best(runs, lambda: (codes.mean(), codes.std(ddof=1), codes.min(), codes.max()))
    print(f"10**7 codes: kx3105.analyse {analysed * 1e3:.1f} ms, numpy mean, std, min, max "
          f"{numpy_own * 1e3:.1f} ms (analyse / numpy {analysed / numpy_own:.2f})")


if __name__ == "__main__":
    main()
