""""Свали" on the real window: the shell opens the first site's media address with the handler of
http addresses, here a recorder registered in the test prefix."""

import os
import pathlib
import shutil
import subprocess
import tempfile
import time
import unittest

from kavo_e2e import (SITE_ONE as ONE, SITE_TWO as TWO, MEDIA_ONE, MEDIA_TWO, COMMAND1, COMMAND2,
                      EXE, WINE_RUN, Kavo, KavoTestCase, unhex, wait_for, windows_path)

RECORDER = os.environ.get("KAVO_RECORDER", "")


def media(host, vid, folder=None):
    return f"http://{host}/s/{folder or vid[:2]}/{vid}.flv"


class Download(KavoTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.record = pathlib.Path(tempfile.mkdtemp()) / "opened.txt"
        cls.desktop.env["KAVO_RECORD"] = windows_path(cls.record)
        key = r"HKLM\Software\Classes\http\shell\open\command"
        subprocess.run([WINE_RUN, "reg", "add", key, "/ve", "/d", f'"{windows_path(RECORDER)}" "%1"',
                        "/f"], env=cls.desktop.env, timeout=60, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.record.parent, ignore_errors=True)
        super().tearDownClass()

    def setUp(self):
        self.record.unlink(missing_ok=True)
        super().setUp()

    def opened(self):
        if not self.record.exists():
            return []
        rows = []
        for line in self.record.read_text().splitlines():
            fields = dict(f.split("=", 1) for f in line.split(" "))
            rows.append({"cwd": unhex(fields["cwd"]),
                         "args": [unhex(a) for a in fields["args"].split(",") if a]})
        return rows

    def download(self, kavo, text, expected_count):
        kavo.paste(text)
        self.assertEqual(wait_for(kavo.text, text), text)
        kavo.click(COMMAND1)
        rows = wait_for(lambda: len(self.opened()), expected_count, 15)
        self.assertEqual(kavo.text(), text, "the text box must not change")
        return rows

    def assert_last_opened(self, address, folder):
        row = self.opened()[-1]
        self.assertEqual(row["args"], [address])
        self.assertEqual(row["cwd"].rstrip("\\").lower(), folder.rstrip("\\").lower())

    def test_page_addresses_of_both_sites_open_the_first_sites_media_address(self):
        exe_folder = windows_path(pathlib.Path(EXE).parent)
        pages = [f"http://{ONE}/play:k3x9q2w7", f"http://www.{ONE}/play:AbCdEfGh",
                 f"http://{TWO}/play:12345678", f"http://www.{TWO}/play:zz/?#_-~"]
        for count, page in enumerate(pages, start=1):
            with self.subTest(page=page):
                self.assertEqual(self.download(self.kavo, page, count), count)
                self.assert_last_opened(media(MEDIA_ONE, page[-8:]), exe_folder)

    def test_crafted_identifiers_arrive_as_one_encoded_argument(self):
        cases = [('ab"-x y1', "ab%22-x%20y1", "ab"),
                 ("<|>^`{}\\", "%3C%7C%3E%5E%60%7B%7D%5C", "%3C%7C"),
                 ("Жа бa\tz\"", "%D0%96%D0%B0%20%D0%B1a%09z%22", "%D0%96%D0%B0")]
        for count, (vid, encoded, folder) in enumerate(cases, start=1):
            with self.subTest(id=vid):
                self.assertEqual(self.download(self.kavo, f"http://{ONE}/play:{vid}", count), count)
                self.assertEqual(self.opened()[-1]["args"], [media(MEDIA_ONE, encoded, folder)])

    def test_rejected_text_and_a_fetched_media_address_open_nothing(self):
        # Each rejected press is followed by an accepted one: had the rejected press opened
        # anything, the record would hold two rows by the time the accepted one is seen.
        for count, text in enumerate(["hello", f"http://{ONE}/play:k3x9q2w7 ", ""], start=1):
            with self.subTest(text=text):
                self.kavo.paste(text)
                self.kavo.click(COMMAND1)
                self.assertEqual(self.download(self.kavo, f"http://{TWO}/play:ok{count}ok{count}ok", count),
                                 count)
        page = f"http://{ONE}/play:k3x9q2w7"
        self.kavo.paste(page)
        self.kavo.click(COMMAND2)
        fetched = wait_for(self.kavo.text, media(MEDIA_TWO, "k3x9q2w7"))
        self.assertEqual(fetched, media(MEDIA_TWO, "k3x9q2w7"))
        self.kavo.click(COMMAND1)
        time.sleep(1.0)
        self.assertEqual(len(self.opened()), 3)
        self.assertEqual(self.kavo.text(), fetched)

    def test_opens_from_a_folder_with_a_cyrillic_name(self):
        folder = pathlib.Path(self.desktop.env["WINEPREFIX"]) / "drive_c" / "Видео" / "Каво"
        folder.mkdir(parents=True, exist_ok=True)
        shutil.copy(EXE, folder / "kavo.exe")
        self.kavo.close()
        kavo = Kavo(self.desktop, exe=str(folder / "kavo.exe"), cwd=tempfile.gettempdir())
        self.addCleanup(kavo.close)
        self.assertEqual(self.download(kavo, f"http://{ONE}/play:k3x9q2w7", 1), 1)
        self.assert_last_opened(media(MEDIA_ONE, "k3x9q2w7"), r"C:\Видео\Каво")


if __name__ == "__main__":
    unittest.main()
