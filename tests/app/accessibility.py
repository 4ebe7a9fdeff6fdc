#!/usr/bin/python3
# The panel and the settings window as a screen reader sees
# them: through AT-SPI on a private accessibility bus, on a virtual X desktop.
# Only accessibility actions and keys drive them; the loopback chat server answers.
# Run inside scripts/test-session.sh: accessibility.py <tolvanis> <fakechatserver>
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import (Accessible, Chat, accessibility_bus, on_virtual_desktop, private_home, run,  # noqa: E402
                     start, until)

on_virtual_desktop()
tolvanis = sys.argv[1]
reply = "The weather is lovely today."
chat = Chat(sys.argv[2], reply)
pyatspi = accessibility_bus()
env = private_home("a11y", chat, engine="system")
start(tolvanis, env=env)
ui = Accessible(pyatspi)
states, find, shown, act = ui.states, ui.find, ui.shown, ui.act


def focused(root):
    return tuple((n.getRoleName(), n.name) for n in pyatspi.findAllDescendants(
        root, lambda n: {"focused", "focusable"} <= states(n)))


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


# A second launch opens the running instance's panel.
until("the second launch did not reach the first", lambda: run(tolvanis, env=env).returncode == 0)
panel = shown(None, "frame", "tolvanis")
for role, name in [("text", "输入"), ("label", "输入"), ("label", "翻译结果"), ("label", "翻译结果将显示在这里")]:
    shown(panel, role, name)
picker = shown(panel, "page tab list", "翻译引擎")
engines = [(tab.getRoleName(), tab.name, "selected" in states(tab)) for tab in picker]
assert engines == [("page tab", "系统离线", True), ("page tab", "LLM", False)], engines

# Choose LLM and translate: the history gets an entry.
act(picker[1])
until("LLM was not chosen", lambda: "selected" in states(picker[1]) and "selected" not in states(picker[0]))
field = find(panel, "text", "输入")
field.queryEditableText().setTextContents("今天天气很好")
act(find(panel, "push button", "翻译"))
shown(panel, "label", reply)

# Keyboard only: Tab reaches every control; Return presses an icon button.
tab_stops(panel, [("push button", "历史记录"), ("push button", "设置"), ("page tab list", "翻译引擎"),
                  ("page tab", "LLM"), ("text", "输入"), ("push button", "自动识别"), ("filler", "翻译结果"),
                  ("push button", "复制翻译结果"), ("push button", "翻译")])
tab_to(panel, "page tab list", "翻译引擎")
run("xdotool", "key", "Left")
until("Left did not choose 系统离线", lambda: "selected" in states(picker[0]))
field.queryEditableText().setTextContents("x")
tab_to(panel, "push button", "历史记录")
run("xdotool", "key", "Return")
shown(panel, "list", "历史记录")
tab_to(panel, "list", "历史记录")
run("xdotool", "key", "Return")
until("Return on a history entry did not bring it back",
      lambda: field.queryText().getText(0, -1) == "今天天气很好" and not find(panel, "list", "历史记录"))

# The settings window from the panel's button.
act(shown(panel, "push button", "设置"))
settings = shown(None, "frame", "设置")
providers = shown(settings, "page tab list", "LLM 引擎")
assert [(tab.name, "selected" in states(tab)) for tab in providers] == [("Anthropic", False), ("OpenAI 兼容", True)]
engine = shown(settings, "combo box", "系统离线")
labels = [r.getTarget(0).name for r in engine.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
assert labels == ["默认引擎"], labels
switch = shown(settings, "check box", "登录时启动")
assert "checked" not in states(switch)
act(switch, "Toggle")
until("the switch did not turn on", lambda: "checked" in states(switch))
tab_stops(settings, [("page tab list", "LLM 引擎"), ("text", "Base URL"), ("text", "模型名称"),
                     ("password text", "API Key"), ("push button", "清除"), ("push button", "保存"),
                     ("combo box", "系统离线"), ("check box", "登录时启动")])
print("PASS")
