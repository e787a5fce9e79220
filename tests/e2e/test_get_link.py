""""Вземи" on the real window: the text box gets the second site's media address, or is emptied."""

import unittest

from kavo_e2e import (SITE_ONE as ONE, SITE_TWO as TWO, MEDIA_TWO, COMMAND2, TEXT1, KavoTestCase,
                      wait_for)



def media(vid):
    return f"http://{MEDIA_TWO}/s/{vid[:2]}/{vid}.flv"


class GetLink(KavoTestCase):
    def get(self, text, expected):
        self.kavo.paste(text)
        self.assertEqual(wait_for(self.kavo.text, text), text)
        self.kavo.click(COMMAND2)
        return wait_for(self.kavo.text, expected)

    def test_typed_page_address_becomes_the_media_address(self):
        self.kavo.type(f"http://{ONE}/play:k3x9q2w7")
        self.kavo.click(COMMAND2)
        self.assertEqual(wait_for(self.kavo.text, media("k3x9q2w7")), media("k3x9q2w7"))

    def test_page_addresses_of_both_sites(self):
        for page, vid in [(f"http://www.{ONE}/play:Ab3dE6gH", "Ab3dE6gH"),
                          (f"http://{TWO}/play:zz/?#x y", "zz/?#x y"),
                          (f"http://www.{TWO}/play:Жабаℕ\U0001F600z", "Жабаℕ\U0001F600z")]:
            with self.subTest(page=page):
                self.assertEqual(self.get(page, media(vid)), media(vid))

    def test_anything_else_empties_the_box_and_ctrl_z_brings_it_back(self):
        for text in ["hello", f"http://{ONE}/play:k3x9q2w7 ", f"HTTP://{ONE}/play:k3x9q2w7",
                     media("k3x9q2w7"), "x" * 40000]:
            with self.subTest(text=text[:50]):
                self.assertEqual(self.get(text, ""), "")
                self.kavo.click(TEXT1)
                self.kavo.keys("ctrl+z")
                self.assertEqual(wait_for(self.kavo.text, text), text)

    def test_second_press_empties_and_undo_restores_the_media_address(self):
        self.assertEqual(self.get(f"http://{TWO}/play:12345678", media("12345678")), media("12345678"))
        self.kavo.click(COMMAND2)
        self.assertEqual(wait_for(self.kavo.text, ""), "")
        self.kavo.click(TEXT1)
        self.kavo.keys("ctrl+z")
        self.assertEqual(wait_for(self.kavo.text, media("12345678")), media("12345678"))

    def test_empty_box_stays_empty(self):
        self.kavo.click(COMMAND2)
        self.kavo.click(COMMAND2)
        self.assertEqual(self.kavo.text(), "")
        self.assertIsNone(self.kavo.process.poll())


if __name__ == "__main__":
    unittest.main()
