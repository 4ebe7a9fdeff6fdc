#!/usr/bin/env bash
# Checks the package scripts/build-package.sh left in <folder> the way Debian
# checks packages, then runs the packaged program:
#   scripts/check-package.sh <folder>
# - lintian, failing on any error or warning;
# - desktop-file-validate and appstreamcli on the files as installed, and the
#   icon the menu entry names is in the package;
# - the program's module and worker are where it looks for them;
# - installed size at most 6 MiB, the .deb at most 3 MiB;
# - the program unpacked from the .deb starts on a virtual desktop with a tray
#   and its icon shows there;
# - with TOLVANIS_PIUPARTS=1, piuparts on a clean Debian 12: install, remove and
#   purge leave nothing behind (several minutes: the chroot installs Qt).
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$(realpath "$1")
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb="$folder/tolvanis_${version}_${arch}.deb"
dbgsym="$folder/tolvanis-dbgsym_${version}_${arch}.deb"
[[ -f "$deb" && -f "$dbgsym" ]] || { echo "check-package: no $deb and its -dbgsym; run make package" >&2; exit 1; }

fail() { echo "check-package: FAIL: $*" >&2; exit 1; }

echo "== lintian"
lintian --fail-on error,warning --display-info "$deb" "$dbgsym"

root=$(mktemp -d /tmp/tolvanis-package.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

echo "== desktop entry and AppStream metadata"
entry="$root/usr/share/applications/com.quendrix.tolvanis.desktop"
desktop-file-validate "$entry"
appstreamcli validate --pedantic --no-net "$root/usr/share/metainfo/com.quendrix.tolvanis.metainfo.xml"
icon=$(sed -n 's/^Icon=//p' "$entry")
compgen -G "$root/usr/share/icons/hicolor/*/apps/$icon.png" >/dev/null || fail "the icon $icon is not in the package"

echo "== the program's own files where it looks for them"
# Paths relative to the program, compiled in as UTF-16 text: the language-model
# module and the screen-text worker.
for name in tolvanis-llm.so tolvanis-recognizer; do
  relative=$(strings -e l "$root/usr/bin/tolvanis" | grep -m1 -E "^\.\./.*/$name\$") || fail "no path to $name in the program"
  [[ -f "$root/usr/bin/$relative" ]] || fail "the program looks for $name at $relative, which the package does not have"
done

echo "== sizes"
installed_kib=$(dpkg-deb -f "$deb" Installed-Size)
deb_bytes=$(stat -c %s "$deb")
echo "installed: ${installed_kib} KiB, .deb: ${deb_bytes} bytes"
((installed_kib <= 6 * 1024)) || fail "installed size ${installed_kib} KiB is over 6 MiB"
((deb_bytes <= 3 * 1024 * 1024)) || fail "the .deb is ${deb_bytes} bytes, over 3 MiB"

echo "== the packaged program in a tray"
scripts/test-session.sh scripts/virtual-desktop.sh /usr/bin/python3 tests/app/tray.py \
  xembed "$root/usr/bin/tolvanis" light

if [[ "${TOLVANIS_PIUPARTS:-0}" == 1 ]]; then
  echo "== piuparts"
  # A minimal Debian 12, made once and kept: piuparts unpacks a fresh copy of
  # it for every run.
  base=${TOLVANIS_PIUPARTS_BASE:-/var/cache/tolvanis/bookworm-base.tgz}
  mirror=http://deb.debian.org/debian
  sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  if [[ ! -f "$base" ]]; then
    chroot=$(mktemp -d /tmp/tolvanis-bookworm.XXXXXX)
    "${sudo[@]}" debootstrap --variant=minbase bookworm "$chroot" "$mirror"
    "${sudo[@]}" mkdir -p "$(dirname "$base")"
    "${sudo[@]}" tar -C "$chroot" -czf "$base.new" . && "${sudo[@]}" mv "$base.new" "$base"
    "${sudo[@]}" rm -rf "$chroot"
  fi
  "${sudo[@]}" piuparts --basetgz="$base" --distribution=bookworm --mirror="$mirror main" "$deb"
fi
echo "check-package: all passed"
