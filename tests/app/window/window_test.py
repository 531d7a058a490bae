#!/usr/bin/env python3
"""The player's own window on a private X server, driven as a user drives it.

Each case starts Xvfb, runs the built player in window mode against a copy of
the sample course, finds its windows with xdotool, types into them, and closes
them the way a window manager does (WM_DELETE_WINDOW). What the web view does
shows in the player's debug log (each action request) and in what the server
answers over HTTP.

A window can drop keys that come before it is ready for them, so every step
that sends input waits for what the input does and sends it again when that
does not come; each step is made so that a second sending does no harm.

Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb, xdotool or GDK).
"""

import argparse
import ctypes
import ctypes.util
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

SKIPPED = 77
SCREEN = (1280, 1024)
SPLASH = (499, 369)
TITLE = "Varnel Player - Three Useful Knots"
# Waits end on what they wait for; the limit is for a player that is broken,
# not one that is slow (AddressSanitizer on a busy machine: a main window
# once took more than 30 s to appear while the suite started beside it).
LIMIT = 150
# Input whose effect has not shown after this long is sent again. Where the
# effect can be read back (what an entry holds) the input is sent again at
# once when it did not take.
RESEND = 30
# The splash stays up three seconds, or until the window's start-up is over
# when that takes longer: how much longer is the machine's doing, so only a
# splash that stays as long as a broken player takes counts as late.
SPLASH_SECONDS = 3


class Failure(Exception):
    pass


X_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
IGNORE_X_ERRORS = X_ERROR_HANDLER(lambda display, error: 0)


def settle(read, good, failure, seconds=LIMIT):
    """Reads until the value is good and gives it; fails with failure(value) for the last value read."""
    deadline = time.monotonic() + seconds
    while True:
        value = read()
        if good(value):
            return value
        if time.monotonic() > deadline:
            raise Failure(failure(value))
        time.sleep(0.1)


def wait_for(what, test, seconds=LIMIT):
    return settle(test, bool, lambda _: "timed out waiting for " + what, seconds)


def resend_until(what, send, test, seconds=LIMIT):
    """Sends, then waits for test(); sends again each time RESEND seconds pass without it."""
    deadline = time.monotonic() + seconds
    while True:
        send()
        try:
            return wait_for(what, test, max(0, min(RESEND, deadline - time.monotonic())))
        except Failure:
            if time.monotonic() >= deadline:
                raise
            print("sending again: nothing came of it yet (%s)" % what)


class Display:
    """A private Xvfb; the number is the one it found free itself.

    Without -noreset the server resets whenever its last client leaves, and
    drops a client still connecting then: a player starting while an xdotool
    call ends would find no display.
    """

    def __init__(self, work):
        self.log = os.path.join(work, "xvfb.log")
        read, write = os.pipe()
        with open(self.log, "wb") as log:
            self.server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp",
                 "-noreset"],
                pass_fds=[write], stdout=subprocess.DEVNULL, stderr=log)
        os.close(write)
        with os.fdopen(read) as numbers:
            self.name = ":" + numbers.readline().strip()
        try:
            if self.name == ":":
                raise Failure("Xvfb did not start")
            wait_for("the display %s to answer" % self.name, lambda: self.xdotool("getdisplaygeometry").strip())
        except Failure as failure:
            self.close()
            raise Failure("%s:\n%s" % (failure, self.messages()))

    def messages(self):
        with open(self.log, encoding="utf-8", errors="replace") as f:
            return "".join(f.readlines()[-20:])

    def close(self):
        self.server.terminate()
        self.server.wait()

    def xdotool(self, *args):
        try:
            done = subprocess.run(["xdotool"] + list(args), env=dict(os.environ, DISPLAY=self.name),
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=LIMIT)
        except subprocess.TimeoutExpired:
            raise Failure("xdotool %s did not end" % " ".join(args))
        return done.stdout

    def windows(self, name):
        """The mapped windows whose whole name is `name`."""
        found = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(name)).split()
        return [int(window) for window in found]

    def found(self, name, splash=False):
        """The windows named `name`: the splash, which has the player's name too, only when asked for."""
        def is_splash(window):
            geometry = self.geometry(window)
            return None if geometry is None else geometry[2:] == SPLASH
        return [window for window in self.windows(name) if is_splash(window) == splash]

    def window(self, name, splash=False):
        """The first window named `name`, once there is one."""
        return wait_for("a window named %r" % name, lambda: self.found(name, splash))[0]

    def window_after(self, name, send):
        """The first window named `name`, which `send` makes appear: sent again while none comes."""
        return resend_until("a window named %r" % name, send, lambda: self.found(name))[0]

    def geometry(self, window):
        """X, Y, width and height; None once the window is gone."""
        shell = self.xdotool("getwindowgeometry", "--shell", str(window))
        values = dict(line.split("=", 1) for line in shell.split())
        if not all(key in values for key in ("X", "Y", "WIDTH", "HEIGHT")):
            return None
        return tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))

    def expect_centred(self, window, size, what):
        """Centred on the screen at that size, once the window has settled."""
        place = ((SCREEN[0] - size[0]) // 2, (SCREEN[1] - size[1]) // 2) + size
        settle(lambda: self.geometry(window), lambda seen: seen == place, lambda seen: "%s geometry %r" % (what, seen))

    def keys(self, window, *keys):
        self.xdotool("windowfocus", "--sync", str(window))
        for key in keys:
            if key.startswith("text:"):
                self.xdotool("type", "--delay", "20", key[5:])
            else:
                self.xdotool("key", key)

    def click(self, window, x, y):
        """A click at x, y inside the window."""
        self.xdotool("mousemove", "--window", str(window), "--sync", str(x), str(y), "click", "1")

    def selection(self):
        """The text of the primary selection; None while nobody holds one. Its owner answers only
        after handling the input sent to it before, so the answer shows what that input did."""
        script = ("import gi, sys; gi.require_version('Gtk', '3.0'); from gi.repository import Gtk, Gdk\n"
                  "text = Gtk.Clipboard.get(Gdk.SELECTION_PRIMARY).wait_for_text()\n"
                  "sys.stdout.write('' if text is None else '=' + text)\n")
        try:
            done = subprocess.run([sys.executable, "-c", script], env=dict(os.environ, DISPLAY=self.name),
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=LIMIT)
        except subprocess.TimeoutExpired:
            raise Failure("reading the selection did not end")
        if done.returncode != 0:
            raise Failure("reading the selection failed: " + done.stderr)
        return done.stdout[1:] if done.stdout else None

    def entry_text(self, window):
        """What the focused entry of the window holds, selected whole to be read back."""
        self.keys(window, "ctrl+a")
        return self.selection()

    def enter(self, window, text, opening=()):
        """Types text into the window's focused entry until the entry holds it. Selecting all
        first makes another round replace whatever the one before left."""
        def typed():
            self.keys(window, *opening, "ctrl+a", "text:" + text)
            held = self.entry_text(window)
            if held != text:
                print("typing again: the entry holds %r" % held)
            return held
        settle(typed, lambda held: held == text, lambda held: "the entry holds %r, not %r" % (held, text))

    def accept(self, name, text, opening=()):
        """Enters text in the dialog named `name` and accepts it with Return, again while the dialog stays."""
        dialog = self.window(name)

        def send():
            if self.entry_text(dialog) != text:
                self.enter(dialog, text, opening)
            self.keys(dialog, "Return")
        resend_until("the %r dialog to close" % name, send, lambda: dialog not in self.windows(name))

    def answer(self, name, key):
        """Answers the dialog named `name` with a key, again while the dialog stays."""
        dialog = self.window(name)
        resend_until("the %r dialog to close" % name, lambda: self.keys(dialog, key),
                     lambda: dialog not in self.windows(name))

    def close_window(self, window):
        """What a window manager sends when the user closes the window."""
        x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        # A window gone meanwhile is no error of the test's (Xlib's own handler would end it).
        x11.XSetErrorHandler.argtypes = [X_ERROR_HANDLER]
        x11.XSetErrorHandler(IGNORE_X_ERRORS)

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                        ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                        ("message_type", ctypes.c_ulong), ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class Event(ctypes.Union):
            _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

        dpy = x11.XOpenDisplay(self.name.encode())
        event = Event()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
        x11.XSync(dpy, 0)
        x11.XCloseDisplay(dpy)

    def screenshot(self, window, path):
        """Saves the window as PNG; gives the number of distinct colours in it."""
        x, y, width, height = self.geometry(window)
        script = ("import gi, sys; gi.require_version('Gdk', '3.0'); from gi.repository import Gdk\n"
                  "shot = Gdk.pixbuf_get_from_window(Gdk.get_default_root_window(), %d, %d, %d, %d)\n"
                  "shot.savev(sys.argv[1], 'png', [], [])\n"
                  "pixels, step = shot.get_pixels(), shot.get_n_channels()\n"
                  "print(len({pixels[i:i + 3] for i in range(0, len(pixels) - 2, step)}))\n"
                  % (x, y, width, height))
        done = subprocess.run([sys.executable, "-c", script, path], env=dict(os.environ, DISPLAY=self.name),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            raise Failure("screenshot failed: " + done.stderr)
        return int(done.stdout)


class Player:
    """The built player in window mode, with its own home and PATH; each run has its own log."""

    runs = 0

    def __init__(self, args, display, work, arguments):
        Player.runs += 1
        self.log = os.path.join(work, "debug-%d.log" % Player.runs)
        self.errors_path = os.path.join(work, "player-%d.err" % Player.runs)
        env = dict(os.environ, DISPLAY=display.name, WAYLAND_DISPLAY="", HOME=work,
                   XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_DATA_HOME=os.path.join(work, "data"),
                   XDG_CACHE_HOME=os.path.join(work, "cache"), NO_AT_BRIDGE="1", GDK_BACKEND="x11",
                   # GTK's settings kept in memory: without a session bus each write would try to start one.
                   GSETTINGS_BACKEND="memory",
                   VARNEL_DEBUG_LOG=self.log, PATH=os.path.join(work, "bin") + ":" + os.environ["PATH"])
        # GTK and WebKit keep allocations to the end of the process by design.
        env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
        with open(self.errors_path, "ab") as errors:
            self.process = subprocess.Popen([args.player] + arguments, cwd=work, env=env, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=errors)

    def errors(self):
        with open(self.errors_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def port(self):
        found = wait_for("the served address", lambda: re.search(r"Showing http://127\.0\.0\.1:(\d+)/", self.errors()))
        return int(found.group(1))

    def logged(self):
        try:
            with open(self.log, encoding="cp1252") as f:
                return f.read()
        except OSError:
            return ""

    def wait_logged(self, pattern):
        """Waits for a line of the debug log: "Request: QUERY" for actions, "filename: NAME" for files."""
        return wait_for("a log line like %r" % pattern, lambda: re.search(pattern, self.logged(), re.M))

    def logged_seconds(self, message):
        """The time of day of the message's first log line, in seconds ("H:M:S.hundredths message")."""
        found = self.wait_logged(r"^(\d+):(\d+):(\d+)\.(\d+) %s$" % re.escape(message))
        hour, minute, second, hundredths = (int(part) for part in found.groups())
        return hour * 3600 + minute * 60 + second + hundredths / 100

    def ask(self, query):
        with urllib.request.urlopen("http://127.0.0.1:%d/?%s" % (self.port(), query), timeout=LIMIT) as reply:
            return reply.read().decode("cp1252")

    def end(self, seconds=LIMIT):
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("the player did not end:\n" + self.errors())

    def close(self, display, window):
        """Closes the window as a window manager does, again while the player runs on; the exit status."""
        try:
            resend_until("the player to end", lambda: display.close_window(window),
                         lambda: self.process.poll() is not None)
        except Failure:
            return self.end(0)
        return self.process.returncode


def expect(condition, message):
    if not condition:
        raise Failure(message)


def attribute(reply, name):
    found = re.search(r'\b%s="([^"]*)"' % name, reply)
    return found.group(1) if found else None


def state_file(work):
    return os.path.join(work, "data", "Kelmo Player", "knots - lastsession.state")


# ---- Cases ----------------------------------------------------------------

def case_sample(args, display, work):
    """Splash, main window, a login typed into the view, closing stores the session."""
    player = Player(args, display, work, [args.package])
    splash = display.window("Varnel Player", splash=True)
    display.expect_centred(splash, SPLASH, "splash")
    main = display.window(TITLE)
    display.expect_centred(main, (798, 614), "main window")
    wait_for("the splash to close", lambda: splash not in display.windows("Varnel Player"))
    # Timed by the player's own clock: the test's polling and the machine's
    # load do not count.
    shown_for = (player.logged_seconds("splash closed") - player.logged_seconds("splash shown")) % 86400
    expect(SPLASH_SECONDS - 0.05 <= shown_for < SPLASH_SECONDS + LIMIT,
           "the splash closed after %.2f s" % shown_for)
    print("the splash was up for %.2f s" % shown_for)
    # The page has painted once the window shows more than a blank.
    settle(lambda: display.screenshot(main, os.path.join(args.shots, "window-sample.png")),
           lambda colours: colours > 20, lambda colours: "the window shows only %d colours" % colours)

    login = r"Request: action=login&username=sam&password=bowline$"

    def log_in():
        # A click in the page's margin leaves no field focused: the first Tab
        # reaches the login name however far a round before got.
        display.click(main, 20, 120)
        display.keys(main, "Tab", "ctrl+a", "text:sam", "Tab", "ctrl+a", "text:bowline", "Return")
    resend_until("a log line like %r" % login, log_in, lambda: re.search(login, player.logged(), re.M))
    player.wait_logged(login)
    # After the login the page goes on to the course's subjects.
    player.wait_logged(r"filename: subjects\.html$")
    expect(player.close(display, main) == 0, "closing did not end the player with status 0")
    with open(state_file(work), "rb") as f:
        expect(f.read(4) == b"7Y(g", "the stored session has no magic")


def case_open_dialog(args, display, work):
    """No content: the open dialog; LastQuiz brings the next one back to the package's folder."""
    course = os.path.join(work, "courses")
    os.makedirs(course)
    package = os.path.join(course, "knots.vrn")
    shutil.copy(args.package, package)
    for typed in (package, "knots.vrn"):
        player = Player(args, display, work, [])
        # Ctrl+L shows the location entry, but hides it again when it has the
        # focus; "/" then shows it (holding "/") whatever has the focus.
        display.accept("Open", typed, opening=("ctrl+l", "ctrl+a", "text:/"))
        main = display.window(TITLE)
        expect(player.close(display, main) == 0, "the player did not end with status 0")
        with open(os.path.join(work, "config", "Software", "Ostrand Consultants", "QelPlayer.ini")) as f:
            expect("LastQuiz=%s/" % course in f.read(), "LastQuiz does not name the package's folder")

    player = Player(args, display, work, [])
    display.answer("Open", "Escape")
    expect(not display.windows("Open"), "the dialog stayed")
    main = display.window("Varnel Player")
    expect(player.close(display, main) == 0, "the player did not end with status 0 after a cancelled dialog")


def make_stored_state(args, work, package):
    """A learner's session with one answer, stored by closing a headless player."""
    env = dict(os.environ, DISPLAY="", WAYLAND_DISPLAY="", XDG_DATA_HOME=os.path.join(work, "data"),
               XDG_CONFIG_HOME=os.path.join(work, "config"))
    server = subprocess.Popen([args.player, "--serve", package], env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)
    address = server.stdout.readline().strip()

    def ask(query):
        with urllib.request.urlopen(address + "?" + query, timeout=LIMIT) as reply:
            return reply.read().decode("cp1252")

    session = attribute(ask("action=login&username=ann&password=x"), "sessionid")
    ask("action=genquestions&sessionid=%s&subject=1" % session)
    ask("action=putanswer&sessionid=%s&subject=1&qindex=1&answer=2" % session)
    server.send_signal(signal.SIGTERM)
    expect(server.wait(LIMIT) == 0, "the headless player did not store the session")


def first_answer(player):
    session = attribute(player.ask("action=login&username=ann&password=x"), "sessionid")
    player.ask("action=genquestions&sessionid=%s&subject=1" % session)
    return attribute(player.ask("action=getquestion&sessionid=%s&subject=1&qindex=1" % session), "Answered")


def case_restore(args, display, work):
    """Skip-start-page content with a stored state: the question, then Yes restores and No does not."""
    course = os.path.join(work, "skip")
    shutil.copytree(args.course, course)
    open(os.path.join(course, "SkipStartPage.sysdata"), "w").close()
    package = os.path.join(work, "skip.vrn")
    subprocess.run([args.packer, course, package], check=True, stdout=subprocess.DEVNULL)
    make_stored_state(args, work, package)

    player = Player(args, display, work, [package])
    display.answer("Question", "Return")
    expect(first_answer(player) == "2", "Yes did not restore the learner's answer")
    # A termination signal closes the window as closing it does.
    player.process.send_signal(signal.SIGTERM)
    expect(player.end() == 0, "SIGTERM did not end the player with status 0")

    player = Player(args, display, work, [package])
    display.answer("Question", "alt+n")
    expect(first_answer(player) == "0", "No restored the learner's answer")
    expect(player.close(display, display.window("Varnel Player - Three Useful Knots")) == 0,
           "the player did not end with status 0")


PROBE_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Window probe</title></head>
<body><h1>Window probe</h1><script>
function ask(query) { return fetch("/?" + query, { cache: "no-store" }).then(reply => reply.text()); }
function note(what) { return ask("action=probe&what=" + what); }
const session = text => /sessionid="([^"]*)"/.exec(text)[1];
let admin, learner;
(async () => {
  admin = session(await ask("action=adminlogin&username=qorbe&password=qorbe"));
  await ask("action=adminstatsindex&sessionid=" + admin + "&group=0&module=1");
  learner = session(await ask("action=login&username=sam&password=bowline"));
  await ask("action=genquestions&sessionid=" + learner + "&subject=1");
  note("ready");
})();
document.addEventListener("keydown", event => {
  if (event.key === "a") { alert("Probe alert"); note("alerted"); }
  if (event.key === "d") location.href = "/?action=adminstatsgroupcsv&sessionid=" + admin;
  if (event.key === "p") window.open("/?action=print_script&perfomance=1&sessionid=" + learner + "&subject=1");
  if (event.key === "x") location.href = "http://example.invalid/elsewhere";
  if (event.key === "m") note("still-here");
});
</script></body></html>
"""


def case_browser(args, display, work):
    """Script dialogs, a CSV download, a printable page's window, and an address elsewhere."""
    course = os.path.join(work, "probe")
    shutil.copytree(args.course, course)
    with open(os.path.join(course, "index.html"), "w") as f:
        f.write(PROBE_PAGE)
    opened = os.path.join(work, "opened")
    os.makedirs(os.path.join(work, "bin"))
    with open(os.path.join(work, "bin", "xdg-open"), "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$@\" > '%s'\n" % opened)
    os.chmod(os.path.join(work, "bin", "xdg-open"), 0o755)

    player = Player(args, display, work, [course])
    main = display.window("Varnel Player - probe")
    player.wait_logged(r"Request: action=probe&what=ready$")

    display.window_after("Varnel Player", lambda: display.keys(main, "a"))
    display.answer("Varnel Player", "Return")
    player.wait_logged(r"Request: action=probe&what=alerted$")

    saved = os.path.join(work, "saved.csv")
    display.window_after("Save File", lambda: display.keys(main, "d"))
    display.accept("Save File", saved)
    wait_for("the saved CSV text", lambda: os.path.exists(saved) and os.path.getsize(saved) > 0)
    with open(saved, encoding="cp1252") as f:
        expect(f.read().startswith("Kelmo Statistics,"), "the saved file is not the group statistics")

    printed = display.window_after("Your result", lambda: display.keys(main, "p"))
    expect(main in display.windows("Varnel Player - probe"), "the main window went away")
    # Closing the page's window leaves the player as it was.
    resend_until("the printable page's window to close", lambda: display.close_window(printed),
                 lambda: not display.windows("Your result"))

    resend_until("xdg-open to get the address", lambda: display.keys(main, "x"), lambda: os.path.exists(opened))
    with open(opened) as f:
        expect(f.read() == "http://example.invalid/elsewhere\n", "xdg-open got another address")
    still_here = r"Request: action=probe&what=still-here$"
    resend_until("a log line like %r" % still_here, lambda: display.keys(main, "m"),
                 lambda: re.search(still_here, player.logged(), re.M))

    expect(player.close(display, main) == 0, "the player did not end with status 0")


def case_broken(args, display, work):
    """Content that cannot be opened: an error message, and the window still shows the server."""
    broken = os.path.join(work, "broken.vrn")
    with open(broken, "wb") as f:
        f.write(b"\x44\x89\x24\x67\x02" + bytes(7))
    player = Player(args, display, work, [broken])
    display.answer("Error", "Return")
    # Without a project title the caption names the content itself.
    main = display.window("Varnel Player - broken.vrn")
    expect("Server error:" in player.ask("action=probe"), "the server does not answer with its error page")
    expect("Cannot open the content " + broken in player.errors(), "the reason was not told")
    expect(player.close(display, main) == 0, "the player did not end with status 0")


def case_second(args, display, work):
    """A second player on the data folder a running one holds: the reason in a message box, then status 1."""
    env = dict(os.environ, DISPLAY="", WAYLAND_DISPLAY="", XDG_DATA_HOME=os.path.join(work, "data"),
               XDG_CONFIG_HOME=os.path.join(work, "config"))
    first = subprocess.Popen([args.player, "--serve", args.package], env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True)
    try:
        expect(first.stdout.readline().startswith("http://127.0.0.1:"), "the first player does not serve")
        player = Player(args, display, work, [args.package])
        display.keys(display.window("Error"), "Return")
        expect(player.end() == 1, "the second player did not end with status 1")
        data = os.path.join(os.path.dirname(args.package), "knots") + "/"
        told = ("Error: The data folder %s is in use by another player: close that player, then start this one again."
                % data)
        expect(told in player.errors(), "the reason was not told:\n" + player.errors())
        expect(first.poll() is None, "the first player ended")
    finally:
        first.send_signal(signal.SIGTERM)
        first.wait(LIMIT)


CASES = {"sample": case_sample, "open-dialog": case_open_dialog, "restore": case_restore, "browser": case_browser,
         "broken": case_broken, "second": case_second}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--player", required=True)
    parser.add_argument("--packer", required=True)
    parser.add_argument("--course", required=True)
    parser.add_argument("--shots", required=True, help="folder for the screenshots")
    args = parser.parse_args()

    missing = [tool for tool in ("Xvfb", "xdotool") if shutil.which(tool) is None]
    if missing:
        print("SKIPPED: %s not installed (scripts/packages.txt lists them)" % ", ".join(missing))
        return SKIPPED
    work = tempfile.mkdtemp(prefix="varnel-window-")
    display = None
    try:
        display = Display(work)
        args.package = os.path.join(work, "knots.vrn")
        subprocess.run([args.packer, args.course, args.package], check=True, stdout=subprocess.DEVNULL)
        os.makedirs(args.shots, exist_ok=True)
        os.makedirs(os.path.join(work, "home"))
        CASES[args.case](args, display, os.path.join(work, "home"))
        print("PASSED: " + args.case)
        return 0
    except Failure as failure:
        print("FAILED: %s: %s" % (args.case, failure))
        for name in ("player-%d.err" % Player.runs, "debug-%d.log" % Player.runs):
            path = os.path.join(work, "home", name)
            if os.path.exists(path):
                with open(path, encoding="utf-8", errors="replace") as f:
                    print("---- %s (end)\n%s" % (name, "".join(f.readlines()[-30:])))
        if display:
            state = "running" if display.server.poll() is None else "ended with %d" % display.server.returncode
            print("---- Xvfb on %s, %s (end)\n%s" % (display.name, state, display.messages()))
        return 1
    finally:
        if display:
            display.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
