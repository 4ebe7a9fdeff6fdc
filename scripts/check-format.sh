#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it
# (.clang-format at the top). Mend with: scripts/check-format.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [[ "${1:-}" == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/tolvanis-format.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/tolvanis-format.$$ | cut -d: -f1 | sort -u | sed 's/^/unformatted: /' >&2
  rm -f /tmp/tolvanis-format.$$
  echo "check-format: run scripts/check-format.sh --fix" >&2
  exit 1
fi
rm -f /tmp/tolvanis-format.$$
