#!/usr/bin/env bash
# Installs the Debian 12 packages that a make target needs, and nothing when
# they are all present. Safe to run again.
set -euo pipefail

# usage: install-deps.sh <group>...; the groups are what each make target needs.
declare -A groups
# Qt's text-to-speech headers include QtQmlIntegration, which Debian 12 ships in
# qt6-declarative-dev without qt6-speech-dev depending on it.
groups[build]="cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qcoro-qt6-dev qt6-speech-dev qt6-declarative-dev
  libsecret-1-dev libcld2-dev nlohmann-json3-dev libxcb1-dev libtesseract-dev scdoc"
# Fonts with Chinese glyphs; reading aloud: Qt's speech-dispatcher plugin, the
# service (with its dummy and generic output modules) and espeak-ng's voices;
# the data for reading Chinese and English text off the screen.
groups[run]="fonts-wqy-microhei fonts-noto-cjk
  qt6-speech-speechd-plugin speech-dispatcher speech-dispatcher-espeak-ng espeak-ng
  tesseract-ocr-chi-sim tesseract-ocr-eng"
# A private Secret Service; a virtual X display with a tray, clicks, the
# clipboard and screenshots; a compositing manager, so the panel's corners and
# shadow show; the StatusNotifierItem host and portal stand-ins (Gio from
# Debian's python) and the symbolic icon drawn as GTK hosts draw it (GdkPixbuf
# with librsvg); the accessibility bus and a screen reader's view of it; a
# headless Wayland desktop (sway, XWayland, waybar's tray), its screenshots
# and pointer, the program on Wayland, and the desktop portal's Screenshot there
# (xdg-desktop-portal-wlr, which will not start without PipeWire); a TLS
# server for the HTTPS check; and the real desktop portals most desktops have,
# so that CI proves they never answer in place of the tests' stand-ins.
groups[test]="speech-dispatcher clang-format dbus-daemon dbus-bin gnome-keyring libsecret-tools
  xvfb openbox trayer xdotool xclip x11-utils imagemagick picom
  python3-gi gir1.2-gdkpixbuf-2.0 librsvg2-common
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  sway xwayland waybar grim libwayland-dev libwayland-bin qt6-wayland python3-pil openssl
  xdg-desktop-portal xdg-desktop-portal-gtk xdg-desktop-portal-gnome xdg-desktop-portal-wlr pipewire"
# Google Benchmark, X events and synthetic clicks from the benchmark process,
# and curl as the yardstick for the HTTP figures.
groups[bench]="libbenchmark-dev libxcb-xtest0-dev curl"
# libFuzzer comes with clang's runtime libraries.
groups[fuzz]="clang libclang-rt-14-dev"
# `make package` and `make package-check`: debhelper builds the package,
# Debian's checkers judge it, piuparts installs it in a Debian 12 chroot that
# debootstrap makes.
groups[package]="dpkg-dev debhelper lintian piuparts debootstrap desktop-file-utils appstream"

(($# > 0)) || set -- build run test bench
packages=()
for group in "$@"; do
  [[ -n "${groups[$group]:-}" ]] || { echo "install-deps.sh: no package group '$group'" >&2; exit 2; }
  read -r -a listed <<<"$(echo ${groups[$group]})"
  packages+=("${listed[@]}")
done

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
