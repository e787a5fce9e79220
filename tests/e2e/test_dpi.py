"""Kavo at 100, 125, 150 and 200 % scaling: window and controls laid out from the same twips."""

import subprocess
import unittest

from kavo_e2e import WINE_RUN, DesktopTestCase, Kavo, Rect

TWIPS = {  # id: left, top, width, height
    1001: (240, 675, 3135, 285),
    1002: (2400, 975, 915, 300),
    1003: (1440, 975, 855, 300),
    1004: (480, 975, 855, 300),
    1005: (3480, 0, 150, 225),
}


def pixels(twips, dpi):
    return (twips * dpi + 720) // 1440  # MulDiv rounding


class Dpi(DesktopTestCase):
    def set_dpi(self, dpi):
        env = self.desktop.env
        subprocess.run([WINE_RUN, "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                        "/t", "REG_DWORD", "/d", str(dpi), "/f"], env=env, timeout=60, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine reads the setting when its processes start.
        subprocess.run(["wineserver", "-k"], env=env, timeout=30, check=False)
        subprocess.run(["wineserver", "-w"], env=env, timeout=30, check=False)

    def setUp(self):
        self.addCleanup(self.set_dpi, 96)

    def test_layout_follows_the_dpi(self):
        for dpi in (96, 120, 144, 192):
            with self.subTest(dpi=dpi):
                self.set_dpi(dpi)
                kavo = Kavo(self.desktop)
                try:
                    info = kavo.info()
                    window = Rect(info["window"])
                    self.assertEqual((window.width, window.height),
                                     (pixels(3735, dpi), pixels(1575, dpi)))
                    for cid, (left, top, width, height) in TWIPS.items():
                        r = info["controls"][cid]["rect"]
                        self.assertEqual((r.left - window.left, r.top - window.top, r.width, r.height),
                                         tuple(pixels(t, dpi) for t in (left, top, width, height)), cid)
                    self.desktop.screenshot(window, f"kavo-{dpi}dpi.png")
                finally:
                    kavo.close()


if __name__ == "__main__":
    unittest.main()
