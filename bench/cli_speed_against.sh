#!/usr/bin/env bash
# The tool's speed against another build of it: `capture 1000000 --simulate` and `analyse` of
# 10^7 codes, each run interleaved with the other build's, the best processor time (user + system)
# of N runs each. Processor time, not wall time: a loaded machine leaves it nearly alone.
# Usage: bench/cli_speed_against.sh OTHER_KX3105_CLI [THIS_KX3105_CLI] [RUNS]
set -euo pipefail
other=${1:?usage: bench/cli_speed_against.sh OTHER_KX3105_CLI [THIS_KX3105_CLI] [RUNS]}
this=${2:-build/cli/kx3105-cli}
runs=${3:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Ten million codes once, for analyse.
"$this" --simulate --quiet capture 10000000 -o "$work/long.dat"

cpu() {  # seconds of processor time of a command, its output dropped
    /usr/bin/time -f '%U %S' -o "$work/t" "$@" >/dev/null 2>&1
    awk '{ print $1 + $2 }' "$work/t"
}

best() { sort -g | head -n 1; }

for what in capture analyse; do
    : >"$work/this" && : >"$work/other"
    for ((i = 0; i < runs; i++)); do
        for build in this other; do
            cli=$this
            [ "$build" = other ] && cli=$other
            if [ "$what" = capture ]; then
                cpu "$cli" --simulate --quiet capture 1000000 -o /dev/null >>"$work/$build"
            else
                cpu "$cli" --quiet analyse "$work/long.dat" --range 2.56 --polarity bipolar \
                    >>"$work/$build"
            fi
        done
    done
    t=$(best <"$work/this")
    o=$(best <"$work/other")
    awk -v w="$what" -v t="$t" -v o="$o" \
        'BEGIN { printf "%-8s this %.3f s  other %.3f s  ratio %.3f\n", w, t, o, t / o }'
done
