#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing tolvanis
# need, and nothing when they are all present. Safe to run again.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config dpkg-dev
  qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qcoro-qt6-dev
  libsecret-1-dev libglib2.0-dev libcld2-dev nlohmann-json3-dev libbenchmark-dev
  # make fuzz: libFuzzer comes with clang's runtime libraries
  clang libclang-rt-14-dev
  # bench: X events and synthetic clicks from the benchmark process
  libxcb1-dev libxcb-xtest0-dev
  # run: fonts with Chinese glyphs
  fonts-wqy-microhei fonts-noto-cjk
  # tests: a private Secret Service, a virtual X display with a tray, clicks, clipboard
  dbus-daemon dbus-bin gnome-keyring
  xvfb openbox trayer xdotool xclip x11-utils imagemagick libsecret-tools
  # tests: a compositing manager, so the panel's corners and shadow show
  picom
  # tests: the StatusNotifierItem host (Gio from Debian's python), and the
  # symbolic icon drawn as GTK hosts draw it (GdkPixbuf with librsvg)
  python3-gi gir1.2-gdkpixbuf-2.0 librsvg2-common
  openssl curl
  # tests: the accessibility bus and a screen reader's view of it
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  # tests: a headless Wayland desktop (sway, XWayland, waybar's tray), its
  # screenshots and pointer, the program on Wayland, screenshot pixels
  sway xwayland waybar grim libwayland-dev libwayland-bin qt6-wayland python3-pil
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
# With recommends, as the machines the suite was verified on have them (the
# keyring's prompter among them).
"${sudo[@]}" apt-get install -y -qq "${missing[@]}"
