#!/usr/bin/env bash
# `tolvanis --help` and the manual page's OPTIONS list the same options.
#   manualpage.sh <tolvanis> <tolvanis.1.scd>
set -euo pipefail
options() { grep -o -- '--[a-z][a-z-]*' | sort -u | tr '\n' ' '; }
help=$("$1" --help | options)
manual=$(sed -n '/^# OPTIONS/,/^# [A-Z]/p' "$2" | options)
[[ "$help" == "$manual" ]] || { echo "FAIL: --help lists $help, the manual page $manual" >&2; exit 1; }
