#!/usr/bin/env bash
# kx3105-cli analyse and spectrum of a 10,000,000-code data file against the obvious numpy and
# scipy scripts on the same file, each timed as a whole process in one run, side by side: the best
# wall time of RUNS, the least processor time (which a loaded machine does not stretch) and the
# peak memory (maximum resident set) of each, and the two ratios.
# Usage: bench/long_runs_vs_numpy.sh [BUILD_DIR] [RUNS] [CODES]   (default build, 3, 10000000)
# Skips (exit 0) when numpy or scipy is missing; PYTHON names the interpreter to use.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
runs="${2:-3}"
count="${3:-10000000}"
tool="$build/cli/kx3105-cli"
[ -x "$tool" ] || { echo "no $tool: build kx3105-cli first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed (Debian: time): skipped"; exit 0; }
# The first python3 on the path may be one without scipy (pyenv); Debian's may have it.
python=""
for candidate in ${PYTHON:-} python3 /usr/bin/python3; do
    if "$candidate" -c 'import numpy, scipy.signal' 2>/dev/null; then python="$candidate"; break; fi
done
if [ -z "$python" ]; then
    echo "numpy or scipy is not installed (Debian: python3-numpy, python3-scipy): skipped"
    exit 0
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
file="$work/run.dat"
# A run as the simulated board makes it at the fastest rate (1365.33 Hz), with a 50 Hz tone.
"$tool" --simulate --quiet --sim-tone 0=50,20 capture "$count" --chop off --filter 3 -o "$file"
rate=1365.333333

# The obvious numpy script for the noise figures: load, mean, sample deviation, extremes.
cat > "$work/analyse.py" <<'EOF'
import sys
import numpy as np
codes = np.loadtxt(sys.argv[1], dtype=np.float64)
print(len(codes), codes.mean(), codes.std(ddof=1), codes.min(), codes.max())
EOF

# "WALL CPU KILOBYTES" of RUNS runs, alternating with the other side so that both meet the same
# load: the best wall time, the least processor time (user and system, all threads) and the
# largest peak memory.
measure() {
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null
    read -r wall user system kilobytes < "$work/time"
    awk -v w="$wall" -v u="$user" -v s="$system" -v k="$kilobytes" 'BEGIN { print w, u + s, k }'
}
best() {  # the best of the lines "WALL CPU KILOBYTES" on standard input
    awk 'NR == 1 || $1 < w { w = $1 } NR == 1 || $2 < c { c = $2 } $3 > k { k = $3 }
         END { print w, c, k }'
}

: > "$work/a_ours"; : > "$work/a_numpy"; : > "$work/s_ours"; : > "$work/s_scipy"
for ((i = 0; i < runs; i++)); do
    measure "$tool" analyse "$file" --adc-control 7 --json >> "$work/a_ours"
    measure "$python" "$work/analyse.py" "$file" >> "$work/a_numpy"
    measure "$tool" spectrum "$file" --rate "$rate" --adc-control 7 --json >> "$work/s_ours"
    measure "$python" "$here/welch_scipy.py" "$file" --rate "$rate" >> "$work/s_scipy"
done
read -r ao aoc aok < <(best < "$work/a_ours")
read -r an anc ank < <(best < "$work/a_numpy")
read -r so soc sok < <(best < "$work/s_ours")
read -r ss ssc ssk < <(best < "$work/s_scipy")

awk -v n="$count" -v runs="$runs" -v load="$(cut -d' ' -f1 /proc/loadavg 2>/dev/null || echo ?)" \
    -v ao="$ao" -v aoc="$aoc" -v aok="$aok" -v an="$an" -v anc="$anc" -v ank="$ank" \
    -v so="$so" -v soc="$soc" -v sok="$sok" -v ss="$ss" -v ssc="$ssc" -v ssk="$ssk" 'BEGIN {
    printf "%d codes, whole processes, best of %d, load average %s\n", n, runs, load
    printf "                                            wall   processor  peak memory\n"
    printf "  kx3105-cli analyse --json             %6.2f s  %6.2f s  %6.1f MB\n", ao, aoc, aok / 1024
    printf "  numpy.loadtxt, mean, std, min, max    %6.2f s  %6.2f s  %6.1f MB\n", an, anc, ank / 1024
    printf "  kx3105-cli spectrum --json            %6.2f s  %6.2f s  %6.1f MB\n", so, soc, sok / 1024
    printf "  numpy.loadtxt + scipy.signal.welch    %6.2f s  %6.2f s  %6.1f MB\n", ss, ssc, ssk / 1024
    printf "  analyse:  %.1f times faster (processor time %.1f; goal 5), peak %.1f MB (goal 64)\n",
           an / (ao > 0 ? ao : 0.01), anc / (aoc > 0 ? aoc : 0.01), aok / 1024
    printf "  spectrum: %.1f times faster (processor time %.1f; goal 3), peak %.1f MB (goal 200)\n",
           ss / (so > 0 ? so : 0.01), ssc / (soc > 0 ? soc : 0.01), sok / 1024
}'
