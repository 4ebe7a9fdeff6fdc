#!/usr/bin/python3
# The tray icon in waybar on a real sway, as a user meets it, checked by
# screenshot pixels: the icon shows on the bar, a left click opens the panel
# fully on screen and a click on another window closes it. (The menu the bar
# draws from the program's D-Bus menu is checked against the menu itself by
# tests/app/tray.py.)
# Run inside scripts/wayland-session.sh: waybar_tray.py <tolvanis> <screenshot dir> wayland|xcb
import json
import os
import shutil
import subprocess
import sys
import time

from PIL import Image, ImageChops

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from pixels import shows  # noqa: E402

program, shots, platform = sys.argv[1:4]
session = os.environ["TOLVANIS_SESSION_DIR"]
as_user = os.environ["TOLVANIS_AS_USER"]
BAR = (0, 0, 1280, 30)


def grab(box=None, path=os.path.join(session, "screen.png")):
    subprocess.run(["grim", path], check=True)
    image = Image.open(path).convert("RGB")
    return image.crop(box) if box else image


def fail(message):
    os.makedirs(shots, exist_ok=True)
    grab(path=os.path.join(shots, f"{platform}-failure.png"))
    sys.exit(f"FAIL ({platform}): {message}")


def waitfor(what, condition, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if value := condition():
            return value
        time.sleep(0.1)
    fail(what)


def settled(box):
    """A screenshot once two in a row agree: GTK and Qt draw in steps."""
    previous = grab(box)
    for _ in range(30):
        time.sleep(0.15)
        if ImageChops.difference(previous, current := grab(box)).getbbox() is None:
            break
        previous = current
    return current


def click(x, y):
    for command in (f"set {x} {y}", "press button1", "release button1"):
        subprocess.run(["swaymsg", "-q", "seat - cursor " + command], check=True)
        time.sleep(0.1)


def windows(pid):
    def walk(node):
        if node.get("pid") == pid and node.get("visible"):
            yield node["rect"]
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            yield from walk(child)
    return list(walk(json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], check=True, capture_output=True,
                                               text=True).stdout)))


# The pointer shows in screenshots: it waits nearly all off screen while they compare.
subprocess.run(["swaymsg", "-q", "seat - cursor set 1279 799"], check=True)
empty_bar = settled(BAR)
binary = os.path.join(session, "bin", "tolvanis")
shutil.copy(program, binary)
app = subprocess.Popen([as_user, binary], env=dict(os.environ, QT_QPA_PLATFORM=platform), cwd=session)

# The icon: the pixels of the bar that changed once the program started. Its
# background is the colour most of that area has, its mark every other pixel.
waitfor("no icon appeared in waybar's tray", lambda: ImageChops.difference(empty_bar, grab(BAR)).getbbox(), 15)
with_icon = settled(BAR)
box = ImageChops.difference(empty_bar, with_icon).getbbox()
tray = with_icon.crop(box)
background = max(tray.getcolors(tray.width * tray.height))[1]
mark = [(x, y) for x in range(tray.width) for y in range(tray.height) if tray.getpixel((x, y)) != background]
visible, measured = shows([tray.getpixel(p) for p in mark], background)
print(f"{platform}: icon on {background}: {measured}")
if not visible:
    fail(f"the icon's mark does not show against the bar: {measured}")

click(box[0] + (min(x for x, _ in mark) + max(x for x, _ in mark)) // 2,
      box[1] + (min(y for _, y in mark) + max(y for _, y in mark)) // 2)
panel = waitfor("a left click did not open the panel", lambda: windows(app.pid), 5)[0]
if panel["x"] < 0 or panel["y"] < 0 or panel["x"] + panel["width"] > 1280 or panel["y"] + panel["height"] > 800:
    fail(f"the panel at {panel} is not fully on the 1280x800 screen")
other = subprocess.Popen([as_user, "xmessage", "-name", "other", "another window"])
try:
    r = waitfor("the other window did not appear", lambda: windows(other.pid), 5)[0]
    spots = [(x, y) for x in range(r["x"] + 5, r["x"] + r["width"] - 5, 20)
             for y in range(r["y"] + 5, r["y"] + r["height"] - 5, 20)
             if not (panel["x"] <= x < panel["x"] + panel["width"] and panel["y"] <= y < panel["y"] + panel["height"])]
    click(*(spots or fail("the panel covers the whole of the other window"))[len(spots) // 2])
    waitfor("a click on another window did not close the panel", lambda: not windows(app.pid), 5)
finally:
    other.kill()
    app.terminate()
print(f"{platform}: every step passed")
