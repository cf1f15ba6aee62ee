#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tolvane needs:
#   scripts/deps.sh          building and running (make run)
#   scripts/deps.sh --test   and the tests (make test)
#   scripts/deps.sh --bench  and the benchmarks (make bench)
#   scripts/deps.sh --fresh  only what the fresh-machine check needs (make fresh-check)
# Only calls apt-get when something is missing, so repeated runs are quick.
set -euo pipefail

# What building and running the program needs, with what `make run` uses to
# show a capture on a machine without a display.
PACKAGES=(
  # toolchain
  build-essential cmake pkg-config
  # Qt 6 and the X11 pieces the platform layer talks to directly
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins
  libxcb1-dev libxcb-shm0-dev libxcb-randr0-dev libxcb-render0-dev
  # Wayland: the screen read over libwayland-client (wayland-scanner comes
  # with it), and Qt's Wayland platform for the window
  libwayland-dev wayland-protocols qt6-wayland
  # snapshots and encoders
  libzstd-dev libpng-dev libjpeg-dev libtiff-dev libgif-dev libimagequant-dev
  # a font that renders Chinese; Qt's own Chinese texts for the save dialog
  fonts-wqy-microhei qt6-translations-l10n
  # the icon's PNG sizes, drawn from its SVG at build time
  librsvg2-bin
  # scripts/demo.sh, the scripted capture under a private X server: the
  # server, its input, the sample desktop and the screenshots (convert,
  # display, import, identify), and the clipboard read back
  xvfb xdotool imagemagick xclip
)

# What the tests need besides: make test.
if [ "${1:-}" = "--test" ] || [ "${1:-}" = "--bench" ]; then
  PACKAGES+=(
    googletest libgtest-dev libgmock-dev
    x11-utils x11-xserver-utils libtiff-tools libxcb-xtest0-dev
    # the install test: the desktop's validators and the man page's formatters
    desktop-file-utils appstream groff-base man-db bsdextrautils
    # the window managers the desktop and dialog tests run under (mutter
    # as GNOME's X11 one)
    openbox icewm mutter
    # the Wayland tests: a headless compositor with its background drawer,
    # its screen reader, clipboard and keyboard clients
    sway swaybg grim wl-clipboard wtype
    # the Windows build and its tests under Wine (GoogleTest built from googletest's sources)
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 fonts-wine
    # the Screenshot portal route on sway: the portal, its wlr back end (which
    # needs PipeWire), the gtk one for the access check, a private session bus
    dbus xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk pipewire
    # gdbus, to store a refused screenshot permission for the portal test
    libglib2.0-bin
    # the GNOME tests: a headless GNOME Shell and the portal's GNOME back end
    gnome-shell xdg-desktop-portal-gnome
    # the KDE tests: a headless KWin, its fake-input protocol for the test's
    # input, and KDE's Screenshot portal, which needs Plasma's workspace,
    # Qt 5's Wayland platform and these QML modules even when it asks nothing
    kwin-wayland plasma-wayland-protocols xdg-desktop-portal-kde plasma-workspace qtwayland5
    qml-module-org-kde-kirigami2 qml-module-qtquick-controls2 qml-module-qtquick-layouts
    # the input-method test: fcitx5 with pinyin and its module for Qt 6
    fcitx5 fcitx5-pinyin fcitx5-frontend-qt6
  )
fi

# Only for bench/: the benchmarks and the whole-process comparison with other tools under Xvfb.
if [ "${1:-}" = "--bench" ]; then
  PACKAGES+=(
    libbenchmark-dev
    python3-pil python3-numpy gcc libx11-dev libxext-dev libxfixes-dev libxtst-dev dbus
    flameshot ksnip hyperfine
    # the usual region picker on sway, timed next to the program there
    slurp
  )
fi

# The fresh-machine check builds its own root: it needs only mmdebstrap here.
if [ "${1:-}" = "--fresh" ]; then
  PACKAGES=(mmdebstrap)
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
