#!/usr/bin/env bash
# The console without --simulate, on the emulated tracker: it lists and
# identifies it (the stream logs are named after the serial it read), then
# polls at 5 Hz, writing AIN and COUNT lines. Stopped with SIGTERM, it must
# exit 0. KEEP=1 keeps the working directory.
# Usage: program-on-emulated-chip.sh LAUNCHER PROGRAM [MIN_AIN_LINES]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
launcher=$(realpath "$1")
program=$(realpath "$2")
window_seconds=5
min_ain_lines=${3:-20}
start_limit_seconds=30

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work"
printf '[CONFIG]\r\nAutoStart=1\r\n' > Korvantix_control.ini
ain=AIN/AINstream-1234567.txt
count=COUNT/COUNTstream-1234567.txt

QT_QPA_PLATFORM=offscreen "$here/under-testbed.sh" "$launcher" -- "$program" > console.out 2>&1 &
pid=$!

fail() {
    kill -TERM "$pid" 2>/dev/null && wait "$pid"
    echo "FAIL: $*"
    echo "--- files:"; find . -type f
    echo "--- program output:"; tail -n 30 console.out
    exit 1
}
lines_of() { [ -f "$1" ] && grep -c . "$1" || echo 0; }

# Start-up (Qt, identification) is not timed: the window opens once polling runs.
for ((i = 0; i < start_limit_seconds * 10; ++i)); do
    [ "$(lines_of "$ain")" -gt 0 ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended before polling"
    sleep 0.1
done
first=$(lines_of "$ain")
[ "$first" -gt 0 ] || fail "no AIN line after ${start_limit_seconds} s"
sleep "$window_seconds"
last=$(lines_of "$ain")
kill -TERM "$pid"
wait "$pid"
status=$?

[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
[ -s "$count" ] || fail "no COUNT lines"
lines=$((last - first))
[ "$lines" -ge "$min_ain_lines" ] || fail "$lines AIN lines in ${window_seconds} s, expected $min_ain_lines or more"
echo "PASS: $lines AIN lines in ${window_seconds} s; $(lines_of "$count") COUNT lines in all"
