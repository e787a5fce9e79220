"""Moving the borderless window, closing it with "X", and the About box."""

import time
import unittest

from kavo_e2e import (SITE_ONE as ONE, COMMAND2, COMMAND3, LABEL3, TEXT1, KavoTestCase, Rect,
                      unhex, wait_for)



class MoveAndClose(KavoTestCase):
    def background_point(self):
        window = self.kavo.window()
        return window.left + 6, window.top + 40  # on the frame, left of the text box

    def test_left_drag_on_the_background_moves_the_window_by_the_drag(self):
        before = self.kavo.window()
        self.kavo.drag(self.background_point(), (-120, 75))
        after = wait_for(lambda: self.kavo.window().left, before.left - 120)
        self.assertEqual(after, before.left - 120)
        window = self.kavo.window()
        self.assertEqual((window.top, window.width, window.height), (before.top + 75, 249, 105))
        time.sleep(0.5)  # released: it stays
        self.assertEqual(self.kavo.window().left, before.left - 120)

    def test_right_and_middle_presses_start_the_move_too(self):
        for button in (3, 2):
            with self.subTest(button=button):
                before = self.kavo.window()
                x, y = self.background_point()
                self.kavo.drag((x, y), (40, -30), button)
                # The move loop a non-left press starts ends with a left click.
                self.kavo.desktop.xdotool("click", 1)
                moved = wait_for(lambda: self.kavo.window().left, before.left + 40)
                self.assertEqual((moved, self.kavo.window().top), (before.left + 40, before.top - 30))

    def test_drags_that_start_on_controls_move_nothing(self):
        before = self.kavo.window()
        for control in (TEXT1, COMMAND2, COMMAND3, LABEL3):
            with self.subTest(control=control):
                x, y = self.kavo.info()["controls"][control]["rect"].centre()
                self.kavo.drag((x, y), (-60, 50))
                self.assertEqual(self.kavo.window().left, before.left)
                self.assertEqual(self.kavo.window().top, before.top)
        # Sliding off "X" before letting go does not close the window either.
        self.assertIsNone(self.kavo.process.poll())

    def test_x_ends_the_program_with_text_in_the_box(self):
        self.kavo.type("something typed")
        self.assertEqual(wait_for(self.kavo.text, "something typed"), "something typed")
        self.kavo.click(LABEL3)
        self.assertEqual(self.kavo.process.wait(10), 0)


class About(KavoTestCase):
    def test_about_box_is_modal_informative_and_goes_away(self):
        page = f"http://{ONE}/play:k3x9q2w7"
        self.kavo.type(page)
        self.kavo.click(COMMAND3)
        info = wait_for(lambda: self.kavo.info()["popup"], "1")
        self.assertEqual(info, "1")
        info = self.kavo.info()
        self.assertEqual(unhex(info["popup_title"]), "Kavo v.1.2")
        controls = [row.split(" ") for row in info["popup_control"]]
        buttons = [c for c in controls if unhex(c[1]).lower() == "button"]
        self.assertEqual(len(buttons), 1)
        self.assertEqual(sum(int(c[3]) for c in controls), 1, "one icon")
        texts = [unhex(c[4]) for c in controls if unhex(c[1]).lower() == "static" and c[4]]
        self.assertEqual(len(texts), 1)
        lines = texts[0].split("\r\n")
        self.assertEqual(len(lines), 2)
        self.assertTrue(lines[0].startswith("Автор: ") and len(lines[0]) > len("Автор: "))
        self.assertTrue(lines[1].startswith("http"))
        self.assertEqual(info["enabled"], "0", "the box is modal to the main window")
        self.desktop.screenshot(Rect(info["popup_rect"]), "kavo-about.png")

        # The main window takes no clicks while the box is open.
        self.kavo.click(COMMAND2)
        time.sleep(0.5)
        self.assertEqual(self.kavo.text(), page)

        self.kavo.keys("Return")
        self.assertEqual(wait_for(lambda: self.kavo.info()["popup"], "0"), "0")
        self.kavo.click(COMMAND2)
        self.assertNotEqual(wait_for(self.kavo.text, "x", 3), page)  # works again


if __name__ == "__main__":
    unittest.main()
