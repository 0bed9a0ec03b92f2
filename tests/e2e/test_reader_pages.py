"""The reader in the midp-host: it opens a book made of cfg.dat and masked
text files, shows the first page, turns pages both ways, hides the link id
characters and reports a damaged midlet on a "Fatal error" form."""
import unittest

from readerkit import Book, Shot, Workspace, run_host

WHITE, BLACK, BLUE = 0xFFFFFF, 0x000000, 0x0000FF
PARAGRAPH = "Paragraph %d tells a small story with enough words to wrap at the edge of a phone screen."
LONG_TEXT = "\r\n".join(PARAGRAPH % i for i in range(120))


class ReaderPages(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()

    def tearDown(self):
        self.ws.cleanup()

    def shots(self, book, actions, name="book.jar", **host):
        """Runs the book with actions in which 'shot' means take the next
        screenshot; a first key press leaves the splash screen."""
        jar = book.jar(self.ws.path(name))
        paths = []
        run_actions = ["key:fire"]
        for a in actions:
            if a == "shot":
                paths.append(self.ws.path("s%d.ppm" % len(paths)))
                run_actions.append("shot:" + paths[-1])
            else:
                run_actions.append(a)
        run_host(jar, run_actions, **host)
        return [Shot(p) for p in paths]

    def test_first_page_then_next_and_back(self):
        first, second, back = self.shots(Book(LONG_TEXT), ["shot", "key:down", "shot", "key:up", "shot"])
        # Background of the first colour scheme, text ink inside the margins.
        self.assertEqual(first.at(0, 0), WHITE)
        self.assertEqual(first.count(BLACK, (0, 0, first.width, 3)), 0)
        self.assertGreater(first.count(BLACK), 500)
        # Text fills the screen down to its last rows, not one line only.
        ink_rows = first.rows_with(BLACK)
        self.assertGreater(ink_rows[-1], first.height * 3 // 4)
        self.assertNotEqual(first.pixels, second.pixels)
        self.assertGreater(second.count(BLACK), 500)
        self.assertEqual(first.pixels, back.pixels)

    def test_pages_cover_the_text_and_stop_at_its_end(self):
        text = "\r\n".join("Row %d" % i for i in range(30))
        shots = self.shots(Book(text), ["shot"] + ["key:down", "shot"] * 4)
        # 30 short rows fill two to three screens; then the last page stays.
        self.assertNotEqual(shots[0].pixels, shots[1].pixels)
        self.assertEqual(shots[3].pixels, shots[4].pixels)
        self.assertGreater(shots[4].count(BLACK), 50)

    def test_password_mask_is_removed(self):
        plain, = self.shots(Book(LONG_TEXT), ["shot"], name="plain.jar")
        masked, = self.shots(Book(LONG_TEXT, password=4711), ["shot"], name="masked.jar")
        self.assertEqual(plain.pixels, masked.pixels)

    def test_text_spanning_several_files_reads_on(self):
        # Long enough for several 4096-unit files; paging crosses the file borders.
        text = "\r\n".join(PARAGRAPH % i for i in range(400))
        self.assertGreater(len(text), 3 * 4096)
        shots = self.shots(Book(text), ["shot"] + ["key:down"] * 60 + ["shot"] + ["key:up"] * 60 + ["shot"])
        self.assertGreater(shots[1].count(BLACK), 500)
        self.assertEqual(shots[0].pixels, shots[2].pixels)

    def test_link_id_characters_are_not_drawn_as_text(self):
        m = chr(0xE000)
        linked = "See " + "".join(m + c for c in "here") + m + " now."
        plain = "See here now."
        with_link, = self.shots(Book(linked, links=["l0"]), ["shot"], name="a.jar")
        without, = self.shots(Book(plain), ["shot"], name="b.jar")
        # The same letters; the linked word in the link colour.
        self.assertGreater(with_link.count(BLUE), 20)
        self.assertEqual(without.count(BLUE), 0)

        def ink(shot):
            return {(x, y) for y in range(24) for x in range(shot.width) if shot.at(x, y) != WHITE}

        plain_ink, link_ink = ink(without), ink(with_link)
        # "See " stays where it was; the link and what follows move on by the
        # room its pointer takes (7 pixels and a blank), which no letter covers.
        moved = min(x for x, _ in plain_ink ^ link_ink)
        self.assertTrue({(x, y) for x, y in plain_ink if x < moved} <= link_ink)
        # Underlining adds pixels to the link; nothing of the text is lost.
        self.assertTrue({(x + 8, y) for x, y in plain_ink if x >= moved} <= link_ink)

    def test_damaged_midlet_shows_fatal_error_form(self):
        jar = Book("Some text").jar(self.ws.path("broken.jar"), omit=("cfg.dat",))
        out = run_host(jar, ["dump"]).stdout
        self.assertIn("Fatal error", out)


if __name__ == "__main__":
    unittest.main()
