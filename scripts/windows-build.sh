#!/usr/bin/env bash
# The line check for Windows, built and proven on this Linux machine:
# installs the cross compiler and Wine when missing, cross-builds
# korvantix-check.exe, test_core.exe and the stand-in ftd2xx.dll, runs the
# tests under Wine (tests/windows/wine_tests.py) and packs the zip a station
# installs from.
#   windows-build.sh [--build-only] [BUILD_DIR]   (default build-windows)
# --build-only: the cross build alone (the test script builds early, at a low
# priority, and runs the rest later, which then finds nothing to build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_only=0
if [ "${1:-}" = "--build-only" ]; then
  build_only=1
  shift
fi
build="${1:-$root/build-windows}"
cd "$root"
# Absolute: Wine refuses a relative WINEPREFIX.
mkdir -p "$build"
build="$(cd "$build" && pwd)"

"$root/scripts/install-deps.sh" --windows
# -O2, not CMake's -O3 for Release: as fast here, and a third quicker to build.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
  --toolchain "$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" --target korvantix-check test_core fake_ftd2xx -j "$(nproc)"
[ "$build_only" = 0 ] || exit 0
python3 tests/windows/wine_tests.py "$build" schema/check-record.schema.json

# The zip: the program, the README's Windows section and the default
# profile (the one --print-profile prints, for a station to adapt).
version="$(sed -n 's/^project(korvantix_control VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
stage="$build/zip/korvantix-check-$version-windows-x64"
rm -rf "$build/zip"
mkdir -p "$stage"
# Symbols stay in the build folder's copy, for a debugger.
x86_64-w64-mingw32-strip -o "$stage/korvantix-check.exe" "$build/korvantix-check.exe"
awk '/^## Windows/ { keep = 1 } keep && /^## / && !/^## Windows/ { exit } keep' README.md | sed 's/$/\r/' \
  >"$stage/README-Windows.txt"
WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= \
  "$(command -v wine64 || echo /usr/lib/wine/wine64)" "$build/korvantix-check.exe" --print-profile \
  >"$stage/check-profile.json"
python3 -c 'import json, sys; json.load(open(sys.argv[1]))' "$stage/check-profile.json"
[ -s "$stage/README-Windows.txt" ] || { echo "README.md has no Windows section"; exit 1; }
(cd "$build/zip" && zip -qr "../$(basename "$stage").zip" "$(basename "$stage")")
echo "zip: $build/$(basename "$stage").zip"
