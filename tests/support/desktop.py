# What the desktop scripts share: the re-run on a private virtual X desktop,
# the children they start (stopped at the end), polling, windows found by
# xdotool, a private home whose LLM engine talks to the loopback chat server,
# and a private accessibility bus. Debian's python: pyatspi and gi are not in
# other pythons.
import atexit
import difflib
import json
import os
import subprocess
import sys
import tempfile
import time

children = []
work = tempfile.mkdtemp(prefix="tolvanis-desktop.")
atexit.register(lambda: subprocess.run(["rm", "-rf", work]))


def on_virtual_desktop():
    """Runs the calling script again inside scripts/virtual-desktop.sh, once."""
    if os.environ.get("TOLVANIS_ON_DESKTOP") != "1":
        os.environ["TOLVANIS_ON_DESKTOP"] = "1"
        desktop = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../scripts/virtual-desktop.sh")
        os.rmdir(work)  # the run on the desktop makes its own
        os.execv(desktop, [desktop, "/usr/bin/python3", os.path.abspath(sys.argv[0]), *sys.argv[1:]])


def start(*command, **options):
    child = subprocess.Popen(command, **options)
    children.append(child)
    return child


@atexit.register
def stop_children():
    for child in reversed(children):
        if child.poll() is None:
            child.terminate()
            child.wait()


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=20, **options)


def until(what, probe, seconds=30):
    """probe()'s first true value; on timeout, fails the test with `what`, or without one returns None."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes under us while windows map
            found = None
        if found:
            return found
        time.sleep(0.1)
    if what:
        sys.exit(f"FAIL: {what}")


def stays(what, probe, seconds=1):
    """Fails the test when probe() turns true within `seconds`."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if probe():
            sys.exit(f"FAIL: {what}")
        time.sleep(0.1)


def geometry(window):
    """(x, y, width, height) of an X window."""
    shape = dict(line.split("=") for line in run("xdotool", "getwindowgeometry", "--shell", str(window)).stdout.split())
    return tuple(int(shape[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))


def visible(name):
    """The visible windows whose name matches the regular expression `name`."""
    return run("xdotool", "search", "--onlyvisible", "--name", name).stdout.split()


def panel():
    """The open panel's geometry, or None."""
    shown = visible("^tolvanis$")
    return geometry(shown[0]) if shown else None


def tray_icon():
    """The centre of the icon in the virtual desktop's XEmbed tray, once the tray grew around it."""
    x, y, width, height = until("the icon was not embedded in the tray", lambda: (
        shape := geometry(os.environ["TOLVANIS_TRAY_WINDOW"])) [2] >= 16 and shape)
    return x + width // 2, y + height // 2


# Text for screen reading: a Chinese and an English paragraph, as a chat window shows them.
SCREEN_TEXT = ["今天天气很好，我们下午一起去公园散步吧。", "The quick brown fox jumps over the lazy dog."]


def show_text(lines=SCREEN_TEXT, at=(400, 300), run_as=()):
    """A window named "screentext" showing `lines` in 16 px black on white, drawn by FreeType as a UI
    draws it; `run_as`: a command prefix that runs the viewer as another user."""
    from PIL import Image, ImageDraw, ImageFont
    font = ImageFont.truetype("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", 16)
    image = Image.new("RGB", (460, 24 * len(lines) + 40), "white")
    for row, line in enumerate(lines):
        ImageDraw.Draw(image).text((20, 20 + 24 * row), line, font=font, fill="black")
    path = os.path.join(work, "screentext.png")
    image.save(path)
    os.chmod(work, 0o755)
    return start(*run_as, "display", "-title", "screentext", "-geometry", f"+{at[0]}+{at[1]}", path)


def read_correctly(request, lines=SCREEN_TEXT):
    """The share of the characters of `lines` (white space aside) the request's text has, in order."""
    text = json.loads(request.split("\n\n", 1)[1])["messages"][-1]["content"].split("\n\n", 1)[1]
    expected, sent = "".join("".join(lines).split()), "".join(text.split())
    matcher = difflib.SequenceMatcher(None, expected, sent, autojunk=False)
    return sum(block.size for block in matcher.get_matching_blocks()) / max(len(expected), len(sent))


class Chat:
    """The loopback chat server: its port and the requests it received."""

    def __init__(self, server, reply):
        self.log = os.path.join(work, "requests.log")
        open(self.log, "w").close()
        self.port = start(server, self.log, reply, stdout=subprocess.PIPE, text=True).stdout.readline().strip()

    def requests(self):
        with open(self.log) as sent:
            return sent.read().split("\n----\n")[:-1]


def private_home(name, chat, engine="llm", extra=""):
    """The environment of a tolvanis with its own settings (LLM against `chat`),
    runtime dir (so its own single instance) and the key in the keyring."""
    home = os.path.join(work, name)
    os.makedirs(os.path.join(home, ".config", "tolvanis"))
    os.makedirs(os.path.join(home, "runtime"), mode=0o700)
    with open(os.path.join(home, ".config", "tolvanis", "tolvanis.conf"), "w") as conf:
        conf.write(f"[General]\ncom.quendrix.tolvanis.defaultEngine={engine}\n"
                   "com.quendrix.tolvanis.llmProvider=openAICompatible\n"
                   f"com.quendrix.tolvanis.openAIBaseURL=http://127.0.0.1:{chat.port}/v1\n"
                   f"com.quendrix.tolvanis.openAIModel={name}-model\n{extra}")
    # Through stdin, never on a command line.
    subprocess.run(["secret-tool", "store", "--label=tolvanis: openai-compatible-api-key", "service",
                    "com.quendrix.tolvanis.llmkey", "account", "openai-compatible-api-key"],
                   input="sk-" + name, text=True, check=True)
    return dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                XDG_RUNTIME_DIR=os.path.join(home, "runtime"), QT_QPA_PLATFORM="xcb",
                QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")


def accessibility_bus():
    """Starts a private accessibility bus and returns pyatspi, connected to it."""
    # Its bus daemon would outlive a killed launcher and hold our output open.
    start("/usr/libexec/at-spi-bus-launcher", "--launch-immediately", stdout=subprocess.DEVNULL,
          stderr=subprocess.DEVNULL)
    until("the accessibility bus did not start", lambda: "boolean true" in run(
        "dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
        "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus").stdout)
    import pyatspi  # connects to the bus just started
    return pyatspi


class Accessible:
    """tolvanis as a screen reader sees it."""

    def __init__(self, pyatspi, pid=None):
        self.pyatspi = pyatspi
        self.app = until("tolvanis is not on the accessibility bus", lambda: next(
            a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "tolvanis"
            and (pid is None or a.get_process_id() == pid)))

    def states(self, node):
        return {self.pyatspi.stateToString(state) for state in node.getState().getStates()}

    def find(self, root, role, name):
        return self.pyatspi.findDescendant(root or self.app, lambda n: n.getRoleName() == role and n.name == name
                                           and "showing" in self.states(n))

    def shown(self, root, role, name):
        return until(f"no {role} named {name!r} is shown", lambda: self.find(root, role, name))

    @staticmethod
    def act(node, action="Press"):
        actions = node.queryAction()
        actions.doAction([actions.getName(i) for i in range(actions.nActions)].index(action))
