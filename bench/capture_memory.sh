#!/usr/bin/env bash
# Peak memory (maximum resident set) and time of kx3105-cli capture as a whole process on the fast
# simulated board, for counts up to 10^7 codes in each format: the codes are written as they are
# read, so the peak should not grow with the count.
# Usage: bench/capture_memory.sh [BUILD_DIR] [MAX_COUNT]   (default build, 10000000)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
max="${2:-10000000}"
tool="$build/cli/kx3105-cli"
[ -x "$tool" ] || { echo "no $tool: build kx3105-cli first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time is not installed (Debian: time): skipped"; exit 0; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '%-8s %10s %14s %10s %12s\n' format codes peak_rss_kib seconds file_mib
for format in dat csv json; do
    for count in 10000 1000000 10000000; do
        ((count <= max)) || continue
        out="$work/run.$format"
        /usr/bin/time -f '%M %e' -o "$work/time" \
            "$tool" --simulate --quiet capture "$count" --format "$format" -o "$out"
        read -r rss seconds < "$work/time"
        printf '%-8s %10d %14d %10s %12d\n' "$format" "$count" "$rss" "$seconds" \
            $(($(stat -c %s "$out") / 1048576))
        rm -f "$out"
    done
done
