#!/usr/bin/python3
"""Translating from anywhere, on a virtual X desktop: the command line, the
global shortcut (pressed by xdotool, the selection put by xclip) and its row in
the settings window, driven through AT-SPI; the loopback chat server answers.
Run inside scripts/test-session.sh (the D-Bus session and the keyring):
  shortcut.py <tolvanis> <fakechatserver>"""
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspidesktop import accessibility_bus, on_virtual_desktop, start, stop_children, until  # noqa: E402

on_virtual_desktop("TOLVANIS_SHORTCUT_DESKTOP")
tolvanis, server = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="tolvanis-shortcut.")


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=20, **options)


def private_config(name, shortcut):
    """A home of its own: runtime dir (so its own single instance), settings."""
    home = os.path.join(work, name)
    os.makedirs(os.path.join(home, "config", "tolvanis"))
    os.makedirs(os.path.join(home, "runtime"), mode=0o700)
    with open(os.path.join(home, "config", "tolvanis", "tolvanis.conf"), "w") as conf:
        conf.write("[General]\ncom.quendrix.tolvanis.defaultEngine=llm\n"
                   "com.quendrix.tolvanis.llmProvider=openAICompatible\n"
                   f"com.quendrix.tolvanis.openAIBaseURL=http://127.0.0.1:{port}/v1\n"
                   "com.quendrix.tolvanis.openAIModel=shortcut-model\n"
                   + (f"com.quendrix.tolvanis.globalShortcut={shortcut}\n" if shortcut is not None else ""))
    return dict(os.environ, XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_RUNTIME_DIR=os.path.join(home, "runtime"),
                QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")


selection_owners = {}


def put(selection, text):
    """xclip owns the selection with `text`; None leaves it without an owner."""
    if selection in selection_owners:
        selection_owners.pop(selection).kill()  # -quiet keeps it in the foreground, so it is the owner
        until(f"{selection} still has an owner", lambda: run("xclip", "-selection", selection, "-o").returncode)
    if text is not None:
        selection_owners[selection] = start("xclip", "-quiet", "-selection", selection, stdin=subprocess.PIPE,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                            text=True)
        selection_owners[selection].stdin.write(text)
        selection_owners[selection].stdin.close()
        until(f"xclip did not take {selection}", lambda: run("xclip", "-selection", selection, "-o").stdout == text)


def requests():
    with open(log) as sent:
        return sent.read().split("\n----\n")[:-1]


def panel_shown():
    return run("xdotool", "search", "--onlyvisible", "--name", "^tolvanis$").stdout.strip()


try:
    pyatspi = accessibility_bus()

    log = os.path.join(work, "requests.log")
    open(log, "w").close()
    chat = start(server, log, "Translated.", stdout=subprocess.PIPE, text=True)
    port = chat.stdout.readline().strip()
    subprocess.run(["secret-tool", "store", "--label=tolvanis: openai-compatible-api-key", "service",
                    "com.quendrix.tolvanis.llmkey", "account", "openai-compatible-api-key"],
                   input="sk-shortcut", text=True, check=True)
    env = private_config("home", None)  # no stored key: the default combination

    # Bad command lines: exit 2, one line saying what, then the usage; no instance starts.
    for arguments in (["--bogus"], ["--open", "--selection"], ["selection"]):
        answer = run(tolvanis, *arguments, env=env)
        assert answer.returncode == 2 and answer.stderr.count("\n") > 3 and "用法" in answer.stderr.splitlines()[1], \
            (arguments, answer)
    assert run(tolvanis, "--help", env=env).returncode == 0 and not panel_shown()

    def panel_text(field):
        app = next(a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "tolvanis")
        node = pyatspi.findDescendant(app, lambda n: n.getRoleName() == "text" and n.name == field)
        return node.queryText().getText(0, -1)

    def close_panel():
        run("xdotool", "key", "Escape")
        until("Escape did not close the panel", lambda: not panel_shown())

    # (what, PRIMARY, CLIPBOARD, how, the text translated or else the panel's input with no request)
    cases = [
        ("--selection with no instance starts one", "from a terminal", "", [tolvanis, "--selection"],
         "from a terminal", None),
        ("the default key takes PRIMARY", "selected words", "copied words", ["xdotool", "key", "ctrl+alt+y"],
         "selected words", None),
        ("PRIMARY without text takes the clipboard", None, "only copied", ["xdotool", "key", "ctrl+alt+y"],
         "only copied", None),
        ("--selection goes to the running instance", "second launch", "", [tolvanis, "--selection"],
         "second launch", None),
        ("--open fills from the clipboard and waits", "not this", "the clipboard", [tolvanis, "--open"],
         None, "the clipboard"),
        ("nothing selected, nothing copied", None, None, ["xdotool", "key", "ctrl+alt+y"], None, "the clipboard"),
    ]
    launched = None
    for what, primary, clipboard, how, translated, shown_input in cases:
        put("primary", primary)
        put("clipboard", clipboard)
        before = len(requests())
        action = start(*how, env=env)
        launched = launched or action
        panel = until(f"{what}: no panel", panel_shown)
        # Under the tray icon at the top right, also when the launch started tolvanis.
        where = run("xdotool", "getwindowgeometry", "--shell", panel.split()[0]).stdout
        assert int(dict(line.split("=") for line in where.split())["X"]) > 640, (what, where)
        if translated:
            until(f"{what}: no request", lambda: len(requests()) > before)
            assert translated in requests()[-1] and '"model":"shortcut-model"' in requests()[-1], (what, requests())
        else:
            until(f"{what}: the input is not {shown_input!r}", lambda: panel_text("输入") == shown_input, 5)
            time.sleep(1)
            assert len(requests()) == before, (what, requests()[before:])
        if action is not launched:
            assert action.wait(10) == 0, what  # a second launch hands over and exits
        close_panel()

    # Another program holds Ctrl+Alt+J: a second tolvanis with its own instance.
    start(tolvanis, env=private_config("other", "Ctrl+Alt+J"))
    time.sleep(2)

    # The settings window, from the status menu on the tray icon.
    app = next(a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "tolvanis"
               and a.get_process_id() == launched.pid)

    def states(node):
        return {pyatspi.stateToString(state) for state in node.getState().getStates()}

    def shown(root, role, name):
        return until(f"no {role} named {name!r}", lambda: pyatspi.findDescendant(
            root, lambda n: n.getRoleName() == role and n.name == name and "showing" in states(n)))

    def press(node):
        node.queryAction().doAction(0)

    put("clipboard", None)
    run("xdotool", "key", "ctrl+alt+y")
    until("the key did not open the panel", panel_shown)
    press(shown(app, "push button", "设置"))
    settings = shown(app, "frame", "设置")
    recorder = shown(settings, "push button", "快捷键")
    assert recorder.description == "Ctrl+Alt+Y", recorder.description

    def to_settings():
        """The settings window takes the focus; an open panel closes on losing it."""
        window = run("xdotool", "search", "--name", "^设置$").stdout.split()[0]
        run("xdotool", "windowactivate", "--sync", window)
        until("the panel stays open", lambda: not panel_shown())

    def record(keys, status):
        to_settings()
        press(recorder)
        until("the recorder does not record", lambda: recorder.description == "请按组合键…")
        run("xdotool", "key", keys)
        shown(settings, "label", status)

    # (what the recorder is given, the status line, keys that translate, keys that do nothing)
    changes = [
        ("ctrl+alt+j", "Ctrl+Alt+J 已被其他程序占用，请换一个组合键", ["ctrl+alt+y"], []),
        ("ctrl+alt+k", "全局快捷键：Ctrl+Alt+K", ["ctrl+alt+k"], ["ctrl+alt+y"]),
        ("BackSpace", "全局快捷键已关闭", [], ["ctrl+alt+k", "ctrl+alt+y"]),
    ]
    put("primary", "through the new key")
    for given, status, working, idle in changes:
        record(given, status)
        for keys in working + idle:
            to_settings()
            before = len(requests())
            run("xdotool", "key", keys)
            if keys in working:
                until(f"after {given}: {keys} did not translate", lambda: len(requests()) > before)
            else:
                time.sleep(1)
                assert len(requests()) == before, f"after {given}: {keys} still translates"

    # Where the desktop portal offers GlobalShortcuts, a newly started tolvanis binds its key there: the
    # portal's Activated opens the panel and translates; a refused binding is said in the settings window.
    standin = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "portalstandin.py")
    for refuse in (False, True):
        portal = start("/usr/bin/python3", standin, *(["--refuse"] if refuse else []), stdin=subprocess.PIPE,
                       stdout=subprocess.PIPE, text=True)

        lines = queue.Queue()
        threading.Thread(target=lambda out=portal.stdout: [lines.put(line.strip()) for line in out],
                         daemon=True).start()

        def said():
            """The portal's next line; nothing within 10 s is a failure, not a hang."""
            try:
                return lines.get(timeout=10)
            except queue.Empty:
                raise AssertionError(f"the portal heard nothing more after {calls}") from None

        calls = []
        assert said() == "ready"
        env = private_config(f"portal-{refuse}", None)
        bound = start(tolvanis, env=env)
        while not calls or not calls[-1].startswith("BindShortcuts"):
            calls.append(said())
        assert calls[0].startswith("Register com.quendrix.tolvanis") and "CTRL+ALT+y" in calls[-1], calls
        if not refuse:
            put("primary", "from the portal")
            before = len(requests())
            portal.stdin.write("activate token-1\n")
            portal.stdin.flush()
            until("Activated did not open the panel", panel_shown)
            until("Activated did not translate", lambda: len(requests()) > before)
            assert "from the portal" in requests()[-1], requests()[-1]
            close_panel()
        else:
            run(tolvanis, "--open", env=env)
            refused = next(a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "tolvanis"
                           and a.get_process_id() == bound.pid)
            press(shown(refused, "push button", "设置"))
            shown(shown(refused, "frame", "设置"), "label", "桌面拒绝了快捷键：绑定被取消了。")
        bound.terminate()
        bound.wait()
        portal.stdin.close()
        portal.wait()
    print("PASS")
finally:
    stop_children()
    shutil.rmtree(work, ignore_errors=True)
