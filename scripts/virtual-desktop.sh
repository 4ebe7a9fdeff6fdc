#!/usr/bin/env bash
# Runs a command inside a private virtual X desktop: Xvfb, the openbox window
# manager and a trayer system tray at the top-right corner. DISPLAY is set for
# the command; everything started here is stopped when it ends.
#   scripts/virtual-desktop.sh <command> [args...]
set -euo pipefail

for tool in Xvfb openbox trayer xdotool; do
  command -v "$tool" >/dev/null || { echo "virtual-desktop: $tool is not installed" >&2; exit 1; }
done

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

# Let Xvfb pick a free display number and tell us which through a pipe.
fifo=$(mktemp -u /tmp/tolvanis-xvfb.XXXXXX)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "${TOLVANIS_SCREEN:-1280x800x24}" -nolisten tcp 3>"$fifo" &
pids+=($!)
read -r -t 15 display <"$fifo" || { echo "virtual-desktop: Xvfb did not start" >&2; exit 1; }
rm -f "$fifo"
export DISPLAY=":$display"

openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done

# TOLVANIS_TRAY_TINT paints the tray in that colour (trayer applies a tint
# only to a "transparent" tray; alpha 0 makes it opaque).
tray_colour=(--transparent false --tint 0xe8e8e8)
[[ -n "${TOLVANIS_TRAY_TINT:-}" ]] && tray_colour=(--transparent true --alpha 0 --tint "$TOLVANIS_TRAY_TINT")
trayer --edge top --align right --SetDockType true --SetPartialStrut true --expand true \
  --widthtype request --height 28 "${tray_colour[@]}" --monitor primary >/dev/null 2>&1 &
pids+=($!)
# trayer maps more than one window; the tray itself is the one docked at the
# top edge, 28 high. Commands find it as TOLVANIS_TRAY_WINDOW.
TOLVANIS_TRAY_WINDOW=
for _ in $(seq 1 100); do
  for window in $(xdotool search --class trayer 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null)" || continue
    if [[ ${HEIGHT:-0} -eq 28 && ${Y:-1} -eq 0 ]]; then
      TOLVANIS_TRAY_WINDOW=$window
      break 2
    fi
  done
  sleep 0.05
done
[[ -n "$TOLVANIS_TRAY_WINDOW" ]] || { echo "virtual-desktop: trayer did not start" >&2; exit 1; }
export TOLVANIS_TRAY_WINDOW

"$@" &
child=$!
pids+=("$child")
set +e
wait "$child"
status=$?
set -e
exit "$status"
