"""What the reader keeps and checks, in the midp-host: the password form,
bookmarks and the saved reading position."""
import re
import unittest

from readerkit import Book, ReaderCase

WHITE, BLACK, BLUE, RED, YELLOW = 0xFFFFFF, 0x000000, 0x0000FF, 0xFF0000, 0xFFFF00
M, N = chr(0xE000), chr(0xE001)
FILLER = "\r\n".join("Filler line %d with a few words in it." % i for i in range(60))


def linked(text, link_id):
    """A link's text as the book files carry it: M c1 M c2 ... M cn M."""
    return link_id + "".join(c + link_id for c in text)


class ReaderState(ReaderCase):
    def test_password_form_rejects_a_wrong_code_and_opens_with_the_right_one(self):
        rms = self.ws.path("rms")
        book = Book(FILLER, password=4711, password_mode=1)
        (opened,), out = self.run_book(book, ["key:fire", "dump", "type:1234", "cmd:Ok", "dump", "idle", "dump",
                                              "type:4711", "cmd:Ok", "dump", "shot"], rms=rms)
        screens = [s for s in out.split("screen: ") if s]
        self.assertTrue(screens[0].startswith("Form: Password protection"))
        # A wrong code says so, for a moment, then the form asks again.
        self.assertTrue(screens[1].startswith("Alert: Password protection\n  Wrong password"), screens[1])
        self.assertTrue(screens[2].startswith("Form: Password protection"))
        self.assertTrue(screens[3].startswith("Canvas"))
        (plain,), _ = self.run_book(Book(FILLER), ["key:fire", "shot"])
        self.assertEqual(opened.pixels, plain.pixels)
        # Mode 1 remembers the right code; mode 2 asks every time.
        _, again = self.run_book(book, ["key:fire", "dump"], rms=rms)
        self.assertIn("screen: Canvas", again)
        book2 = Book(FILLER, password=4711, password_mode=2)
        _, out2 = self.run_book(book2, ["key:fire", "type:4711", "cmd:Ok", "dump"], rms=self.ws.path("rms2"))
        self.assertIn("screen: Canvas", out2)
        _, out3 = self.run_book(book2, ["key:fire", "dump"], rms=self.ws.path("rms2"))
        self.assertIn("Password protection", out3)

    def test_bookmark_and_saved_position(self):
        rms = self.ws.path("rms")
        book = Book(FILLER)
        shots, out = self.run_book(book, ["key:fire", "key:down", "key:down", "shot", "key:2", "dump", "idle", "dump",
                                          "key:down", "key:down", "shot", "key:3", "select:0", "shot", "key:clear",
                                          "shot"], rms=rms)
        marked, elsewhere, back, before = shots
        saved, gone = out.split("screen: ")[1:3]
        self.assertTrue(saved.startswith("Alert: Bookmarks\n  Bookmark saved"))
        self.assertTrue(gone.startswith("Canvas"))  # the confirmation went by itself
        self.assertNotEqual(marked.pixels, elsewhere.pixels)
        self.assertEqual(marked.pixels, back.pixels)
        self.assertEqual(before.pixels, elsewhere.pixels)  # opening a bookmark is a jump: Back returns
        (reopened,), _ = self.run_book(book, ["key:fire", "shot"], rms=rms)
        self.assertEqual(reopened.pixels, before.pixels)


    def test_search_finds_the_text_and_the_next_one(self):
        one = "The first needle is here.\r\n" + FILLER + "\r\n"
        two = "A second " + linked("Needle", M) + " in a link.\r\n" + FILLER
        text = FILLER + "\r\n" + one + two
        book = Book(text, links=["l0"])
        search = ["key:4", "type:needle", "cmd:Ok"]
        (start, found, found_next, back), out = self.run_book(
            book, ["key:fire", "shot"] + search + ["shot", "key:9", "shot", "key:9", "dump", "idle", "key:clear",
                                                   "shot", "key:4", "type:haystack", "cmd:Ok", "dump"])
        # Each match stands on the first line of its page, marked: as in a
        # book that begins with that line, searched the same way.
        (expected,), _ = self.run_book(Book(one + two, links=["l0"]), ["key:fire"] + search + ["shot"])
        self.assertEqual(found.pixels, expected.pixels)
        (unmarked,), _ = self.run_book(Book(one + two, links=["l0"]), ["key:fire", "shot"])
        self.assertNotEqual(found.pixels, unmarked.pixels)
        (expected_next,), _ = self.run_book(Book(two, links=["l0"]), ["key:fire"] + search + ["shot"])
        self.assertEqual(found_next.pixels, expected_next.pixels)
        # No third needle, and no haystack at all; each result was a jump
        # (the mark goes with the page).
        self.assertEqual(out.count("Not Found"), 2)
        self.assertEqual(back.pixels, unmarked.pixels)

    def test_search_ignores_case_in_every_script(self):
        # Words in the text and the query typed in the other case: Cyrillic,
        # Greek with accents and final sigma, Czech, Romanian, Vietnamese.
        cases = [("МАЗАРИНИ", "мазарини"), ("Οδυσσεύς", "ΟΔΥΣΣΕΎΣ"), ("žluťoučký", "ŽLUŤOUČKÝ"),
                 ("ȘTIINȚĂ", "știință"), ("Đại", "đẠI")]
        for word, query in cases:
            with self.subTest(word=word):
                text = FILLER + "\r\nHere stands " + word + " at last.\r\n" + FILLER
                (found,), out = self.run_book(Book(text), ["key:fire", "key:4", "type:" + query, "cmd:Ok", "dump",
                                                           "shot", "key:4", "choose:1:1", "cmd:Ok", "dump"])
                blind, exact = out.split("screen: ")[1:]
                self.assertTrue(blind.startswith("Canvas"), blind)
                self.assertIn("Not Found", exact)  # with Match case the other case is not found
                (expected,), _ = self.run_book(Book("Here stands " + word + " at last.\r\n" + FILLER),
                                               ["key:fire", "key:4", "type:" + word, "cmd:Ok", "shot"])
                self.assertEqual(found.pixels, expected.pixels)

    def test_long_search_shows_its_progress_and_can_be_cancelled(self):
        long_text = "\r\n".join([FILLER] * 40) + "\r\nThe lost ring was here.\r\n" + FILLER
        self.assertGreater(len(long_text), 80000)
        book = Book(long_text)
        (start, after), out = self.run_book(book, ["key:fire", "shot", "key:4", "type:ring", "cmd:Ok", "dump",
                                                   "cmd:Cancel", "dump", "idle", "shot"])
        progress, cancelled = out.split("screen: ")[1:]
        self.assertRegex(progress, r"^Form: Search\n  Searching for ring \d+/100\n  \[Cancel\]")
        self.assertTrue(cancelled.startswith("Alert: Search\n  Cancelled"), cancelled)
        self.assertEqual(after.pixels, start.pixels)
        # Left to run, it goes on to the ring, its progress growing.
        (found,), out = self.run_book(book, ["key:fire", "key:4", "type:ring", "cmd:Ok", "dump", "dump", "idle",
                                             "shot"])
        values = [int(v) for v in re.findall(r"Searching for ring (\d+)/100", out)]
        self.assertEqual(len(values), 2)
        self.assertLess(values[0], values[1])
        (expected,), _ = self.run_book(Book("The lost ring was here.\r\n" + FILLER),
                                       ["key:fire", "key:4", "type:ring", "cmd:Ok", "shot"])
        self.assertEqual(found.pixels, expected.pixels)

    def test_nokia_full_canvas_menu_on_the_soft_key(self):
        (nokia,), out = self.run_book(Book(FILLER), ["key:fire", "shot", "key:soft1", "dump"], nokia=True)
        (plain,), _ = self.run_book(Book(FILLER), ["key:fire", "shot"])
        # The page's first lines as on a plain canvas, the soft-key labels below.
        rows = 3 * plain.width * 150
        self.assertEqual(nokia.pixels[:rows], plain.pixels[:rows])
        self.assertGreater(nokia.count(BLACK, (0, nokia.height - 12, nokia.width // 2, nokia.height)), 20)
        self.assertIn("screen: List: Menu", out)

    def test_position_in_percent_starts_at_a_line_start(self):
        text = " ".join("word%d" % i for i in range(900))
        middle = (len(text) + 1) * 50 // 100
        self.assertNotIn(text[middle - 1], " \n")  # half way is inside a word
        (shot,), _ = self.run_book(Book(text), ["key:fire", "key:1", "select:3", "type:50", "cmd:Ok", "shot"])
        (inside,), _ = self.run_book(Book(text[middle:]), ["key:fire", "shot"])
        self.assertNotEqual(shot.pixels, inside.pixels)
        # The page is the one that a line beginning with a word at most a
        # line before the middle starts.
        starts = [k for k in range(middle - 60, middle + 1) if text[k - 1] == " "]
        pages = {}
        for k in starts:
            (page,), _ = self.run_book(Book(text[k:]), ["key:fire", "shot"])
            pages[k] = page.pixels
        self.assertIn(shot.pixels, pages.values())

    def test_interface_texts_from_the_book_with_english_for_the_rest(self):
        _, out = self.run_book(Book(FILLER, texts={0: "1: Navigateur", 50: "Menu principal"}),
                               ["key:fire", "key:star", "dump"])
        self.assertIn("Menu principal", out)
        self.assertIn("1: Navigateur", out)
        self.assertIn("2: Add bookmark", out)
        self.assertIn("Exit", out)
        # Without text 813 the book details are empty, not a placeholder.
        _, out = self.run_book(Book(FILLER), ["key:fire", "key:star", "select:8", "dump"])
        details = out.split("screen: ")[1].splitlines()
        self.assertEqual(details[0], "Form: Information")
        self.assertEqual(details[1].strip(), "Book details:")


if __name__ == "__main__":
    unittest.main()
