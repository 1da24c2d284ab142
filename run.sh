#!/usr/bin/env bash
# Builds the console and opens it: on the simulated tracker by default,
# on real FTDI devices with --usb. Other arguments go to the program.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target korvantix-control

program="$root/build/korvantix-control"
if [ "${1:-}" = "--usb" ]; then
  shift
  exec "$program" "$@"
fi
[ $# -eq 0 ] && exec "$program" --simulate
exec "$program" "$@"
