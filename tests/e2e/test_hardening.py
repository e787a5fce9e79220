"""Kavo under stress: huge pastes, thousands of presses, hundreds of About boxes, and a background
picture that cannot be decoded."""

import os
import subprocess
import tempfile
import time
import unittest

from kavo_e2e import (SITE_ONE as ONE, COMMAND1, COMMAND2, COMMAND3, TEXT1, DesktopTestCase, Kavo,
                      KavoTestCase, wait_for, windows_path)

BROKEN_SKIN_EXE = os.environ.get("KAVO_BROKEN_SKIN_EXE", "")


class HugeInput(KavoTestCase):
    def length(self):
        return int(self.desktop.driver("length").get("length", -1))

    def test_megabytes_of_text_neither_crash_nor_hang(self):
        record = tempfile.NamedTemporaryFile(suffix=".txt", delete=False).name
        os.unlink(record)
        self.desktop.env["KAVO_RECORD"] = windows_path(record)  # if anything is opened, it shows
        for size in (1_000_000, 10_000_000):
            with self.subTest(size=size):
                with tempfile.NamedTemporaryFile(suffix=".txt", delete=False) as f:
                    f.write((f"http://{ONE}/play:" + "x" * size)[:size].encode("utf-16-le"))
                try:
                    self.desktop.driver("clip", windows_path(f.name))
                    self.kavo.click(TEXT1)
                    self.kavo.keys("ctrl+a", "ctrl+v")
                    self.assertEqual(wait_for(self.length, size, 120), size)
                    self.kavo.click(COMMAND1)
                    self.assertEqual(self.length(), size)  # answered, and kept the text
                    self.kavo.click(COMMAND2)
                    self.assertEqual(wait_for(self.length, 0, 120), 0)
                finally:
                    os.unlink(f.name)
        self.assertFalse(os.path.exists(record), "Свали opened something")
        self.assertIsNone(self.kavo.process.poll())


class Soak(KavoTestCase):
    ROUNDS, ABOUT_BOXES = 1000, 200

    def resources(self):
        r = self.desktop.driver("resources")
        return {k: int(r[k]) for k in ("gdi", "user", "private", "windows")}

    def presses(self, rounds):
        info = self.kavo.info()["controls"]
        text, get, download = (info[c]["rect"].centre() for c in (TEXT1, COMMAND2, COMMAND1))
        steps = []
        for _ in range(rounds):
            # Fetch the media address of the page address, "Свали" on that (recognised and
            # refused), then Ctrl+Z in the box brings the page address back.
            # (mousedown and mouseup: xdotool's click waits 100 ms after each.)
            steps += ["mousemove", *get, "mousedown", "1", "mouseup", "1",
                      "mousemove", *download, "mousedown", "1", "mouseup", "1",
                      "mousemove", *text, "mousedown", "1", "mouseup", "1", "key", "ctrl+z",
                      "sleep", "0.01"]
        self.desktop.xdotool(*steps, timeout=600)

    def about_boxes(self, count):
        about = self.kavo.info()["controls"][COMMAND3]["rect"].centre()
        steps = []
        for _ in range(count):
            steps += ["mousemove", *about, "mousedown", "1", "mouseup", "1", "sleep", "0.2",
                      "key", "Return", "sleep", "0.05"]
        self.desktop.xdotool(*steps, timeout=600)
        # A Return that came before its box went to the focused "За..." button and opened one
        # more: close what is left.
        for _ in range(5):
            if wait_for(lambda: self.kavo.info()["popup"], "0", 2) == "0":
                break
            self.kavo.keys("Return")

    def test_presses_and_about_boxes_leak_nothing(self):
        page = f"http://{ONE}/play:k3x9q2w7"
        self.kavo.paste(page)
        self.presses(50)  # warm-up: caches, the first allocations
        self.about_boxes(5)
        before = self.resources()
        started = time.monotonic()
        self.presses(self.ROUNDS)
        pressed = time.monotonic()
        self.assertEqual(wait_for(self.kavo.text, page), page, "every round ends on the undone page")
        self.about_boxes(self.ABOUT_BOXES)
        after = self.resources()
        print(f"\nsoak: {2 * self.ROUNDS} presses in {pressed - started:.0f} s, {self.ABOUT_BOXES} "
              f"About boxes in {time.monotonic() - pressed:.0f} s; before {before}, after {after}")

        self.assertEqual(self.kavo.info()["popup"], "0")
        self.kavo.paste(page)
        self.kavo.click(COMMAND2)
        self.assertNotEqual(wait_for(self.kavo.text, "-", 3), page, "still answers")
        self.assertEqual(after["windows"], before["windows"])
        self.assertLess(after["private"] - before["private"], 2 * 1024 * 1024, (before, after))
        if before["gdi"] == 0 and after["gdi"] == 0:
            print("GetGuiResources reports 0 here (Wine): GDI/USER handle counts not checked")
        else:
            self.assertLessEqual(after["gdi"] - before["gdi"], 5, (before, after))
            self.assertLessEqual(after["user"] - before["user"], 5, (before, after))


class BrokenSkin(DesktopTestCase):
    def test_starts_and_works_on_a_plain_panel(self):
        kavo = Kavo(self.desktop, exe=BROKEN_SKIN_EXE)
        self.addCleanup(kavo.close)
        shot = self.desktop.screenshot(kavo.window(), "kavo-broken-skin.png")
        for x, y in ((3, 3), (120, 20), (245, 100)):
            pixel = subprocess.run(["convert", str(shot), "-format", f"%[pixel:p{{{x},{y}}}]", "info:"],
                                   capture_output=True, text=True, check=True).stdout
            self.assertIn(pixel, ("srgb(234,231,226)", "rgb(234,231,226)"), (x, y))
        kavo.paste(f"http://{ONE}/play:k3x9q2w7")
        kavo.click(COMMAND2)
        self.assertTrue(wait_for(kavo.text, "", 5).endswith("/k3x9q2w7.flv"))


if __name__ == "__main__":
    unittest.main()
