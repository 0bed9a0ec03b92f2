"""The reader's links in the midp-host, each seen on the screen: label jumps,
table-of-contents entries, inline pictures, picture links and the services
the phone lacks."""
import unittest

from readerkit import Book, ReaderCase, png

WHITE, BLACK, BLUE, RED, YELLOW = 0xFFFFFF, 0x000000, 0x0000FF, 0xFF0000, 0xFFFF00
M, N = chr(0xE000), chr(0xE001)
FILLER = "\r\n".join("Filler line %d with a few words in it." % i for i in range(60))


def linked(text, link_id):
    """A link's text as the book files carry it: M c1 M c2 ... M cn M."""
    return link_id + "".join(c + link_id for c in text)


class ReaderLinks(ReaderCase):
    def test_label_link_lands_on_its_target(self):
        head = "Go " + linked("there", M) + " now.\r\n" + FILLER + "\r\n"
        target = "The target paragraph starts here and goes on.\r\n" + FILLER
        book = Book(head + target, links=["l%d" % len(head)])
        (jumped,), _ = self.run_book(book, ["key:fire", "key:right", "key:fire", "shot"])
        (expected,), _ = self.run_book(Book(target), ["key:fire", "shot"])
        self.assertEqual(jumped.pixels, expected.pixels)

    def test_table_of_contents_entry_leads_to_its_header(self):
        toc = linked("One", M) + "\n" + linked("Two", N) + "\n"
        body = "One\r\n" + FILLER + "\r\n"
        two = "Two\r\nThe second chapter.\r\n" + FILLER
        text = toc + body + two
        book = Book(text, links=["l%d" % len(toc), "l%d" % (len(toc) + len(body))])
        (page, jumped), _ = self.run_book(book, ["key:fire", "shot", "key:right", "key:right", "key:fire", "shot"])
        (expected,), _ = self.run_book(Book(two), ["key:fire", "shot"])
        self.assertGreater(page.count(BLUE), 30)  # the entries are links
        self.assertEqual(jumped.pixels, expected.pixels)

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

    def test_link_command_is_named_after_the_link_and_follows_it(self):
        # Three links on one page: a label jump, a picture link and a web link.
        head = ("Go " + linked("there", M) + ", see " + linked("the flag", N) + ", visit "
                + linked("our site", chr(0xE002)) + ".\r\n" + FILLER + "\r\n")
        target = "The target paragraph starts here and goes on.\r\n" + FILLER
        book = Book(head + target, links=["l%d" % len(head), "iflag.png", "hexample.org"],
                    extra_files={"flag.png": png(50, 20, RED)})
        _, out = self.run_book(book, ["key:fire", "dump", "key:right", "dump", "key:right", "dump",
                                      "key:right", "dump", "key:down", "dump"], midp2=True)
        screens = out.split("screen: ")[1:]
        commands = [[line.strip()[1:-1] for line in s.splitlines() if line.strip().startswith("[")]
                    for s in screens]
        self.assertEqual(commands, [["Menu"], ["Menu", "Go to"], ["Menu", "Show image"],
                                    ["Menu", "Go to link"], ["Menu"]])

        # Invoking each command follows its link, as Select does.
        (jumped,), _ = self.run_book(book, ["key:fire", "key:right", "cmd:Go to", "shot"])
        (expected,), _ = self.run_book(Book(target), ["key:fire", "shot"])
        self.assertEqual(jumped.pixels, expected.pixels)
        # A Nokia full canvas takes no commands: Select alone follows the link there.
        (nokia,), _ = self.run_book(book, ["key:fire", "key:right", "key:fire", "shot"], nokia=True)
        self.assertEqual(nokia.pixels, expected.pixels)
        (full, back), out = self.run_book(book, ["key:fire", "key:right", "key:right", "cmd:Show image", "shot",
                                                 "dump", "key:fire", "shot", "dump"])
        self.assertEqual(full.count(RED), 50 * 20)
        self.assertNotIn("[Show image]", out.split("screen: ")[1])  # not while the picture is shown
        self.assertIn("[Show image]", out.split("screen: ")[2])  # back on the page, the link still active
        self.assertEqual(back.count(RED), 0)
        _, out = self.run_book(book, ["key:fire", "key:right", "key:right", "key:right", "cmd:Go to link"],
                               midp2=True)
        self.assertIn("platform request: http://example.org", out)

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
