"""Drives the real kavo.exe under Xvfb and Wine: real input from xdotool, read back by the Win32
test driver. Every process a test starts is ended by its PID, and the Wine prefix's own helper
processes by `wineserver -k` for that prefix."""

import os
import pathlib
import subprocess
import tempfile
import time
import unittest

WINE_RUN = str(pathlib.Path(__file__).resolve().parents[2] / "scripts" / "wine-run")
EXE, DRIVER, RECORDER, ARTIFACTS, ONE, TWO, MEDIA_ONE, MEDIA_TWO = (os.environ.get("KAVO_" + k, "") for k in (
    "EXE", "DRIVER", "RECORDER", "ARTIFACTS", "SITE_ONE_DOMAIN", "SITE_TWO_DOMAIN", "SITE_ONE_MEDIA_HOST",
    "SITE_TWO_MEDIA_HOST"))
BOX, DOWNLOAD, GET, ABOUT, CLOSE, BOX_NAME = 1001, 1002, 1003, 1004, 1005, 1006
QUIET = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}


def unhex(units):
    return bytes.fromhex(units).decode("utf-16-be", "surrogatepass")


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def wait_for(probe, expected, timeout=10.0):
    """Polls probe() until it returns expected or the time is up; returns the last value."""
    deadline = time.monotonic() + timeout
    while (value := probe()) != expected and time.monotonic() < deadline:
        time.sleep(0.1)
    return value


def rect(text):  # "left,top,right,bottom" as (left, top, width, height)
    left, top, right, bottom = map(int, text.split(","))
    return left, top, right - left, bottom - top


def centre(r):
    return r[0] + r[2] // 2, r[1] + r[3] // 2


class Desktop:  # an Xvfb display of our own, and the Wine prefix's processes on it
    def __init__(self):
        # Wine reads Unix text as UTF-8. wine-run runs programs in KAVO_WINEPREFIX; wineserver,
        # called directly, is given the same prefix. The tests register handlers and drives in
        # it, so it must be named: never the user's own Kavo prefix by default.
        prefix = os.environ["KAVO_WINEPREFIX"]
        self.env = dict(os.environ, LC_ALL="C.UTF-8", KAVO_WINEPREFIX=prefix, WINEPREFIX=prefix)
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(write,), **QUIET)
        os.close(write)
        with os.fdopen(read) as pipe:
            self.env["DISPLAY"] = ":" + pipe.readline().strip()

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30, check=False)
        self.xvfb.kill()
        self.xvfb.wait(10)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, timeout=20, check=True, **QUIET)

    def wine(self, *args):
        # To a file, not a pipe: Wine's helper processes inherit handles and would hold a pipe open.
        with tempfile.TemporaryFile() as out:
            subprocess.run([WINE_RUN, *map(str, args)], env=self.env, stdout=out, stderr=subprocess.DEVNULL,
                           timeout=60, check=False)
            out.seek(0)
            return out.read().decode()

    def driver(self, *args):  # the driver's key=value lines; each control row becomes a dict
        result = {"control": [], "popup_control": []}
        for line in self.wine(DRIVER, *args).splitlines():
            key, _, value = line.rstrip("\r").partition("=")
            if key in result:
                cid, cls, where, style, name, text = value.split(" ")
                result[key].append({"id": int(cid), "class": cls.lower(), "rect": rect(where), "style": int(style),
                                    "name": unhex(name), "text": unhex(text)})
            elif key:
                result[key] = value
        result["controls"] = {c["id"]: c for c in result["control"]}
        return result

    def screenshot(self, r, name):
        """Saves that part of the screen as an artifact; returns pixel(x, y) -> (r, g, b)."""
        path = pathlib.Path(ARTIFACTS or tempfile.gettempdir()) / name
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop", "{2}x{3}+{0}+{1}".format(*r), "+repage", path],
                       env=self.env, timeout=30, check=True)
        rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        return lambda x, y: tuple(rgb[3 * (y * r[2] + x):][:3])


class Kavo:  # one running kavo.exe on a Desktop
    def __init__(self, desktop, exe=EXE, cwd=None, **env):
        self.desktop = desktop
        self.process = subprocess.Popen([WINE_RUN, exe], env=dict(desktop.env, **env), cwd=cwd, **QUIET)
        self.started = desktop.driver("wait")
        if "window" not in self.started:
            self.close()
            raise RuntimeError("Kavo's window did not appear")
        # With no window manager, X gives the keyboard to nobody until told to.
        desktop.xdotool("search", "--sync", "--onlyvisible", "--name", "^Kavo$", "windowfocus", "--sync")

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(10)

    def info(self, key=None):
        info = self.desktop.driver("info")
        return info.get(key, "") if key else info

    def window(self):
        return rect(self.info("window"))

    def text(self):
        return unhex(self.info("text"))

    def click(self, control, button=1):
        # No --sync: it waits forever when the pointer is already there.
        self.desktop.xdotool("mousemove", *centre(self.info()["controls"][control]["rect"]), "click", button)

    def drag(self, start, delta, button=1, *before_release):  # e.g. "key", "Escape"
        (x, y), (dx, dy) = start, delta
        self.desktop.xdotool("mousemove", x, y, "mousedown", button, "sleep", 0.3, "mousemove", x + dx // 3,
                             y + dy // 3, "sleep", 0.2, "mousemove", x + dx, y + dy, *before_release, "sleep", 0.3,
                             "mouseup", button)

    def keys(self, *keys):
        self.desktop.xdotool("key", "--delay", 30, *keys)

    def type(self, text):
        self.desktop.xdotool("type", "--delay", 10, "--", text)

    def paste(self, text):
        """Ctrl+A, Ctrl+V of text that xclip offers on the X clipboard while it runs."""
        clip = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard"], stdin=subprocess.PIPE,
                                env=self.desktop.env, **QUIET)
        try:
            clip.stdin.write(text.encode())
            clip.stdin.close()
            self.click(BOX)
            self.keys("ctrl+a", "ctrl+v")
            units = len(text.encode("utf-16-le")) // 2
            expected = str(units), text.encode("utf-16-be").hex() if units < 100_000 else ""  # long: length only
            if (got := wait_for(lambda: ((i := self.info())["length"], i["text"]), expected, 10)) != expected:
                raise AssertionError(f"the paste did not arrive: the box holds {got[0]} units, not {units}")
        finally:
            clip.kill()
            clip.wait(10)


class KavoTestCase(unittest.TestCase):  # one display for the class's tests, a fresh kavo.exe for each
    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    def setUp(self):
        self.kavo = Kavo(self.desktop)
        self.addCleanup(self.kavo.close)
