#!/usr/bin/python3
# The tray icon in waybar on a real sway, as a user meets it, checked by
# screenshot pixels: the icon shows on the bar, a left click opens the panel
# fully on screen and a click on another window closes it, a right click shows
# the menu (three items and a separator) whose first item opens the panel and
# whose last item quits with status 0.
# Run inside scripts/wayland-session.sh: waybar_tray.py <tolvanis> <screenshot dir> wayland|xcb
import json
import os
import shutil
import subprocess
import sys
import time

from PIL import Image, ImageChops

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from pixels import contrast, shows  # noqa: E402

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


def settled(box=None):
    """A screenshot once two in a row agree: GTK and Qt draw in steps."""
    previous = grab(box)
    for _ in range(30):
        time.sleep(0.15)
        if ImageChops.difference(previous, current := grab(box)).getbbox() is None:
            break
        previous = current
    return current


def seat(*commands):
    for command in commands:
        subprocess.run(["swaymsg", "-q", "seat - cursor " + command], check=True)
        time.sleep(0.1)


def click(x, y, button="button1"):
    seat(f"set {x} {y}", f"press {button}", f"release {button}")


def park():
    """The pointer shows in screenshots: it waits nearly all off screen while they compare."""
    seat("set 1279 799")


def windows(pid):
    def walk(node):
        if node.get("pid") == pid and node.get("visible"):
            yield node["rect"]
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            yield from walk(child)
    return list(walk(json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], check=True, capture_output=True,
                                               text=True).stdout)))


def panel_on_screen(how):
    r = waitfor(f"{how} did not open the panel", lambda: windows(app.pid), 5)[0]
    if r["x"] < 0 or r["y"] < 0 or r["x"] + r["width"] > 1280 or r["y"] + r["height"] > 800:
        fail(f"{how}: the panel at {r} is not fully on the 1280x800 screen")
    return r


def panel_closes(how):
    waitfor(f"{how} did not close the panel", lambda: not windows(app.pid), 5)


def menu_rows():
    """A right click on the icon; the rows of the menu it drew and how many
    separators: the popup's background is the colour most of the change has,
    an item row has ink on it, a separator is a line in another colour."""
    park()
    before = grab()
    click(icon_x, icon_y, "button3")
    park()
    after = settled()
    box = ImageChops.difference(before, after).getbbox() or fail("a right click drew no menu")
    drawn = after.crop(box)
    background = max(drawn.getcolors(drawn.width * drawn.height))[1]
    inside = ImageChops.difference(drawn, Image.new("RGB", drawn.size, background)).convert("L").point(
        lambda v: 255 if v == 0 else 0).getbbox()
    menu = drawn.crop(inside)
    rows, separators, gap, in_line = [], 0, 99, False
    for y in range(menu.height):
        row = [menu.getpixel((x, y)) for x in range(6, menu.width - 6)]
        ink = any(contrast(p, background) >= 2 for p in row)
        if ink and gap > 2:
            rows.append([y, y])
        if ink:
            rows[-1][1], gap = y, 0
        else:
            gap += 1
        line = not ink and sum(max(abs(a - b) for a, b in zip(p, background)) > 6 for p in row) >= 0.6 * len(row)
        separators += line and not in_line
        in_line = line
    if len(rows) < 3 or separators < 1:
        fail(f"the menu shows {len(rows)} items and {separators} separators, not 3 items and a separator")
    return [(box[0] + inside[0] + menu.width // 2, box[1] + inside[1] + (a + b) // 2) for a, b in rows]


park()
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
icon_x = box[0] + (min(x for x, _ in mark) + max(x for x, _ in mark)) // 2
icon_y = box[1] + (min(y for _, y in mark) + max(y for _, y in mark)) // 2
visible, measured = shows([tray.getpixel(p) for p in mark], background)
print(f"{platform}: icon at {icon_x},{icon_y} on {background}: {measured}")
if not visible:
    fail(f"the icon's mark does not show against the bar: {measured}")

click(icon_x, icon_y)
panel = panel_on_screen("a left click")
other = subprocess.Popen([as_user, "xmessage", "-name", "other", "another window"])
try:
    r = waitfor("the other window did not appear", lambda: windows(other.pid), 5)[0]
    spots = [(x, y) for x in range(r["x"] + 5, r["x"] + r["width"] - 5, 20)
             for y in range(r["y"] + 5, r["y"] + r["height"] - 5, 20)
             if not (panel["x"] <= x < panel["x"] + panel["width"] and panel["y"] <= y < panel["y"] + panel["height"])]
    click(*(spots or fail("the panel covers the whole of the other window"))[len(spots) // 2])
    panel_closes("a click on another window")
finally:
    other.kill()

click(*menu_rows()[0])
panel_on_screen("the menu's first item")
click(icon_x, icon_y)
panel_closes("a left click")
click(*menu_rows()[-1])
try:
    status = app.wait(10)
except subprocess.TimeoutExpired:
    app.kill()
    fail("the menu's last item did not end the program")
if status != 0:
    fail(f"the program ended with status {status}")
print(f"{platform}: every step passed")
