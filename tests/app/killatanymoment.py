#!/usr/bin/python3
# Kill at any moment: starts the real program again and again on a virtual X
# desktop, keeps it writing (translations against the loopback server add history
# entries) and kills it with SIGKILL at a random moment. After every kill the
# settings file must load and hold every history entry stored before it.
# Run inside scripts/test-session.sh: killatanymoment.py <tolvanis> <fakechatserver> <storedsettingscheck>
import os
import random
import shutil
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import Chat, on_virtual_desktop, private_home, start, until, visible, work  # noqa: E402

on_virtual_desktop()
tolvanis, check = sys.argv[1], sys.argv[3]
kills = int(os.environ.get("TOLVANIS_KILLS", 200))
chat = Chat(sys.argv[2], "The weather is lovely today.")
env = private_home("kill", chat)
conf = os.path.join(env["XDG_CONFIG_HOME"], "tolvanis", "tolvanis.conf")
known, before = os.path.join(work, "known.conf"), os.path.join(work, "before.conf")
clip = start("xclip", "-selection", "clipboard", stdin=subprocess.PIPE)
clip.stdin.write("今天天气很好".encode())
clip.stdin.close()


def fail(message):
    for what, path in [("after the previous kill", known), ("just before the kill", before), ("after the kill", conf)]:
        if os.path.exists(path):
            print(f"--- {what}:\n{open(path).read()}", file=sys.stderr)
    sys.exit(f"FAIL: {message}")


def show_panel():
    """What a second launch does. The socket a killed instance left behind refuses until the new one listens."""
    for _ in range(500):
        try:
            with socket.socket(socket.AF_UNIX) as peer:
                peer.connect(os.path.join(env["XDG_RUNTIME_DIR"], "tolvanis.socket"))
                return peer.sendall(b"show\n") or True
        except OSError:
            time.sleep(0.01)


shutil.copy(conf, known)
midwrite = entries = 0
started = time.monotonic()
with open(os.path.join(work, "tolvanis.log"), "w") as log:
    for i in range(1, kills + 1):
        app = subprocess.Popen([tolvanis], env=env, stderr=log)
        driver = None
        if i % 10 == 0:
            time.sleep(random.random() * 0.8)  # any moment includes start-up, before the panel is up
        else:
            show_panel() or fail(f"kill {i}: the program did not take the request to show its panel")
            until(f"kill {i}: the panel did not open", lambda: visible("^tolvanis$"), 5)
            driver = subprocess.Popen(["xdotool", "key", "--delay", "5", "--repeat", "500", "Return"])
            time.sleep(random.random() * 0.5)
        # A copy read from the one file opened, even when a write replaces it meanwhile.
        shutil.copy(conf, before)
        app.kill()
        app.wait()
        if driver:
            driver.kill()
            driver.wait()
        # QSettings holds this lock, which names its process, only while it writes the file.
        if os.path.exists(conf + ".lock") and open(conf + ".lock").readline().strip() == str(app.pid):
            midwrite += 1
        # Nothing the previous run had stored may go missing while this one runs or through the kill.
        result = subprocess.run([check, known, before, conf], capture_output=True, text=True)
        if result.returncode:
            fail(f"kill {i} lost stored settings: {result.stdout}{result.stderr}")
        entries = int(result.stdout)
        shutil.copy(conf, known)
if not entries:
    fail("no translation was ever stored")
print(f"kill at any moment: {kills} kills in {time.monotonic() - started:.0f} s, {midwrite} inside a write; "
      f"{len(chat.requests())} translations, {entries} history entries kept")
