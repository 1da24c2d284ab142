#!/bin/sh
# Start-up of the console against a bare Qt window with nine empty tabs,
# measured side by side: from starting the program to its window's first
# complete paint. Prints both medians and their ratio, on a real X server
# (xcb, on an Xvfb of its own) and offscreen.
#
#   bench/startup-ratio.sh [BUILD_DIR] [RUNS] [-- CONSOLE ARGUMENTS]
#
# With QT_QPA_PLATFORM set, only that platform is measured (xcb then uses the
# DISPLAY given).
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

export KTX_STARTUP_PROBE=1
# The console writes its settings and logs in its working directory.
workdir=$(mktemp -d)
xvfb_pid=
cleanup() {
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$workdir"
}
trap cleanup EXIT INT TERM
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

# An X server of our own for xcb: DISPLAY is set to it.
start_xvfb() {
    if ! command -v Xvfb >/dev/null; then
        echo "startup-ratio: Xvfb is missing (Debian package xvfb)" >&2
        return 1
    fi
    fifo="$workdir/display"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r number < "$fifo" || true
    if [ -z "${number:-}" ]; then
        echo "startup-ratio: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$number"
}

# One platform: both programs alternately, then the medians and the ratio.
measure_platform() {
    platform=$1
    shift
    export QT_QPA_PLATFORM="$platform"
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
        return 1
    fi
    echo "$platform bare window: median ${bare_ms} ms over $(wc -l < "$bare_times") runs"
    echo "$platform console:     median ${console_ms} ms over $(wc -l < "$console_times") runs"
    awk -v p="$platform" -v c="$console_ms" -v b="$bare_ms" 'BEGIN { printf "%s ratio: %.2f\n", p, c / b }'
}

if [ -n "${QT_QPA_PLATFORM:-}" ]; then
    measure_platform "$QT_QPA_PLATFORM" "$@"
    exit 0
fi
status=0
# Where the technicians run it, then without a display.
if start_xvfb; then
    measure_platform xcb "$@" || status=1
else
    status=1
fi
measure_platform offscreen "$@" || status=1
exit "$status"
