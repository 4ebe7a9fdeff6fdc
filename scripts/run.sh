#!/usr/bin/env bash
# Starts tolvanis on this desktop; on a machine without a display, inside a
# private virtual display with a tray, with its panel opened by a real click.
#   scripts/run.sh <path to tolvanis> <demo screenshot dir>
set -euo pipefail
app=$1
demo=$2

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$app"
fi

if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
  XDG_RUNTIME_DIR=$(mktemp -d /tmp/tolvanis-run.XXXXXX)
  export XDG_RUNTIME_DIR
fi
echo "No display here: running tolvanis in a private virtual display (Xvfb + openbox + trayer); Ctrl+C stops it."
exec "$(dirname "$0")/virtual-desktop.sh" bash -c '
  set -euo pipefail
  app=$1 demo=$2
  rm -rf "$demo" && mkdir -p "$demo"
  "$app" &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT INT TERM
  trayer=$TOLVANIS_TRAY_WINDOW
  for _ in $(seq 1 100); do
    eval "$(xdotool getwindowgeometry --shell "$trayer")"
    (( WIDTH >= 16 )) && break
    sleep 0.1
  done
  import -window root "$demo/1-tray.png"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
  sleep 1
  import -window root "$demo/2-panel.png"
  echo "Screenshots:"
  echo "  $demo/1-tray.png"
  echo "  $demo/2-panel.png"
  wait "$pid"
' demo "$app" "$demo"
