#!/usr/bin/env bash
# Tries tolvanis in GNOME's top bar, as a GNOME user meets it: gnome-shell
# (headless, Wayland, one 1280x800 virtual monitor) with the AppIndicator
# extension, on a private system and session bus. Not part of `make test`:
# it needs gnome-shell and gnome-shell-extension-appindicator installed.
#   scripts/gnome-session.sh <tolvanis> <output folder> [wayland|xcb]
# Leaves in the output folder: screenshots of each step, the top bar cut out,
# and what the shell knows of the item (its menu's labels, open windows).
# gnome-shell only lets allowed callers take screenshots, so a small local
# extension, written here, takes them, clicks through a virtual pointer and
# reports the item's place and menu, all from inside the shell.
set -euo pipefail

program=$1
out=$2
platform=${3:-wayland}
for tool in gnome-shell gdbus dbus-daemon dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "gnome-session: $tool is not installed" >&2; exit 1; }
done
appindicator=ubuntu-appindicators@ubuntu.com
[[ -d /usr/share/gnome-shell/extensions/$appindicator ]] \
  || { echo "gnome-session: gnome-shell-extension-appindicator is not installed" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")

if [[ "${TOLVANIS_IN_GNOME_SESSION:-}" != 1 ]]; then
  work=$(mktemp -d /tmp/tolvanis-gnome.XXXXXX)
  trap 'kill "$system_bus" 2>/dev/null; rm -rf "$work"' EXIT
  mkdir -m 700 "$work/run"
  # mutter and the shell ask the system bus for logind, accounts and more; a
  # private one that answers "no such service" keeps them off the host's.
  cat >"$work/system.conf" <<CONF
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
  dbus-daemon --config-file="$work/system.conf" --nofork --nopidfile &
  system_bus=$!
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system_bus_socket
  export TOLVANIS_IN_GNOME_SESSION=1 HOME=$work/home XDG_RUNTIME_DIR=$work/run
  export XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
  unset WAYLAND_DISPLAY DISPLAY
  dbus-run-session -- "$0" "$program" "$out" "$platform"
  exit $?
fi

probe=tolvanis-probe@quendrix.com
mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions/$probe"
cat >"$XDG_DATA_HOME/gnome-shell/extensions/$probe/metadata.json" <<'JSON'
{ "uuid": "tolvanis-probe@quendrix.com", "name": "tolvanis probe",
  "description": "Screenshots, clicks and the top bar's items over D-Bus, for trying tolvanis",
  "shell-version": ["43"] }
JSON
cat >"$XDG_DATA_HOME/gnome-shell/extensions/$probe/extension.js" <<'JS'
const { Clutter, Gio, GLib, Shell } = imports.gi;
const Main = imports.ui.main;
const PopupMenu = imports.ui.popupMenu;

const PROBE = `<node><interface name="com.quendrix.tolvanis.ShellProbe">
  <method name="Screenshot"><arg type="s" direction="in" name="path"/></method>
  <method name="Click"><arg type="i" direction="in"/><arg type="i" direction="in"/>
    <arg type="u" direction="in" name="button"/><arg type="u" direction="in" name="count"/></method>
  <method name="State"><arg type="s" direction="out" name="json"/></method>
</interface></node>`;

function box(item) {
    // Menu sections are not actors themselves.
    const actor = item.get_transformed_position ? item : item.actor;
    const [x, y] = actor.get_transformed_position();
    const [w, h] = actor.get_transformed_size();
    return { x: Math.round(x), y: Math.round(y), w: Math.round(w), h: Math.round(h) };
}

class Probe {
    ScreenshotAsync([path], invocation) {
        const stream = Gio.File.new_for_path(path).replace(null, false, Gio.FileCreateFlags.NONE, null);
        new Shell.Screenshot().screenshot(false, stream, (shooter, result) => {
            try {
                shooter.screenshot_finish(result);
                stream.close(null);
                invocation.return_value(null);
            } catch (e) {
                invocation.return_dbus_error('com.quendrix.tolvanis.ShellProbe.Failed', e.message);
            }
        });
    }

    Click(x, y, button, count) {
        if (!this._pointer) {
            const seat = Clutter.get_default_backend().get_default_seat();
            this._pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
        }
        this._pointer.notify_absolute_motion(GLib.get_monotonic_time(), x, y);
        let left = count;
        GLib.timeout_add(GLib.PRIORITY_DEFAULT, 100, () => {
            this._pointer.notify_button(GLib.get_monotonic_time(), button, Clutter.ButtonState.PRESSED);
            this._pointer.notify_button(GLib.get_monotonic_time(), button, Clutter.ButtonState.RELEASED);
            return --left > 0 ? GLib.SOURCE_CONTINUE : GLib.SOURCE_REMOVE;
        });
    }

    State() {
        const items = Object.entries(Main.panel.statusArea).filter(([, a]) => a).map(([role, actor]) => ({
            role, ...box(actor), menuOpen: Boolean(actor.menu && actor.menu.isOpen),
            menu: actor.menu && actor.menu._getMenuItems ? actor.menu._getMenuItems().map(item => ({
                label: item instanceof PopupMenu.PopupSeparatorMenuItem ? '---'
                    : item.label ? item.label.text : '?', ...box(item) })) : [],
        }));
        const windows = global.get_window_actors().map(a => a.meta_window).map(w => {
            const r = w.get_frame_rect();
            return { title: w.get_title(), pid: w.get_pid(), x: r.x, y: r.y, w: r.width, h: r.height };
        });
        return JSON.stringify({ display: GLib.getenv('DISPLAY'), xauthority: GLib.getenv('XAUTHORITY'), overview: Main.overview.visible, items, windows });
    }
}

class Extension {
    enable() {
        this._exported = Gio.DBusExportedObject.wrapJSObject(PROBE, new Probe());
        this._exported.export(Gio.DBus.session, '/com/quendrix/tolvanis/ShellProbe');
        // The shell starts in the overview; a user at work sees the desktop.
        const hide = () => Main.overview.hide();
        if (Main.layoutManager._startingUp)
            Main.layoutManager.connect('startup-complete', hide);
        else
            hide();
    }

    disable() {
        this._exported.unexport();
    }
}

function init() {
    return new Extension();
}
JS
gsettings set org.gnome.shell enabled-extensions "['$appindicator', '$probe']"
gsettings set org.gnome.shell disable-user-extensions false

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
gnome-shell --headless --wayland --virtual-monitor 1280x800 >"$out/gnome-shell.log" 2>&1 &
pids+=($!)

call() {
  gdbus call --session --dest org.gnome.Shell --object-path /com/quendrix/tolvanis/ShellProbe \
    --method "com.quendrix.tolvanis.ShellProbe.$1" "${@:2}"
}
state() { call State | sed -e "s/^('//" -e "s/',)\$//"; }
step=0
shot() {
  step=$((step + 1))
  local file
  file=$(printf '%s/%02d-%s.png' "$out" "$step" "$1")
  call Screenshot "$file" >/dev/null
  convert "$file" -crop 1280x40+0+0 "${file%.png}-bar.png" 2>/dev/null || true
  state >"${file%.png}.json"
  echo "gnome-session: $file"
}
for _ in $(seq 1 300); do
  call State >/dev/null 2>&1 && break
  sleep 0.1
done
call State >/dev/null || { cat "$out/gnome-shell.log" >&2; echo "gnome-session: the shell did not start" >&2; exit 1; }
sleep 3
shot desktop

export WAYLAND_DISPLAY=wayland-0 QT_QPA_PLATFORM=$platform
# XWayland's display and its key are the ones the shell gives its children.
if [[ $platform == xcb ]]; then
  read -r DISPLAY XAUTHORITY < <(state | /usr/bin/python3 -c 'import json, sys
d = json.load(sys.stdin)
print(d["display"], d["xauthority"])')
  export DISPLAY XAUTHORITY
fi
"$program" >"$out/tolvanis.log" 2>&1 &
app=$!
pids+=("$app")
# The AppIndicator extension names its buttons after the item's bus name.
item=
for _ in $(seq 1 100); do
  item=$(state | /usr/bin/python3 -c 'import json, sys
for i in json.load(sys.stdin)["items"]:
    if "appindicator" in i["role"].lower() or ":1." in i["role"]:
        print(i["x"] + i["w"] // 2, i["y"] + i["h"] // 2); break') || true
  [[ -n "$item" ]] && break
  sleep 0.1
done
[[ -n "$item" ]] || { shot no-icon; echo "gnome-session: no icon in the top bar" >&2; exit 1; }
sleep 1
shot icon
read -r x y <<<"$item"
# The icon's contrast (WCAG) against the bar: its most distinct pixel in the
# button, against the colour most of the button has.
/usr/bin/python3 - "$out/$(printf %02d $step)-icon.png" "$x" "$y" <<'PY'
import sys
from PIL import Image
x, y = int(sys.argv[2]), int(sys.argv[3])
button = Image.open(sys.argv[1]).convert("RGB").crop((x - 12, y - 12, x + 12, y + 12))
def lum(c):
    c = [v / 255 for v in c]
    c = [v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4 for v in c]
    return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]
bar = max(button.getcolors(24 * 24))[1]
best = max(button.getdata(), key=lambda c: abs(lum(c) - lum(bar)))
high, low = sorted((lum(bar), lum(best)), reverse=True)
print(f"gnome-session: the icon's mark {best} on the bar {bar}: {(high + 0.05) / (low + 0.05):.1f}:1")
PY
# Clutter button numbers, not evdev codes.

call Click "$x" "$y" 1 1 >/dev/null
sleep 1.5
shot left-click
# Whatever opened, Escape-like: a click on the empty desktop closes menus and
# takes focus from the panel.
call Click 640 700 1 1 >/dev/null
sleep 1
# The extension sends Activate only for a double click.
call Click "$x" "$y" 1 2 >/dev/null
sleep 1.5
shot double-click
call Click 640 700 1 1 >/dev/null
sleep 1
shot click-elsewhere
call Click "$x" "$y" 3 1 >/dev/null
sleep 1.5
shot right-click
# The last entry of the menu, if any, is where "退出 tolvanis" should be.
quit=$(state | /usr/bin/python3 -c 'import json, sys
for i in json.load(sys.stdin)["items"]:
    labels = [m for m in i["menu"] if m["label"] not in ("---", "?")]
    if i["menuOpen"] and labels:
        print(labels[-1]["x"] + labels[-1]["w"] // 2, labels[-1]["y"] + labels[-1]["h"] // 2); break')
if [[ -n "$quit" ]]; then
  read -r x y <<<"$quit"
  call Click "$x" "$y" 1 1 >/dev/null
  for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then
    echo "gnome-session: the menu's last item did not end the program"
  else
    set +e; wait "$app"; echo "gnome-session: the menu's last item ended the program with status $?"; set -e
  fi
else
  echo "gnome-session: no open menu with items after a right click"
fi
shot end
