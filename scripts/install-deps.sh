#!/usr/bin/env bash
# Installs the Debian packages the console needs to build and test, only
# those that are missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl1-mesa-dev
  libftdi1-dev libudev-dev libasound2-dev nlohmann-json3-dev
  libgtest-dev libbenchmark-dev fonts-dejavu-core ccache umockdev libumockdev-dev
  dpkg-dev fakeroot lintian desktop-file-utils appstream librsvg2-bin
  xvfb openbox xdotool x11-utils x11-apps python3
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
