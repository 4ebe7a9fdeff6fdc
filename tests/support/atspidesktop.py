"""What the AT-SPI desktop tests share: the re-run on a private virtual X
desktop, the children they start (stopped at the end), polling, and a private
accessibility bus. Debian's python: pyatspi is not in other pythons."""
import os
import subprocess
import sys
import time

children = []


def on_virtual_desktop(flag):
    """Runs the calling script again inside scripts/virtual-desktop.sh, once."""
    if os.environ.get(flag) != "1":
        os.environ[flag] = "1"
        desktop = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../scripts/virtual-desktop.sh")
        os.execv(desktop, [desktop, sys.executable, os.path.abspath(sys.argv[0]), *sys.argv[1:]])


def start(*command, **options):
    child = subprocess.Popen(command, **options)
    children.append(child)
    return child


def stop_children():
    for child in reversed(children):
        if child.poll() is None:
            child.terminate()
            child.wait()


def until(what, probe, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes under us while windows map
            found = None
        if found:
            return found
        time.sleep(0.1)
    if os.environ.get("TOLVANIS_SHOTS"):
        subprocess.run(["import", "-window", "root", os.path.join(os.environ["TOLVANIS_SHOTS"], "failure.png")])
    sys.exit(f"FAIL: {what}")


def bus_has(name):
    reply = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", f"string:{name}"],
                           capture_output=True, text=True)
    return "boolean true" in reply.stdout


def accessibility_bus():
    """Starts a private accessibility bus and returns pyatspi, connected to it."""
    # Its bus daemon would outlive a killed launcher and hold our output open.
    start("/usr/libexec/at-spi-bus-launcher", "--launch-immediately", stdout=subprocess.DEVNULL,
          stderr=subprocess.DEVNULL)
    until("the accessibility bus did not start", lambda: bus_has("org.a11y.Bus"))
    import pyatspi  # connects to the bus just started
    return pyatspi
