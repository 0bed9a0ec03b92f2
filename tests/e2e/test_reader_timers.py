"""The reader's timed features in the midp-host: the backlight on a Nokia
phone (and its note elsewhere) and autoscroll."""
import re
import unittest

from readerkit import Book
from test_reader_forms import FILLER, SHORT, FormCase, lights, screens


class ReaderTimers(FormCase):
    def test_backlight_on_a_nokia_phone_and_elsewhere(self):
        rms = self.ws.path("rms")
        book = Book(FILLER)
        # Elsewhere the form only explains, and nothing touches the lights.
        _, out = self.run_book(book, ["key:fire", "key:6", "dump"])
        self.assertIn("Backlight control works on Nokia phones only", out)
        self.assertEqual(lights(out), [])

        # Timed: lit at the brightness, dark when the time is up, lit again by a key.
        _, out = self.run_book(book, ["key:fire", "key:6", "dump", "choose:0:2", "type:40", "cmd:Ok",
                                      "wait:11500", "key:down"], rms=rms, nokia=True)
        form = screens(out)[0]
        for line in ["BackLight", "( ) Always off", "( ) Always on", "(o) 10 sec", "( ) 20 sec", "( ) 30 sec",
                     "( ) 40 sec", "Brightness (1-100%) [100]"]:
            self.assertIn(line, form)
        self.assertEqual(lights(out), [40, 0, 40])

        # The choice is remembered: the next start lights the screen, and the
        # form shows it; always off turns the lights off and keeps them off.
        _, out = self.run_book(book, ["key:fire", "key:6", "dump", "choose:0:0", "cmd:Ok", "key:down"], rms=rms,
                               nokia=True)
        self.assertIn("(o) 10 sec", out)
        self.assertIn("Brightness (1-100%) [40]", out)
        self.assertEqual(lights(out), [40, 40, 40, 40, 0, 0])
        _, out = self.run_book(book, ["key:fire", "key:down"], rms=rms, nokia=True)
        self.assertEqual(lights(out), [0, 0, 0])

    def test_autoscroll_moves_line_by_line_stops_on_a_key_and_at_the_end(self):
        rms = self.ws.path("rms")
        shots, out = self.run_book(Book("\r\n".join(SHORT)), [
            "key:fire", "key:7", "dump", "choose:0:0", "type:1", "cmd:Ok", "wait:2500", "key:down", "shot",
            "wait:1500", "shot", "key:7", "dump", "cmd:Cancel", "key:2", "key:fire", "key:3", "dump"], rms=rms)
        stopped, later = shots
        form, form_after, marks = screens(out)[0], screens(out)[1], screens(out)[-1]
        self.assertIn("[ ] Autoscrolling", form)
        self.assertIn("Delay [3]", form)
        # The key stopped it where it was, without turning the page.
        self.assertSame(stopped, later)
        self.assertIn("[ ] Autoscrolling", form_after)
        self.assertIn("Delay [1]", form_after)
        line = int(re.search(r"Bookmark 1: Line (\d+) ", marks).group(1))
        self.assertIn(line, (1, 2, 3))
        (expected,), _ = self.run_book(Book("\r\n".join(SHORT[line:])), ["key:fire", "shot"])
        self.assertSame(stopped, expected)

        # A short book: it stops on its own with the last line on the screen.
        short = Book("\r\n".join(SHORT[:16]))
        (end, still, last), out = self.run_book(short, [
            "key:fire", "key:7", "choose:0:0", "type:1", "cmd:Ok", "wait:4500", "shot", "wait:1500", "shot",
            "key:7", "dump", "cmd:Cancel", "key:1", "select:2", "shot"])
        self.assertSame(end, last)
        self.assertSame(still, last)
        self.assertIn("[ ] Autoscrolling", out)



if __name__ == "__main__":
    unittest.main()
