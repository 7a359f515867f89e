#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev llvm
  libgtest-dev zlib1g-dev libjpeg-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav gstreamer1.0-x gstreamer1.0-alsa
  libcurl4-openssl-dev libasound2-dev
  libxtst-dev xvfb xauth openbox zip unzip p7zip-full libarchive-tools python3 fonts-dejavu-core
  xdg-utils  # xdg-open: web pages and documents open with the desktop's application
)

# One query for all of them: each call reads the whole package database.
installed=" $(dpkg-query -W -f='${Package}:${Status} ' "${PACKAGES[@]}" 2>/dev/null || true)"
missing=()
for p in "${PACKAGES[@]}"; do
  [[ "$installed" == *" $p:install ok installed "* ]] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
