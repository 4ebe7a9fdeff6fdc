#!/usr/bin/python3
"""The panel, the status menu and the settings window as a screen reader sees
them: through AT-SPI, on a private accessibility bus, on a virtual X desktop.
Only accessibility actions drive the panel; the loopback chat server answers.
Run inside scripts/test-session.sh (the D-Bus session and the keyring):
  accessibility.py <tolvanis> <fakechatserver>
Debian's python: pyatspi is not in other pythons."""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspidesktop import accessibility_bus, on_virtual_desktop, start, stop_children, until  # noqa: E402

on_virtual_desktop("TOLVANIS_A11Y_DESKTOP")
tolvanis, server = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="tolvanis-a11y.")

try:
    pyatspi = accessibility_bus()

    reply = "The weather is lovely today."
    log = os.path.join(work, "requests.log")
    chat = start(server, log, reply, stdout=subprocess.PIPE, text=True)
    port = chat.stdout.readline().strip()
    config = os.path.join(work, "config")
    os.makedirs(os.path.join(config, "tolvanis"))
    with open(os.path.join(config, "tolvanis", "tolvanis.conf"), "w") as conf:
        conf.write("[General]\ncom.quendrix.tolvanis.defaultEngine=system\n"
                   "com.quendrix.tolvanis.llmProvider=openAICompatible\n"
                   f"com.quendrix.tolvanis.openAIBaseURL=http://127.0.0.1:{port}/v1\n"
                   "com.quendrix.tolvanis.openAIModel=a11y-model\n")
    subprocess.run(["secret-tool", "store", "--label=tolvanis: openai-compatible-api-key", "service",
                    "com.quendrix.tolvanis.llmkey", "account", "openai-compatible-api-key"],
                   input="sk-a11y", text=True, check=True)
    env = dict(os.environ, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               PATH=work)
    start(tolvanis, env=env)
    desktop = pyatspi.Registry.getDesktop(0)
    app = until("tolvanis is not on the accessibility bus",
                lambda: next((a for a in desktop if a and a.name == "tolvanis"), None))

    def states(node):
        return {pyatspi.stateToString(state) for state in node.getState().getStates()}

    def find(root, role, name):
        return pyatspi.findDescendant(root, lambda n: n.getRoleName() == role and n.name == name
                                      and "showing" in states(n))

    def shown(root, role, name):
        return until(f"no {role} named {name!r} is shown", lambda: find(root, role, name))

    def act(node, action="Press"):
        actions = node.queryAction()
        actions.doAction([actions.getName(i) for i in range(actions.nActions)].index(action))

    def key(name):
        subprocess.run(["xdotool", "key", name], check=True)

    def focused(root):
        found = pyatspi.findAllDescendants(root, lambda n: {"focused", "focusable"} <= states(n))
        return tuple((n.getRoleName(), n.name) for n in found)

    def tab(root):
        before = focused(root)
        key("Tab")
        return until("Tab does not move the focus", lambda: (after := focused(root)) != before and after, 3)

    def tab_stops(root):
        """Every control Tab reaches, once round the window, as (role, name)."""
        stops = []
        while (stop := tab(root)) not in stops and len(stops) < 30:
            stops.append(stop)
        return {control for stop in stops for control in stop}

    def tab_to(root, role, name):
        until(f"Tab does not reach {name!r}", lambda: (role, name) in focused(root) or not tab(root), 30)

    # A second launch opens the running instance's panel.
    until("the second launch did not reach the first", lambda: subprocess.run([tolvanis], env=env).returncode == 0)
    panel = shown(app, "frame", "tolvanis")
    for role, name in [("push button", "历史记录"), ("push button", "设置"), ("text", "输入"), ("label", "输入"),
                       ("push button", "自动识别"), ("label", "翻译结果"), ("filler", "翻译结果"),
                       ("label", "翻译结果将显示在这里"), ("push button", "翻译")]:
        shown(panel, role, name)
    picker = shown(panel, "page tab list", "翻译引擎")
    engines = [(tab.getRoleName(), tab.name, "selected" in states(tab)) for tab in picker]
    assert engines == [("page tab", "系统离线", True), ("page tab", "LLM", False)], engines

    # Only accessibility actions: type and translate on the missing on-device
    # engine (PATH holds no translateLocally), read the error; then on LLM.
    field = find(panel, "text", "输入")
    field.queryEditableText().setTextContents("今天天气很好")
    act(find(panel, "push button", "翻译"))
    shown(panel, "label", "网络请求失败：系统翻译需要安装 translateLocally")
    act(picker[1])
    until("LLM was not chosen", lambda: "selected" in states(picker[1]) and "selected" not in states(picker[0]))
    act(find(panel, "push button", "自动识别"))
    shown(panel, "push button", "中 → 英")
    act(find(panel, "push button", "翻译"))
    shown(panel, "label", reply)
    shown(panel, "push button", "复制翻译结果")
    with open(log) as requests:
        sent = requests.read()
    assert "今天天气很好" in sent and '"model":"a11y-model"' in sent, sent

    # Keyboard only: Tab reaches every control; Return presses an icon button.
    reached = tab_stops(panel)
    for control in [("push button", "历史记录"), ("push button", "设置"), ("page tab list", "翻译引擎"),
                    ("page tab", "LLM"), ("text", "输入"), ("push button", "中 → 英"), ("filler", "翻译结果"),
                    ("push button", "复制翻译结果"), ("push button", "翻译")]:
        assert control in reached, (control, reached)
    tab_to(panel, "page tab list", "翻译引擎")
    key("Left")
    until("Left did not choose 系统离线", lambda: "selected" in states(picker[0]))
    field.queryEditableText().setTextContents("x")
    tab_to(panel, "push button", "历史记录")
    key("Return")
    shown(panel, "list", "历史记录")
    tab_to(panel, "list", "历史记录")
    key("Return")
    until("Return on a history entry did not bring it back",
          lambda: field.queryText().getText(0, -1) == "今天天气很好" and not find(panel, "list", "历史记录"))

    # The status menu (a pop-up window) with its items, opened on the tray icon.
    tray = subprocess.run(["xdotool", "getwindowgeometry", "--shell", os.environ["TOLVANIS_TRAY_WINDOW"]],
                          capture_output=True, text=True, check=True).stdout
    tray = dict(line.split("=") for line in tray.split())
    subprocess.run(["xdotool", "mousemove", str(int(tray["X"]) + int(tray["WIDTH"]) // 2),
                    str(int(tray["Y"]) + int(tray["HEIGHT"]) // 2), "click", "3"], check=True)
    menu = until("the status menu is not in the tree", lambda: next(
        (w for w in app if w.getRoleName() == "popup menu" and "showing" in states(w)), None))
    items = [(item.getRoleName(), item.name) for item in menu if item.getRoleName() != "separator"]
    assert items == [("menu item", "打开翻译面板"), ("menu item", "设置…"), ("menu item", "退出 tolvanis")], items
    act(next(item for item in menu if item.name == "设置…"))

    settings = shown(app, "frame", "设置")
    providers = shown(settings, "page tab list", "LLM 引擎")
    assert [(tab.name, "selected" in states(tab)) for tab in providers] == [("Anthropic", False), ("OpenAI 兼容", True)]
    for role, name in [("text", "Base URL"), ("text", "模型名称"), ("password text", "API Key")]:
        shown(settings, role, name)
    # 保存 is enabled, and so pressable, once the key field holds text.
    find(settings, "password text", "API Key").queryEditableText().setTextContents("sk-test")
    engine = shown(settings, "combo box", "系统离线")
    labels = [r.getTarget(0).name for r in engine.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    assert labels == ["默认引擎"], labels
    switch = shown(settings, "check box", "登录时启动")
    assert "checked" not in states(switch)
    act(switch, "Toggle")
    until("the switch did not turn on", lambda: "checked" in states(switch))
    act(find(settings, "push button", "保存"))
    shown(settings, "label", "已保存到 Keychain")
    reached = tab_stops(settings)
    for control in [("page tab list", "LLM 引擎"), ("text", "Base URL"), ("text", "模型名称"),
                    ("password text", "API Key"), ("push button", "清除"), ("push button", "保存"),
                    ("combo box", "系统离线"), ("check box", "登录时启动")]:
        assert control in reached, (control, reached)
    print("PASS")
finally:
    stop_children()
    shutil.rmtree(work, ignore_errors=True)
