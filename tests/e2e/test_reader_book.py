"""Books made by the program, opened by the reader in the midp-host: the first
screen shows the book's first words in each text encoding, pages turn, and the
configuration's password, colours, loadable font and layout reach the screen,
and the bundled example's contents lead to its chapters."""
import os
import shutil
import struct
import subprocess
import unittest
import zipfile

from readerkit import Book, ProgramCase, Shot, run_host

WHITE, BLACK, NAVY, YELLOW = 0xFFFFFF, 0x000000, 0x000080, 0xFFFF00
OPENING = "Caf\u00e9 cr\u00e8me on the quay: na\u00efve fa\u00e7ade, d\u00e9j\u00e0 vu, \u00e0 la carte."
TEXT = OPENING + "\r\n" + "\r\n".join(
    "Paragraph %d of the harbour story, where the boats come in late and the lamp burns on." % i
    for i in range(40))


class BuiltBooks(ProgramCase):
    def setUp(self):
        super().setUp()
        self.count = 0

    def make(self, data, options=()):
        """Builds a book from the source bytes; returns the JAR's path."""
        self.count += 1
        name = "Book%d" % self.count
        with open(self.path(name + ".txt"), "wb") as f:
            f.write(data)
        lines = ["# a book of the reader tests", "BookName=" + name, "TextFileName=%s.txt" % name,
                 "OutputDir=" + self.dir, "SplashTimeout=0", "SmoothScroll=0"]
        lines += list(options)
        with open(self.path(name + ".cfg"), "wb") as f:
            f.write("".join(line + "\r\n" for line in lines).encode("utf-8"))
        proc = subprocess.run([self.program, "-make", self.path(name + ".cfg")], capture_output=True,
                              text=True, timeout=120)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
        return self.path(name + ".jar")

    def shots(self, jar, actions, size=None):
        paths, run_actions = [], []
        for a in actions:
            if a == "shot":
                paths.append(self.path("shot%d_%d.ppm" % (self.count, len(paths))))
                run_actions.append("shot:" + paths[-1])
            else:
                run_actions.append(a)
        out = run_host(jar, run_actions, size=size).stdout
        return [Shot(p) for p in paths], out

    def test_first_screen_shows_the_first_words_in_every_encoding(self):
        (expected, expected_next), _ = self.shots(Book(TEXT).jar(self.path("ref.jar")),
                                                  ["key:fire", "shot", "key:down", "shot"])
        self.assertGreater(expected.count(BLACK, (0, 0, expected.width, 20)), 100)
        sources = {
            "utf-8": TEXT.encode("utf-8"),
            "utf-16le": b"\xff\xfe" + TEXT.encode("utf-16-le"),
            "utf-16be": b"\xfe\xff" + TEXT.encode("utf-16-be"),
            "windows-1252": TEXT.encode("cp1252"),
        }
        for encoding, data in sources.items():
            with self.subTest(encoding=encoding):
                (first, second), _ = self.shots(self.make(data), ["key:fire", "shot", "key:down", "shot"])
                self.assertEqual(first.pixels, expected.pixels)
                self.assertEqual(second.pixels, expected_next.pixels)

    def test_password_opens_the_book_only_with_its_code(self):
        jar = self.make(TEXT.encode("utf-8"), ["PasswordMode=2", "Password=4711"])
        (opened,), out = self.shots(jar, ["key:fire", "type:1234", "cmd:Ok", "dump", "idle", "type:4711", "cmd:Ok",
                                          "shot"])
        self.assertIn("Alert: Password protection\n  Wrong password", out)
        (plain,), _ = self.shots(Book(TEXT).jar(self.path("ref.jar")), ["key:fire", "shot"])
        self.assertEqual(opened.pixels, plain.pixels)

    def test_configured_colours(self):
        jar = self.make(TEXT.encode("utf-8"), ["BackColor1=$000080", "FontColor1=$ffff00", "LinkColor1=$ff"])
        (shot,), _ = self.shots(jar, ["key:fire", "shot"])
        self.assertEqual(shot.at(0, 0), NAVY)
        self.assertGreater(shot.count(YELLOW), 500)


    def test_loadable_font_upright_and_turned(self):
        font = ["FontName1=Liberation Sans", "FontSize1=8"]
        upright = self.make(TEXT.encode("utf-8"), font + ["PortraitLayout=true"])
        turned = self.make(TEXT.encode("utf-8"), font + ["PortraitLayout=false"])
        with zipfile.ZipFile(turned) as z:
            self.assertIn("font0p0.dat", z.namelist())
        (p,), _ = self.shots(upright, ["key:fire", "shot"], size="208x176")
        (l,), _ = self.shots(turned, ["key:fire", "shot"], size="176x208")
        self.assertGreater(p.count(BLACK), 1000)
        for y in range(l.height):
            for x in range(l.width):
                self.assertEqual(l.at(x, y), p.at(y, l.width - 1 - x), (x, y))

    def test_example_configuration_makes_an_upright_wrapped_book(self):
        example = self.path("example.cfg")
        proc = subprocess.run([self.program, "-config", example], capture_output=True, text=True, timeout=60)
        self.assertEqual(proc.returncode, 0, proc.stdout)
        with open(example, "rb") as f:
            lines = f.read().decode("utf-16").split("\r\n")
        filled = {"BookName": "FromExample", "TextFileName": self.path("story.txt"), "OutputDir": self.dir}
        lines = [k + "=" + filled[k] if k in filled and line == k + "=" else line
                 for line in lines for k in [line.split("=")[0]]]
        with open(example, "wb") as f:
            f.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
        with open(self.path("story.txt"), "wb") as f:
            f.write(TEXT.encode("utf-8"))
        proc = subprocess.run([self.program, "-make", example], capture_output=True, text=True, timeout=120)
        self.assertEqual(proc.returncode, 0, proc.stdout)
        jar = self.path("FromExample.jar")
        with zipfile.ZipFile(jar) as z:
            cfg = z.read("cfg.dat")
        # Word wrap and portrait layout on, then after the colour map the margin.
        self.assertEqual(cfg[12:20], b"\0\0\0\1\0\0\0\1")
        self.assertEqual(cfg[36:40], b"\0\0\0\3")
        # Page for page what a book with upright, wrapped text and a margin shows.
        (page,), _ = self.shots(jar, ["key:fire", "shot"])
        (expected,), _ = self.shots(Book(TEXT, portrait=True, word_wrap=True, text_margin=3).jar(self.path("ref.jar")),
                                    ["key:fire", "shot"])
        self.assertEqual(page.pixels, expected.pixels)

    def test_divided_book_says_which_part_holds_a_place(self):
        filler = "\r\n".join("Line %d of a chapter that goes on for a while." % i for i in range(60))
        source = ("<#tableofcontent><#header 1>One<#/header>\r\n" + filler + "\r\n" + filler + "\r\n"
                  "<#header 1>Two<#/header>\r\n" + filler)
        jar = self.make(source.encode("utf-8"), ["TextPartCount=2", "TextPartLink="])
        first_part = jar.replace(".jar", "1.jar")
        name = os.path.basename(jar)[:-4]
        notice = "This place is in part 2 of the book: %s2." % name
        # In the first part's files, the contents entry of "Two" leads to the notice.
        with zipfile.ZipFile(first_part) as z:
            pieces = sorted((n for n in z.namelist() if n.startswith("book")), key=lambda n: int(n[4:-4]))
            text = b"".join(z.read(n) for n in pieces).decode("utf-16-be")
            cfg = z.read("cfg.dat")
        schemes = struct.unpack(">i", cfg[20:24])[0]
        first_id, last_id = struct.unpack(">ii", cfg[48 + 12 * schemes:56 + 12 * schemes])
        at, links = 56 + 12 * schemes, []
        for _ in range(last_id - first_id + 1):
            size = struct.unpack(">i", cfg[at:at + 4])[0]
            links.append(cfg[at + 4:at + 4 + 2 * size].decode("utf-16-be"))
            at += 4 + 2 * size
        two_target = int(links[1][1:])  # the header records come first: One, Two
        self.assertTrue(text[two_target:].startswith(notice), text[two_target:two_target + 80])
        self.assertEqual(ord(text[two_target + len(notice) + 2]), first_id + 2)  # the row of ">" is a link
        # On the phone: the second contents entry, followed, shows the notice.
        (page,), _ = self.shots(first_part, ["key:fire", "key:right", "key:right", "key:fire", "shot"])
        m, n = chr(0xE000), chr(0xE001)
        back_link = n + "".join(c + n for c in ">>>>")
        # The same notice on the first page of a book where it is a heading
        # too (the record of "Two" leads there) and nothing else is in sight.
        ref_text = notice + "  " + back_link + "      \r\n" + "\n" * 40
        reference = Book(ref_text + m + "X" + m + "\n", links=["l0", "l0"], toc_position=len(ref_text))
        (expected,), _ = self.shots(reference.jar(self.path("notice.jar")), ["key:fire", "shot"])
        self.assertEqual(page.pixels, expected.pixels)

    def test_example_book_contents_lead_to_the_chapters(self):
        examples = os.path.join(os.environ["PAGINOR_SOURCE_DIR"], "examples")
        for name in os.listdir(examples):
            shutil.copy(os.path.join(examples, name), self.path(name))
        proc = subprocess.run([self.program, "-make", self.path("example.cfg")], capture_output=True,
                              text=True, timeout=120)
        self.assertEqual(proc.returncode, 0, proc.stdout)
        jar = self.path(os.path.join("midlets", "Example.jar"))
        # The second entry of the contents, followed; then the first page
        # from the navigator and the same header found by searching past its
        # line in the contents; then Back three times retraces the jumps.
        (first, entry, followed, found, back, back_again, contents), _ = self.shots(jar, [
            "key:fire", "shot", "key:right", "key:right", "shot", "key:fire", "idle", "shot",
            "key:1", "select:1", "key:4", "type:2. The night", "cmd:Ok", "key:9", "idle", "shot",
            "key:clear", "idle", "shot", "key:clear", "idle", "shot", "key:clear", "idle", "shot"])
        self.assertGreater(first.count(0x0000FF), 100)  # the contents are links
        self.assertNotEqual(first.pixels, followed.pixels)
        # The found header is marked: the same page but for its first line
        # (a heading line, in the larger font).
        line = 3 * first.width * 24
        self.assertNotEqual(followed.pixels[:line], found.pixels[:line])
        self.assertEqual(followed.pixels[line:], found.pixels[line:])
        self.assertEqual(back.pixels, first.pixels)
        self.assertEqual(back_again.pixels, followed.pixels)
        # The contents again, with the entry that was followed active.
        self.assertEqual(contents.pixels, entry.pixels)
        self.assertNotEqual(entry.pixels, first.pixels)


if __name__ == "__main__":
    unittest.main()
