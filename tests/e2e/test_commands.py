""""Вземи" and "Свали" on the real window: the box's text, undo, and the hand-off to the shell,
here to a recorder registered as the handler of http addresses."""

import pathlib
import shutil
import tempfile

from kavo_e2e import (BOX, DOWNLOAD, EXE, GET, MEDIA_ONE, MEDIA_TWO, ONE, RECORDER, TWO, Kavo, KavoTestCase,
                      wait_for, windows_path)


class Commands(KavoTestCase):
    def test_typed_page_address_becomes_the_media_address_then_empties_and_undoes(self):
        media = f"http://{MEDIA_TWO}/s/k3/k3x9q2w7.flv"
        self.kavo.type(f"http://{ONE}/play:k3x9q2w7")
        for expected in (media, ""):  # the second press finds no page address
            self.kavo.click(GET)
            self.assertEqual(wait_for(self.kavo.text, expected), expected)
        self.kavo.click(BOX)
        self.kavo.keys("ctrl+z")
        self.assertEqual(wait_for(self.kavo.text, media), media)

    def test_a_long_paste_is_kept_whole_and_neither_command_hangs_on_it(self):
        length = lambda: int(self.kavo.info("length"))
        text = f"http://{TWO}/play:" + "x" * 200_000  # far past the edit control's default limit
        self.kavo.paste(text)
        self.assertEqual(length(), len(text))
        self.kavo.click(DOWNLOAD)
        self.kavo.click(GET)
        self.assertEqual(wait_for(length, 0, 30), 0)
        self.kavo.click(BOX)
        self.kavo.keys("ctrl+z")
        self.assertEqual(wait_for(length, len(text), 30), len(text))

    def test_download_opens_the_media_address_as_one_argument_from_the_programs_folder(self):
        self.kavo.close()
        record = pathlib.Path(tempfile.mkdtemp()) / "opened.txt"
        self.addCleanup(shutil.rmtree, record.parent)
        self.desktop.env["KAVO_RECORD"] = windows_path(record)
        self.desktop.wine("reg", "add", r"HKLM\Software\Classes\http\shell\open\command", "/ve", "/d",
                          f'"{windows_path(RECORDER)}" "%1"', "/f")
        folder = pathlib.Path(self.desktop.env["WINEPREFIX"], "drive_c", "Видео", "Каво")
        folder.mkdir(parents=True, exist_ok=True)
        shutil.copy(EXE, folder)
        kavo = Kavo(self.desktop, exe=folder / "kavo.exe", cwd=tempfile.gettempdir())
        self.addCleanup(kavo.close)
        rows = []
        for text, media in (("hello", None),  # opens nothing, or the next row comes one early
                            (f"http://www.{TWO}/play:k3x9q2w7", "k3/k3x9q2w7"),
                            (f'http://{ONE}/play:Жа"-x y1', "%D0%96%D0%B0/%D0%96%D0%B0%22-x%20y1")):
            kavo.paste(text)
            kavo.click(DOWNLOAD)
            if media:
                rows.append(rf"C:\Видео\Каво http://{MEDIA_ONE}/s/{media}.flv")
                opened = lambda: record.exists() and record.read_text(encoding="utf-8").splitlines()
                self.assertEqual(wait_for(opened, rows, 15), rows)
            self.assertEqual(kavo.text(), text, "the box keeps its text")

    def test_without_a_picture_decoder_it_paints_a_plain_panel_and_works(self):
        self.kavo.close()
        kavo = Kavo(self.desktop, WINEDLLOVERRIDES="mscoree,mshtml,windowscodecs=")
        self.addCleanup(kavo.close)
        pixel = self.desktop.screenshot(kavo.window(), "kavo-no-picture.png")
        self.assertEqual({pixel(x, y) for x, y in ((3, 3), (120, 20), (245, 100))}, {(234, 231, 226)})
        kavo.type(f"http://{ONE}/play:k3x9q2w7")
        kavo.click(GET)
        media = f"http://{MEDIA_TWO}/s/k3/k3x9q2w7.flv"
        self.assertEqual(wait_for(kavo.text, media), media)
