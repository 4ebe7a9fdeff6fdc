#!/usr/bin/env bash
# Runs a command inside a private D-Bus session that has a real, unlocked
# gnome-keyring Secret Service, so tests never touch the user's own keyring.
#   scripts/test-session.sh ctest --test-dir build
# The bus activates none of the host's services (scripts/private-bus.sh);
# TOLVANIS_BUS_SERVICES names the ones a run wants on purpose, e.g.
#   TOLVANIS_BUS_SERVICES="org.freedesktop.portal.Desktop" scripts/test-session.sh ...
# Nor does anything else of the user's desktop reach the tests: its display,
# input method, keyring and agent sockets, accessibility bus and desktop name
# are cleared from the environment.
set -euo pipefail

if [[ "${TOLVANIS_IN_TEST_SESSION:-}" != 1 ]]; then
  export TOLVANIS_IN_TEST_SESSION=1
  # A fresh HOME keeps the keyring's files, and everything else, private.
  TOLVANIS_TEST_HOME=$(mktemp -d /tmp/tolvanis-test-home.XXXXXX)
  export TOLVANIS_TEST_HOME
  trap 'rm -rf "$TOLVANIS_TEST_HOME"' EXIT
  mkdir -m 700 "$TOLVANIS_TEST_HOME/run"
  bus=$("$(dirname "$0")/private-bus.sh" "$TOLVANIS_TEST_HOME/bus" "unix:dir=$TOLVANIS_TEST_HOME/run")
  unset DISPLAY WAYLAND_DISPLAY SWAYSOCK XDG_CURRENT_DESKTOP XDG_SESSION_DESKTOP DESKTOP_SESSION \
    XDG_SESSION_TYPE QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_IM_MODULE GTK_IM_MODULE XMODIFIERS \
    GTK_MODULES GNOME_KEYRING_CONTROL SSH_AUTH_SOCK AT_SPI_BUS_ADDRESS SESSION_MANAGER KDE_FULL_SESSION
  # Without dconf on the bus, GSettings users keep their settings in memory.
  export GSETTINGS_BACKEND=memory
  HOME="$TOLVANIS_TEST_HOME" XDG_DATA_HOME="$TOLVANIS_TEST_HOME/.local/share" \
    XDG_CONFIG_HOME="$TOLVANIS_TEST_HOME/.config" XDG_RUNTIME_DIR="$TOLVANIS_TEST_HOME/run" \
    dbus-run-session --config-file="$bus" -- "$0" "$@"
  exit $?
fi

# --unlock reads the new login keyring's password from stdin and creates it.
printf 'tolvanis-test' | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null

# Wait until the daemon owns its bus name; starting tests earlier races D-Bus
# activation, which would start a second, locked daemon.
for _ in $(seq 1 100); do
  if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; then
    exec "$@"
  fi
  sleep 0.1
done
echo "test-session: the Secret Service (gnome-keyring) did not start" >&2
exit 1
