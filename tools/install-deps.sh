#!/usr/bin/env bash
# Installs the Debian packages the project needs and that are missing.
# TELVANE_GUI=OFF leaves out Qt.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libfontconfig-dev libfreetype-dev libharfbuzz-dev fonts-dejavu-core fonts-liberation2
  libjpeg62-turbo-dev libpng-dev
  # Reference encoders and decoders the image tests and benchmarks compare against.
  imagemagick libjpeg-turbo-progs giflib-tools
)
if [[ "${TELVANE_GUI:-ON}" != "OFF" ]]; then
  # Xvfb, xrandr and xcb give the display window tests a two-monitor desktop.
  packages+=(qt6-base-dev qt6-qpa-plugins xvfb xauth x11-xserver-utils libxcb1-dev)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
