#!/usr/bin/env bash
# The worker-mode tests under ThreadSanitizer, where the device worker and the
# GUI thread meet: the tabs' and the window's test programs (the window with
# every poll on for KTX_SOAK_SECONDS, 30 by default, among them), and beside
# them the console program itself on the simulator, its status poll started
# from the settings, for as long, then ended by SIGTERM. Any report fails.
#
#   tests/tsan/run.sh BUILD_DIR      (a tree configured with -DKTX_TSAN=ON)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)"
soak="${KTX_SOAK_SECONDS:-30}"

export QT_QPA_PLATFORM=offscreen
export KTX_SCREENSHOT_DIR="$build/screenshots"
# Qt is not built with ThreadSanitizer: its own locks are invisible to it, so
# what Qt's code does (its copies and frees through the intercepted calls) is
# left out, and what the project's code does is checked, Qt's calls into it
# included. The few reports left that come from other libraries are named in
# the suppressions file.
export TSAN_OPTIONS="ignore_noninstrumented_modules=1 suppressions=$here/qt-glibc.supp second_deadlock_stack=1"

# The tests that start a child process with QProcess run in the other trees
# only: ThreadSanitizer does not follow how Qt starts one, and the test
# program's own state is broken after it (lock events lost, false reports on
# a mutex-guarded flag; or "starting new threads after multi-threaded fork",
# and the program dies). A new test that starts one joins this list.
spawning='TwoConsolesTest.*:ShutdownTest.*:HistoryAction.SaysWhyWhenTheDatabaseCannotBeRead'

console_run() {
  local dir="$build/tsan-console"
  rm -rf "$dir"
  mkdir -p "$dir"
  printf '[CONFIG]\r\nAutoStart=1\r\n' >"$dir/Korvantix_control.ini"
  (cd "$dir" && exec "$build/korvantix-control" --simulate >out.log 2>err.log) &
  local pid=$!
  sleep "$soak"
  kill -TERM "$pid" 2>/dev/null || true
  local status=0
  wait "$pid" || status=$?
  if [ "$status" -ne 0 ] || grep -q ThreadSanitizer "$dir/err.log"; then
    cat "$dir/err.log"
    echo "the console under ThreadSanitizer: exit status $status"
    return 1
  fi
  echo "the console ran ${soak} s under ThreadSanitizer and closed on SIGTERM"
}

mkdir -p "$KTX_SCREENSHOT_DIR"
cd "$build"
# A quiet run means something only if a race reached from a slot is reported.
if ./ktx-tsan-canary >/dev/null 2>tsan-canary.log || ! grep -q 'WARNING: ThreadSanitizer: data race' tsan-canary.log; then
  cat tsan-canary.log
  echo "ThreadSanitizer missed the canary's race: these options or suppressions would hide the project's races"
  exit 1
fi
console_run >"$build/tsan-console.log" 2>&1 &
console=$!
status=0
./test_tabs --gtest_brief=1 || status=1
KTX_SOAK_SECONDS="$soak" ./test_app --gtest_brief=1 --gtest_filter="-$spawning" || status=1
wait "$console" || status=1
cat "$build/tsan-console.log"
exit "$status"
