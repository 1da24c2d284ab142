#!/bin/sh
# Start-up of the console against a bare Qt window with nine empty tabs,
# measured side by side: from starting the program to its window's first
# complete paint. Prints both medians and their ratio.
#
#   bench/startup-ratio.sh [BUILD_DIR] [RUNS] [-- CONSOLE ARGUMENTS]
#
# Runs offscreen unless QT_QPA_PLATFORM says otherwise (e.g. xcb under Xvfb).
set -eu

build=${1:-build}
runs=${2:-15}
shift $(( $# < 2 ? $# : 2 ))
[ "${1:-}" = "--" ] && shift

console="$build/korvantix-control"
bare="$build/ktx-bare-window"
for program in "$console" "$bare"; do
    if [ ! -x "$program" ]; then
        echo "startup-ratio: $program is missing; build the targets korvantix-control and ktx-bare-window" >&2
        exit 1
    fi
done
case "$runs" in
    ''|*[!0-9]*|0) echo "startup-ratio: RUNS must be a positive number, not '$runs'" >&2; exit 1 ;;
esac

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export KTX_STARTUP_PROBE=1
# The console writes its settings and logs in its working directory.
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT INT TERM
console=$(cd "$(dirname "$console")" && pwd)/$(basename "$console")
bare=$(cd "$(dirname "$bare")" && pwd)/$(basename "$bare")

# Milliseconds from start to first paint, or nothing when the program failed.
measure() {
    start=$(date +%s%N)
    painted=$(cd "$workdir" && timeout 20 "$@" 2>/dev/null | tail -n 1) || true
    case "$painted" in
        ''|*[!0-9]*) return 0 ;;
    esac
    echo $(( (painted - start) / 1000 ))
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) exit 1; m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f\n", m / 1000 }'
}

bare_times="$workdir/bare.times"
console_times="$workdir/console.times"
: > "$bare_times"
: > "$console_times"
i=0
# Alternating runs share whatever else the machine is doing.
while [ "$i" -lt "$runs" ]; do
    measure "$bare" >> "$bare_times"
    measure "$console" "$@" >> "$console_times"
    i=$((i + 1))
done

if ! bare_ms=$(median < "$bare_times") || ! console_ms=$(median < "$console_times"); then
    echo "startup-ratio: a program never reached its first paint (run it with KTX_STARTUP_PROBE=1 to see why)" >&2
    exit 1
fi
echo "bare window: median ${bare_ms} ms over $(wc -l < "$bare_times") runs"
echo "console:     median ${console_ms} ms over $(wc -l < "$console_times") runs"
awk -v c="$console_ms" -v b="$bare_ms" 'BEGIN { printf "ratio: %.2f\n", c / b }'
