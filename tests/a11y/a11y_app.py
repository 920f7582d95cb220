#!/usr/bin/python3
"""The real client as a screen reader meets it, against the reference server on 127.0.0.1.

Walks the accessibility tree (AT-SPI) of the login screen, every section, an open chat (with the emoji
picker open), the outgoing call window (with its audio panel) and the incoming call window, and fails
listing every focusable or clickable element without a name. Along the way it works the client only
through AT-SPI actions and key presses: signs in, finds Boris's conversation by its name, opens it,
sends a message (the server must have it), reads Boris's reply from its bubble, places and ends a call,
declines an incoming one (the server must record both).

  a11y_app.py CLIENT SERVER      (inside scripts/with-test-env: private D-Bus session)

By hand: A11Y_THEME=dark runs it in the dark theme, A11Y_XFT_DPI=144 with the desktop's text at 150 %,
A11Y_SHOTS=DIR saves screenshots of the focus ring on the way.
"""
import json
import os
import random
import subprocess
import sys
import tempfile
import time
import urllib.request

CLIENT, SERVER = sys.argv[1], sys.argv[2]
children = []
problems = []


def start(args, **kw):
    p = subprocess.Popen(args, **kw)
    children.append(p)
    return p


def wait_for(what, fn, timeout=15.0):
    end = time.monotonic() + timeout
    while True:
        try:
            value = fn()
        except Exception:  # a node that vanished while being read
            value = None
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.1)


# ---- display, accessibility bus, server, client ------------------------------------------------------
read_fd, write_fd = os.pipe()
scale = int(os.environ.get("A11Y_XFT_DPI", "96")) / 96
start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{round(1400 * scale)}x{round(900 * scale)}x24",
       "-nolisten", "tcp", "-noreset"],
      pass_fds=[write_fd], stderr=subprocess.DEVNULL)
os.close(write_fd)
os.environ["DISPLAY"] = ":" + os.read(read_fd, 16).decode().strip()
if scale != 1:  # the desktop's text size, as GNOME and KDE set it
    subprocess.run(["xrdb", "-nocpp", "-merge"], input=f"Xft.dpi: {os.environ['A11Y_XFT_DPI']}\n", text=True, check=True)
# Qt joins the accessibility bus only when it is up before the client starts: asking for its address
# starts it (D-Bus activation, a child of the session bus that ends with it).
wait_for("the accessibility bus", lambda: subprocess.run(
    ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
    capture_output=True).returncode == 0)

import pyatspi  # noqa: E402  (after the bus is up)

data = tempfile.TemporaryDirectory()
server = start([SERVER, "--demo", "--port", "0", "--data", data.name], stdout=subprocess.PIPE, text=True)
env = {}
for line in server.stdout:
    if "=" in line and line.startswith("THEORVANE_"):
        key, value = line.strip().split("=", 1)
        env[key] = value
    if line.startswith("listening on "):
        break
base = env["THEORVANE_SERVER_URL"]


def api(method, path, token=None, body=None):
    request = urllib.request.Request(base + "/api/mobile" + path, method=method,
                                     data=json.dumps(body).encode() if body is not None else None)
    request.add_header("Content-Type", "application/json")
    if token:
        request.add_header("Authorization", "Bearer " + token)
    with urllib.request.urlopen(request, timeout=10) as reply:
        return json.load(reply)


def sign_in(email):
    answer = api("POST", "/auth", body={"action": "login", "email": email, "password": "demo1234"})
    return answer["token"], answer["user"]["id"]


client = start([CLIENT], env=dict(os.environ, **env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                                   QT_ACCESSIBILITY="1", THEORVANE_STUN_SERVERS="", THEORVANE_ICE_ADDRESS="127.0.0.1"),
               stdout=subprocess.DEVNULL)


# ---- the tree ----------------------------------------------------------------------------------------
def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.get_process_id() == client.pid:
            return a
    return None


def nodes(root):
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        yield node
        stack.extend(node.getChildAtIndex(i) for i in reversed(range(node.childCount)))


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def find(role, name_start, root=None, exact=False):
    for node in nodes(root or app()):
        if node.getRoleName() == role and showing(node) and (
                node.name == name_start if exact else node.name.startswith(name_start)):
            return node
    return None


def need(role, name, timeout=15.0, exact=False):
    return wait_for(f"{role} '{name}'", lambda: find(role, name, exact=exact), timeout)


def gone(role, name, timeout=10.0):
    wait_for(f"{role} '{name}' to go", lambda: find(role, name) is None, timeout)


def window(title):
    return need("frame", title)


def check_names(screen, root=None):
    """Every focusable or clickable element on screen has a name."""
    for node in nodes(root or app()):
        if not showing(node) or node.name.strip():
            continue
        # Qt withholds the name of a password field: its description must say what it is.
        if node.getRoleName() == "password text" and node.description.strip():
            continue
        try:
            action = node.queryAction()
            clickable = any(action.getName(i).lower() in ("press", "toggle") for i in range(action.nActions))
        except NotImplementedError:
            clickable = False
        if clickable or node.getState().contains(pyatspi.STATE_FOCUSABLE):
            parent = node.parent
            where = parent.name or parent.getRoleName() if parent else "?"
            problems.append(f"{screen}: unnamed {node.getRoleName()} in {where!r}")


def press(node):
    action = node.queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    action.doAction(names.index("press") if "press" in names else names.index("toggle"))


def keys(title, *combos):
    """Key presses into the window of that title (there is no window manager to give it the focus)."""
    def window_id():
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(client.pid)],
                             capture_output=True, text=True).stdout.split()
        return next((i for i in ids if subprocess.run(["xdotool", "getwindowname", i], capture_output=True,
                                                      text=True).stdout.startswith(title)), None)
    target = wait_for("the window " + title, window_id, 5)
    # Focusing the window that has the focus already sends it to another one.
    if subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True).stdout.strip() != target:
        subprocess.run(["xdotool", "windowfocus", "--sync", target], check=True)
    for combo in combos:
        if combo.startswith("type:"):
            subprocess.run(["xdotool", "type", "--delay", "20", combo[5:]], check=True)
        else:
            subprocess.run(["xdotool", "key", combo], check=True)


def focused():
    """The innermost focused element (Qt marks every focus scope around it as focused too)."""
    inner = None
    for node in nodes(app()):
        if node.getState().contains(pyatspi.STATE_FOCUSED):
            inner = node
    return inner


def focus_is(what, test):
    try:
        wait_for("the focus", lambda: (lambda f: f is not None and test(f))(focused()), 5)
    except AssertionError:
        f = focused()
        raise AssertionError(f"the focus is not on {what} but on " + (f"{f.getRoleName()} {f.name!r}" if f else "nothing"))


def shot(name):
    if os.environ.get("A11Y_SHOTS"):
        time.sleep(0.5)
        tag = os.environ.get("A11Y_THEME", "light") + ("" if scale == 1 else f"-{round(scale * 100)}")
        subprocess.run(["import", "-window", "root", f"{os.environ['A11Y_SHOTS']}/{name}-{tag}.png"], check=True)


MAIN = "TheOrvane"
try:
    # ---- login ----
    wait_for("the client on the accessibility bus", app, 20)
    email = need("text", "Email")
    check_names("login")
    if os.environ.get("A11Y_THEME") == "dark":
        press(need("push button", "Тёмная"))
    email.queryComponent().grabFocus()
    keys(MAIN, "type:anna@demo.theorvane.example", "Tab", "type:demo1234", "Tab")
    shot("focus-login")
    keys(MAIN, "Return")

    # ---- sections, by Alt+1…4 ----
    print("-", "sections, by Alt+1…4", flush=True)
    messages = need("list", "Диалоги", 20)
    check_names("messages")
    for combo, heading in (("alt+2", "Друзья"), ("alt+3", "Настройки"), ("alt+4", "Профиль")):
        keys(MAIN, combo)
        need("heading", heading, exact=True)
        time.sleep(1.0)  # the page's load
        check_names(heading)
    keys(MAIN, "alt+2", "ctrl+f", "Down")  # the friends' search, then the list: on its first row
    focus_is("a friend's row", lambda f: f.getRoleName() == "list item")
    keys(MAIN, "alt+4", "ctrl+k")  # from any other section: the conversations' search
    focus_is("the conversations' search", lambda f: f.name == "Поиск диалогов")

    # ---- Boris's chat: send, the server has it; his reply appears as a bubble ----
    print("-", "Boris's chat: send, the server has it; his reply appears as a bubble", flush=True)
    keys(MAIN, "Down")  # into the list, on its first row
    focus_is("the first conversation", lambda f: f.getRoleName() == "list item")
    shot("focus-conversation")
    need("list item", "Борис Иванов").queryComponent().grabFocus()
    keys(MAIN, "Return")
    composer = need("text", "Сообщение", exact=True)
    composer.queryComponent().grabFocus()
    text = "Hello from the keyboard %06d" % random.randrange(10 ** 6)
    keys(MAIN, "type:" + text, "Return")
    need("list item", "Вы: " + text)
    keys(MAIN, "Tab")  # out of the composer, not a tab character into it
    focus_is("a composer button", lambda f: f.getRoleName() == "push button")
    boris_token, boris_id = sign_in("boris@demo.theorvane.example")
    anna_token, anna_id = sign_in("anna@demo.theorvane.example")
    sent = api("GET", "/messages?participantId=" + anna_id, boris_token)["messages"]
    if not any(m["content"] == text for m in sent):
        problems.append("the server has no message " + repr(text))
    reply = "Got it %06d" % random.randrange(10 ** 6)
    api("POST", "/messages", boris_token, {"participantId": anna_id, "content": reply})
    bubble = need("list item", "Борис Иванов: " + reply, 15)
    texts = [n.queryText() for n in nodes(bubble) if n.getRoleName() == "label" and n is not bubble]
    if not any(t.getText(0, -1) == reply for t in texts):
        problems.append("the reply's bubble holds no text " + repr(reply))

    press(need("push button", "Добавить эмодзи"))
    need("page tab list", "Категории эмодзи")
    check_names("chat with the emoji picker")
    keys(MAIN, "Escape")
    gone("page tab list", "Категории эмодзи")
    need("push button", "Добавить эмодзи").queryComponent().grabFocus()
    keys(MAIN, "space", "Right")  # the picker by keys: its second emoji into the composer
    shot("focus-emoji")
    keys(MAIN, "Return")
    gone("page tab list", "Категории эмодзи")
    if composer.queryText().getText(0, -1) != "😃":
        problems.append("the emoji picked by keys is not in the composer: " + repr(composer.queryText().getText(0, -1)))
    keys(MAIN, "F1")
    need("dialog", "Клавиши")
    keys(MAIN, "Escape")
    gone("dialog", "Клавиши")

    # ---- the outgoing call window: audio panel, Escape closes it, Escape again ends the call ----
    print("-", "the outgoing call window: audio panel, Escape closes it, Escape again ends the call", flush=True)
    press(need("push button", "Позвонить Борис Иванов"))
    outgoing = window("Звонок: ")
    press(need("push button", "Настройки звука"))
    need("push button", "Закрыть настройки звука")
    check_names("outgoing call", outgoing)
    keys("Звонок: ", "Escape")
    gone("push button", "Закрыть настройки звука")
    keys("Звонок: ", "Tab")
    shot("focus-call")
    muted = find("push button", "Включить микрофон") is not None
    keys("Звонок: ", "ctrl+m")
    need("push button", "Выключить микрофон" if muted else "Включить микрофон")
    keys("Звонок: ", "Escape")
    gone("frame", "Звонок: ", 10)

    # ---- the incoming call window: Boris calls, Escape declines ----
    print("-", "the incoming call window: Boris calls, Escape declines", flush=True)
    call_id = api("POST", "/calls", boris_token, {"action": "initiate", "calleeId": anna_id,
                                                     "offer": "v=0\r\n"})["callId"]
    incoming = window("Входящий звонок")
    need("push button", "Ответить")
    check_names("incoming call", incoming)
    keys("Входящий звонок", "Escape")
    gone("frame", "Входящий звонок", 10)
    status = api("GET", "/calls?action=status&callId=" + call_id, boris_token)["call"]["status"]
    if status != "declined":
        problems.append("the declined call is " + status + " on the server")
except Exception as error:
    problems.append(str(error))
    # What was on screen, for the failure's log.
    def dump(node, depth):
        if node is not None and showing(node):
            print("  " * depth + f"{node.getRoleName()} {node.name!r}")
            for i in range(node.childCount):
                dump(node.getChildAtIndex(i), depth + 1)
    try:
        dump(app(), 0)
    except Exception as failure:
        print("no tree:", failure)
finally:
    for child in reversed(children):
        child.terminate()
    for child in reversed(children):
        try:
            child.wait(5)
        except subprocess.TimeoutExpired:
            child.kill()

for problem in problems:
    print("FAIL:", problem)
print("passed" if not problems else f"{len(problems)} problem(s)")
sys.exit(1 if problems else 0)
