"""The real kavo.exe under Wine, on a wine_desktop.py desktop, driven by xdotool and read back by the
window driver: what it carries, what its window shows and hands on (addresses: unit tests)."""

import contextlib
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import pefile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "desktop"))
import wine_desktop  # noqa: E402
from wine_desktop import QUIET, WINE_RUN  # noqa: E402,F401

EXE, DRIVER, ARTIFACTS, ONE, TWO, MEDIA_ONE, MEDIA_TWO = (os.environ.get("KAVO_" + k, "") for k in (
    "EXE", "DRIVER", "ARTIFACTS", "SITE_ONE_DOMAIN", "SITE_TWO_DOMAIN", "SITE_ONE_MEDIA_HOST",
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


def wait_for(probe, expected, timeout=10.0):
    deadline = time.monotonic() + timeout
    while (value := probe()) != expected and time.monotonic() < deadline:
        time.sleep(0.1)
    return value


def centre(r):
    return r[0] + r[2] // 2, r[1] + r[3] // 2


class Desktop(wine_desktop.Desktop):  # in the tests' own prefix; screenshots kept as artifacts
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
        cls.desktop = Desktop(os.environ["KAVO_WINEPREFIX"])
        cls.addClassCleanup(cls.desktop.settle)
        cls.addClassCleanup(cls.desktop.close)  # ends what the class started, though its set-up failed

    def start(self, **kwargs):  # a kavo.exe for this test alone
        kavo = Kavo(self.desktop, **kwargs)
        self.addCleanup(kavo.close)
        return kavo


MAJOR, MINOR, PATCH, BUILD = map(int, os.environ["KAVO_VERSION"].split("."))  # from project() in CMake
CONTROLS = {  # id: class, caption, (left, top, width, height) in twips
    BOX: ("edit", "", (240, 675, 3135, 285)),
    DOWNLOAD: ("button", "Свали", (2400, 975, 915, 300)),
    GET: ("button", "Вземи", (1440, 975, 855, 300)),
    ABOUT: ("button", "За...", (480, 975, 855, 300)),
    CLOSE: ("static", "X", (3480, 0, 150, 225)),
}


def pixels(twips, dpi):
    return (twips * dpi + 720) // 1440  # MulDiv's rounding


def assert_laid_out(test, info, dpi):
    window = rect(info["window"])
    test.assertEqual(rect(info["client"]), (0, 0, pixels(3735, dpi), pixels(1575, dpi)))
    for cid, (cls, caption, twips) in CONTROLS.items():
        c = info["controls"][cid]
        left, top, width, height = c["rect"]
        test.assertEqual((c["class"], c["text"], left - window[0], top - window[1], width, height),
                         (cls, caption, *(pixels(t, dpi) for t in twips)), dpi)
    return window


class Executable(unittest.TestCase):
    def test_version_icons_manifest_and_windows_only_imports(self):
        pe = pefile.PE(EXE)
        fixed = pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS,
                          fixed.ProductVersionLS), (MAJOR << 16 | MINOR, PATCH << 16 | BUILD) * 2)
        strings = {k.decode(): v.decode() for info in pe.FileInfo[0]
                   for table in getattr(info, "StringTable", []) for k, v in table.entries.items()}
        self.assertTrue(strings.pop("CompanyName"))
        text = f"{MAJOR}.{MINOR:02}.{BUILD:04}"
        self.assertEqual(strings, {"FileDescription": "Kavo", "FileVersion": text, "InternalName": "kavo",
                                   "OriginalFilename": "kavo.exe", "ProductName": "Kavo", "ProductVersion": text})
        data = {(r.id, e.id): pe.get_data(e.directory.entries[0].data.struct.OffsetToData,
                                          e.directory.entries[0].data.struct.Size)
                for r in pe.DIRECTORY_ENTRY_RESOURCE.entries for e in r.directory.entries}
        group = data[14, 1]  # RT_GROUP_ICON: each entry, and what its RT_ICON image is
        image = lambda d: ("PNG", *struct.unpack_from(">IIBB", d, 16)) if d.startswith(b"\x89PNG") else (
            struct.unpack_from("<H", d, 14)[0])  # PNG: size, depth, RGBA; bitmap: bits per pixel
        icons = sorted((w or 256, colours, bits, image(data[3, rid])) for w, _, colours, _, _, bits, _, rid in
                       (struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(group[4])))
        self.assertEqual(icons, [(16, 16, 4, 4), (32, 16, 4, 4), (48, 0, 32, 32),
                                 (256, 0, 32, ("PNG", 256, 256, 8, 6))])
        manifest = data[24, 1]  # RT_MANIFEST
        self.assertIn(f'name="Kavo" version="{MAJOR}.{MINOR}.{PATCH}.{BUILD}"'.encode(), manifest)
        # Windows 10 and 11 alone: the DPI functions it imports came with Windows 10 1607
        self.assertEqual(re.findall(rb'supportedOS Id="([^"]+)"', manifest),
                         [b"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"])
        self.assertLessEqual({i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT},
                             {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "ole32.dll",
                              "msvcrt.dll"})  # shell32 is loaded by a download: not at start-up
        # Windows takes no drop target in a plain COM apartment; Wine does, so only the import shows it.
        self.assertIn(b"OleInitialize", {f.name for i in pe.DIRECTORY_ENTRY_IMPORT for f in i.imports})


class OneWindow(KavoTestCase):  # one kavo.exe for the checks that leave it open, at 96 DPI
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.kavo = Kavo(cls.desktop)
        # Given once the window is active, and before any test moves it.
        cls.focus = wait_for(lambda: (cls.kavo.text(), int(cls.kavo.info("focus"))), ("", BOX))

    def test_starts_borderless_empty_and_focused(self):
        info = self.kavo.started  # laid out and centred: the DPI test's, from 144 DPI and a work area
        # A popup that clips its controls: no caption, sizing frame, border or dialog frame.
        self.assertEqual(int(info["style"]) & 0x82C40000, 0x82000000)
        self.assertEqual(self.focus, ("", BOX))
        style = {cid: c["style"] for cid, c in info["controls"].items()}
        self.assertFalse(any(style[b] & 1 for b in (DOWNLOAD, GET, ABOUT)), "no default button")
        self.assertEqual(style[CLOSE] & 0x10100, 0x100, "SS_NOTIFY, no WS_TABSTOP")
        self.assertFalse(style[BOX_NAME] & 0x10000000, "the box's name is not shown")
        # The "X" in the highlight-text colour (white) straight on the red frame, again when it repaints alone.
        x_label = lambda pixel: [pixel(x, y) for x in range(232, 242) for y in range(15)]
        window = self.kavo.window()  # wherever another test left it
        pixel = self.desktop.screenshot(window, "kavo-96dpi.png")
        self.assertIn((255, 255, 255), x_label(pixel))
        self.assertGreater(pixel(232, 0)[0] - pixel(232, 0)[1], 60, "no opaque label background")
        self.desktop.driver("redraw", CLOSE)
        self.assertEqual(x_label(self.desktop.screenshot(window, "kavo-x-redrawn.png")), x_label(pixel))
        # Colours or high contrast changed: the look read again is the picture's (Wine has no high contrast).
        for message, wp in ((0x15, 0), (0x1A, 0x43)):  # WM_SYSCOLORCHANGE; WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST
            self.desktop.driver("send", message, wp)
            again = self.desktop.screenshot(window, "kavo-look.png")
            self.assertTrue(all(again(x, y) == pixel(x, y) for x in range(0, 249, 3) for y in range(0, 105, 3)))

    def test_tab_order_names_for_screen_readers_and_keys_that_run_nothing(self):
        names = {c["id"]: c["name"] for c in self.kavo.started["control"] if c["style"] & 0x10000}  # WS_TABSTOP
        self.assertEqual(names, {BOX: "Адрес на страницата на видеото", DOWNLOAD: "Свали", GET: "Вземи",
                                 ABOUT: "За..."})
        self.kavo.drop("ab")
        self.kavo.click(BOX)
        for key, expected in (("Tab", DOWNLOAD), ("Tab", GET), ("Tab", ABOUT), ("Tab", BOX), ("shift+Tab", ABOUT)):
            self.kavo.keys(key)
            self.assertEqual(wait_for(lambda: int(self.kavo.info("focus")), expected, 5), expected)
        self.assertEqual(int(self.desktop.driver("focus")["focus"]), ABOUT, "the window passes its focus on")
        self.kavo.click(BOX)
        self.kavo.keys("End", "c", "Return", "Escape", "KP_Enter", "d")
        self.assertEqual(wait_for(self.kavo.text, "abcd"), "abcd")  # neither emptied nor closed
        self.kavo.keys("Tab", "Tab", "Return")  # Enter clicks a focused button, as in any dialog:
        self.assertEqual(wait_for(self.kavo.text, ""), "")  # "Вземи" finds no page address

    def test_any_button_drags_the_background_until_it_is_released_and_controls_do_not(self):
        left, top = self.kavo.window()[:2]
        for control in (GET, CLOSE, BOX):  # sliding off "X" before letting go does not close
            self.kavo.drag(centre(self.kavo.info()["controls"][control]["rect"]), (-60, 50))
            self.assertEqual(self.kavo.window()[:2], (left, top), control)
        self.kavo.drop("")
        typed = ""  # the focus is left in the box
        for button, *escape in ((1,), (3,), (2,), (3, "key", "Escape"), (8,)):  # 8: the first X button
            self.kavo.drag((left + 6, top + 40), (40, -30), button, *escape)
            left, top = (left, top) if escape else (left + 40, top - 30)  # Escape: back where it was
            # The free pointer moves on; a key typed after it is handled after that move.
            self.desktop.xdotool("mousemove_relative", 50, 60)
            self.kavo.type(str(button))
            self.assertEqual(wait_for(self.kavo.text, typed := typed + str(button)), typed)
            self.assertEqual(self.kavo.window()[:2], (left, top), (button, escape))

    def test_a_drag_through_a_change_of_dpi_keeps_the_pointer_on_the_same_point_of_the_picture(self):
        left, top = self.kavo.window()[:2]  # gripped at (6, 40), on the frame left of the box
        self.desktop.xdotool("mousemove", left + 6, top + 40, "mousedown", 3, "sleep", 0.3, "mousemove", left + 16,
                             top + 50)
        try:  # carried onto a screen at 200 %, the window is twice the size, and so is the grip
            self.assertEqual(wait_for(lambda: self.kavo.window()[0], left + 10), left + 10)
            self.desktop.wine(DRIVER, "dpi", 96, 192)
            self.desktop.xdotool("mousemove", left + 100, top + 80)
            self.assertEqual(wait_for(self.kavo.window, (left + 88, top, 498, 210)), (left + 88, top, 498, 210))
        finally:
            self.desktop.xdotool("mouseup", 3)
            self.desktop.wine(DRIVER, "dpi", 192, 96)  # as the other tests expect it

    def test_a_dropped_text_is_kept_whole_and_get_replaces_it_undoably(self):
        page, media = f"http://{ONE}/play:Жаба\U0001F600z1", f"http://{MEDIA_TWO}/s/Жа/Жаба\U0001F600z1.flv"
        long = f"http://{TWO}/play:" + "x" * 200_000  # far past the edit control's default limit
        left, top = self.kavo.window()[:2]
        box = lambda: unhex((i := self.kavo.info())["text"]) or int(i["length"])  # too long to read back: its length
        seen = lambda text: text if 0 < len(text) < 100_000 else len(text)
        self.kavo.drop("old")
        self.assertEqual(self.kavo.drop(r"C:\windows\win.ini", None, "file"), ("0,0", "old"))  # "no", refused
        # Each row: a text dropped on the box or the picture, buttons clicked, the text left, then after Ctrl+Z.
        for text, at, buttons, after, undone in ((page, None, (), page, "old"),
                                                 (page, (left + 120, top + 20), (GET,), media, page),
                                                 (long, None, (DOWNLOAD, GET), "", long)):
            self.assertEqual((self.kavo.drop(text, at)[0], box()), ("1,1", seen(text)))  # DROPEFFECT_COPY
            for button in buttons:
                self.kavo.click(button)
            self.assertEqual(wait_for(box, seen(after), 30), seen(after))
            self.kavo.click(BOX)
            self.kavo.keys("ctrl+z")
            self.assertEqual(wait_for(box, seen(undone), 30), seen(undone))


class Starts(KavoTestCase):  # each test starts the kavo.exe it needs, or none while the registry changes
    def test_alt_f4_ends_it_and_it_starts_as_its_shortcut_says(self):
        kavo = self.start()
        kavo.keys("alt+F4")
        self.assertEqual(kavo.process.wait(10), 0)
        start = subprocess.Popen([WINE_RUN, "start", "/min", "/wait", "/unix", EXE], env=self.desktop.env, **QUIET)
        try:
            info = self.desktop.driver("wait")
            self.desktop.driver("send", 0x112, 0xF060)  # SC_CLOSE, as the taskbar button's Close does
            self.assertEqual(start.wait(10), 0)  # start.exe waits for Kavo
        finally:
            if start.poll() is None:  # Kavo is start's child: ended by its Windows process id
                self.desktop.wine("taskkill", "/f", "/pid", info["pid"])
                start.wait(10)
        # WS_MINIMIZE, which leaves no client area (a maximise: the DPI test's)
        self.assertEqual([int(info["style"]) & 0x20000000, rect(info["client"])], [0x20000000, (0, 0, 0, 0)])

    def test_about_box_is_owned_and_modal_and_x_ends_the_program(self):
        kavo = self.start()
        kavo.click(ABOUT)
        self.assertEqual(wait_for(lambda: kavo.info("popup"), "1"), "1")
        info = kavo.info()
        self.assertEqual((unhex(info["popup_title"]), info["enabled"]), (f"Kavo v.{MAJOR}.{MINOR}", "0"))
        statics = [c for c in info["popup_control"] if c["class"] == "static"]
        self.assertEqual([c["class"] for c in info["popup_control"] if c["class"] == "button"], ["button"])
        self.assertEqual([c["style"] & 0x1F for c in statics].count(3), 1, "one SS_ICON")
        self.assertRegex([c["text"] for c in statics if c["text"]][0], r"^Автор: .+\r\nhttps?://\S+$")
        kavo.keys("Return")
        self.assertEqual(wait_for(lambda: kavo.info("popup"), "0"), "0")
        self.assertEqual(kavo.info("enabled"), "1")
        kavo.click(BOX)
        kavo.type("something typed")  # then "X" ends the program, text and all
        kavo.click(CLOSE)
        self.assertEqual(kavo.process.wait(10), 0)

    def test_starts_at_the_screens_dpi_and_lands_exactly_on_each_dpi_change_with_its_fonts(self):
        def set_dpi(*dpi):  # Wine reads it as its server starts; none: the value removed, as in a new prefix
            self.desktop.wine("reg", "add" if dpi else "delete", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                              *(("/t", "REG_DWORD", "/d", *dpi) if dpi else ()), "/f")
            self.desktop.settle()
        self.addCleanup(set_dpi)  # first: whatever fails, the tests' own prefix is left at 96 DPI
        set_dpi(144)
        # A taskbar along the top: Wine's server reads the work area as it starts, kept while a client holds it.
        hold = subprocess.Popen(["xprop", "-root", "-spy", "_NET_WORKAREA"], env=self.desktop.env,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        root = lambda *args: subprocess.run(["xprop", "-root", *args], env=self.desktop.env, timeout=20, check=True)
        self.addCleanup(lambda: (root("-remove", "_NET_WORKAREA"), root("-remove", "_NET_SUPPORTED"), hold.kill(),
                                 hold.communicate(timeout=10)))
        hold.stdout.readline()  # its first report: connected
        root("-f", "_NET_SUPPORTED", "32a", "-set", "_NET_SUPPORTED", "_NET_WORKAREA")
        root("-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA", "0, 100, 1024, 668")
        kavo = self.start()
        window = assert_laid_out(self, kavo.started, 144)
        # Centred in the work area; maximized (or asked to), as it is where it is: its screen offset.
        self.assertEqual(window[:2], ((1024 - window[2]) // 2, 100 + (668 - window[3]) // 2))
        limits = self.desktop.driver("minmax")
        self.assertEqual((limits["maxpos"], limits["maxsize"]), ("{0},{1}".format(*window), "{2},{3}".format(*window)))
        info = self.desktop.driver("send", 0x112, 0xF030)  # SC_MAXIMIZE
        self.assertEqual((rect(info["window"]), int(info["style"]) & 0x01000000), (window, 0))
        heights = {}  # of the text on "Свали", inside the button's edges, and of the white "X"
        # Minimized, the size it is restored to changes, as the restore shows (Wine reads no other process's
        # placement); Wine's own DPI stays 144, so a change while minimized is to 144, lest the restore undo it.
        for old, dpi, minimized in ((144, 96, 0), (96, 120, 0), (120, 144, 1), (144, 192, 0), (192, 96, 0)):
            if minimized:  # WM_SYSCOMMAND, SC_MINIMIZE, then SC_RESTORE
                self.desktop.driver("send", 0x112, 0xF020)
            self.desktop.wine(DRIVER, "dpi", old, dpi)
            info = self.desktop.driver("send", 0x112, 0xF120) if minimized else kavo.info()
            window = assert_laid_out(self, info, dpi)
            pixel = self.desktop.screenshot(window, f"kavo-{dpi}dpi.png")
            edges = [(window[2] - 1, y) for y in range(window[3])] + [(x, window[3] - 1) for x in range(window[2])]
            self.assertNotIn((0, 0, 0), {pixel(x, y) for x, y in edges}, f"uncovered at {dpi}")
            red, green, _ = pixel(window[2] - 3, window[3] // 2)
            self.assertGreater(red - green, 60, f"the picture's frame at {dpi}")
            x, y, w, h = (pixels(t, dpi) for t in CONTROLS[DOWNLOAD][2])
            ink = [row for row in range(y + 3, y + h - 3)
                   if any(sum(pixel(col, row)) < 200 for col in range(x + 3, x + w - 3))]
            x, y, w, h = (pixels(t, dpi) for t in CONTROLS[CLOSE][2])
            letter = [row for row in range(y, y + h) if any(min(pixel(col, row)) > 200 for col in range(x, x + w))]
            heights[dpi] = (ink[-1] - ink[0] + 1, letter[-1] - letter[0] + 1)
        for dpi, height in heights.items():
            for i in (0, 1):
                self.assertAlmostEqual(height[i], heights[96][i] * dpi / 96, delta=1, msg=f"at {dpi} DPI: {heights}")
        # Wine keeps a process's private memory in its Unix process, which wine-run became.
        private = lambda: int(re.search(r"RssAnon:\s+(\d+)", pathlib.Path(f"/proc/{kavo.process.pid}/status")
                                        .read_text())[1])  # kB
        before = private()
        for _ in range(5):  # each change makes a new picture and fonts: the old ones must go
            for old, dpi in ((96, 192), (192, 96)):
                self.desktop.wine(DRIVER, "dpi", old, dpi)
        self.assertLess(private() - before, 1024)
        # Restored with no WM_DPICHANGED back to Wine's own DPI: laid out at the DPI it has (144), not the last.
        self.desktop.driver("send", 0x112, 0xF020)
        assert_laid_out(self, self.desktop.driver("send", 0x112, 0xF120), 144)

    def test_download_opens_the_media_address_from_the_programs_folder_as_it_is_or_one_it_can_start_in(self):
        root = pathlib.Path(self.enterContext(tempfile.TemporaryDirectory()))
        windows_path = lambda path: "Z:" + str(path).replace("/", "\\")
        self.desktop.env["KAVO_RECORD"] = windows_path(record := root / "opened.txt")
        self.desktop.wine("reg", "add", r"HKLM\Software\Classes\http\shell\open\command", "/ve", "/d",
                          f'"{windows_path(DRIVER)}" record "%1"', "/f")  # the browser
        opened = lambda: record.exists() and [" ".join(map(unhex, r.split())) for r in record.read_text().splitlines()]
        deep = root.joinpath(*(f"{i}-" + "x" * 64 for i in range(4)))  # "X:" and 4 x 67: 270 units
        edge = deep.parent / ("e" * 55)  # 259: the shortest a program cannot start in
        (root / "sub").mkdir()
        # A letter with no drive yet: Wine may map removable media; a killed run leaves its link.
        dosdevices = pathlib.Path(self.desktop.env["WINEPREFIX"], "dosdevices")
        letter = next(d for d in "EFGHIJKLMNOPQRSTUVWXY" if not os.path.lexists(dosdevices / f"{d.lower()}:"))
        drive = dosdevices / f"{letter.lower()}:"
        drive.symlink_to(root)
        self.addCleanup(drive.unlink)
        # A name that is not ASCII; the root as "X:\", not "X:", which leads to \sub, the current one.
        folders = {dosdevices / "c:" / "Видео" / "Каво": r"C:\Видео\Каво"} | {
            folder: "\\".join((f"{letter}:", *folder.relative_to(root).parts)) + "\\" * (folder == root)
            for folder in (root, edge, deep)}
        rows = []
        for folder, windows in folders.items():
            folder.mkdir(parents=True, exist_ok=True)
            shutil.copy(EXE, folder)
            kavo = self.start(exe=windows.rstrip("\\") + r"\kavo.exe", cwd=root / "sub")
            kavo.drop(f"http://{ONE}/play:k3x9q2w7")
            kavo.click(DOWNLOAD)
            rows.append(f"{windows} http://{MEDIA_ONE}/s/k3/k3x9q2w7.flv" + " (short)" * (folder in (edge, deep)))
            self.assertEqual(wait_for(opened, rows, 15), rows)
            kavo.click(CLOSE)  # and it ends as it should, shell32 let go
            self.assertEqual(kavo.process.wait(10), 0)

    def test_without_a_picture_decoder_it_paints_a_plain_panel(self):
        kavo = self.start(WINEDLLOVERRIDES="mscoree,mshtml,windowscodecs=")
        pixel = self.desktop.screenshot(kavo.window(), "kavo-no-picture.png")
        self.assertEqual({pixel(x, y) for x, y in ((3, 3), (120, 20), (245, 100))}, {(234, 231, 226)})
