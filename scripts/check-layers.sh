#!/usr/bin/env bash
# Checks every #include "..." under a source tree against the layer stack:
#   base <- link <- area cores <- sim <- check <- results <- widgets <- area ui/ <- app
# (check is the line check's core, the window runs it too; results keeps its
# runs; check/main.cpp is the line check's front end, at the top with app).
# An area is one folder: its core, and its sim/, check/ and ui/ subfolders in
# the layers of the simulator, the line check and the tabs. A file may include
# its own folder and layers below it, and an area's subfolder the shared
# folder of its layer (gsm/sim/ includes sim/); an area never includes another
# area, an area's core never its own sim/, check/ or ui/, the shared folders
# no area's subfolder of their own layer, and nothing outside a ui/ folder
# (or widgets/) includes one inside (the cores and the command-line front end stay Qt-free).
# The areas are KTX_AREAS in the CMakeLists.txt beside the tree.
# Prints "file:line: reason" for each include that breaks the stack and exits
# 1 when there is one. Usage: check-layers.sh [src-dir]
set -euo pipefail
src="${1:-$(cd "$(dirname "$0")/.." && pwd)/src}"
[ -d "$src" ] || { echo "check-layers: no folder $src" >&2; exit 2; }
cd "$src"
areas="$(sed -n 's/^set(KTX_AREAS \([a-z0-9 ]*\))$/\1/p' ../CMakeLists.txt 2>/dev/null | tr ' ' '|')"
[ -n "$areas" ] || { echo "check-layers: no set(KTX_AREAS ...) in $src/../CMakeLists.txt" >&2; exit 2; }

status=0
find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' \) | sed 's#^\./##' | LC_ALL=C sort |
  tr '\n' '\0' | xargs -0 -r awk -v areas="$areas" '
function isArea(top) { return top ~ ("^(" areas ")$") }
# Qt code: the shared widgets and every ui/ folder.
function isUi(path) { return path ~ /(^|\/)ui\// || path ~ /^widgets\// }
# The layer of a path inside src/, -1 for a folder outside the stack.
function rank(path,   top) {
    top = path; sub(/\/.*/, "", top)
    if (top == "base") return 0
    if (top == "widgets") return 5
    if (top == "link") return 1
    if (isArea(top)) return isUi(path) ? 6 : path ~ /^[^\/]+\/sim\// ? 3 : path ~ /^[^\/]+\/check\// ? 4 : 2
    if (top == "sim") return 3
    if (path == "check/main.cpp") return 7
    if (top == "check") return 4
    if (top == "results") return 4.5
    if (top == "app") return 7
    return -1
}
function topOf(path,   top) { top = path; sub(/\/.*/, "", top); return top }
function report(reason) { printf "%s:%d: %s\n", FILENAME, FNR, reason; bad = 1 }
BEGIN { bad = 0 }
FNR == 1 && rank(FILENAME) < 0 {
    report("folder \"" topOf(FILENAME) "\" is not in the layer stack")
}
/^[ \t]*#[ \t]*include[ \t]*"/ {
    target = $0
    sub(/^[^"]*"/, "", target); sub(/".*$/, "", target)
    if (target !~ /\//) next  # the same folder, or a form uic generated
    from = FILENAME
    fromTop = topOf(from); toTop = topOf(target)
    if (rank(target) < 0) { report("includes \"" target "\" from outside the layer stack"); next }
    if (!isUi(from) && isUi(target)) { report("Qt-free code includes the ui/ file \"" target "\""); next }
    if (fromTop == toTop && rank(target) <= rank(from)) next
    if (isArea(fromTop) && isArea(toTop) && fromTop != toTop) { report(fromTop " includes another area: \"" target "\""); next }
    if (isArea(fromTop) && !isArea(toTop) && rank(target) == rank(from)) next  # the shared folder of its layer
    if (rank(target) >= rank(from)) { report("includes \"" target "\" from a layer above or beside its own"); next }
}
END { exit bad }
' || status=1
exit "$status"
