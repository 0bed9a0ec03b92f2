"""Whole pages in the midp-host: smooth scrolling slides between finished
pages (also where repaint() paints at once on the reader's own thread), a
heading never ends a page, a wrapped line never begins with a blank, a word
too long for its line is broken with a hyphen, the splash cover fits a small
screen, and the reader's state after a detour (Back, find next, a wrong code).

A loadable font with known widths makes the layout exact: cells 10 pixels
high, so a 176x208 screen (3-pixel margins) holds 20 lines of 170 pixels."""
import os
import sys
import unittest

from readerkit import SOURCE, Book, ReaderCase, font_file

WHITE, BLACK, BLUE, RED = 0xFFFFFF, 0x000000, 0x0000FF, 0xFF0000
M, N = chr(0xE000), chr(0xE001)
FULL = 0x3FF  # a column inked over the whole cell


def glyphs(hyphen=True):
    """'a' and 'b' 5 pixels wide (4 inked columns and a blank one), 'c' a
    slimmer letter, the blank 5 pixels, the hyphen a short bar."""
    g = {"a": [FULL, FULL, FULL, FULL, 0], "b": [FULL, 0x201, 0x201, FULL, 0], "c": [FULL, 0x201, 0],
         " ": [0] * 5}
    if hyphen:
        g["-"] = [0x20, 0x20, 0x20, 0]
    return g


FONT = {"font0p0.dat": font_file(10, glyphs())}
NO_HYPHEN_FONT = {"font0p0.dat": font_file(10, glyphs(hyphen=False))}


def book(text, fonts=FONT, **options):
    return Book(text, font_count=1, extra_files=dict(fonts, **options.pop("extra_files", {})), **options)


def linked(text, link_id):
    """A link's text as the book files carry it: M c1 M c2 ... M cn M."""
    return link_id + "".join(c + link_id for c in text)


def with_heading(before, title, after):
    """A book of the lines before, a chapter heading of the given title lines
    and the lines after, with its contents line at the end of the text."""
    head = "".join(line + "\r\n" for line in before)
    body = head + "\r\n".join(title) + "\r\n" + "\r\n".join(after) + "\r\n"
    toc = linked(" ".join(title), M) + "\n"
    return book(body + toc, links=["l%d" % len(head)], toc_position=len(body))


# Lines of different lengths, so that every page looks different.
LINES = ["ab" * (1 + i % 16) + " c" * (i % 5) for i in range(900)]


class WholePages(ReaderCase):
    def test_pages_slide_whole_to_the_page_laid_out_without_sliding(self):
        # Text over several text files, so that pages are laid out while
        # files are read in. Each page after a turn, the slide over, is the
        # page as it shows without sliding; so is the page after turns
        # pressed faster than a slide takes.
        text = "\r\n".join(LINES)
        self.assertGreater(len(text), 3 * 4096)
        turns = ["key:down"] * 15 + ["key:up"] * 15
        plain, _ = self.run_book(book(text), ["key:fire"] + [a for k in turns for a in (k, "shot")])
        # 7 pixels a frame: the page height is no multiple of it.
        slid, _ = self.run_book(book(text, smooth_scroll=7),
                                ["key:fire"] + [a for k in turns for a in (k, "idle", "shot")])
        self.assertEqual(len(slid), len(plain))
        for i, (a, b) in enumerate(zip(slid, plain)):
            self.assertTrue(a.pixels == b.pixels, "page %d after %s differs" % (i, turns[i]))
        burst = ["key:down"] * 12 + ["key:up"] * 3
        (fast,), _ = self.run_book(book(text, smooth_scroll=7), ["key:fire"] + burst + ["idle", "shot"])
        (still,), _ = self.run_book(book(text), ["key:fire"] + burst + ["shot"])
        self.assertTrue(fast.pixels == still.pixels, "the page after quick turns differs")

    def test_a_heading_never_ends_a_page(self):
        body = ["ab ab ab"] * 30
        short = ["a"] * 30
        # (lines before, lines between the title and its text, title lines,
        # whether the heading goes to the next page)
        cases = [(19, 0, 1, True), (18, 1, 1, True), (18, 0, 2, True), (17, 1, 2, True), (18, 0, 1, False),
                 (0, 0, 1, False)]
        for before, gap, title_lines, moves in cases:
            with self.subTest(before=before, gap=gap, title=title_lines):
                title = ["bb", "bbb"][:title_lines]
                chapter = with_heading(short[:before], title, [""] * gap + body)
                (first, second), _ = self.run_book(chapter, ["key:fire", "shot", "key:down", "shot"])
                (lines_only,), _ = self.run_book(book("\r\n".join(short[:before])), ["key:fire", "shot"])
                (top,), _ = self.run_book(with_heading([], title, [""] * gap + body), ["key:fire", "shot"])
                if moves:
                    # The page ends with the lines before; the heading opens
                    # the next page with its text under it.
                    self.assertTrue(first.pixels == lines_only.pixels)
                    self.assertTrue(second.pixels == top.pixels)
                else:
                    self.assertFalse(first.pixels == lines_only.pixels)
                    # The heading's text follows it on the same page.
                    rows = first.rows_with(BLACK)
                    self.assertGreater(rows[-1], 3 + 10 * (before + title_lines + gap))

    def test_wrapped_lines_begin_with_a_word_and_long_words_take_a_hyphen(self):
        # 34 letters fill the 170-pixel line exactly.
        cases = [
            ("a word filling a line exactly, then a blank", "a" * 34 + " bbb", "a" * 34 + "\r\nbbb", FONT),
            ("the same after a wrap", "aa " + "a" * 34 + " bbb", "aa\r\n" + "a" * 34 + "\r\nbbb", FONT),
            ("blanks that do not fit, then a line break", "a" * 34 + "   \r\nbbb", "a" * 34 + "\r\nbbb", FONT),
            ("a long word takes a hyphen", "a" * 40 + " b", "a" * 33 + "-\r\n" + "a" * 7 + " b", FONT),
            ("without a hyphen in the font it is cut", "a" * 40 + " b", "a" * 34 + "\r\n" + "a" * 6 + " b",
             NO_HYPHEN_FONT),
        ]
        for name, text, expected, fonts in cases:
            with self.subTest(name):
                (shot,), _ = self.run_book(book(text, fonts), ["key:fire", "shot"])
                (want,), _ = self.run_book(book(expected, fonts), ["key:fire", "shot"])
                self.assertTrue(shot.pixels == want.pixels)

    def test_splash_cover_fits_a_small_screen_whole(self):
        sys.path.insert(0, os.path.join(SOURCE, "reader", "tools"))
        from make_pictures import png as draw

        # A 176x208 cover with a red frame two pixels wide, blue inside.
        def pixel(x, y):
            edge = x < 2 or y < 2 or x >= 174 or y >= 206
            return (255, 0, 0, 255) if edge else (0, 0, 255, 255)

        cover = {"splash.png": draw(176, 208, pixel)}
        for size, width, height in (("128x160", 128, 151), ("176x208", 176, 208), ("240x320", 176, 208)):
            with self.subTest(size=size):
                (shot,), _ = self.run_book(book("ab", extra_files=cover), ["shot"], size=size)
                left = (shot.width - width) // 2
                middle = shot.height // 2
                # Both sides of the frame show, and the blue between them.
                self.assertEqual(shot.at(left, middle), RED)
                self.assertEqual(shot.at(left + width - 1, middle), RED)
                self.assertEqual(shot.at(left + width // 2, middle), BLUE)
                # Nothing of the frame is lost or stands inside the picture.
                row = [x for x in range(shot.width) if shot.at(x, middle) == RED]
                self.assertTrue(all(x < left + 2 or x >= left + width - 2 for x in row), row)


class StateAfterADetour(ReaderCase):
    START = "Read " + linked("note", M) + " first.\r\n" + "ab ab\r\n" * 30
    NOTE = "The note.\r\n" + "c ab\r\n" * 30

    def test_back_then_select_follows_the_same_link(self):
        chain = book(self.START + self.NOTE, links=["l%d" % len(self.START)])
        (active, note, back, again), _ = self.run_book(
            chain, ["key:fire", "key:right", "shot", "key:fire", "shot", "key:clear", "shot", "key:fire", "shot"])
        self.assertTrue(back.pixels == active.pixels, "the followed link is active again")
        self.assertTrue(again.pixels == note.pixels, "Select follows it again")
        self.assertFalse(note.pixels == active.pixels)

    def test_find_next_goes_on_from_the_last_match_after_a_note(self):
        text = ("ab " + linked("note", M) + " needle\r\n" + "ab ab\r\n" * 40 + "second needle\r\n" + "ab\r\n" * 40
                + "The note.\r\n")
        find = ["key:fire", "key:4", "type:needle", "cmd:Ok", "idle", "shot"]
        needles = book(text, links=["l%d" % text.index("The note.")])
        (first, detour, second), _ = self.run_book(
            needles, find + ["key:right", "key:fire", "shot", "key:clear", "key:9", "idle", "shot"])
        (first_again, direct), _ = self.run_book(needles, find + ["key:9", "idle", "shot"])
        self.assertTrue(first.pixels == first_again.pixels)
        self.assertFalse(detour.pixels == first.pixels)
        self.assertTrue(second.pixels == direct.pixels, "find next after Back gives the second match")
        self.assertFalse(second.pixels == first.pixels)

    def test_a_wrong_code_then_the_right_one(self):
        locked = book("ab ab ab\r\n" * 5, password=4711, password_mode=1)
        shots, out = self.run_book(locked, ["key:fire", "dump", "type:1234", "cmd:Ok", "dump", "idle", "dump",
                                            "type:4711", "cmd:Ok", "shot"])
        screens = out.split("screen: ")[1:]
        self.assertTrue(screens[0].startswith("Form:"))
        self.assertTrue(screens[1].startswith("Alert:"))
        # The form again, its field empty, ready for the right code.
        self.assertTrue(screens[2].startswith("Form:"))
        self.assertIn("[]", screens[2])
        (plain,), _ = self.run_book(book("ab ab ab\r\n" * 5), ["key:fire", "shot"])
        self.assertTrue(shots[0].pixels == plain.pixels)


if __name__ == "__main__":
    unittest.main()
