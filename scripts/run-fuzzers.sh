#!/usr/bin/env bash
# Runs every libFuzzer program in a directory for a set time each. Each starts
# from a temporary copy of the starting inputs kept for it under fuzz/, so that the
# inputs it finds never land in the tree. Fails when any program finds a crash; the input that
# crashed it is kept in <directory>/crashes/.
#   scripts/run-fuzzers.sh <directory with fuzz_* programs> <seconds per program>
set -euo pipefail

bin=$1
seconds=$2
seeds="$(dirname "$0")/../fuzz/corpus"
work=$(mktemp -d /tmp/tolvanis-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$bin/crashes"

failed=()
total=0
for program in "$bin"/fuzz_*; do
  [[ -f "$program" && -x "$program" ]] || continue
  name=$(basename "$program")
  mkdir -p "$work/$name"
  [[ -d "$seeds/$name" ]] && cp "$seeds/$name"/* "$work/$name"/
  if "$program" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$bin/crashes/$name-" \
      "$work/$name" >"$work/$name.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
    total=$((total + ${runs:-0}))
    printf '%-30s %12s executions, no crash\n' "$name" "${runs:-?}"
  else
    failed+=("$name")
    tail -n 40 "$work/$name.log" >&2
    printf '%-30s FOUND A CRASH (input kept in %s/crashes/)\n' "$name" "$bin"
  fi
done
printf '%-30s %12s executions\n' total "$total"
if ((${#failed[@]} > 0)); then
  echo "fuzzing found crashes in: ${failed[*]}" >&2
  exit 1
fi
