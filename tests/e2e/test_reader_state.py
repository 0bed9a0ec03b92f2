"""What the reader keeps and checks, in the midp-host: the password form,
bookmarks and the saved reading position."""
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
        (opened,), out = self.run_book(book, ["key:fire", "dump", "type:1234", "cmd:Ok", "dump",
                                              "type:4711", "cmd:Ok", "dump", "shot"], rms=rms)
        screens = [s for s in out.split("screen: ") if s]
        self.assertIn("Password protection", screens[0])
        self.assertIn("Password protection", screens[1])
        self.assertTrue(screens[2].startswith("Canvas"))
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
        shots, out = self.run_book(book, ["key:fire", "key:down", "key:down", "shot", "key:2", "dump", "key:fire",
                                          "key:down", "key:down", "shot", "key:3", "select:0", "shot"], rms=rms)
        marked, elsewhere, back = shots
        self.assertIn("Bookmark saved", out)
        self.assertNotEqual(marked.pixels, elsewhere.pixels)
        self.assertEqual(marked.pixels, back.pixels)
        (reopened,), _ = self.run_book(book, ["key:fire", "shot"], rms=rms)
        self.assertEqual(reopened.pixels, marked.pixels)


    def test_search_finds_the_text_and_the_next_one(self):
        one = "The first needle is here.\r\n" + FILLER + "\r\n"
        two = "A second " + linked("Needle", M) + " in a link.\r\n" + FILLER
        text = FILLER + "\r\n" + one + two
        book = Book(text, links=["l0"])
        (found, found_next), out = self.run_book(
            book, ["key:fire", "key:4", "type:needle", "cmd:Ok", "shot", "key:9", "shot", "key:9", "dump",
                   "key:fire", "key:4", "type:haystack", "cmd:Ok", "dump"])
        (expected,), _ = self.run_book(Book(one[one.index("needle"):] + two, links=["l0"]),
                                       ["key:fire", "shot"])
        self.assertEqual(found.pixels, expected.pixels)
        second = two.index(M)
        (expected_next,), _ = self.run_book(Book(two[second:], links=["l0"]), ["key:fire", "shot"])
        self.assertEqual(found_next.pixels, expected_next.pixels)
        # No third needle, and no haystack at all.
        self.assertEqual(out.count("Not Found"), 2)

    def test_nokia_full_canvas_menu_on_the_soft_key(self):
        (nokia,), out = self.run_book(Book(FILLER), ["key:fire", "shot", "key:soft1", "dump"], nokia=True)
        (plain,), _ = self.run_book(Book(FILLER), ["key:fire", "shot"])
        self.assertEqual(nokia.pixels, plain.pixels)
        self.assertIn("screen: List: Menu", out)

    def test_position_in_percent(self):
        (shot,), _ = self.run_book(Book(FILLER), ["key:fire", "key:1", "select:3", "type:50", "cmd:Ok", "shot"])
        middle = (len(FILLER) + 1) * 50 // 100
        (expected,), _ = self.run_book(Book(FILLER[middle:]), ["key:fire", "shot"])
        self.assertEqual(shot.pixels, expected.pixels)

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
