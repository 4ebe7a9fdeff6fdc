#!/usr/bin/env bash
# Runs a command inside a private headless Wayland desktop: sway (with
# XWayland) on one 1280x800 output, waybar with its StatusNotifierItem tray,
# a pointer device for clicks, and a D-Bus session bus of its own.
#   scripts/wayland-session.sh <virtual-pointer binary> <command> [args...]
# The command gets WAYLAND_DISPLAY, DISPLAY (XWayland), SWAYSOCK,
# DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR, plus:
#   TOLVANIS_SESSION_DIR  a folder the session user can read (copy programs here)
#   TOLVANIS_AS_USER      prefix that runs a program as the session user
# sway refuses to run as root, so under root (as CI runs) the whole desktop
# runs as the existing user nobody; the command itself stays root and may
# still read and connect to everything.
# TOLVANIS_WAYBAR_STYLE names waybar's style sheet (default: waybar's own).
# The session bus activates no host service; TOLVANIS_BUS_SERVICES names the
# ones a test wants on purpose (see scripts/private-bus.sh), e.g. the real
# portal for screenshots:
#   TOLVANIS_BUS_SERVICES="org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.wlr"
set -euo pipefail

pointer=$1
shift
tree=$(cd "$(dirname "$0")/.." && pwd)
for tool in sway swaymsg waybar grim Xwayland dbus-daemon setpriv; do
  command -v "$tool" >/dev/null || { echo "wayland-session: $tool is not installed" >&2; exit 1; }
done

session=$(mktemp -d /tmp/tolvanis-wayland.XXXXXX)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  # The document portal (activated by the desktop portal, so not ours to wait
  # for) may still hold its FUSE mount under the runtime folder.
  if grep -q " $session/run/doc " /proc/self/mounts 2>/dev/null; then
    fusermount3 -uz "$session/run/doc" 2>/dev/null || umount -l "$session/run/doc" 2>/dev/null || true
  fi
  rm -rf "$session"
}
trap cleanup EXIT INT TERM
fail() { echo "wayland-session: $*" >&2; exit 1; }
waitfor() {
  for _ in $(seq 1 "$1"); do
    if eval "$2" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

# Everything the session user runs or reads is copied here: the build tree
# of a fresh clone may sit in a folder only root can enter.
export TOLVANIS_SESSION_DIR=$session
export XDG_RUNTIME_DIR=$session/run HOME=$session/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$session/bin"
chmod 700 "$XDG_RUNTIME_DIR"
chmod 755 "$session"
cp "$tree/tests/desktop/sway.config" "$tree/tests/desktop/waybar.json" "$session/"
cp "${TOLVANIS_WAYBAR_STYLE:-/etc/xdg/waybar/style.css}" "$session/waybar.css"
install -m 755 "$pointer" "$session/bin/virtual-pointer"
if [[ $(id -u) -eq 0 ]]; then
  chown -R nobody:nogroup "$session"
  printf '#!/bin/sh\nexec setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"\n' >"$session/as-user"
else
  printf '#!/bin/sh\nexec "$@"\n' >"$session/as-user"
fi
chmod 755 "$session/as-user"
export TOLVANIS_AS_USER=$session/as-user
unset WAYLAND_DISPLAY DISPLAY SWAYSOCK XDG_CURRENT_DESKTOP QT_QPA_PLATFORMTHEME QT_IM_MODULE GTK_IM_MODULE \
  XMODIFIERS GNOME_KEYRING_CONTROL SSH_AUTH_SOCK AT_SPI_BUS_ADDRESS
# No accessibility bus in this session; GTK and Qt would wait for one.
export NO_AT_BRIDGE=1

# A session bus of the suite's own (scripts/private-bus.sh: no host service is
# activated; TOLVANIS_BUS_SERVICES adds the ones a test wants, e.g. the real
# desktop portal and its wlr back-end) that the command may use as well: by
# default a bus admits only the user who started it. The socket sits in the
# session user's private runtime folder, so no one else reaches it anyway.
"$tree/scripts/private-bus.sh" "$session/bus" "unix:path=$XDG_RUNTIME_DIR/bus" any-user >/dev/null
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
"$TOLVANIS_AS_USER" dbus-daemon --config-file="$session/bus/bus.conf" --nofork --nopidfile \
  --address="$DBUS_SESSION_BUS_ADDRESS" &
pids+=($!)
waitfor 50 "test -S '$XDG_RUNTIME_DIR/bus'" || fail "the session bus did not start"

# The desktop portal's Screenshot (xdg-desktop-portal-wlr, D-Bus-activated once
# sway.config has told the bus the display) will not start without PipeWire.
if command -v pipewire >/dev/null; then
  "$TOLVANIS_AS_USER" pipewire >"$session/pipewire.log" 2>&1 &
  pids+=($!)
  waitfor 50 "test -S '$XDG_RUNTIME_DIR/pipewire-0'" || fail "PipeWire did not start"
fi

WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER_ALLOW_SOFTWARE=1 \
  "$TOLVANIS_AS_USER" sway -c "$session/sway.config" >"$session/sway.log" 2>&1 &
pids+=($!)
sway_ready() {
  SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n1)
  [[ -n "$SWAYSOCK" ]] && swaymsg -s "$SWAYSOCK" -t get_outputs >/dev/null 2>&1
}
waitfor 100 sway_ready || { cat "$session/sway.log" >&2; fail "sway did not start"; }
export SWAYSOCK
WAYLAND_DISPLAY=$(basename "$(ls "$XDG_RUNTIME_DIR"/wayland-* | grep -v '\.lock$' | head -n1)")
export WAYLAND_DISPLAY
# sway's own environment knows XWayland's display.
swaymsg -q exec 'echo "$DISPLAY" > "$XDG_RUNTIME_DIR/display"'
waitfor 100 "test -s '$XDG_RUNTIME_DIR/display'" || fail "XWayland did not start"
DISPLAY=$(cat "$XDG_RUNTIME_DIR/display")
export DISPLAY

"$TOLVANIS_AS_USER" "$session/bin/virtual-pointer" &
pids+=($!)
waitfor 50 "swaymsg -t get_seats | grep -q '\"pointer\"'" || fail "the seat got no pointer"

# Long: GTK in waybar first waits for the desktop portal, which starts its backends.
waitfor 300 "dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher | grep -q 'boolean true'" \
  || { cat "$session/sway.log" >&2; fail "waybar's tray did not start"; }

status=0
"$@" || status=$?
exit "$status"
