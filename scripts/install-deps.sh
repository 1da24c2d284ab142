#!/usr/bin/env bash
# Installs the Debian packages the console needs to build and test, only
# those that are missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-charts-dev libqt6opengl6-dev libgl1-mesa-dev
  libftdi1-dev libudev-dev libasound2-dev libxcb1-dev nlohmann-json3-dev qt6-translations-l10n
  libgtest-dev libbenchmark-dev fonts-dejavu-core ccache umockdev libumockdev-dev
  dpkg-dev fakeroot lintian desktop-file-utils appstream librsvg2-bin locales
  python3 python3-jsonschema wkhtmltopdf
  libsoci-dev libpq-dev postgresql
  # Debian's SOCI headers include Boost's without depending on them.
  libboost-dev
  xvfb openbox xdotool x11-utils x11-apps
)

# The core tests also run in the technician's locale (decimal comma).
generate_russian_locale() {
  locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8' && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
}

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  generate_russian_locale
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
generate_russian_locale
