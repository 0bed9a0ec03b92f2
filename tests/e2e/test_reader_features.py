"""The reader's features in the midp-host, each seen on the screen: splash,
smooth scrolling, colour schemes, phone and loadable fonts, landscape."""
import unittest

from readerkit import Book, ReaderCase, font_file, png

WHITE, BLACK, BLUE, RED, YELLOW = 0xFFFFFF, 0x000000, 0x0000FF, 0xFF0000, 0xFFFF00
M, N = chr(0xE000), chr(0xE001)
FILLER = "\r\n".join("Filler line %d with a few words in it." % i for i in range(60))


def linked(text, link_id):
    """A link's text as the book files carry it: M c1 M c2 ... M cn M."""
    return link_id + "".join(c + link_id for c in text)


class ReaderFeatures(ReaderCase):
    def test_splash_then_text_after_its_timeout(self):
        (splash, page), _ = self.run_book(Book(FILLER, splash_timeout=1, texts={20: "Top line"}),
                                         ["shot", "wait:1600", "shot"])
        # The splash shows its two texts at the top and bottom, nothing between.
        rows = splash.rows_with(BLACK)
        self.assertTrue(rows and rows[0] < 30 and rows[-1] > splash.height - 30)
        self.assertEqual(splash.count(BLACK, (0, 60, splash.width, 80)), 0)
        self.assertGreater(page.count(BLACK, (0, 60, page.width, 80)), 50)

    def test_splash_texts_readable_over_a_cover(self):
        # A cover as dark as the text: each splash text stands on a band of
        # the page colour.
        book = Book(FILLER, extra_files={"splash.png": png(176, 208, BLACK)}, texts={20: "Top line"})
        (splash,), _ = self.run_book(book, ["shot"])
        for rows in ((0, 24), (splash.height - 24, splash.height)):
            box = (0, rows[0], splash.width, rows[1])
            self.assertGreater(splash.count(WHITE, box), 300)
            band = [y for y in range(*rows) if splash.at(splash.width // 2, y) == WHITE]
            self.assertTrue(band)
            # Letters inside the band: ink between its first and last white rows.
            self.assertGreater(splash.count(BLACK, (30, band[0], splash.width - 30, band[-1])), 20)

    def test_colour_scheme_switch(self):
        book = Book(FILLER, schemes=[(WHITE, BLACK, BLUE), (BLACK, YELLOW, RED)])
        (first, second), out = self.run_book(book, ["key:fire", "shot", "key:5", "dump", "choose:5:1",
                                                    "cmd:Ok", "shot"])
        self.assertIn("Color map", out)
        self.assertEqual(first.at(0, 0), WHITE)
        self.assertEqual(second.at(0, 0), BLACK)
        self.assertGreater(second.count(YELLOW), 500)
        self.assertEqual(second.count(WHITE), 0)

    def test_landscape_with_phone_fonts_on_midp2(self):
        (landscape,), _ = self.run_book(Book(FILLER, portrait=False), ["key:fire", "shot"], size="176x208",
                                        midp2=True)
        # The full-screen canvas keeps its soft-key labels at the bottom,
        # below a line across the screen; the page turns in the rest.
        area = next(y for y in range(landscape.height - 1, 0, -1)
                    if landscape.count(BLACK, (0, y, landscape.width, y + 1)) == landscape.width)
        self.assertGreater(area, landscape.height - 30)
        (portrait,), _ = self.run_book(Book(FILLER), ["key:fire", "shot"], size="%dx176" % area)
        (midp1,), _ = self.run_book(Book(FILLER, portrait=False), ["key:fire", "shot"], size="176x208")
        p, l = portrait, landscape
        self.assertGreater(p.count(BLACK), 1000)
        for y in range(area):
            for x in range(l.width):
                self.assertEqual(l.at(x, y), p.at(y, l.width - 1 - x), (x, y))
        # A MIDP 1.0 phone cannot turn phone fonts: the page stays upright.
        self.assertNotEqual(midp1.pixels, landscape.pixels)

    def test_smooth_scroll_slides_to_the_same_page(self):
        (sliding, slid, back), _ = self.run_book(Book(FILLER, smooth_scroll=10),
                                                 ["key:fire", "key:down", "shot", "wait:1500", "shot",
                                                  "key:up", "wait:1500", "shot"])
        (first, second), _ = self.run_book(Book(FILLER), ["key:fire", "shot", "key:down", "shot"])
        self.assertEqual(slid.pixels, second.pixels)
        self.assertEqual(back.pixels, first.pixels)
        # Right after the key the text is on its way, neither page yet.
        self.assertNotEqual(sliding.pixels, first.pixels)
        self.assertNotEqual(sliding.pixels, second.pixels)

    def test_font_key_cycles_phone_fonts(self):
        shots, _ = self.run_book(Book(FILLER), ["key:fire", "shot", "key:0", "shot", "key:0", "shot"])
        self.assertNotEqual(shots[0].pixels, shots[1].pixels)
        self.assertNotEqual(shots[1].pixels, shots[2].pixels)

    # A loadable font of two glyphs: 'a' a solid 6x9 block, 'b' a hollow 5x9 box.
    FONT = {"font0p0.dat": font_file(9, {"a": [0x1FF] * 6, "b": [0x1FF, 0x101, 0x101, 0x101, 0x1FF],
                                         " ": [0, 0, 0]})}

    def test_loadable_font_glyphs_are_drawn_from_their_columns(self):
        book = Book("ab ab", font_count=1, extra_files=self.FONT)
        (shot,), _ = self.run_book(book, ["key:fire", "shot"])
        m = 3  # text margin
        for y in range(9):
            for x in range(6):
                self.assertEqual(shot.at(m + x, m + y), BLACK, (x, y))
            for x in range(5):
                edge = x in (0, 4) or y in (0, 8)
                self.assertEqual(shot.at(m + 6 + x, m + y), BLACK if edge else WHITE, (x, y))
        self.assertEqual(shot.count(BLACK), 2 * (54 + 24))

    def test_font_without_glyphs_gives_way_to_a_phone_font(self):
        empty = {"font0p0.dat": font_file(9, {})}
        (shot,), _ = self.run_book(Book(FILLER, font_count=1, extra_files=empty), ["key:fire", "shot"])
        (phone,), _ = self.run_book(Book(FILLER), ["key:fire", "shot"])
        self.assertEqual(shot.pixels, phone.pixels)

    def test_landscape_is_the_portrait_page_turned(self):
        text = "ab ba aab bba " * 40
        portrait, _ = self.run_book(Book(text, font_count=1, extra_files=self.FONT),
                                    ["key:fire", "shot"], size="208x176")
        landscape, _ = self.run_book(Book(text, font_count=1, portrait=False, extra_files=self.FONT),
                                     ["key:fire", "shot"], size="176x208")
        p, l = portrait[0], landscape[0]
        self.assertGreater(p.count(BLACK), 1000)
        for y in range(l.height):
            for x in range(l.width):
                self.assertEqual(l.at(x, y), p.at(y, l.width - 1 - x), (x, y))

    def test_many_pictures_stay_right_after_paging_far_and_back(self):
        # More pictures than the reader keeps decoded at a time: coming back,
        # the first ones are read again and drawn as before.
        ids = [chr(0xE000 + i) for i in range(16)]
        colours = [(0x200000 * (i + 1)) & 0xFFFFFF | 0x40 for i in range(16)]
        text = "".join("Before picture %d.\r\n%s\r\n" % (i, ids[i]) for i in range(16)) + "The end."
        book = Book(text, links=["Ipic%d.png" % i for i in range(16)],
                    extra_files={"pic%d.png" % i: png(160, 128, colours[i]) for i in range(16)})
        shots, _ = self.run_book(book, ["key:fire", "shot"] + ["key:down"] * 12 + ["shot"] + ["key:up"] * 12
                                 + ["shot"])
        first, far, back = shots
        self.assertGreater(first.count(colours[0]), 160 * 100)
        self.assertEqual(far.count(colours[0]), 0)
        self.assertTrue(back.pixels == first.pixels, "the first page differs after paging back")


if __name__ == "__main__":
    unittest.main()
