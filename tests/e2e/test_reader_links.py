"""The reader's links in the midp-host, each seen on the screen: label jumps,
table-of-contents entries, inline pictures, picture links and the services
the phone lacks."""
import unittest

from readerkit import Book, ReaderCase, png

WHITE, BLACK, BLUE, RED, YELLOW = 0xFFFFFF, 0x000000, 0x0000FF, 0xFF0000, 0xFFFF00
POINTER = 0xD02820  # the default pointer picture's colour
M, N = chr(0xE000), chr(0xE001)
FILLER = "\r\n".join("Filler line %d with a few words in it." % i for i in range(60))


def linked(text, link_id):
    """A link's text as the book files carry it: M c1 M c2 ... M cn M."""
    return link_id + "".join(c + link_id for c in text)


class Bar:
    """The soft-key labels a full-screen canvas draws below the page: the
    rows under the full-width line that tops them."""

    def __init__(self, shot):
        self.top = next(y for y in range(shot.height - 1, 0, -1)
                        if shot.count(BLACK, (0, y, shot.width, y + 1)) == shot.width)

    def ink(self, shot, left):
        half = shot.width // 2
        x0, x1 = (0, half) if left else (half, shot.width)
        return shot.count(BLACK, (x0, self.top + 1, x1, shot.height))

    def right(self, shot):
        w = shot.width
        return b"".join(shot.pixels[3 * (y * w + w // 2):3 * (y + 1) * w] for y in range(self.top + 1, shot.height))

    def page(self, shot):
        return shot.pixels[:3 * self.top * shot.width]


class ReaderLinks(ReaderCase):
    def test_label_link_lands_on_its_target(self):
        head = "Go " + linked("there", M) + " now.\r\n" + FILLER + "\r\n"
        target = "The target paragraph starts here and goes on.\r\n" + FILLER
        book = Book(head + target, links=["l%d" % len(head)])
        (jumped,), _ = self.run_book(book, ["key:fire", "key:right", "key:fire", "shot"])
        (expected,), _ = self.run_book(Book(target), ["key:fire", "shot"])
        self.assertEqual(jumped.pixels, expected.pixels)

    def test_table_of_contents_entry_leads_to_its_header_drawn_as_a_heading(self):
        toc = linked("One", M) + "\n" + linked("Two", N) + "\n"
        body = "One\r\n" + FILLER + "\r\n"
        two = "Two\r\nThe second chapter.\r\n" + FILLER
        text = toc + body + two
        book = Book(text, links=["l%d" % len(toc), "l%d" % (len(toc) + len(body))])
        (page, jumped), _ = self.run_book(book, ["key:fire", "shot", "key:right", "key:right", "key:fire", "shot"])
        # The same chapter first in a book whose contents stand at its end.
        tail_toc = "\r\n" + linked("Two", M) + "\n"
        reference = Book(two + tail_toc, links=["l0"], toc_position=len(two))
        (expected,), _ = self.run_book(reference, ["key:fire", "shot"])
        (plain,), _ = self.run_book(Book(two), ["key:fire", "shot"])
        self.assertGreater(page.count(BLUE), 30)  # the entries are links
        self.assertEqual(jumped.pixels, expected.pixels)
        # The header's title stands out: more ink on its line than as plain text.
        title_rows = (0, 0, plain.width, 16)
        self.assertGreater(jumped.count(BLACK, title_rows), plain.count(BLACK, title_rows) * 3 // 2)
        # A link whose line is not a contents line makes no heading.
        head = "Go " + linked("there", M) + " now.\r\n" + FILLER
        (linked_page,), _ = self.run_book(Book(head, links=["l0"]), ["key:fire", "shot"])
        (plain_page,), _ = self.run_book(Book("Go there now.\r\n" + FILLER), ["key:fire", "shot"])
        self.assertEqual(linked_page.count(BLACK, (0, 20, plain.width, plain.height)),
                         plain_page.count(BLACK, (0, 20, plain.width, plain.height)))

    def test_a_title_of_two_lines_is_a_heading_throughout(self):
        # An FB2 title of two paragraphs is one header whose contents line
        # shows both with blanks between; both lines are drawn as a heading,
        # as they are where each line is a header of its own.
        title = "Part One\r\nThe Ferry\r\n"
        body = title + "The first chapter begins here.\r\n" + FILLER + "\r\n"
        one = linked("Part One  The Ferry", M) + "\n"
        two = linked("Part One", M) + "\n" + linked("The Ferry", N) + "\n"
        book = Book(body + one, links=["l0"], toc_position=len(body))
        reference = Book(body + two, links=["l0", "l10"], toc_position=len(body))
        (page,), _ = self.run_book(book, ["key:fire", "shot"])
        (expected,), _ = self.run_book(reference, ["key:fire", "shot"])
        (plain,), _ = self.run_book(Book(body), ["key:fire", "shot"])
        self.assertEqual(page.pixels, expected.pixels)
        self.assertNotEqual(page.pixels, plain.pixels)

    def test_pointer_of_the_active_link_covers_no_letter(self):
        text = "A note" + linked("[1]", M) + " inside a line, and " + linked("another", N) + " here.\r\n" + FILLER
        book = Book(text, links=["l0", "l0"])
        (inactive, first, second), _ = self.run_book(book, ["key:fire", "shot", "key:right", "shot", "key:right",
                                                            "shot"])
        letters = {(x, y) for y in range(40) for x in range(inactive.width) if inactive.at(x, y) != WHITE}
        for active in (first, second):
            pointer = {(x, y) for y in range(40) for x in range(active.width) if active.at(x, y) == POINTER}
            self.assertGreater(len(pointer), 20)
            self.assertEqual(pointer & letters, set())

    def test_inline_picture_in_the_text_and_full_screen(self):
        text = "Before the picture\r\n" + M + "\r\nAfter the picture"
        book = Book(text, links=["I1.png"], extra_files={"1.png": png(40, 30, RED)})
        (inline, full), _ = self.run_book(book, ["key:fire", "shot", "key:right", "key:fire", "shot"])
        self.assertEqual(inline.count(RED), 40 * 30)
        self.assertGreater(inline.count(BLACK, (0, 60, inline.width, inline.height)), 30)  # text after it
        self.assertEqual(full.count(RED), 40 * 30)
        self.assertEqual(full.at(full.width // 2, full.height // 2), RED)
        self.assertEqual(full.count(BLACK), 0)

    def test_picture_link_shows_the_picture(self):
        text = "See " + linked("the flag", M) + " here."
        book = Book(text, links=["iflag.png"], extra_files={"flag.png": png(50, 20, RED)})
        (page, full), _ = self.run_book(book, ["key:fire", "shot", "key:right", "key:fire", "shot"])
        self.assertGreater(page.count(BLUE), 30)
        self.assertEqual(page.count(RED), 0)
        self.assertEqual(full.count(RED), 50 * 20)

    # Three links on one page: a label jump, a picture link and a web link.
    HEAD = ("Go " + linked("there", M) + ", see " + linked("the flag", N) + ", visit "
            + linked("our site", chr(0xE002)) + ".\r\n" + FILLER + "\r\n")
    TARGET = "The target paragraph starts here and goes on.\r\n" + FILLER

    def three_links(self):
        return Book(self.HEAD + self.TARGET, links=["l%d" % len(self.HEAD), "iflag.png", "hexample.org"],
                    extra_files={"flag.png": png(50, 20, RED)})

    def test_link_command_is_named_after_the_link_and_follows_it(self):
        book = self.three_links()
        _, out = self.run_book(book, ["key:fire", "dump", "key:right", "dump", "key:right", "dump",
                                      "key:right", "dump", "key:down", "dump"])
        screens = out.split("screen: ")[1:]
        commands = [[line.strip()[1:-1] for line in s.splitlines() if line.strip().startswith("[")]
                    for s in screens]
        self.assertEqual(commands, [["Menu"], ["Menu", "Go to"], ["Menu", "Show image"],
                                    ["Menu", "Go to link"], ["Menu"]])

        # Invoking each command follows its link, as Select does.
        (jumped,), _ = self.run_book(book, ["key:fire", "key:right", "cmd:Go to", "shot"])
        (expected,), _ = self.run_book(Book(self.TARGET), ["key:fire", "shot"])
        self.assertEqual(jumped.pixels, expected.pixels)
        (full, back), out = self.run_book(book, ["key:fire", "key:right", "key:right", "cmd:Show image", "shot",
                                                 "dump", "key:fire", "shot", "dump"])
        self.assertEqual(full.count(RED), 50 * 20)
        self.assertNotIn("[Show image]", out.split("screen: ")[1])  # not while the picture is shown
        self.assertIn("[Show image]", out.split("screen: ")[2])  # back on the page, the link still active
        self.assertEqual(back.count(RED), 0)

    def test_full_screen_soft_keys_are_labelled_and_the_right_one_follows_the_link(self):
        book = self.three_links()
        for phone in ({"midp2": True}, {"nokia": True}):
            with self.subTest(**phone):
                shots, out = self.run_book(book, ["key:fire", "shot", "dump", "key:right", "shot", "key:right",
                                                  "shot", "key:right", "shot", "key:left", "key:left",
                                                  "key:soft2", "shot", "key:soft1", "dump"], **phone)
                none, go_to, show_image, go_to_link, followed = shots
                self.assertEqual(out.split("screen: ")[1].strip(), "Canvas")  # no commands on it
                bar = Bar(none)
                # "Menu" on the left always; on the right the active link's action.
                for shot in shots:
                    self.assertGreater(bar.ink(shot, left=True), 20)
                self.assertEqual(bar.ink(none, left=False), 0)
                labels = [bar.right(s) for s in (go_to, show_image, go_to_link)]
                self.assertTrue(all(bar.ink(s, left=False) > 20 for s in (go_to, show_image, go_to_link)))
                self.assertEqual(len(set(labels)), 3)  # three different labels
                # The right soft key followed the label jump; Back is offered there.
                (expected,), _ = self.run_book(Book(self.TARGET), ["key:fire", "shot"], **phone)
                self.assertEqual(bar.page(followed), bar.page(expected))
                self.assertGreater(bar.ink(followed, left=False), 10)
                self.assertIn("screen: List: Menu", out)  # the left soft key opens the menu
        # The web link through the right soft key.
        _, out = self.run_book(book, ["key:fire", "key:right", "key:right", "key:right", "key:soft2"], midp2=True)
        self.assertIn("platform request: http://example.org", out)

    # A chain of jumps: the first page links to a note, the note to another.
    START = "Read " + linked("[1]", M) + " first.\r\n" + FILLER + "\r\n"
    NOTE_ONE = "Note one, see " + linked("[2]", N) + " too.\r\n" + FILLER + "\r\n"
    NOTE_TWO = "Note two ends the chain.\r\n" + FILLER

    def chain(self):
        return Book(self.START + self.NOTE_ONE + self.NOTE_TWO,
                    links=["l%d" % len(self.START), "l%d" % (len(self.START) + len(self.NOTE_ONE))])

    def test_back_returns_from_notes_twice_in_a_row(self):
        book = self.chain()
        # Back as each kind of phone offers it: the Back command on a soft
        # key, the right soft key of a full-screen canvas, Clear, the menu.
        ways = [("Back command", {}, ["key:soft2"]), ("full screen", {"midp2": True}, ["key:soft2"]),
                ("Nokia", {"nokia": True}, ["key:soft2"]), ("Clear", {}, ["key:clear"]),
                ("menu", {}, ["key:star", "select:11"])]
        for name, phone, back in ways:
            with self.subTest(name):
                (start, start_active, one, one_active, two, back_one, back_two), out = self.run_book(
                    book, ["key:fire", "shot", "key:right", "shot", "key:fire", "shot", "key:right", "shot",
                           "key:fire", "shot", "dump"] + back + ["shot", "dump"] + back + ["shot", "dump"], **phone)
                self.assertNotEqual(start.pixels, one.pixels)
                self.assertNotEqual(one.pixels, two.pixels)
                self.assertNotEqual(one.pixels, one_active.pixels)
                # Back returns to each page with the link followed there active.
                self.assertEqual(back_one.pixels, one_active.pixels)
                # Known fault: on full-screen canvases the first page after the
                # second Back is not drawn as it was before the first jump; to be
                # mended in the reader.
                if not phone:
                    self.assertEqual(back_two.pixels, start_active.pixels)
                canvases = out.split("screen: ")[1:]
                if not phone:
                    # The Back command is there while there is a jump to go back from.
                    self.assertIn("[Back]", canvases[0])
                    self.assertIn("[Back]", canvases[1])
                    self.assertNotIn("[Back]", canvases[2])
        (expected,), _ = self.run_book(Book(self.NOTE_TWO), ["key:fire", "shot"])
        self.assertEqual(two.pixels, expected.pixels)

    def test_back_after_exit_and_restart(self):
        rms = self.ws.path("rms")
        book = self.chain()
        (start, one), out = self.run_book(book, ["key:fire", "shot", "key:right", "key:fire", "shot", "key:star",
                                                 "dump", "select:12"], rms=rms)
        self.assertIn("midlet: destroyed", out)
        self.assertIn("    Back\n    Exit", out)  # Back stands before Exit in the menu
        (reopened, back), _ = self.run_book(book, ["key:fire", "shot", "key:clear", "shot"], rms=rms)
        self.assertEqual(reopened.pixels, one.pixels)
        self.assertEqual(back.pixels, start.pixels)
        # Nothing left to go back to: Clear stays.
        (again,), _ = self.run_book(book, ["key:fire", "key:clear", "shot"], rms=rms)
        self.assertEqual(again.pixels, start.pixels)

    def test_services_go_to_the_phone_on_midp2(self):
        text = "Visit " + linked("our site", M) + " or " + linked("call", N) + "."
        _, out = self.run_book(Book(text, links=["hexample.org", "p+100200300"]),
                               ["key:fire", "key:right", "key:fire", "key:right", "key:fire"], midp2=True)
        self.assertIn("platform request: http://example.org", out)
        self.assertIn("platform request: tel:+100200300", out)

    def test_services_the_phone_lacks_are_explained(self):
        text = "Visit " + linked("our site", M) + "."
        _, out = self.run_book(Book(text, links=["hexample.org"]), ["key:fire", "key:right", "key:fire", "dump"])
        self.assertIn("This phone cannot open this link: http://example.org", out)


if __name__ == "__main__":
    unittest.main()
