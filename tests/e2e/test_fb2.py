"""An FB2 book in windows-1251 with a cover, two pictures, a table of contents
and notes becomes a midlet: the source dump holds the tagged text, the JAR
holds the pictures, cfg.dat and the Cyrillic text, and the reader shows it."""
import base64
import os
import struct
import subprocess
import unittest
import zipfile

from readerkit import ProgramCase, Shot, png, run_host

TITLE = "Тихая река"
CHAPTER_ONE = "Глава первая"
CHAPTER_TWO = "Глава вторая"
FIRST_LINE = "Жили-были дед да баба, и была у них курочка"
NOTE_TEXT = "Курочка Ряба — героиня сказки."
INK, LINK = 0x000000, 0x0000FF  # text and link colours of the first colour scheme


COVER = png(40, 30, 0xC81E1E)
PICTURE_ONE = png(20, 10, 0x1EC81E)
PICTURE_TWO = png(10, 20, 0x1E1EC8)


def binary(name, data):
    text = base64.b64encode(data).decode("ascii")
    lines = "\n".join(text[i:i + 60] for i in range(0, len(text), 60))
    return '<binary id="%s" content-type="image/png">\n%s\n</binary>\n' % (name, lines)


def fb2(encoding, letters=lambda s: s):
    """The book, declared in `encoding`; `letters` may rewrite its words."""
    t = letters
    return ("""<?xml version="1.0" encoding="%s"?>
<FictionBook xmlns="http://www.gribuser.ru/xml/fictionbook/2.0" xmlns:l="http://www.w3.org/1999/xlink">
<description><title-info>
  <author><first-name>%s</first-name><last-name>%s</last-name></author>
  <book-title>%s</book-title><date>2026</date>
  <coverpage><image l:href="#cover.png"/></coverpage>
</title-info></description>
<body>
  <title><p>%s</p></title>
  <section id="ch1">
    <title><p>%s</p></title>
    <p>%s<a l:href="#n1" type="note">[1]</a>.</p>
    <image l:href="#pic1.png"/>
  </section>
  <section id="ch2">
    <title><p>%s</p></title>
    <p>%s</p>
    <image l:href="#pic2.png"/>
  </section>
</body>
<body name="notes">
  <section id="n1"><title><p>1</p></title><p>%s</p></section>
</body>
""" % (encoding, t("Анна"), t("Берг"), t(TITLE), t(TITLE), t(CHAPTER_ONE), t(FIRST_LINE),
       t(CHAPTER_TWO), t("Снесла курочка яичко."), t(NOTE_TEXT)) +
            binary("cover.png", COVER) + binary("pic1.png", PICTURE_ONE) +
            binary("pic2.png", PICTURE_TWO) + "</FictionBook>\n").encode(encoding)


def question_marks(text):
    return "".join("?" if "\u0400" <= c <= "\u04ff" else c for c in text)


class Fb2Book(ProgramCase):
    def make(self, book_bytes, name="Kniga", details_line=True):
        """Builds the book; returns (log, JAR path). details_line adds an
        "813" line to the configuration."""
        with open(self.path("book.fb2"), "wb") as f:
            f.write(book_bytes)
        options = ["BookName=" + name, "TextFileName=" + self.path("book.fb2"),
                   "OutputDir=" + self.path("midlets"), "ImageMode=1", "SplashTimeout=0",
                   "DebugLevel=7"] + (["813=About"] if details_line else [])
        with open(self.path("book.cfg"), "wb") as f:
            f.write("".join(o + "\r\n" for o in options).encode("utf-8"))
        result = subprocess.run([self.program, "-make", self.path("book.cfg")], cwd=self.dir,
                                capture_output=True, timeout=120)
        log = result.stdout.decode("utf-8")
        self.assertEqual(result.returncode, 0, log + result.stderr.decode("utf-8", "replace"))
        self.assertIn("+ Created midlet [%s] OK" % name, log)
        return log, self.path("midlets", name + ".jar")

    def test_windows_1251_book_becomes_a_midlet(self):
        log, jar = self.make(fb2("windows-1251"))
        temp2 = self.path("temp2")
        self.assertIn(".. Opening file " + self.path("book.fb2"), log)
        self.assertIn("+ Loaded image [%s/cover.png], size [%d] bytes from FB2 file" % (temp2, len(COVER)), log)
        self.assertIn("+ FB2 file decoded", log)

        # DebugLevel 7 keeps the imported text beside the program.
        with open(self.path("sourcetext.dump"), "rb") as f:
            dump = f.read()
        self.assertEqual(dump[:2], b"\xff\xfe")
        text = dump[2:].decode("utf-16-le")
        self.assertIn("\r\n<#header 2>%s<#/header>\r\n\r\n" % CHAPTER_ONE, text)
        self.assertIn("%s<#link label n1>[1]<#/link>." % FIRST_LINE, text)
        self.assertIn("<#image %s/pic1.png>\r\n" % temp2, text)
        self.assertIn("<#label n1>\r\n", text)

        with zipfile.ZipFile(jar) as z:
            names = set(z.namelist())
            self.assertEqual(z.read("splash.png"), COVER)
            cfg = z.read("cfg.dat")
            # The header's title, author and date replace reader text 813.
            self.assertIn("Тихая река, Анна Берг, 2026".encode("utf-16-be"), cfg)
            shown = self.book_text(z)
            for words in (TITLE, CHAPTER_ONE, CHAPTER_TWO, FIRST_LINE, NOTE_TEXT):
                self.assertIn(words, shown)

    def book_text(self, jar):
        """The text of the midlet's book files (password 0: no mask)."""
        names = sorted((n for n in jar.namelist() if n.startswith("book") and n.endswith(".dat")),
                       key=lambda n: int(n[4:-4]))
        return b"".join(jar.read(n) for n in names).decode("utf-16-be")

    def test_pictures_are_packed_and_linked(self):
        _, jar = self.make(fb2("windows-1251"))
        with zipfile.ZipFile(jar) as z:
            self.assertEqual(z.read("1.png"), PICTURE_ONE)
            self.assertEqual(z.read("2.png"), PICTURE_TWO)
            cfg = z.read("cfg.dat")
            for target in ("I1.png", "I2.png"):
                self.assertIn(target.encode("utf-16-be"), cfg)

    def test_folder_mode_gives_each_book_its_own_details_and_cover(self):
        os.mkdir(self.path("books"))
        with open(self.path("books", "a.fb2"), "wb") as f:
            f.write(fb2("utf-8"))
        with open(self.path("books", "b.txt"), "wb") as f:
            f.write(b"A plain story after the FB2 book.")
        with open(self.path("book.cfg"), "wb") as f:
            f.write(("TextFileName=%s/*.*\r\nOutputDir=%s\r\nImageMode=1\r\n813=About\r\n"
                     "BookInfo=Configured details\r\n" % (self.path("books"), self.path("midlets")))
                    .encode("utf-8"))
        result = subprocess.run([self.program, "-makeall", self.path("book.cfg")], cwd=self.dir,
                                capture_output=True, timeout=120)
        log = result.stdout.decode("utf-8")
        self.assertEqual(result.returncode, 0, log)
        with zipfile.ZipFile(self.path("midlets", "a.jar")) as z:
            self.assertEqual(z.read("splash.png"), COVER)
            self.assertIn("Тихая река, Анна Берг, 2026".encode("utf-16-be"), z.read("cfg.dat"))
        # The text book after it has no cover and the configured details.
        with zipfile.ZipFile(self.path("midlets", "b.jar")) as z:
            self.assertNotIn("splash.png", z.namelist())
            cfg = z.read("cfg.dat")
        self.assertIn("Configured details".encode("utf-16-be"), cfg)
        self.assertNotIn("Тихая река".encode("utf-16-be"), cfg)

    def test_cover_becomes_a_splash_picture_that_fits_the_screen(self):
        book = fb2("utf-8")
        big = png(600, 900, 0x2040C0)
        cases = [
            # (cover binary, splash picture's size or None, the line told)
            (COVER, (40, 30), None),
            (big, (139, 208), None),
            (None, None, "? Cover picture cover.png is left out: the book has no binary of that id"),
            (b"not a picture", None,
             "? Cover picture cover.png is left out: not a PNG, JPEG, GIF or BMP picture"),
        ]
        for cover, size, told in cases:
            with self.subTest(size=size, told=told):
                cut = book.index(b'<binary id="cover.png"')
                rest = book[book.index(b"</binary>", cut) + len(b"</binary>\n"):]
                log, jar = self.make(book[:cut] + (binary("cover.png", cover).encode("utf-8")
                                                   if cover is not None else b"") + rest)
                with zipfile.ZipFile(jar) as z:
                    names = z.namelist()
                    splash = z.read("splash.png") if "splash.png" in names else None
                if size is None:
                    self.assertIsNone(splash)
                    self.assertIn("  " + told + "\n", log)
                    continue
                self.assertNotIn("  ? ", log)
                self.assertEqual(splash[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual(struct.unpack(">II", splash[16:24]), size)
                if cover == COVER:
                    self.assertEqual(splash, COVER)  # a PNG that fits stays as it is

    def test_book_details_show_title_and_author_without_a_details_line(self):
        _, jar = self.make(fb2("utf-8"), details_line=False)
        out = run_host(jar, ["key:down", "key:star", "select:8", "dump"]).stdout
        details = out.split("screen: ")[1]
        self.assertTrue(details.startswith("Form: Information"), details)
        self.assertIn("Тихая река, Анна Берг, 2026", details)

    def test_reader_shows_the_text_and_follows_the_note(self):
        def screens(book_bytes, name):
            """The first page after the splash, then the page the note link
            leads to: the table of contents holds four links, the note is the
            fifth link of the page."""
            _, jar = self.make(book_bytes, name)
            first, note = self.path(name + "-first.ppm"), self.path(name + "-note.ppm")
            actions = ["key:down", "shot:" + first] + ["key:right"] * 5 + ["key:fire", "shot:" + note]
            run_host(jar, actions)
            return [Shot(first), Shot(note)]

        first, note = screens(fb2("windows-1251"), "Cp1251")
        # The table of contents stands first: link-coloured entries at the top.
        self.assertGreater(first.count(LINK, box=(0, 0, first.width, 40)), 50)
        self.assertGreater(first.count(INK), 300)
        # Following the note link leads to the note: a page of plain text.
        self.assertNotEqual(first.pixels, note.pixels)
        self.assertEqual(note.count(LINK), 0)
        self.assertGreater(note.count(INK), 100)
        # The same book in UTF-8 looks exactly the same: the declared encoding
        # was honoured, not guessed.
        self.assertEqual([first.pixels, note.pixels],
                         [s.pixels for s in screens(fb2("utf-8"), "Utf8")])
        # With the Cyrillic letters replaced by "?" both pages change: the
        # reader draws the letters themselves.
        marks = screens(fb2("windows-1251", question_marks), "Marks")
        self.assertNotEqual(first.pixels, marks[0].pixels)
        self.assertNotEqual(note.pixels, marks[1].pixels)


if __name__ == "__main__":
    unittest.main()
