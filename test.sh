#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a normal build, an
# AddressSanitizer + UndefinedBehaviorSanitizer build, and each fuzz target
# for a bounded time. Exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
cd "$root"
# Each stage says how long the one before it took and how busy the cores
# were meanwhile (the whole machine's, from /proc/stat), and the end the total.
cpu_busy_ticks() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 }' /proc/stat 2>/dev/null || echo 0; }
ticks_per_second="$(getconf CLK_TCK)"
stage_started=$SECONDS
stage_busy_from="$(cpu_busy_ticks)"
stage() {
  if [ -n "${stage_name:-}" ]; then
    local seconds=$((SECONDS - stage_started)) busy=$(($(cpu_busy_ticks) - stage_busy_from))
    echo "   (${stage_name}: ${seconds} s, cores busy $((100 * busy / (ticks_per_second * $(nproc) * (seconds > 0 ? seconds : 1)))) %)"
  fi
  stage_name="$1"
  stage_started=$SECONDS
  stage_busy_from="$(cpu_busy_ticks)"
  echo "== $1"
}

stage "dependencies"
"$root/scripts/install-deps.sh"
# The Windows stage's packages (cross compiler, Wine) download and unpack
# meanwhile; its cross build waits for them.
mkdir -p build-windows
windows_deps_status=build-windows/.install-deps-status
rm -f "$windows_deps_status"
# Unpacking them takes only the CPU time the normal build leaves.
( status=0; nice -n 19 "$root/scripts/install-deps.sh" --windows >build-windows/install-deps.log 2>&1 || status=$?
  echo "$status" >"$windows_deps_status" ) &

jobs="$(nproc)"
# Many tests spend their time waiting on the simulated tracker's timing or a
# real clock, not on the CPU.
test_jobs=$((jobs * 3))
fuzz_seconds="${KTX_FUZZ_SECONDS:-10}"
export QT_QPA_PLATFORM=offscreen

# The normal tree as ./run.sh has it (clang, optimised, line tables).
"$root/scripts/configure-build.sh" build
# ThreadSanitizer only where the device worker and the GUI thread meet: the
# window's and the tabs' tests and the console (asserts on, for the GUI-thread
# checks). KTX_TSAN=0 leaves it out.
tsan="${KTX_TSAN:-1}"
tsan_build=
if [ "$tsan" = 1 ]; then
  tsan_build="cmake --build build-tsan -j $jobs --target test_app test_tabs korvantix-control ktx-tsan-canary"
fi
# Configured at the start of the background build, beside the normal one.
configure_other_trees() {
  # Line tables are all a sanitizer's or fuzzer's report needs (file and
  # line of each frame).
  "$root/scripts/configure-build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DKTX_SANITIZE=ON -DKTX_BENCH=OFF \
    -DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1 || return 1
  # Unoptimised: its targets fuzz for seconds, and -O0 halves their compile.
  "$root/scripts/configure-build.sh" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O0 -gline-tables-only -DNDEBUG" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O0 -gline-tables-only -DNDEBUG" \
    -DKTX_FUZZ=ON -DBUILD_TESTING=OFF || return 1
  # gcc: under clang, the lambda Qt calls for a queued call reads its
  # captures before the hand-off's lock that lets ThreadSanitizer see the
  # queue's order, and an occasional false report follows.
  [ -z "$tsan_build" ] || "$root/scripts/configure-build.sh" --gcc build-tsan -DCMAKE_BUILD_TYPE=Debug -DKTX_TSAN=ON \
    -DKTX_BENCH=OFF -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1"
}

# The other trees build from the start at the lowest priority, on the CPU
# time the normal build's links and the waiting tests leave idle; the timed
# checks keep their priority over them. In the order they are needed: the
# sanitizer tree (its tests start once it is built), the Windows cross build
# (its tests under Wine start once it is built), the fuzz and ThreadSanitizer
# trees. Each leaves a marker when built; each tree's build time goes to the
# log.
background_log=build/background-build.log
asan_built=build-asan/.built-for-test-sh
windows_built=build-windows/.built-for-test-sh
rm -f "$asan_built" "$windows_built"
timed() { local start=$SECONDS; "$@" || return 1; echo "   ($((SECONDS - start)) s: $*)"; }
# Until a tree's marker is there or the background build has ended without it.
built() {
  while [ ! -e "$1" ] && kill -0 "$background_build" 2>/dev/null; do sleep 1; done
  [ -e "$1" ]
}
# The Windows packages' install ends by itself; an hour is far beyond it.
windows_build() {
  local waited=0
  while [ ! -e "$windows_deps_status" ] && [ "$waited" -lt 3600 ]; do sleep 1; waited=$((waited + 1)); done
  [ "$(cat "$windows_deps_status" 2>/dev/null)" = 0 ] || { echo "the Windows packages failed to install"; return 0; }
  timed "$root/scripts/windows-build.sh" --build-only "$root/build-windows" && touch "$windows_built"
  return 0
}
export root jobs windows_deps_status windows_built asan_built tsan_build
# Its own process group, so that an early exit stops the whole build.
# Where the kernel schedules each session as one group (autogroup), a
# niceness counts only inside its group: the new session's group is made the
# nicest too.
setsid nice -n 19 bash -c "$(declare -f timed windows_build configure_other_trees)"'
  echo 19 2>/dev/null >/proc/self/autogroup || true
  configure_other_trees && timed cmake --build build-asan -j "$jobs" && touch "$asan_built" && windows_build \
    && timed cmake --build build-fuzz -j "$jobs" && { [ -z "$tsan_build" ] || timed $tsan_build; }' \
  >"$background_log" 2>&1 &
background_build=$!
# What runs in the background ends with the script, whatever ends it.
background_groups=("$background_build")
stop_background() {
  local group
  for group in "${background_groups[@]}"; do kill -- "-$group" 2>/dev/null || true; done
}
trap stop_background EXIT

stage "normal build (the other trees build meanwhile, at the lowest priority)"
cmake --build build -j "$jobs"

stage "tests"
ctest --test-dir build --output-on-failure -j "$test_jobs" --timeout 300

stage "the whole console under a real X server (Xvfb, openbox, xdotool)"
# After the other tests: its checks measure real time (the background build
# only takes what the console leaves).
timeout 600 /usr/bin/python3 tests/x11/x11_suite.py build/korvantix-control build/screenshots \
  || { echo "X server tests failed"; exit 1; }

stage "rest of the sanitizer (ASan + UBSan) build"
built "$asan_built" || { wait "$background_build" || true; tail -n 60 "$background_log"; echo "sanitizer build failed"; exit 1; }
grep '^   (' "$background_log" || true

# Beside the sanitizer tests, which leave a core idle now and then: the
# benchmarks' short run (a smoke test: its figures are shared with whatever
# runs meanwhile) and, once its cross build is done, the Windows line check's
# tests under Wine, which mostly wait for Wine itself. Their output follows
# the fuzz targets'.
bench_log=build/bench-smoke.log
setsid ./build/korvantix_bench --benchmark_min_time=0.05 >"$bench_log" 2>&1 &
bench_run=$!
background_groups+=("$bench_run")
windows_log=build-windows/windows-tests.log
export background_build background_log
setsid bash -c "$(declare -f built)"'
  if ! built "$windows_built"; then
    cat build-windows/install-deps.log
    echo "the Windows cross build failed:"
    tail -n 60 "$background_log"
    exit 1
  fi
  "$root/scripts/windows-build.sh" "$root/build-windows" || exit 1
  echo "   (Wine tests and zip: $SECONDS s)"
' >"$windows_log" 2>&1 &
windows_run=$!
background_groups+=("$windows_run")

stage "tests under the sanitizers; beside them the benchmarks' short run and the Windows tests under Wine"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-asan --output-on-failure -j "$test_jobs" --timeout 600

stage "rest of the fuzz and ThreadSanitizer builds"
wait "$background_build" || { tail -n 60 "$background_log"; echo "fuzz or ThreadSanitizer build failed"; exit 1; }
grep '^   (' "$background_log" | tail -n +2 || true

# The ThreadSanitizer run mostly waits (the window's polls, the console's
# 30 s): it goes alongside the fuzz targets, which keep their full time each
# and yield it the CPU when it needs some.
tsan_run=
if [ "$tsan" = 1 ]; then
  tsan_log=build-tsan/tsan-run.log
  (
    started=$SECONDS
    status=0
    tests/tsan/run.sh build-tsan || status=$?
    echo "   (ThreadSanitizer run: $((SECONDS - started)) s)"
    exit "$status"
  ) >"$tsan_log" 2>&1 &
  tsan_run=$!
fi
stage "fuzz targets, ${fuzz_seconds} s each$([ -n "$tsan_run" ] && echo ", and beside them the worker-mode tests under ThreadSanitizer")"
# One target per core at a time: each still fuzzes its full time.
fuzz_one() {
  local target="$1" name corpus
  name="$(basename "$target")"
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  local seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  local status=0
  nice -n 10 "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
    "$corpus" "${seeds[@]}" >"build-fuzz/$name.log" 2>&1 || status=$?
  echo "$status" >"build-fuzz/$name.status"
}
targets=()
for target in build-fuzz/fuzz_*; do
  [ -x "$target" ] && targets+=("$target")
done
fuzz_pids=()
# Keeps in fuzz_pids the targets not yet waited for.
fuzz_running() {
  local pid alive=()
  for pid in "${fuzz_pids[@]}"; do
    kill -0 "$pid" 2>/dev/null && alive+=("$pid")
  done
  fuzz_pids=("${alive[@]}")
}
for target in "${targets[@]}"; do
  fuzz_running
  while [ "${#fuzz_pids[@]}" -ge "$jobs" ]; do
    wait -n "${fuzz_pids[@]}" || true
    fuzz_running
  done
  rm -f "build-fuzz/$(basename "$target").status"
  fuzz_one "$target" &
  fuzz_pids+=($!)
done
for pid in "${fuzz_pids[@]}"; do wait "$pid" || true; done
fuzz_failed=0
for target in "${targets[@]}"; do
  name="$(basename "$target")"
  echo "-- $name"
  if [ "$(cat "build-fuzz/$name.status" 2>/dev/null)" != 0 ]; then
    tail -n 40 "build-fuzz/$name.log"
    echo "fuzz target $name failed"
    fuzz_failed=1
  else
    tail -n 1 "build-fuzz/$name.log"
  fi
done
if [ -n "$tsan_run" ]; then
  echo "-- worker-mode tests under ThreadSanitizer and the console for 30 s"
  tsan_status=0
  wait "$tsan_run" || tsan_status=$?
  grep -E '^\[  (PASSED|FAILED) |^the console|^   \(ThreadSanitizer' "$tsan_log" || true
  if [ "$tsan_status" -ne 0 ]; then
    tail -n 200 "$tsan_log"
    echo "ThreadSanitizer tests failed"
    exit 1
  fi
fi
[ "$fuzz_failed" -eq 0 ] || exit 1

echo "-- benchmarks (short run: a smoke test)"
bench_status=0
wait "$bench_run" || bench_status=$?
cat "$bench_log"
[ "$bench_status" -eq 0 ] || { echo "benchmarks failed"; exit 1; }
echo "-- the line check for Windows: mingw-w64 cross build, tests under Wine, zip"
windows_status=0
wait "$windows_run" || windows_status=$?
cat "$windows_log"
[ "$windows_status" -eq 0 ] || { echo "Windows build or its tests failed"; exit 1; }
stage "done"
echo "== all tests passed in $SECONDS s"
