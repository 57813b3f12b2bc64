"""Machinery for driving the built wizard from outside, as a person would.

The wizard runs as its own Windows process under Wine, in a temporary Wine
prefix, on a private Xvfb display without a window manager (so Wine draws the
window frames and maps windows 1:1 onto the X screen). Input is real X pointer
and keyboard input sent with xdotool; what the window shows is read by the
window inspector, a small Windows program that runs beside the wizard in the
same prefix, and by screenshots taken with ImageMagick's import.
"""

import atexit
import os
import shutil
import signal
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The architecture of the programs under test: x64 runs natively, x86 under
# 32-bit Wine emulated by QEMU, through the same command users have.
ARCH = os.environ.get("WIZARD_ARCH", "x64")
WINE = os.path.join(ROOT, "tools", "wine32.sh") if ARCH == "x86" else "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
WINE_FONTS = "/usr/share/wine/fonts"

LOCALES = {"en": "C", "de": "de_DE.UTF-8"}

# The component files of the repair, relative to the common program files
# folder or (marked "system") to the system directory, in catalogue order:
# (path, registered by the repair, listed on the file version page).
CATALOGUE = [
    (r"%common%\System\ado\MSADO15.DLL", True, True),
    (r"%common%\System\ado\MSADER15.DLL", False, True),
    (r"%common%\System\ado\MSADOR15.DLL", True, True),
    (r"%common%\System\ado\MSADRH15.DLL", True, True),
    (r"%common%\System\ado\MSADOX.DLL", True, True),
    (r"%common%\System\ado\MSADOMD.dll", True, True),
    (r"%common%\System\ado\MSJRO.DLL", True, True),
    (r"%common%\System\MSADC\MSADCE.DLL", True, True),
    (r"%common%\System\MSADC\MSADCER.DLL", False, True),
    (r"%common%\System\MSADC\MSADCF.DLL", True, True),
    (r"%common%\System\MSADC\MSADCFR.DLL", False, True),
    (r"%common%\System\MSADC\MSADCO.DLL", True, True),
    (r"%common%\System\MSADC\MSADCOR.DLL", False, True),
    (r"%common%\System\MSADC\MSADCS.DLL", False, True),
    (r"%common%\System\MSADC\MSADDS.DLL", True, True),
    (r"%common%\System\MSADC\MSADDSR.DLL", False, True),
    (r"%common%\System\MSADC\MSDAPRST.DLL", True, True),
    (r"%common%\System\Ole DB\OLEDB32.DLL", True, True),
    (r"%common%\System\Ole DB\MSXACTPS.DLL", True, True),
    (r"%common%\System\Ole DB\MSDAENUM.DLL", True, True),
    (r"%common%\System\Ole DB\MSDAURL.DLL", True, False),
    (r"%common%\System\Ole DB\MSDATT.DLL", True, True),
    (r"%common%\System\Ole DB\MSDASQL.DLL", True, True),
    (r"%common%\System\Ole DB\MSDAOSP.DLL", True, True),
    (r"%common%\System\Ole DB\MSDAORA.DLL", True, True),
    (r"%common%\System\Ole DB\MSDAPS.DLL", True, True),
    (r"%common%\System\Ole DB\MSDADC.DLL", True, True),
    (r"%common%\System\Ole DB\MSDAER.DLL", False, True),
    (r"%system%\msjet40.dll", True, False),
    (r"%system%\msjtes40.dll", True, False),
    (r"%system%\msjetoledb40.dll", True, False),
]
JET_FILES = [path for path, _, _ in CATALOGUE if path.startswith("%system%")]


def file_name(path):
    return path.rsplit("\\", 1)[-1]


class Scenario:
    """What a prefix holds before the wizard starts: the MDAC version in the
    registry and the component files with their versions."""

    def __init__(self, name, mdac=None, jet=None, components=None, missing=(), unversioned=(), older=None, xp=False,
                 dpi=None, windows=None):
        self.name = name
        self.mdac = mdac              # FullInstallVer, or None for no DataAccess key
        self.jet = jet                # version of the three Jet files, or None
        self.components = components  # version of the other component files, or None
        self.missing = set(missing)
        self.unversioned = set(unversioned)
        self.older = older or {}      # file name -> version
        self.xp = xp
        self.dpi = dpi                # screen dots per inch, or None for 96
        self.windows = "winxp" if xp else windows  # the Windows version Wine reports, or None for Wine's own

    def release_prefix(self):
        """The start of a file version that belongs to the Windows the
        scenario runs (Vista and later), as a file list sees it."""
        return {None: "6.1.", "win7": "6.1.", "win10": "10.0."}.get(self.windows)

    def commands(self):
        commands = []
        if self.dpi:
            commands += ["dword", r"HKCU\Control Panel\Desktop", "LogPixels", str(self.dpi)]
        if self.mdac:
            commands += ["sz", r"HKLM\Software\Microsoft\DataAccess", "FullInstallVer", self.mdac]
        if self.windows:
            commands += ["sz", r"HKCU\Software\Wine", "Version", self.windows]
        for path, registered, _ in CATALOGUE:
            name = file_name(path)
            version = self.jet if path in JET_FILES else self.components
            if version is None or name in self.missing:
                continue
            commands += ["native", name]
            if name in self.unversioned:
                commands += ["unversioned", path]
            else:
                commands += ["install", path, self.older.get(name, version)]
            # Installed components have their classes registered.
            if registered:
                commands += ["register", path]
        return commands

    def file_version(self, path):
        """The version the file list shows, or None for a file that is not there."""
        name = file_name(path)
        version = self.jet if path in JET_FILES else self.components
        if version is None or name in self.missing or name in self.unversioned:
            return None
        return ".".join(self.older.get(name, version).split(".")[:3])

    def registered(self):
        """The files the repair registers, in order: a file without version
        information has no path in the catalogue and is left out."""
        return [file_name(path) for path, registered, _ in CATALOGUE
                if registered and self.file_version(path) is not None]


def windows_path(unix_path):
    """Wine shows the Unix root as drive Z:."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def built(variable):
    """The Unix path of a file built beside the tests, named by an environment variable."""
    path = os.environ.get(variable, "")
    if not path or not os.path.exists(path):
        raise RuntimeError("%s does not name a built file (%r)" % (variable, path))
    return path


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"r": "\r", "n": "\n", "t": "\t", "\\": "\\"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def _fields(text, last):
    """Splits 'a=1 b=2 last=rest with spaces' into a dict; the last key takes the rest."""
    result = {}
    marker = " " + last + "="
    rest = ""
    if marker in " " + text:
        head, rest = (" " + text).split(marker, 1)
        text = head.strip()
        result[last] = unescape(rest)
    for part in text.split():
        if "=" in part:
            key, value = part.split("=", 1)
            result[key] = value
    return result


def _rect(text):
    return tuple(int(v) for v in text.split(","))


class _Cleanup:
    """Ends what the suite started, also when it is interrupted."""

    def __init__(self):
        self.actions = []
        atexit.register(self.run)
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(sig, self._on_signal)

    def add(self, action):
        self.actions.append(action)
        return action

    def discard(self, action):
        if action in self.actions:
            self.actions.remove(action)

    def run(self):
        while self.actions:
            action = self.actions.pop()
            try:
                action()
            except Exception:  # cleanup goes on whatever one step does
                pass

    def _on_signal(self, number, _frame):
        self.run()
        raise SystemExit(128 + number)


CLEANUP = _Cleanup()


class Display:
    """A private Xvfb display."""

    def __init__(self, width=1024, height=768):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height), "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.time() + 15
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.decode().strip()
        self._cleanup = CLEANUP.add(self.stop)

    def env(self):
        return {"DISPLAY": self.name}

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=dict(os.environ, DISPLAY=self.name), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def click(self, x, y):
        self.xdotool("mousemove", x, y, "click", "1")

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def key(self, *keys):
        self.xdotool("key", *keys)

    def hold_key(self, key, seconds=0.15):
        self.xdotool("keydown", key)
        time.sleep(seconds)
        self.xdotool("keyup", key)

    def screenshot(self, path, rect):
        left, top, right, bottom = rect
        subprocess.run(["import", "-display", self.name, "-window", "root", "-crop",
                        "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage", path], check=True)

    def stop(self):
        CLEANUP.discard(self._cleanup)
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Prefix:
    """A Wine prefix of its own, in one interface language, on one display."""

    def __init__(self, path, language, display, base=None, fonts=None, kind=None):
        self.path = path
        self.language = language
        self.display = display
        self.inspector = None
        # The prefix's own architecture: the one under test, or a 64-bit
        # prefix that runs the 32-bit programs as 64-bit Windows does (WoW64).
        self.kind = kind or ARCH
        # The 32-bit programs, in a 64-bit prefix too, go through tools/wine32.sh:
        # it knows where the 32-bit Wine is.
        self.wine_command = "/usr/lib/wine/wine64" if self.kind == "x64" else WINE
        locale = LOCALES[language]
        self.env = dict(os.environ)
        for name in ("LANGUAGE", "LC_MESSAGES", "LC_CTYPE"):
            self.env.pop(name, None)
        self.env.update(display.env())
        self.env.update({"WINEPREFIX": path, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=",
                         "LC_ALL": locale, "LANG": locale})
        self._cleanup = CLEANUP.add(self.stop)
        if base is not None:
            subprocess.run(["cp", "-a", base, path], check=True)
        else:
            self._make(fonts)

    def _make(self, fonts):
        env = dict(self.env, LC_ALL="C", LANG="C")
        subprocess.run([os.path.join(ROOT, "tools", "new-prefix.sh"), "x64" if self.kind == "wow64" else self.kind,
                        self.path], env=env, check=True, stdout=subprocess.DEVNULL)
        # Wine's own fonts (Tahoma for the texts, Marlett for the caption
        # buttons) are not found by this Wine unless they lie in the prefix.
        folder = os.path.join(self.path, "drive_c", "windows", "Fonts")
        os.makedirs(folder, exist_ok=True)
        if os.path.isdir(WINE_FONTS):
            for name in os.listdir(WINE_FONTS):
                if name.endswith(".ttf") and (fonts is None or name in fonts):
                    shutil.copy(os.path.join(WINE_FONTS, name), folder)
        # No window manager: Wine draws the frames itself.
        self.fixture("sz", r"HKCU\Software\Wine\X11 Driver", "Managed", "N", env=env)
        recorder = os.environ.get("WIZARD_URL_RECORDER")
        if recorder:
            shutil.copy(recorder, os.path.join(self.path, "drive_c", "url-recorder.exe"))
            for scheme in ("http", "https"):
                self.fixture("sz", "HKCR\\%s\\shell\\open\\command" % scheme, "", '"C:\\url-recorder.exe" "%1"',
                             env=env)
        self.stop_server()

    def wine(self, *args, env=None, check=True, capture=False):
        return subprocess.run([self.wine_command] + list(args), env=env or self.env, check=check,
                              stdout=subprocess.PIPE if capture else subprocess.DEVNULL,
                              stderr=subprocess.PIPE if capture else subprocess.DEVNULL)

    def fixture(self, *commands, env=None):
        result = subprocess.run([self.wine_command, built("WIZARD_FIXTURE_TOOL")] + list(commands), env=env or self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if result.returncode != 0:
            raise RuntimeError("fixture_tool failed: %s" % result.stderr.decode(errors="replace"))

    def drive_c(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    def existing(self, windows_path):
        """The Unix path of a file or folder on drive C, its name compared as
        Windows compares names; None when it is not there."""
        here = self.drive_c()
        for part in windows_path[3:].split("\\"):
            names = {name.lower(): name for name in os.listdir(here)} if os.path.isdir(here) else {}
            if part.lower() not in names:
                return None
            here = os.path.join(here, names[part.lower()])
        return here

    def opened_urls(self):
        try:
            with open(self.drive_c("opened-urls.txt"), encoding="utf-8", errors="replace") as log:
                return [line.strip() for line in log if line.strip()]
        except FileNotFoundError:
            return []

    def clear_opened_urls(self):
        try:
            os.remove(self.drive_c("opened-urls.txt"))
        except FileNotFoundError:
            pass

    def prepare(self, scenario):
        """Sets the scenario up; the server restarts so that the wizard sees it
        all, in the prefix's language, from its start."""
        commands = scenario.commands()
        if commands:
            self.fixture(*commands)
        self.stop_server()

    def start_inspector(self):
        if self.inspector is None:
            self.inspector = Inspector(self)
        return self.inspector

    def start_wizard(self, extra_env=None, program=None, cwd=None):
        return Wizard(self, extra_env, program, cwd)

    def stop_server(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        CLEANUP.discard(self._cleanup)
        if self.inspector is not None:
            self.inspector.stop()
            self.inspector = None
        self.stop_server()


class State:
    """What the wizard shows at one moment, as the inspector read it."""

    def __init__(self, lines):
        self.present = False
        self.window = {}
        self.front = None
        self.focus = None
        self.controls = {}
        self.popups = []
        for line in lines:
            kind, _, rest = line.partition(" ")
            if kind in ("window", "inventory"):  # the wizard's frame, or the inventory window's
                self.window = _fields(rest, "title")
                self.present = self.window.get("present") == "1"
                if "rect" in self.window:
                    self.window["rect"] = _rect(self.window["rect"])
            elif kind == "front":
                self.front = rest
            elif kind == "focus":
                self.focus = rest
            elif kind == "control":
                name, _, fields = rest.partition(" ")
                control = _fields(fields, "text")
                if "rect" in control:
                    control["rect"] = _rect(control["rect"])
                self.controls[name] = control
            elif kind == "popup":
                self.popups.append(_fields(rest, "texts"))

    def text(self, name):
        return self.controls[name]["text"]

    def visible(self, name):
        """The control's own visible flag."""
        return self.controls[name]["visible"] == "1"

    def seen(self):
        """The controls that can be seen, as assistive technology finds them:
        visible, on a visible parent."""
        return {name for name, control in self.controls.items() if control.get("seen") == "1"}

    def enabled(self, name):
        return self.controls[name]["enabled"] == "1"

    def centre(self, name):
        left, top, right, bottom = self.controls[name]["rect"]
        return (left + right) // 2, (top + bottom) // 2

    def rect(self, name):
        return self.controls[name]["rect"]

    def __repr__(self):
        return "State(front=%s, focus=%s, popups=%s)" % (self.front, self.focus, self.popups)


class InventoryState(State):
    """The window of what programs can use, as the inspector read it: its
    frame as window, its controls, focus and list."""

    def __init__(self, lines):
        super().__init__(lines)
        self.columns = []
        self.rows = []  # (image, [cells])
        for line in lines:
            kind, _, rest = line.partition(" ")
            if kind == "column":
                self.columns.append(_fields(rest.partition(" ")[2], "text")["text"])
            elif kind == "row":
                image, *cells = rest.split("\t")
                self.rows.append((int(image.split("=")[1]), [unescape(cell) for cell in cells]))


class Inspector:
    """The window inspector, running in the prefix and answering commands."""

    def __init__(self, prefix):
        self.process = subprocess.Popen([prefix.wine_command, built("WIZARD_WINDOW_INSPECTOR")], env=prefix.env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def ask(self, command):
        self.process.stdin.write((command + "\n").encode())
        self.process.stdin.flush()
        lines = []
        while True:
            raw = self.process.stdout.readline()
            if not raw:
                raise RuntimeError("the window inspector ended")
            line = raw.decode("utf-8", errors="replace").rstrip("\r\n")
            if line == ".":
                return lines
            lines.append(line)

    def state(self):
        return State(self.ask("state"))

    def checks(self):
        lines = self.ask("checks")
        fields = _fields(lines[0].partition(" ")[2], "-") if lines and lines[0].startswith("checks") else {}
        return {name: value == "1" for name, value in fields.items()}

    def rows(self):
        """The file list as (image, name, version, path) rows, and its column captions."""
        rows, columns = [], []
        for line in self.ask("rows"):
            if line.startswith("row "):
                image, name, version, path = line[4:].split("\t")
                rows.append((int(image.split("=")[1]), unescape(name), unescape(version), unescape(path)))
            elif line.startswith("column "):
                columns.append(_fields(line.partition(" ")[2].partition(" ")[2], "text")["text"])
        return rows, columns

    def inventory(self):
        return InventoryState(self.ask("inventory"))

    def accessible(self, only=""):
        """What a screen reader reads of each control (or of the one named):
        role, children, name, value, default action and the first child's name."""
        found = {}
        for line in self.ask(("accessible " + only).strip()):
            if not line.startswith("acc "):
                continue
            fields = line[4:].split("\t")
            if len(fields) < 7:
                found[fields[0]] = None
                continue
            found[fields[0]] = {"role": int(fields[1]), "children": int(fields[2]), "name": unescape(fields[3]),
                                "value": unescape(fields[4]), "action": unescape(fields[5]),
                                "first": unescape(fields[6])}
        return found

    def clipboard(self):
        for line in self.ask("clipboard"):
            if line.startswith("clipboard"):
                return unescape(line[len("clipboard "):])
        return None

    def close_box(self):
        for line in self.ask("closebox"):
            if line.startswith("closebox "):
                x, y = line.split()[1].split(",")
                return int(x), int(y)
        raise RuntimeError("no close box found")

    def stop(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b"quit\n")
                self.process.stdin.flush()
                self.process.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()


class Wizard:
    """The built program, started as its own process in a prefix."""

    def __init__(self, prefix, extra_env=None, program=None, cwd=None):
        """program: another copy of the program to start (a Unix path); cwd:
        the Unix directory it starts in, drive C's folders included."""
        self.prefix = prefix
        self.display = prefix.display
        self.inspector = prefix.start_inspector()
        env = dict(prefix.env)
        env.update(extra_env or {})
        self.started = time.monotonic()
        self.process = subprocess.Popen([prefix.wine_command, program or built("WIZARD_PROGRAM")], env=env, cwd=cwd,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._cleanup = CLEANUP.add(self.kill)
        self.state = self.wait_for(lambda s: s.present and s.window.get("visible") == "1", 30,
                                   "the wizard's window to show")

    def snapshot(self):
        self.state = self.inspector.state()
        return self.state

    def wait_for(self, condition, timeout=10, what="the condition"):
        deadline = time.monotonic() + timeout
        while True:
            state = self.snapshot()
            if condition(state):
                return state
            if time.monotonic() > deadline:
                raise AssertionError("timed out waiting for %s; last state %r" % (what, state))
            time.sleep(0.05)

    def wait_page(self, page, timeout=10):
        return self.wait_for(lambda s: s.front == page, timeout, "page " + page)

    def click(self, name):
        x, y = self.state.centre(name)
        self.display.click(x, y)

    def click_at(self, x, y):
        self.display.click(x, y)

    def key(self, *keys):
        # Without a window manager the keyboard follows the pointer.
        left, top, right, bottom = self.state.window["rect"]
        self.display.move((left + right) // 2, top + 8)
        self.display.key(*keys)

    def wait_inventory(self, condition, timeout=10, what="the window of what programs can use"):
        deadline = time.monotonic() + timeout
        while True:
            state = self.inspector.inventory()
            if condition(state):
                return state
            if time.monotonic() > deadline:
                raise AssertionError("timed out waiting for %s; last state %r" % (what, state))
            time.sleep(0.05)

    def key_in(self, rect, *keys):
        """Keys for the window with that frame: the keyboard follows the pointer."""
        left, top, right, bottom = rect
        self.display.move((left + right) // 2, top + 8)
        if keys:
            self.display.key(*keys)

    def hold_key(self, key, seconds=0.15):
        left, top, right, bottom = self.state.window["rect"]
        self.display.move((left + right) // 2, top + 8)
        self.display.hold_key(key, seconds)

    def click_close_box(self):
        self.display.click(*self.inspector.close_box())

    def alive(self):
        return self.process.poll() is None

    def wait_gone(self, timeout=10):
        """True when the process has ended within the time."""
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return False
        CLEANUP.discard(self._cleanup)
        return True

    def screenshot(self, path):
        self.display.screenshot(path, self.state.window["rect"])

    def kill(self):
        CLEANUP.discard(self._cleanup)
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def work_root(name):
    """A fresh directory for the run's prefixes, removed at the end."""
    parent = os.environ.get("WIZARD_TEST_ROOT") or None
    path = tempfile.mkdtemp(prefix=name + "-", dir=parent)
    CLEANUP.add(lambda: shutil.rmtree(path, ignore_errors=True))
    return path
