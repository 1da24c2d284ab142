#!/usr/bin/env bash
# Configures a build tree with clang, which compiles this project in two
# thirds of the CPU time gcc takes. A tree configured for another compiler
# before is made anew (CMake cannot change a tree's compiler).
#   scripts/configure-build.sh [--gcc] TREE [CMAKE OPTIONS...]
# Without options the tree is the normal one (optimised, line tables), which
# ./run.sh, scripts/usb-emulated.sh and ./test.sh share in build/. --gcc: the
# tree is compiled by gcc instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cc=clang cxx=clang++
if [ "${1:-}" = "--gcc" ]; then
  cc=gcc cxx=g++
  shift
fi
tree="${1:?usage: configure-build.sh [--gcc] TREE [CMAKE OPTIONS...]}"
shift
if [ $# -eq 0 ]; then
  # Line tables (-g1) are what a backtrace needs; full debug information
  # costs a third more compile time.
  set -- -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
fi
grep -qs "^CMAKE_CXX_COMPILER:.*/$cxx\$" "$tree/CMakeCache.txt" || rm -rf "$tree"
CC=$cc CXX=$cxx cmake -S "$root" -B "$tree" -G Ninja "$@" >/dev/null
