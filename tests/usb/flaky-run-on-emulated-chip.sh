#!/usr/bin/env bash
# The README's example on the emulated chip: the flaky scenario (short
# version replies, lost and spoilt replies, an unplug and a replug). The
# console must poll before the unplug, stop while the tracker is out, poll
# again after the replug, and exit 0 on SIGTERM at the end. KEEP=1 keeps the
# working directory.
# Usage: flaky-run-on-emulated-chip.sh LAUNCHER PROGRAM SCENARIO
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
launcher=$(realpath "$1")
program=$(realpath "$2")
scenario=$(realpath "$3")
unplug_s=$(grep -o '"unplugAtMs": *[0-9]*' "$scenario" | grep -o '[0-9]*$')
replug_s=$(grep -o '"replugAtMs": *[0-9]*' "$scenario" | grep -o '[0-9]*$')
[ -n "$unplug_s" ] && [ -n "$replug_s" ] || { echo "FAIL: $scenario has no unplug and replug times"; exit 1; }
unplug_s=$((unplug_s / 1000))
replug_s=$((replug_s / 1000))
serial=$(grep -o '"serial": *"[^"]*"' "$scenario" | grep -o '"[^"]*"$' | tr -d '"')

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work"
printf '[CONFIG]\r\nAutoStart=1\r\n' > Korvantix_control.ini
ain=AIN/AINstream-$serial.txt

QT_QPA_PLATFORM=offscreen "$here/under-testbed.sh" "$launcher" --scenario="$scenario" -- "$program" > console.out 2>&1 &
pid=$!
started=$SECONDS

fail() {
    kill -TERM "$pid" 2>/dev/null && wait "$pid"
    echo "FAIL: $*"
    echo "--- files:"; find . -type f
    echo "--- program output:"; tail -n 30 console.out
    exit 1
}
lines_of() { [ -f "$1" ] && grep -c . "$1" || echo 0; }
# Waits until the given second after the start; the program must still run.
until_second() {
    while [ $((SECONDS - started)) -lt "$1" ]; do
        kill -0 "$pid" 2>/dev/null || fail "the program ended at second $((SECONDS - started))"
        sleep 0.2
    done
}

until_second $((unplug_s - 1))
before_unplug=$(lines_of "$ain")
[ "$before_unplug" -gt 0 ] || fail "no AIN line before the unplug at ${unplug_s} s"
until_second $((replug_s - 1))
unplugged=$(( $(lines_of "$ain") - before_unplug ))
[ "$unplugged" -le 10 ] || fail "$unplugged AIN lines while the tracker was out"
after_replug=$(lines_of "$ain")
# The replug's second counts from the program's own start, which a loaded
# machine (or a sanitizer build) delays: the 15 s are counted from the first
# poll after the replug, and that poll must come within 10 s of it.
while [ "$(lines_of "$ain")" -le "$after_replug" ]; do
    [ $((SECONDS - started)) -lt $((replug_s + 10)) ] || fail "no AIN line within 10 s of the replug at ${replug_s} s"
    until_second $((SECONDS - started + 1))
done
resumed=$((SECONDS - started))
until_second $((resumed + 15))
polled_again=$(( $(lines_of "$ain") - after_replug ))
[ "$polled_again" -ge 20 ] || fail "$polled_again AIN lines in the 15 s after polling resumed, expected 20 or more"
# Still polling at the end, not stuck in a call.
until_second $((resumed + 20))
last_seconds=$(( $(lines_of "$ain") - after_replug - polled_again ))
[ "$last_seconds" -ge 5 ] || fail "$last_seconds AIN lines in the last 5 s, expected 5 or more"
kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
echo "PASS: $before_unplug AIN lines before the unplug, $unplugged while out, $polled_again in 15 s after polling resumed at ${resumed} s, $last_seconds in the 5 s after those"
