"""The main window as it starts: look, controls, focus and keyboard."""

import subprocess
import unittest

from kavo_e2e import (COMMAND1, COMMAND2, COMMAND3, EXE, HERE, LABEL3, TEXT1, KavoTestCase, Rect,
                      unhex, wait_for, windows_path)

WS_POPUP, WS_CAPTION, WS_THICKFRAME, WS_BORDER, WS_DLGFRAME = 0x80000000, 0xC00000, 0x40000, 0x800000, 0x400000
WS_TABSTOP, WS_VISIBLE = 0x10000, 0x10000000
BS_TYPEMASK, BS_PUSHBUTTON, BS_DEFPUSHBUTTON = 0xF, 0, 1
SS_NOTIFY = 0x100

# id: (class, caption, left, top, width, height) in pixels at 96 DPI
EXPECTED = {
    TEXT1: ("Edit", "", 16, 45, 209, 19),
    COMMAND1: ("Button", "Свали", 160, 65, 61, 20),
    COMMAND2: ("Button", "Вземи", 96, 65, 57, 20),
    COMMAND3: ("Button", "За...", 32, 65, 57, 20),
    LABEL3: ("Static", "X", 232, 0, 10, 15),
}


class MainWindow(KavoTestCase):
    def test_borderless_window_centred_with_its_controls(self):
        info = self.kavo.info()
        window, work = Rect(info["window"]), Rect(info["work"])
        self.assertEqual(unhex(info["title"]), "Kavo")
        self.assertEqual((window.width, window.height), (249, 105))
        self.assertEqual(info["client"], "0,0,249,105")
        style = int(info["style"]) & 0xFFFFFFFF
        self.assertTrue(style & WS_POPUP)
        self.assertFalse(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME))
        self.assertEqual(window.left, work.left + (work.width - 249) // 2)
        self.assertEqual(window.top, work.top + (work.height - 105) // 2)

        controls = info["controls"]
        self.assertEqual(set(controls), set(EXPECTED))
        for cid, (cls, caption, left, top, width, height) in EXPECTED.items():
            with self.subTest(control=cid):
                c = controls[cid]
                self.assertEqual(c["class"].lower(), cls.lower())
                self.assertEqual(c["text"], caption)
                self.assertEqual((c["rect"].left - window.left, c["rect"].top - window.top,
                                  c["rect"].width, c["rect"].height), (left, top, width, height))
        for cid in (COMMAND1, COMMAND2, COMMAND3):
            self.assertEqual(controls[cid]["style"] & BS_TYPEMASK, BS_PUSHBUTTON)
        self.assertFalse(controls[LABEL3]["style"] & WS_TABSTOP)
        self.assertTrue(controls[LABEL3]["style"] & SS_NOTIFY)
        self.desktop.screenshot(window, "kavo-96dpi.png")

    def test_starts_empty_with_the_focus_in_the_text_box(self):
        self.assertEqual(self.kavo.text(), "")
        self.assertEqual(int(self.kavo.started["focus"]), TEXT1)

    def test_tab_visits_text_box_then_download_get_about(self):
        seen = []
        for _ in range(4):
            self.kavo.keys("Tab")
            seen.append(wait_for(self.kavo.focus, [COMMAND1, COMMAND2, COMMAND3, TEXT1][len(seen)], 5))
        self.assertEqual(seen, [COMMAND1, COMMAND2, COMMAND3, TEXT1])
        self.kavo.keys("shift+Tab")
        self.assertEqual(wait_for(self.kavo.focus, COMMAND3, 5), COMMAND3)

    def test_enter_and_escape_in_the_text_box_run_nothing(self):
        self.kavo.type("abc")
        self.assertEqual(wait_for(self.kavo.text, "abc"), "abc")
        self.kavo.keys("Return", "Escape", "KP_Enter")
        self.kavo.type("d")
        self.assertEqual(wait_for(self.kavo.text, "abcd"), "abcd")  # neither emptied nor closed
        self.assertIsNone(self.kavo.process.poll())
        info = self.kavo.info()
        self.assertEqual(int(info["focus"]), TEXT1)
        for cid in (COMMAND1, COMMAND2, COMMAND3):
            self.assertNotEqual(info["controls"][cid]["style"] & BS_TYPEMASK, BS_DEFPUSHBUTTON)

    def test_version_resource_and_icon(self):
        version = self.desktop.driver("version", windows_path(EXE))
        self.assertEqual(version["file_version"], "1.2.0.9")
        self.assertEqual(version["product_version"], "1.2.0.9")
        strings = dict(s.split(" ") for s in version["string"])
        strings = {k: unhex(v) for k, v in strings.items()}
        self.assertEqual(strings["FileVersion"], "1.02.0009")
        self.assertEqual(strings["ProductVersion"], "1.02.0009")
        self.assertEqual(strings["InternalName"], "kavo")
        self.assertEqual(strings["OriginalFilename"], "kavo.exe")
        self.assertEqual(strings["ProductName"], "Kavo")
        self.assertTrue(strings["CompanyName"])

        icons = [tuple(map(int, row.split())) for row in self.desktop.driver("icons", windows_path(EXE))["icon"]]
        self.assertIn((32, 32, 1), icons)
        colours = subprocess.run(["identify", "-format", "%w %k\n", str(HERE.parent.parent / "assets/kavo.ico")],
                                 capture_output=True, text=True, check=True).stdout.split("\n")
        self.assertIn("32", [row.split(" ")[0] for row in colours if row])
        for row in filter(None, colours):
            self.assertLessEqual(int(row.split(" ")[1]), 16, row)


if __name__ == "__main__":
    unittest.main()
