#!/usr/bin/env bash
# Builds the Debian package and inspects it without installing it: the file
# list and modes, the control fields, the dependencies computed from the
# binary, the maintainer scripts, and the shipped desktop entry, AppStream
# metainfo and manual page.
# Usage: check-deb.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"
package=korvantix-control
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --build "$build" --target package >/dev/null
deb="$build/${package}_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "FAIL: no $deb" >&2; exit 1; }

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "$package" ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = "electronics" ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
case "$(field Description)" in
  *$'\n'*) ;;
  *) fail "Description has no extended part" ;;
esac

# Dependencies come from the binary (dpkg-shlibdeps: names with versions),
# never from a hand list of development packages.
depends="$(field Depends)"
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libqt6charts6 libftdi1-2 libudev1 libasound2; do
  [[ ", $depends" == *", $library (>= "* ]] || fail "Depends lacks a versioned $library: $depends"
done
[[ ", $depends," == *", qt6-translations-l10n,"* ]] || fail "Depends lacks qt6-translations-l10n: $depends"
# libxcb1's symbols file names no minimum version for what the display check uses.
[[ ", $depends," =~ ,\ libxcb1(\ \(\>=[^\)]*\))?, ]] || fail "Depends lacks libxcb1: $depends"
grep -q -- '-dev' <<<"$depends" && fail "Depends names a -dev package: $depends"

# The file list, exactly, with modes and owners.
expected="$(cat <<LIST
-rwxr-xr-x root/root ./usr/bin/korvantix-check
-rwxr-xr-x root/root ./usr/bin/korvantix-control
-rwxr-xr-x root/root ./usr/libexec/korvantix-control/korvantix-control-desktop
-rw-r--r-- root/root ./usr/lib/udev/rules.d/99-korvantix-ftdi.rules
-rw-r--r-- root/root ./usr/share/applications/korvantix-control.desktop
-rw-r--r-- root/root ./usr/share/bash-completion/completions/korvantix-check
-rw-r--r-- root/root ./usr/share/doc/korvantix-control/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/korvantix-control/copyright
-rw-r--r-- root/root ./usr/share/doc/korvantix-control/examples/default.json
-rw-r--r-- root/root ./usr/share/doc/korvantix-control/examples/flaky.json
-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/korvantix-control.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/korvantix-control.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/22x22/apps/korvantix-control.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/24x24/apps/korvantix-control.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/256x256/apps/korvantix-control.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/korvantix-control.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/korvantix-control.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/64x64/apps/korvantix-control.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/korvantix-control.svg
-rw-r--r-- root/root ./usr/share/korvantix/check-profile.json
-rw-r--r-- root/root ./usr/share/korvantix/check-profile.schema.json
-rw-r--r-- root/root ./usr/share/korvantix/check-record.schema.json
-rw-r--r-- root/root ./usr/share/man/man1/korvantix-check.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/korvantix-control.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/example.korvantix.control.metainfo.xml
LIST
)"
actual="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort -k3)"
[ "$actual" = "$(sort -k3 <<<"$expected")" ] || fail "file list differs:
$(diff <(sort -k3 <<<"$expected") <(echo "$actual"))"
dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" { print }' | grep -q . && fail "directory modes are not 0755"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"

# Maintainer scripts: udev reloaded and USB replayed on install and removal;
# group membership left alone.
for script in postinst postrm; do
  file="$work/control/$script"
  [ -x "$file" ] || { fail "$script missing or not executable"; continue; }
  grep -q 'udevadm control --reload-rules' "$file" || fail "$script does not reload the udev rules"
  grep -q 'udevadm trigger --subsystem-match=usb' "$file" || fail "$script does not trigger USB"
  grep -Eq 'usermod|adduser|gpasswd|addgroup' "$file" && fail "$script changes group membership"
  sh -n "$file" || fail "$script has a syntax error"
done

# The program is the one of this version, and stripped.
"$work/root/usr/bin/korvantix-control" --version | grep -qx "korvantix-control $version" || fail "binary version"
file -b "$work/root/usr/bin/korvantix-control" 2>/dev/null | grep -q 'not stripped' && fail "binary not stripped"

# The line check: this version, no Qt, its built-in profile shipped as it
# prints it and valid against the shipped schema, its manual page and completion.
check="$work/root/usr/bin/korvantix-check"
"$check" --version | grep -qx "korvantix-check $version" || fail "korvantix-check version"
readelf -d "$check" | grep -q 'libQt' && fail "korvantix-check links Qt"
share="$work/root/usr/share/korvantix"
cmp -s <("$check" --print-profile) "$share/check-profile.json" || fail "check-profile.json is not the built-in profile"
"$check" --simulate --profile "$share/check-profile.json" --list >/dev/null || fail "the shipped profile does not load"
python3 - "$share" <<'PY' || fail "the shipped schemas or profile do not validate"
import json, sys
import jsonschema
share = sys.argv[1]
load = lambda name: json.load(open(share + "/" + name, encoding="utf-8"))
for name in ("check-profile.schema.json", "check-record.schema.json"):
    jsonschema.Draft7Validator.check_schema(load(name))
jsonschema.Draft7Validator(load("check-profile.schema.json")).validate(load("check-profile.json"))
PY
zcat "$work/root/usr/share/man/man1/korvantix-check.1.gz" | grep -q '^\.TH KORVANTIX-CHECK 1 .*"korvantix-check '"$version"'"' \
  || fail "korvantix-check manual page header"
for section in OPTIONS PROFILE OUTCOMES "EXIT STATUS" EXAMPLES; do
  zcat "$work/root/usr/share/man/man1/korvantix-check.1.gz" | grep -q "^\.SH \"\?$section" || fail "manual page lacks $section"
done
bash -c 'source "$1"; COMP_WORDS=(korvantix-check --rep); COMP_CWORD=1; _korvantix_check; [ "${COMPREPLY[*]}" = --report-dir ]' \
  _ "$work/root/usr/share/bash-completion/completions/korvantix-check" || fail "bash completion of --report-dir"

# Debian's own checks of the package, errors and warnings.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" >&2 || fail "lintian"
fi

# The menu entry starts the launcher, once on the device, once on the simulator.
desktop="$work/root/usr/share/applications/$package.desktop"
launcher="/usr/libexec/$package/$package-desktop"
[ "$(grep -c "^Exec=$launcher\$" "$desktop")" = 1 ] || fail "no Exec line for the device"
[ "$(grep -c "^Exec=$launcher --simulate\$" "$desktop")" = 1 ] || fail "no Exec line for the simulator"
grep -q '^Name\[ru\]=Корвантикс контроль$' "$desktop" || fail "no Russian name"
grep -q '^Categories=Development;Electronics;$' "$desktop" || fail "categories"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
metainfo="$work/root/usr/share/metainfo/example.korvantix.control.metainfo.xml"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
grep -q '<screenshot type="default">' "$metainfo" || fail "metainfo has no screenshot"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >/dev/null || fail "appstreamcli validate"
fi
zcat "$work/root/usr/share/man/man1/$package.1.gz" | grep -q "^\.TH KORVANTIX-CONTROL 1 .*\"$package $version\"" \
  || fail "manual page header"
zcat "$work/root/usr/share/doc/$package/changelog.gz" | head -1 | grep -q "^$package ($version) " \
  || fail "changelog version"

[ "$failures" -eq 0 ] || exit 1
echo "$deb: OK"
