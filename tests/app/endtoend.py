#!/usr/bin/python3
# End to end on a real X server with a real tray and a compositing manager
# (picom): clicks by xdotool, the clipboard by xclip, the key in a real
# gnome-keyring, a loopback chat-completions server. The README's pictures are
# the panel.png and settings.png this run leaves in the screenshot dir.
# Run inside scripts/test-session.sh: endtoend.py <tolvanis> <fakechatserver> <screenshot dir>
import os
import shutil
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import (Chat, geometry, on_virtual_desktop, panel, private_home, read_correctly, run,  # noqa: E402
                     show_text, start, stays, tray_icon, until, visible)

on_virtual_desktop()
tolvanis, shots = sys.argv[1], sys.argv[3]
shutil.rmtree(shots, ignore_errors=True)
os.makedirs(shots)
steps = []


def shot(name, window=None, pad=0):
    """The screen, kept as the next numbered picture; cropped to a window (with
    room for its shadow) into `name`.png. xwininfo: xdotool misplaces framed windows."""
    steps.append(name)
    path = os.path.join(shots, f"{len(steps):02d}-{name}.png")
    run("import", "-window", "root", path)
    if window is None:
        return Image.open(path).convert("RGB")
    info = dict(line.strip().split(": ", 1) for line in run("xwininfo", "-id", window).stdout.splitlines()
                if ": " in line)
    x, y = int(info["Absolute upper-left X"]) - pad, int(info["Absolute upper-left Y"]) - pad
    width, height = int(info["Width"]) + 2 * pad, int(info["Height"]) + 2 * pad
    image = Image.open(path).convert("RGB").crop((x, y, x + width, y + height))
    image.save(os.path.join(shots, name + ".png"))
    return image


def check(condition, message):
    if not condition:
        shot("failure")
        sys.exit(f"FAIL: {message}")


def click(x, y, button="1"):
    run("xdotool", "mousemove", str(x), str(y), "click", button)


def compositor():
    return "picom" in run("xwininfo", "-root", "-tree").stdout.lower()


# A compositing manager with shadows, so the panel shows its rounded corners.
picom = start("picom", "--backend", "xrender", "--config", "/dev/null", "--shadow", stdout=subprocess.DEVNULL,
              stderr=subprocess.DEVNULL)
until("picom did not start", compositor)
chat = Chat(sys.argv[2], "The weather is lovely today.")
env = private_home("e2e", chat)
source = "今天天气很好"
clip = start("xclip", "-selection", "clipboard", stdin=subprocess.PIPE)
clip.stdin.write(source.encode())
clip.stdin.close()
app = start(tolvanis, env=env)
icon_x, icon_y = tray_icon()

# Left click: the panel opens under the icon, wholly on screen, pre-filled from the clipboard.
click(icon_x, icon_y)
x, y, width, height = until("a left click did not open the panel", panel)
screen = [int(n) for n in run("xdotool", "getdisplaygeometry").stdout.split()]
check(width == 340 and y >= icon_y, f"the panel at {x},{y} {width}x{height} is not under the icon")
check(x >= 0 and y >= 0 and x + width <= screen[0] and y + height <= screen[1], f"the panel is off the {screen} screen")
image = shot("panel-prefilled", visible("^tolvanis$")[0])
# The corner shows what lies behind; the top edge is a line darker than the panel just below it.
inside = image.getpixel((170, 4))
check(image.getpixel((0, 0)) != inside, "the panel's corner is not rounded")
check(image.getpixel((170, 0)) != inside, "the panel has no outline")

# Return translates the clipboard's text with the key from the keyring.
run("xdotool", "key", "Return")
sent = until("no request reached the server", lambda: chat.requests() and chat.requests()[0])
check("authorization: bearer sk-e2e" in sent.lower() and source in sent, f"the key or the text was not sent: {sent}")
run("sleep", "0.5")
shot("panel", visible("^tolvanis$")[0], 24)

run("xdotool", "key", "Escape")
until("Escape did not close the panel", lambda: not panel())

# Right click: the status menu; its third item opens the settings window.
click(icon_x, icon_y, "3")
run("sleep", "0.5")
shot("status-menu")
run("xdotool", "key", "Down", "Down", "Down", "Return")
settings = until("设置… did not open the settings window", lambda: visible("^设置$"))[0]
run("sleep", "0.3")
shot("settings", settings, 24)

# Text on the screen: --capture freezes the screen under a dimmed overlay. Escape, a right click, a
# click without a drag send nothing; a drag over a window's text sends it, read off the screen, at once.
show_text()
text_window = until("the text window did not appear", lambda: visible("^screentext$"))[0]
tx, ty, tw, th = geometry(text_window)
for what, actions in [("Escape", ["key", "Escape"]), ("a right click", ["click", "3"]),
                      ("a click without a drag", ["click", "1", "sleep", "0.5", "key", "Escape"]), ("a drag", [])]:
    before = len(chat.requests())
    start(tolvanis, "--capture", env=env)
    until(f"{what}: the overlay did not take the keyboard",
          lambda: visible("^截图翻译$") == run("xdotool", "getwindowfocus").stdout.split(), 5)
    # Just inside the window: what lies around it is not part of the text.
    run("xdotool", "mousemove", str(tx + 2), str(ty + 2), *actions)
    if not actions:
        run("xdotool", "mousedown", "1", "mousemove", str(tx + tw // 2), str(ty + th // 2), "sleep", "0.1",
            "mousemove", str(tx + tw - 2), str(ty + th - 2))
        run("sleep", "0.3")
        shot("selection", text_window, 48)
        run("xdotool", "mouseup", "1")
        sent = until("the text on the screen reached no server", lambda: chat.requests()[before:], 60)[0]
        accuracy = read_correctly(sent)
        print(f"screen text: {accuracy:.1%} of the characters read correctly")
        check(accuracy >= 0.97, f"the text was misread: {sent}")
        until("the panel did not open with the text", panel, 5)
        run("xdotool", "key", "Escape")
        continue
    check(until(None, lambda: not visible("^截图翻译$"), 3), f"{what} did not close the overlay")
    stays(f"{what}: a request went out", lambda: len(chat.requests()) > before)
    check(not panel(), f"{what}: the panel opened")

# Without a compositing manager: square corners in the colour of a hairline edge.
picom.terminate()
until("picom did not stop", lambda: not compositor())
run("sleep", "0.4")
click(icon_x, icon_y)
until("the panel did not open without a compositor", panel)
run("sleep", "0.3")
image = shot("no-compositor", visible("^tolvanis$")[0])
edge = image.getpixel((170, 0))
check(image.getpixel((0, 0)) == edge != image.getpixel((170, 4)), "without a compositor the panel has no hairline edge")
print(f"end to end: every step passed; screenshots in {shots}")
