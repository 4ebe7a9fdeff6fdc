#!/usr/bin/python3
# Translating from anywhere, on a virtual X desktop: the command line, the
# global shortcut (pressed by xdotool, the selection put by xclip) and its row in
# the settings window; then the panel and the settings window as a screen reader
# meets them, by accessibility actions and keys alone. Driven through AT-SPI on
# a private accessibility bus; the loopback chat server answers. (The desktop
# portal's binding has tests/desktop/tst_portalshortcut.cpp.)
# Run inside scripts/test-session.sh: shortcut.py <tolvanis> <fakechatserver>
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import (Accessible, Chat, accessibility_bus, on_virtual_desktop, panel, private_home, run,  # noqa: E402
                     start, stays, until, visible)

on_virtual_desktop()
tolvanis = sys.argv[1]
chat = Chat(sys.argv[2], "Translated.")
pyatspi = accessibility_bus()
env = private_home("shortcut", chat)  # no shortcut stored: the default combination
owners = {}


def put(selection, text):
    """xclip owns the selection with `text`; None leaves it without an owner."""
    if selection in owners:
        owners.pop(selection).kill()  # -quiet keeps it in the foreground, so it is the owner
        until(f"{selection} still has an owner", lambda: run("xclip", "-selection", selection, "-o").returncode)
    if text is not None:
        owners[selection] = start("xclip", "-quiet", "-selection", selection, stdin=subprocess.PIPE,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, text=True)
        owners[selection].stdin.write(text)
        owners[selection].stdin.close()
        until(f"xclip did not take {selection}", lambda: run("xclip", "-selection", selection, "-o").stdout == text)


def translates(what, action, text=None):
    """Runs `action`; the next request carries `text`, or none comes when None."""
    before = len(chat.requests())
    action()
    if text is None:
        stays(f"{what}: a request went out", lambda: len(chat.requests()) > before)
    else:
        until(f"{what}: no request", lambda: len(chat.requests()) > before)
        assert text in chat.requests()[-1], (what, chat.requests())


def focused(root):
    return tuple((n.getRoleName(), n.name) for n in pyatspi.findAllDescendants(
        root, lambda n: {"focused", "focusable"} <= ui.states(n)))


def tab(root):
    before = focused(root)
    run("xdotool", "key", "Tab")
    return until("Tab does not move the focus", lambda: (after := focused(root)) != before and after, 3)


def tab_stops(root, expected):
    """Tab, once round the window, reaches every control in `expected`."""
    stops = []
    while (stop := tab(root)) not in stops and len(stops) < 30:
        stops.append(stop)
    missing = set(expected) - {control for stop in stops for control in stop}
    assert not missing, (missing, stops)


def tab_to(root, role, name):
    until(f"Tab does not reach {name!r}", lambda: (role, name) in focused(root) or not tab(root), 30)


def close_panel():
    run("xdotool", "key", "Escape")
    until("Escape did not close the panel", lambda: not panel())


# Bad command lines: exit 2, one line saying what, then the usage; no instance starts.
for arguments in (["--bogus"], ["--open", "--selection"], ["selection"]):
    answer = run(tolvanis, *arguments, env=env)
    assert answer.returncode == 2 and answer.stderr.count("\n") > 3 and "用法" in answer.stderr.splitlines()[1], \
        (arguments, answer)
assert run(tolvanis, "--help", env=env).returncode == 0 and not panel()
assert run(tolvanis, "--version", env=env).stdout.startswith("tolvanis ")

# (what, PRIMARY, CLIPBOARD, how, the text translated or else the panel's input with no request)
CTRL_ALT_Y = ["xdotool", "key", "ctrl+alt+y"]
cases = [
    ("--selection with no instance starts one", "from a terminal", "", [tolvanis, "--selection"], "from a terminal",
     None),
    ("the default key takes PRIMARY", "selected words", "copied words", CTRL_ALT_Y, "selected words", None),
    ("PRIMARY without text takes the clipboard", None, "only copied", CTRL_ALT_Y, "only copied", None),
    ("--selection goes to the running instance", "second launch", "", [tolvanis, "--selection"], "second launch", None),
    ("--open fills from the clipboard and waits", "not this", "the clipboard", [tolvanis, "--open"], None,
     "the clipboard"),
    ("nothing selected, nothing copied", None, None, CTRL_ALT_Y, None, "the clipboard"),
]
launched = None
for what, primary, clipboard, how, translated, shown_input in cases:
    put("primary", primary)
    put("clipboard", clipboard)
    actions = []
    # The panel opens under the tray icon at the top right, also when the launch started tolvanis.
    translates(what, lambda: actions.append(start(*how, env=env))
               or until(f"{what}: no panel under the icon", lambda: panel() and panel()[0] > 640), translated)
    action = actions[0]
    launched = launched or action
    if shown_input:
        ui = Accessible(pyatspi, launched.pid)
        until(f"{what}: the input is not {shown_input!r}",
              lambda: ui.find(None, "text", "输入").queryText().getText(0, -1) == shown_input, 5)
    if action is not launched:
        assert action.wait(10) == 0, what  # a second launch hands over and exits
    close_panel()

# The screen text's own key freezes the screen for a selection; Escape leaves it, sending nothing.
translates("Ctrl+Alt+O, then Escape", lambda: run("xdotool", "key", "ctrl+alt+o") and until(
    "Ctrl+Alt+O showed no overlay", lambda: visible("^截图翻译$") == run("xdotool", "getwindowfocus").stdout.split())
    and run("xdotool", "key", "Escape") and until("Escape left the overlay", lambda: not visible("^截图翻译$")))

# Another program holds Ctrl+Alt+J: a second tolvanis with its own instance.
other = start(tolvanis, env=private_home("other", chat, extra="com.quendrix.tolvanis.globalShortcut=Ctrl+Alt+J\n"))
stays("the other tolvanis ended", lambda: other.poll() is not None, 2)  # meanwhile it grabs its key
# A bare key from a hand-edited file would be taken from every program: not grabbed.
bare = start(tolvanis, env=private_home("bare", chat, extra="com.quendrix.tolvanis.globalShortcut=K\n"))
stays("the tolvanis with a bare key ended", lambda: bare.poll() is not None, 2)
put("primary", "a bare key")
translates("a bare K", lambda: run("xdotool", "key", "k"), None)
put("primary", None)
ui = Accessible(pyatspi, launched.pid)
put("clipboard", None)
run(*CTRL_ALT_Y)
until("the key did not open the panel", panel)
ui.act(ui.shown(None, "push button", "设置"))
settings = ui.shown(None, "frame", "设置")
recorder = ui.shown(settings, "push button", "快捷键")
assert recorder.description == "Ctrl+Alt+Y", recorder.description


def to_settings():
    """The settings window takes the focus; an open panel closes on losing it."""
    run("xdotool", "windowactivate", "--sync", run("xdotool", "search", "--name", "^设置$").stdout.split()[0])
    until("the panel stays open", lambda: not panel())


# (what the recorder is given, the status line, keys that translate, also with NumLock or CapsLock on,
# keys that do nothing)
changes = [
    ("ctrl+alt+j", "Ctrl+Alt+J 已被其他程序占用，请换一个组合键", ["ctrl+alt+y"], []),
    ("ctrl+alt+k", "全局快捷键：Ctrl+Alt+K",
     ["ctrl+alt+k", "Num_Lock ctrl+alt+k Num_Lock", "Caps_Lock ctrl+alt+k Caps_Lock"], ["ctrl+alt+y"]),
    ("BackSpace", "全局快捷键已关闭", [], ["ctrl+alt+k", "ctrl+alt+y"]),
]
put("primary", "through the new key")
for given, status, working, idle in changes:
    to_settings()
    ui.act(recorder)
    until("the recorder does not record", lambda: recorder.description == "请按组合键…")
    run("xdotool", "key", given)
    ui.shown(settings, "label", status)
    for keys in working + idle:
        to_settings()
        translates(f"after {given}, {keys}", lambda: run("xdotool", "key", *keys.split()),
                   "through the new key" if keys in working else None)

# As a screen reader meets the panel: named controls, the engine picker, translating.
states, find, shown, act = ui.states, ui.find, ui.shown, ui.act
run(tolvanis, "--open", env=env)
window = shown(None, "frame", "tolvanis")
for role, name in [("text", "输入"), ("label", "输入"), ("label", "翻译结果")]:
    shown(window, role, name)
picker = shown(window, "page tab list", "翻译引擎")
engines = [(tab.getRoleName(), tab.name, "selected" in states(tab)) for tab in picker]
assert engines == [("page tab", "系统离线", False), ("page tab", "LLM", True)], engines
field = find(window, "text", "输入")
field.queryEditableText().setTextContents("今天天气很好")
act(find(window, "push button", "翻译"))
shown(window, "label", "Translated.")

# Keyboard only: Tab reaches every control; arrows choose the engine; Return presses an icon button.
tab_stops(window, [("push button", "历史记录"), ("push button", "设置"), ("page tab list", "翻译引擎"),
                  ("page tab", "LLM"), ("text", "输入"), ("push button", "自动识别"), ("filler", "翻译结果"),
                  ("push button", "复制翻译结果"), ("push button", "翻译")])
tab_to(window, "page tab list", "翻译引擎")
run("xdotool", "key", "Left")
until("Left did not choose 系统离线", lambda: "selected" in states(picker[0]))
field.queryEditableText().setTextContents("x")
tab_to(window, "push button", "历史记录")
run("xdotool", "key", "Return")
shown(window, "list", "历史记录")
tab_to(window, "list", "历史记录")
run("xdotool", "key", "Return")
until("Return on a history entry did not bring it back",
      lambda: field.queryText().getText(0, -1) == "今天天气很好" and not find(window, "list", "历史记录"))

# The settings window from the panel's button.
act(shown(window, "push button", "设置"))
providers = shown(settings, "page tab list", "LLM 引擎")
assert [(tab.name, "selected" in states(tab)) for tab in providers] == [("Anthropic", False), ("OpenAI 兼容", True)]
engine = shown(settings, "combo box", "LLM")
labels = [r.getTarget(0).name for r in engine.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
assert labels == ["默认引擎"], labels
switch = shown(settings, "check box", "登录时启动")
assert "checked" not in states(switch)
act(switch, "Toggle")
until("the switch did not turn on", lambda: "checked" in states(switch))
tab_stops(settings, [("page tab list", "LLM 引擎"), ("text", "Base URL"), ("text", "模型名称"),
                     ("password text", "API Key"), ("push button", "清除"), ("push button", "保存"),
                     ("push button", "快捷键"), ("combo box", "LLM"), ("check box", "登录时启动")])
print("PASS")
