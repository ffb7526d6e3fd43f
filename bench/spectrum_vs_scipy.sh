#!/usr/bin/env bash
# kx3105-cli spectrum --json against numpy.loadtxt + scipy.signal.welch (bench/welch_scipy.py)
# on the same 1,000,000-code data file, each timed as a whole process, best of RUNS.
# Usage: bench/spectrum_vs_scipy.sh [BUILD_DIR] [RUNS]   (default build, 3)
# Skips (exit 0) when numpy or scipy is missing; PYTHON names the interpreter to use.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
runs="${2:-3}"
tool="$build/cli/kx3105-cli"
[ -x "$tool" ] || { echo "no $tool: build kx3105-cli first" >&2; exit 1; }
# The first python3 on the path may be one without scipy (pyenv); Debian's may have it.
python=""
for candidate in ${PYTHON:-} python3 /usr/bin/python3; do
    if "$candidate" -c 'import numpy, scipy.signal' 2>/dev/null; then python="$candidate"; break; fi
done
if [ -z "$python" ]; then
    echo "numpy or scipy is not installed (Debian: python3-scipy): skipped"
    exit 0
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
file="$work/run.dat"
# A run as the simulated board makes it at the fastest rate (1365.33 Hz), with a 50 Hz tone.
"$tool" --simulate --quiet --sim-tone 0=50,20 capture 1000000 --chop off --filter 3 -o "$file"
rate=1365.333333

now() { date +%s%N; }
best() {  # best wall time in ms of RUNS runs of the command
    local best_ns=0
    for ((i = 0; i < runs; i++)); do
        local start end
        start=$(now)
        "$@" >/dev/null
        end=$(now)
        if ((best_ns == 0 || end - start < best_ns)); then best_ns=$((end - start)); fi
    done
    echo $((best_ns / 1000000))
}

ours=$(best "$tool" spectrum "$file" --rate "$rate" --adc-control 7 --json)
scipy=$(best "$python" "$here/welch_scipy.py" "$file" --rate "$rate")
echo "1,000,000 codes, whole processes, best of $runs:"
echo "  kx3105-cli spectrum --json            $ours ms"
echo "  numpy.loadtxt + scipy.signal.welch    $scipy ms"
awk -v a="$scipy" -v b="$ours" 'BEGIN { printf "  ratio: kx3105-cli %.1f times faster (goal: 3)\n", a / (b > 0 ? b : 1) }'
