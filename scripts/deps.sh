#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tolvane needs.
# Only calls apt-get when something is missing, so repeated runs are quick.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake pkg-config
  # Qt 6 and the X11 pieces the platform layer talks to directly
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins
  libxcb1-dev libxcb-shm0-dev libxcb-xfixes0-dev libxcb-randr0-dev
  # snapshots and encoders
  libzstd-dev libpng-dev libjpeg-dev libtiff-dev libgif-dev libimagequant-dev
  # tests
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool xclip libxcb-xtest0-dev x11-utils x11-xserver-utils imagemagick libtiff-tools
  # a font that renders Chinese
  fonts-wqy-microhei
)

# Only for bench/: the whole-process comparison with other tools under Xvfb.
if [ "${1:-}" = "--bench" ]; then
  PACKAGES+=(
    python3-pil python3-numpy gcc libx11-dev libxext-dev libxfixes-dev libxtst-dev dbus
    flameshot ksnip hyperfine
  )
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
