#!/usr/bin/env bash
# Builds the Debian packages (the program and its -dbgsym) from this tree with
# dpkg-buildpackage, in a copy of the tree under <folder>, where the .deb
# files, .buildinfo and .changes end up:
#   scripts/build-package.sh <folder>
# dpkg-buildpackage writes its results next to the source folder; the copy
# keeps them out of the checkout's parent. The copy holds what git tracks plus
# new files not ignored, so uncommitted changes are packaged too.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "$1")
version=$(dpkg-parsechangelog -S Version)
source="$out/tolvanis-$version"

rm -rf "$out"
mkdir -p "$source"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [[ -e "$file" ]] && printf '%s\0' "$file"; done |
  tar --null -T - -cf - | tar -xf - -C "$source"

(cd "$source" && dpkg-buildpackage -us -uc -b --jobs-try=auto)
rm -rf "$source"
ls -l "$out"
