#!/usr/bin/python3
# The tray icon in waybar on a real sway, as a user meets it, checked by
# screenshot pixels: the icon shows on the bar, a left click opens the panel
# fully on screen and a click on another window closes it. (The menu the bar
# draws from the program's D-Bus menu is checked against the menu itself by
# tests/app/tray.py.) Then text on the screen through the desktop portal's
# Screenshot (xdg-desktop-portal-wlr): --capture, a drag over a window's text,
# and the loopback chat server receives the text at once; the portal's picture
# is gone afterwards.
# Run inside scripts/wayland-session.sh:
#   waybar_tray.py <tolvanis> <screenshot dir> wayland|xcb <fakechatserver>
import json
import os
import shutil
import subprocess
import sys
import time

from PIL import Image, ImageChops

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from desktop import SCREEN_TEXT, read_correctly, show_text  # noqa: E402
from pixels import shows  # noqa: E402

program, shots, platform, chatserver = sys.argv[1:5]
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
    """The screen areas a process's windows draw in, title bars and borders left out."""
    def walk(node):
        if node.get("pid") == pid and node.get("visible"):
            outer, inner = node["rect"], node["window_rect"]
            yield {"x": outer["x"] + inner["x"], "y": outer["y"] + inner["y"],
                   "width": inner["width"], "height": inner["height"]}
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            yield from walk(child)
    return list(walk(json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], check=True, capture_output=True,
                                               text=True).stdout)))


def drag(x0, y0, x1, y1):
    for command in (f"set {x0} {y0}", "press button1", f"set {(x0 + x1) // 2} {(y0 + y1) // 2}", f"set {x1} {y1}",
                    "release button1"):
        subprocess.run(["swaymsg", "-q", "seat - cursor " + command], check=True)
        time.sleep(0.1)


def as_session_user(*command, **options):
    return subprocess.run([as_user, *command], check=True, env=dict(os.environ, HOME=os.path.join(session, "home")),
                          **options)


# The LLM engine talks to the loopback chat server, with its key in the session's keyring (the portal
# may have started a locked keyring daemon already).
# The program's worker and module go beside it, where it looks first.
for built in (program, *(os.path.join(os.path.dirname(program), own) for own in ("tolvanis-recognizer", "tolvanis-llm.so")),
              chatserver):
    shutil.copy(built, os.path.join(session, "bin"))
requests = os.path.join(session, "requests.log")
open(requests, "w").close()
os.chmod(requests, 0o666)
chat = subprocess.Popen([as_user, os.path.join(session, "bin", "fakechatserver"), requests, "Translated."],
                        stdout=subprocess.PIPE, text=True)
config = os.path.join(os.environ["XDG_CONFIG_HOME"], "tolvanis")
os.makedirs(config, exist_ok=True)
with open(os.path.join(config, "tolvanis.conf"), "w") as conf:
    conf.write("[General]\ncom.quendrix.tolvanis.defaultEngine=llm\ncom.quendrix.tolvanis.llmProvider=openAICompatible\n"
               f"com.quendrix.tolvanis.openAIBaseURL=http://127.0.0.1:{chat.stdout.readline().strip()}/v1\n")
if os.getuid() == 0:
    subprocess.run(["chown", "-R", "nobody:nogroup", os.path.join(session, "home")], check=True)
as_session_user("gnome-keyring-daemon", "--replace", "--unlock", "--components=secrets", "--daemonize",
                input="tolvanis-test", text=True, stdout=subprocess.DEVNULL)
as_session_user("secret-tool", "store", "--label=tolvanis: openai-compatible-api-key", "service",
                "com.quendrix.tolvanis.llmkey", "account", "openai-compatible-api-key", input="sk-sway", text=True)

# The pointer shows in screenshots: it waits nearly all off screen while they compare.
subprocess.run(["swaymsg", "-q", "seat - cursor set 1279 799"], check=True)
empty_bar = settled(BAR)
binary = os.path.join(session, "bin", "tolvanis")
app_env = dict(os.environ, QT_QPA_PLATFORM=platform)
app = subprocess.Popen([as_user, binary], env=app_env, cwd=session)

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

# Through XWayland, as tolvanis runs on a Wayland desktop that has it. (Natively, sway's warped
# cursor reaches a Wayland client's drag only after the button's release.)
text = None
try:
    if platform == "xcb":
        subprocess.run(["swaymsg", "-q", 'for_window [title="screentext"] floating enable'], check=True)
        text = show_text(run_as=[as_user])
        # Sway lists the window before it is placed and drawn: wait for its white on the screen.
        def drawn():
            for r in windows(text.pid):
                if grab().getpixel((r["x"] + 4, r["y"] + 4))[0] > 200:
                    return r
        r = waitfor("the text window did not appear", drawn, 5)
        white = (r["x"] + 4, r["y"] + 4)
        subprocess.Popen([as_user, binary, "--capture"], env=app_env, cwd=session)
        waitfor("--capture showed no overlay over the portal's picture", lambda: grab().getpixel(white)[0] < 200, 15)
        drag(r["x"] + 2, r["y"] + 2, r["x"] + r["width"] - 2, r["y"] + r["height"] - 2)
        sent = waitfor("the text on the screen reached no server", lambda: (log := open(requests).read()) and log, 60)
        accuracy = read_correctly(sent.split("\n----\n")[0], SCREEN_TEXT)
        print(f"{platform}: {accuracy:.1%} of the screen's characters read correctly")
        if accuracy < 0.97:
            fail(f"the text was misread: {sent}")
        if os.path.exists("/tmp/out.png"):
            fail("the portal's picture was left behind")
finally:
    if text:
        text.kill()
    chat.kill()
    app.terminate()
print(f"{platform}: every step passed")
