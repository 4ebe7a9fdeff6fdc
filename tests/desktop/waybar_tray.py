#!/usr/bin/python3
"""The tray icon in waybar on a real sway, as a user meets it, checked by
screenshot pixels: the icon shows with enough contrast, a left click opens
the panel fully on screen and a click on another window closes it, a right
click shows the menu (three items and a separator) whose first item opens
the panel and whose last item quits with status 0.
Run inside scripts/wayland-session.sh:
  waybar_tray.py <tolvanis> <screenshot dir> wayland|xcb
"""
import json
import os
import shutil
import subprocess
import sys
import time

from PIL import Image, ImageChops

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from snihost import contrast  # noqa: E402

program, shots, platform = sys.argv[1:4]
session = os.environ["TOLVANIS_SESSION_DIR"]
BAR_HEIGHT = 30
step = 0


def grab(box=None, name=None):
    """The screen now; kept in the screenshot folder when it has a name."""
    global step
    path = os.path.join(session, "screen.png")
    if name:
        step += 1
        path = os.path.join(shots, f"{platform}-{step:02d}-{name}.png")
    subprocess.run(["grim", path], check=True)
    image = Image.open(path).convert("RGB")
    return image.crop(box) if box else image


failures = []


def fail(message, fatal=True):
    """Reports a fault; later steps still run unless they depend on this one."""
    print(f"FAIL ({platform}): {message}", file=sys.stderr)
    grab(name="failure")
    failures.append(message)
    if fatal:
        sys.exit(1)


def waitfor(condition, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    return None


def changed_box(before, after):
    return ImageChops.difference(before, after).getbbox()


def settled(box=None):
    """A screenshot once two in a row agree: GTK and Qt draw in steps."""
    previous = grab(box)
    for _ in range(30):
        time.sleep(0.15)
        current = grab(box)
        if changed_box(previous, current) is None:
            return current
        previous = current
    return previous


def seat(command):
    subprocess.run(["swaymsg", "-q", "seat - cursor " + command], check=True)


def park():
    """The pointer shows in screenshots: it waits in the corner, nearly all
    of it off screen, while they compare."""
    seat("set 1279 799")
    time.sleep(0.2)


def click(x, y, button):
    seat(f"set {x} {y}")
    time.sleep(0.1)
    seat(f"press {button}")
    seat(f"release {button}")


def windows(pid):
    def walk(node):
        if node.get("pid") == pid and node.get("visible"):
            yield node
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            yield from walk(child)
    tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], check=True,
                                     capture_output=True, text=True).stdout)
    return list(walk(tree))


def panel():
    found = windows(app.pid)
    return found[0]["rect"] if found else None


def check_panel_on_screen(how):
    rect = waitfor(panel, 5)
    if not rect:
        fail(f"{how} did not open the panel")
    x, y, w, h = rect["x"], rect["y"], rect["width"], rect["height"]
    print(f"{platform}: {how} opened the panel at {x},{y} {w}x{h}")
    if x < 0 or y < 0 or x + w > 1280 or y + h > 800:
        fail(f"the panel at {x},{y} {w}x{h} is not fully on the 1280x800 screen")
    return rect


def menu_rows(before, after):
    """The menu's item rows and separators, from the pixels the popup drew:
    its background is the colour most of the change has, and its inside the
    box of that colour, less the rounded corners."""
    box = changed_box(before, after)
    if not box:
        return box, [], 0
    drawn = after.crop(box)
    background = max(drawn.getcolors(drawn.width * drawn.height))[1]
    plain = Image.new("RGB", drawn.size, background)
    inside = ImageChops.difference(drawn, plain).convert("L").point(lambda v: 255 if v == 0 else 0).getbbox()
    menu = drawn.crop(inside)
    left, top = box[0] + inside[0], box[1] + inside[1]
    items, separators, gap, in_line = [], 0, 99, False
    for y in range(menu.height):
        row = [menu.getpixel((x, y)) for x in range(6, menu.width - 6)]
        ink = any(contrast(p, background) >= 2 for p in row)
        if ink:
            if gap > 2:
                items.append([y, y])
            items[-1][1] = y
            gap = 0
        else:
            gap += 1
        line = not ink and sum(max(abs(a - b) for a, b in zip(p, background)) > 6 for p in row) >= 0.6 * len(row)
        separators += line and not in_line
        in_line = line
    rows = [(left + menu.width // 2, top + (first + last) // 2) for first, last in items]
    return (left, top, left + menu.width, top + menu.height), rows, separators


def open_menu():
    park()
    before = grab()
    click(icon_x, icon_y, "button3")
    time.sleep(0.2)
    park()
    after = settled()
    grab(name="menu")
    box, rows, separators = menu_rows(before, after)
    print(f"{platform}: right click drew {box} with {len(rows)} item rows and {separators} separators")
    if len(rows) < 3 or separators < 1:
        fail(f"the menu shows {len(rows)} items and {separators} separators, not 3 items and a separator")
    return rows


os.makedirs(shots, exist_ok=True)
for old in os.listdir(shots):
    if old.startswith(platform + "-"):
        os.remove(os.path.join(shots, old))
bar = (0, 0, 1280, BAR_HEIGHT)
park()
empty_bar = settled(bar)

binary = os.path.join(session, "bin", "tolvanis")
shutil.copy(program, binary)
log = open(os.path.join(shots, f"{platform}-tolvanis.log"), "w")
app = subprocess.Popen([os.environ["TOLVANIS_AS_USER"], binary], stdout=log, stderr=subprocess.STDOUT,
                       env=dict(os.environ, QT_QPA_PLATFORM=platform), cwd=session)

# The icon: the pixels of the bar that changed once the program started.
# Its background is the colour most of that area has (the tray module's own
# background, in some styles), its mark every pixel that differs from it.
if not waitfor(lambda: changed_box(empty_bar, grab(bar)), 15):
    fail("no icon appeared in waybar's tray")
with_icon = settled(bar)
grab(name="icon")
box = changed_box(empty_bar, with_icon)
tray = with_icon.crop(box)
background = max(tray.getcolors(tray.width * tray.height))[1]
mark = [(x, y) for x in range(tray.width) for y in range(tray.height) if tray.getpixel((x, y)) != background]
icon_x = box[0] + (min(x for x, _ in mark) + max(x for x, _ in mark)) // 2
icon_y = box[1] + (min(y for _, y in mark) + max(y for _, y in mark)) // 2
ratios = sorted((contrast(background, tray.getpixel(p)) for p in mark), reverse=True) + [1.0] * 20
print(f"{platform}: icon at {icon_x},{icon_y} on {background}: best contrast {ratios[0]:.2f}:1, "
      f"{sum(r >= 3 for r in ratios)} pixels at 3:1 or more")
if ratios[19] < 3:
    fail(f"the icon's mark reaches only {ratios[19]:.2f}:1 against the bar", fatal=False)

# Left click opens the panel; a click on another window closes it.
click(icon_x, icon_y, "button1")
panel_rect = check_panel_on_screen("a left click")
settled()
grab(name="panel")
other = subprocess.Popen([os.environ["TOLVANIS_AS_USER"], "xmessage", "-name", "other", "another window"])
try:
    found = waitfor(lambda: windows(other.pid), 5)
    if not found:
        fail("the other window did not appear")
    r = found[0]["rect"]
    spots = [(x, y) for x in range(r["x"] + 5, r["x"] + r["width"] - 5, 20)
             for y in range(r["y"] + 5, r["y"] + r["height"] - 5, 20)
             if not (panel_rect["x"] <= x < panel_rect["x"] + panel_rect["width"]
                     and panel_rect["y"] <= y < panel_rect["y"] + panel_rect["height"])]
    if not spots:
        fail("the panel covers the whole of the other window")
    click(*spots[len(spots) // 2], "button1")
    if not waitfor(lambda: panel() is None, 5):
        fail("a click on another window did not close the panel")
    grab(name="outside-click")
finally:
    other.kill()

# The menu: the first item opens the panel, the last one quits.
rows = open_menu()
click(*rows[0], "button1")
check_panel_on_screen("the menu's first item")
click(icon_x, icon_y, "button1")
if not waitfor(lambda: panel() is None, 5):
    fail("a left click did not close the panel")
rows = open_menu()
click(*rows[-1], "button1")
try:
    status = app.wait(10)
except subprocess.TimeoutExpired:
    app.kill()
    fail("the menu's last item did not end the program")
print(f"{platform}: the menu's last item ended the program with status {status}")
if status != 0:
    fail(f"the program ended with status {status}")
if failures:
    sys.exit(f"FAIL ({platform}): {len(failures)} of the checks failed")
print(f"{platform}: every step passed; screenshots in {shots}")
