#!/usr/bin/env bash
# `tolvanis --help` and the manual page's OPTIONS list the same options; diff
# shows the ones only one of them has.
#   manualpage.sh <tolvanis> <tolvanis.1.scd>
set -euo pipefail
options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
diff <("$1" --help | options) <(sed -n '/^# OPTIONS/,/^# [A-Z]/p' "$2" | options)
