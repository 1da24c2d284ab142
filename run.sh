#!/usr/bin/env bash
# Builds the console and opens it: on the simulated tracker by default,
# on real FTDI devices with --usb, on an emulated FTDI chip (the real USB
# path without hardware) with --usb-emulated. Other arguments go to the program.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
if [ "${1:-}" = "--usb-emulated" ]; then
  shift
  exec "$root/scripts/usb-emulated.sh" "$@"
fi
"$root/scripts/install-deps.sh"
"$root/scripts/configure-build.sh" "$root/build"
cmake --build "$root/build" --target korvantix-control

program="$root/build/korvantix-control"
if [ "${1:-}" = "--usb" ]; then
  shift
  exec "$program" "$@"
fi
[ $# -eq 0 ] && exec "$program" --simulate
exec "$program" "$@"
