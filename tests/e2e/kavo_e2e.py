"""Drives the real kavo.exe on a wine_desktop.py desktop: input from xdotool, read back by the driver."""

import contextlib
import os
import pathlib
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "desktop"))
import wine_desktop  # noqa: E402
from wine_desktop import QUIET, WINE_RUN  # noqa: E402,F401

EXE, DRIVER, RECORDER, ARTIFACTS, ONE, TWO, MEDIA_ONE, MEDIA_TWO = (os.environ.get("KAVO_" + k, "") for k in (
    "EXE", "DRIVER", "RECORDER", "ARTIFACTS", "SITE_ONE_DOMAIN", "SITE_TWO_DOMAIN", "SITE_ONE_MEDIA_HOST",
    "SITE_TWO_MEDIA_HOST"))
BOX, DOWNLOAD, GET, ABOUT, CLOSE, BOX_NAME = 1001, 1002, 1003, 1004, 1005, 1006


def unhex(units):
    return bytes.fromhex(units).decode("utf-16-be", "surrogatepass")


def rect(text):  # "left,top,right,bottom" as (left, top, width, height)
    left, top, right, bottom = map(int, text.split(","))
    return left, top, right - left, bottom - top


def parse(output):  # the driver's key=value lines; each control row becomes a dict
    result = {"control": [], "popup_control": []}
    for line in output.splitlines():
        key, _, value = line.rstrip("\r").partition("=")
        if key in result:
            cid, cls, where, style, name, text = value.split(" ")
            result[key].append({"id": int(cid), "class": cls.lower(), "rect": rect(where), "style": int(style),
                                "name": unhex(name), "text": unhex(text)})
        elif key:
            result[key] = value
    result["controls"] = {c["id"]: c for c in result["control"]}
    return result


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def wait_for(probe, expected, timeout=10.0):
    deadline = time.monotonic() + timeout
    while (value := probe()) != expected and time.monotonic() < deadline:
        time.sleep(0.1)
    return value


def centre(r):
    return r[0] + r[2] // 2, r[1] + r[3] // 2


class Desktop(wine_desktop.Desktop):  # in the tests' own prefix; screenshots kept as artifacts
    def __init__(self):
        super().__init__(os.environ["KAVO_WINEPREFIX"])

    def settle(self):  # the server ends by itself once nothing runs: the next start reads all afresh
        with contextlib.suppress(subprocess.TimeoutExpired):
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=30, check=False)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, timeout=20, check=True, **QUIET)

    def wine(self, *args, text=""):  # text: the program's standard input
        with tempfile.TemporaryFile() as out:
            subprocess.run([WINE_RUN, *map(str, args)], env=self.env, input=text.encode(), stdout=out,
                           stderr=subprocess.DEVNULL, timeout=60, check=False)
            out.seek(0)
            return out.read().decode()

    def driver(self, *args, text=""):
        return parse(self.wine(DRIVER, *args, text=text))

    def screenshot(self, r, name):
        """Saves that part of the screen as an artifact; returns pixel(x, y) -> (r, g, b)."""
        path = pathlib.Path(ARTIFACTS or tempfile.gettempdir()) / name
        super().screenshot(r, path)
        rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        return lambda x, y: tuple(rgb[3 * (y * r[2] + x):][:3])


class Kavo:  # one running kavo.exe on a Desktop
    def __init__(self, desktop, exe=EXE, cwd=None, **env):
        self.desktop = desktop
        self.program = desktop.start(exe, cwd=cwd, **env)
        self.process, self.started = self.program.process, desktop.driver("wait")
        if "window" not in self.started:
            self.close()
            raise RuntimeError("the driver did not find Kavo's window")
        # With no window manager, X gives the keyboard to nobody until told to.
        desktop.xdotool("windowfocus", "--sync", self.program.window)

    def close(self):
        if self.program in self.desktop.programs:
            self.desktop.end(self.program)

    def info(self, key=None):
        info = self.desktop.driver("info")
        return info.get(key, "") if key else info

    def window(self):  # its X window's place and size, which Wine keeps to the window's: no driver to start
        return self.desktop.geometry(self.program.window)

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

    def drop(self, text, at=None, *kind):
        """An OLE drag of text (or, kind "file", a file) dropped at a point, or the box's centre: the
        effects the pointer showed and it ended with, as "SHOWN,DONE", and the box's text then."""
        self.desktop.xdotool("mousemove", *(at or centre(self.info()["controls"][BOX]["rect"])))
        info = self.desktop.driver("drag", *kind, text=text)
        return info["effect"], unhex(info["text"])


class KavoTestCase(unittest.TestCase):  # one display for the class's tests
    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()  # ends what the class started
        cls.desktop.settle()

    def start(self, **kwargs):  # a kavo.exe for this test alone
        kavo = Kavo(self.desktop, **kwargs)
        self.addCleanup(kavo.close)
        return kavo
