"""Drives the real kavo.exe under Xvfb and Wine: real input from xdotool, read back through the
Win32 test driver. Every process a test starts is ended by its PID; the Wine prefix's own helper
processes are ended with `wineserver -k` for that prefix."""

import os
import pathlib
import shutil
import subprocess
import tempfile
import time
import unittest

HERE = pathlib.Path(__file__).resolve().parent
WINE_RUN = str(HERE / "wine-run")
EXE = os.environ.get("KAVO_EXE", "")
DRIVER = os.environ.get("KAVO_DRIVER", "")
ARTIFACTS = pathlib.Path(os.environ.get("KAVO_ARTIFACTS", tempfile.gettempdir() + "/kavo-artifacts"))

TEXT1, COMMAND1, COMMAND2, COMMAND3, LABEL3 = 1001, 1002, 1003, 1004, 1005

# The site values this build of kavo.exe was configured with.
SITE_ONE = os.environ.get("KAVO_SITE_ONE_DOMAIN", "video-one.example")
SITE_TWO = os.environ.get("KAVO_SITE_TWO_DOMAIN", "video-two.example")
MEDIA_ONE = os.environ.get("KAVO_SITE_ONE_MEDIA_HOST", "media.video-one.example")
MEDIA_TWO = os.environ.get("KAVO_SITE_TWO_MEDIA_HOST", "media.video-two.example")


def unhex(units):
    """The driver prints text as hex UTF-16 code units."""
    return bytes.fromhex(units).decode("utf-16-be", "surrogatepass")


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def wait_for(probe, expected, timeout=10.0):
    """Polls probe() until it returns expected or the time is up; returns the last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value == expected or time.monotonic() > deadline:
            return value
        time.sleep(0.1)


class Rect:
    def __init__(self, text):
        self.left, self.top, self.right, self.bottom = map(int, text.split(","))
        self.width, self.height = self.right - self.left, self.bottom - self.top

    def centre(self):
        return (self.left + self.right) // 2, (self.top + self.bottom) // 2


def parse(output):
    """key=value lines; keys that repeat become lists."""
    result = {}
    for line in output.splitlines():
        key, _, value = line.partition("=")
        if key in ("control", "popup_control", "icon", "string"):
            result.setdefault(key, []).append(value)
        elif key:
            result[key] = value
    return result


class Desktop:
    """An Xvfb display of our own, and a Wine prefix's processes on it."""

    def __init__(self, width=1024, height=768):
        self.env = dict(os.environ)
        self.env.setdefault("WINEPREFIX", tempfile.gettempdir() + "/kavo-e2e-prefix")
        # Wine reads Unix paths and arguments in the locale's encoding: make it UTF-8.
        self.env["LC_ALL"] = "C.UTF-8"
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.xvfb.kill()
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        self.xvfb.terminate()
        try:
            self.xvfb.wait(10)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
            self.xvfb.wait(10)

    def xdotool(self, *args, timeout=20):
        try:
            subprocess.run(["xdotool", *map(str, args)], env=self.env, timeout=timeout, check=True,
                           stdout=subprocess.DEVNULL)
        except subprocess.SubprocessError as e:
            raise AssertionError(f"xdotool {' '.join(map(str, args[:12]))} ... failed: {type(e).__name__}") from None

    def driver(self, *args, timeout=60):
        # Output goes to a file: Wine's helper processes inherit handles, and would hold a pipe open.
        with tempfile.TemporaryFile() as out:
            subprocess.run([WINE_RUN, DRIVER, *map(str, args)], env=self.env, stdout=out,
                           stderr=subprocess.DEVNULL, timeout=timeout, check=False)
            out.seek(0)
            return parse(out.read().decode("utf-8", "replace"))

    def screenshot(self, rect, name):
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        path = ARTIFACTS / name
        subprocess.run(["import", "-window", "root", "-crop",
                        f"{rect.width}x{rect.height}+{rect.left}+{rect.top}", "+repage", str(path)],
                       env=self.env, timeout=30, check=True)
        return path


class Kavo:
    """One running kavo.exe on a Desktop."""

    def __init__(self, desktop, exe=EXE, cwd=None):
        self.desktop = desktop
        self.process = subprocess.Popen([WINE_RUN, exe], env=desktop.env, cwd=cwd,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.started = desktop.driver("wait")
        if self.started.get("form") != "1":
            self.close()
            raise RuntimeError("Kavo's window did not appear")
        # With no window manager, X gives the keyboard to nobody until told to.
        desktop.xdotool("search", "--sync", "--onlyvisible", "--name", "^Kavo$", "windowfocus", "--sync")

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(10)

    def info(self):
        info = self.desktop.driver("info")
        info["controls"] = {}
        for row in info.get("control", []):
            cid, cls, rect, style, text = row.split(" ")
            info["controls"][int(cid)] = {"class": unhex(cls), "rect": Rect(rect), "style": int(style),
                                          "text": unhex(text)}
        return info

    def window(self):
        return Rect(self.desktop.driver("info")["window"])

    def drag(self, start, delta, button=1):
        """Presses a button at start (x, y), moves by delta in steps, releases."""
        (x, y), (dx, dy) = start, delta
        self.desktop.xdotool("mousemove", x, y, "mousedown", button, "sleep", 0.3,
                             "mousemove", x + dx // 3, y + dy // 3, "sleep", 0.2,
                             "mousemove", x + dx, y + dy, "sleep", 0.3, "mouseup", button)

    def text(self):
        return unhex(self.desktop.driver("text").get("text", ""))

    def focus(self):
        return int(self.desktop.driver("info").get("focus", 0))

    def click(self, control, button=1):
        x, y = self.info()["controls"][control]["rect"].centre()
        # No --sync: it waits forever when the pointer is already there.
        self.desktop.xdotool("mousemove", x, y, "click", button)

    def keys(self, *keys):
        self.desktop.xdotool("key", "--delay", 30, *keys)

    def type(self, text):
        self.desktop.xdotool("type", "--delay", 10, "--", text)

    def paste(self, text):
        """Replaces the text box's text by a real Ctrl+A, Ctrl+V of text put on the clipboard.
        Wine hands a fresh clipboard to its X side asynchronously, so a paste that came too early
        is tried again (three times at most)."""
        with tempfile.NamedTemporaryFile(suffix=".txt", delete=False) as f:
            f.write(text.encode("utf-16-le", "surrogatepass"))
        try:
            for _ in range(3):
                assert self.desktop.driver("clip", windows_path(f.name)).get("form") is None
                self.click(TEXT1)
                self.keys("ctrl+a", "ctrl+v")
                if wait_for(self.text, text, 5) == text:
                    return
        finally:
            os.unlink(f.name)


class KavoTestCase(unittest.TestCase):
    """One display for the module's tests; a fresh kavo.exe for each test."""

    @classmethod
    def setUpClass(cls):
        for tool in ("Xvfb", "xdotool", "wineserver"):
            if not shutil.which(tool):
                raise RuntimeError(f"{tool} is missing")
        cls.desktop = Desktop()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    def setUp(self):
        self.kavo = Kavo(self.desktop)
        self.addCleanup(self.kavo.close)


class DesktopTestCase(KavoTestCase):
    """For tests that start kavo.exe themselves."""

    def setUp(self):
        pass
