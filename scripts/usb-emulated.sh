#!/usr/bin/env bash
# Runs the console on the real USB path (libftdi, libusb) without hardware:
# an emulated FT232R is plugged in at USB bus 1, address 2, in a umockdev test
# bed, with the simulated tracker of a scenario file behind it.
# Usage: scripts/usb-emulated.sh [--scenario=FILE] [CONSOLE ARGUMENTS...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/configure-build.sh" "$root/build"
cmake --build "$root/build" --target korvantix-control ktx-usb-emulated

launcher_options=()
case "${1:-}" in
  --scenario=*) launcher_options+=("$1"); shift ;;
esac
exec umockdev-wrapper "$root/build/ktx-usb-emulated" "${launcher_options[@]}" -- \
  "$root/build/korvantix-control" "$@"
