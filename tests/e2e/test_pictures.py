"""Book pictures end to end: a tagged text with an inline picture and a picture
link becomes a JAR whose pictures are converted, whose cfg.dat names them, and
whose reader shows them in the midp-host; hostile pictures and rules end the
book with a clear message and leave no JAR."""
import base64
import io
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile
import zlib

from readerkit import Shot, run_host

PAGINOR = os.environ["PAGINOR"]
RED, GREEN = 0xFF0000, 0x00FF00


def png(width, height, pixel):
    """A truecolour PNG; pixel(x, y) gives (r, g, b)."""
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y))
                    for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def halves(width, height):
    """Left half red, right half green."""
    return png(width, height, lambda x, y: (255, 0, 0) if x < width // 2 else (0, 255, 0))


def picture_size(data):
    """(format, width, height) from a PNG or JPEG file's own header."""
    if data.startswith(b"\x89PNG\r\n\x1a\n"):
        return ("png",) + struct.unpack(">II", data[16:24])
    if data.startswith(b"\xff\xd8\xff"):
        at = 2
        while at + 9 < len(data):
            marker, length = data[at + 1], struct.unpack(">H", data[at + 2:at + 4])[0]
            if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
                height, width = struct.unpack(">HH", data[at + 5:at + 9])
                return ("jpeg", width, height)
            at += 2 + length
    return ("other", 0, 0)


def link_strings(cfg):
    """cfg.dat's link strings (fields 13 to 16)."""
    def integer(at):
        return struct.unpack(">i", cfg[at:at + 4])[0]
    schemes = integer(20)
    at = 24 + 12 * schemes + 16
    first, last = integer(at + 8), integer(at + 12)
    at += 16
    links = []
    for _ in range(last - first + 1):
        n = integer(at)
        links.append(cfg[at + 4:at + 4 + 2 * n].decode("utf-16-be"))
        at += 4 + 2 * n
    return links


class PicturesTest(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.dir = self._tmp.name
        # A private copy of the program: a run keeps its work folders beside it.
        self.program = os.path.join(self.dir, "program")
        os.mkdir(self.program)
        shutil.copy2(PAGINOR, os.path.join(self.program, "paginor"))
        self.book = os.path.join(self.dir, "book")
        os.mkdir(self.book)
        self.out = os.path.join(self.dir, "out")
        os.mkdir(self.out)

    def tearDown(self):
        self._tmp.cleanup()

    def write(self, name, data):
        with open(os.path.join(self.book, name), "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("utf-8"))

    def make(self, text, mode, name="Pictures", source="book.txt"):
        self.write(source, text)
        self.write("book.cfg", "\r\n".join([
            "BookName=" + name, "TextFileName=" + source, "OutputDir=" + self.out,
            "ImageMode=%d" % mode,
            "SplashTimeout=0", "WordWrap=true", "PortraitLayout=true", "DebugLevel=7", ""]))
        result = subprocess.run([os.path.join(self.program, "paginor"), "-make",
                                 os.path.join(self.book, "book.cfg")],
                                cwd=self.dir, capture_output=True, timeout=120)
        jar = os.path.join(self.out, name + ".jar")
        return result.returncode, result.stdout.decode("utf-8", "replace"), jar

    def test_modes_convert_name_and_link_the_pictures(self):
        self.write("wide.png", halves(400, 200))
        self.write("Small.PNG", halves(60, 40))
        self.write("tall.png", halves(100, 300))
        # The picture links name files: one shown inline already, one not.
        text = ("Before <#image wide.png> and <#image [-resize 50x50>] small.png> after.\n"
                "See <#link image wide.png>the first picture<#/link> and "
                "<#link image tall.png>a tall one<#/link>.\n")
        for mode, first, second, third in [(1, "1.png", "2.png", "3.png"),
                                           (3, "1.png", "2.png", "3.png"),
                                           (4, "1.jpg", "2.jpg", "3.jpg"),
                                           (2, "1.png", "2.png", "3.png")]:
            with self.subTest(mode=mode):
                status, log, jar = self.make(text, mode)
                self.assertEqual(status, 0, log)
                with zipfile.ZipFile(jar) as z:
                    names = z.namelist()
                    pictures = sorted(n for n in names if n[0].isdigit())
                    self.assertEqual(pictures, sorted([first, second, third]))
                    kind1, w1, h1 = picture_size(z.read(first))
                    kind2, w2, h2 = picture_size(z.read(second))
                    kind3, w3, h3 = picture_size(z.read(third))
                    links = link_strings(z.read("cfg.dat"))
                self.assertEqual(kind1, "png" if first.endswith(".png") else "jpeg")
                self.assertEqual(kind3, kind1)
                self.assertEqual([l for l in links if l[0] in "Ii"],
                                 ["I" + first, "I" + second, "i" + first, "i" + third])
                if mode == 1:
                    self.assertEqual((w1, h1, w2, h2, w3, h3), (400, 200, 60, 40, 100, 300))
                else:  # the default rule "160x128>", and the tag's own rule
                    self.assertEqual((w1, h1), (160, 80))
                    self.assertEqual((w2, h2), (50, 33))
                    self.assertEqual((w3, h3), (43, 128))

    def test_reader_shows_the_inline_picture_and_the_picture_link(self):
        self.write("pic.png", halves(100, 60))
        status, log, jar = self.make(
            "<#image pic.png>\nSee <#link image pic.png>the picture<#/link> again.\n", 3)
        self.assertEqual(status, 0, log)
        shots = [os.path.join(self.dir, "shot%d.ppm" % i) for i in range(3)]
        # The page; then the first link (the inline picture) followed; then,
        # back on the page, the second link (the picture link) followed.
        run_host(jar, ["key:fire", "shot:" + shots[0],
                       "key:right", "key:fire", "shot:" + shots[1], "key:fire",
                       "key:right", "key:right", "key:fire", "shot:" + shots[2]])
        page, inline, linked = (Shot(s) for s in shots)
        for shot in (page, inline, linked):
            self.assertGreater(shot.count(RED), 2000)
            self.assertGreater(shot.count(GREEN), 2000)
        # Shown on its own, the picture stands without the page's text.
        self.assertEqual(inline.pixels, linked.pixels)
        self.assertNotEqual(page.pixels, linked.pixels)

    def test_bundled_example_carries_its_lighthouse_and_a_link_to_it(self):
        example = os.path.join(os.environ["PAGINOR_SOURCE_DIR"], "examples", "example.cfg")
        result = subprocess.run([os.path.join(self.program, "paginor"), "-make", example],
                                cwd=self.dir, capture_output=True, timeout=120)
        log = result.stdout.decode("utf-8", "replace")
        self.assertEqual(result.returncode, 0, log)
        with zipfile.ZipFile(os.path.join(self.program, "midlets", "Example.jar")) as z:
            self.assertEqual(sorted(n for n in z.namelist() if n[0].isdigit()), ["1.png"])
            self.assertEqual(picture_size(z.read("1.png")), ("png", 160, 100))
            links = link_strings(z.read("cfg.dat"))
        self.assertIn("I1.png", links)
        self.assertIn("i1.png", links)

    def test_pictures_that_cannot_be_read_are_left_out_and_the_book_is_built(self):
        """A damaged or hostile picture costs itself, never the book, in every
        kind of book; nothing of it reaches the JAR."""
        whole = halves(40, 30)
        cut = whole[:len(whole) // 2]
        self.write("notes.png", "this is text, not a picture\n")
        self.write("cut.png", cut)
        docx = io.BytesIO()
        with zipfile.ZipFile(docx, "w") as z:
            z.writestr("word/document.xml",
                       '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/'
                       '2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/'
                       'relationships" xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/'
                       'main"><w:body><w:p><w:r><w:t>Text</w:t></w:r><w:r><w:drawing><a:blip '
                       'r:embed="rId1"/></w:drawing></w:r></w:p></w:body></w:document>')
            z.writestr("word/_rels/document.xml.rels",
                       '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                       'relationships"><Relationship Id="rId1" Type="http://schemas.'
                       'openxmlformats.org/officeDocument/2006/relationships/image" '
                       'Target="media/cut.png"/></Relationships>')
            z.writestr("word/media/cut.png", cut)
        fb2 = ('<?xml version="1.0" encoding="UTF-8"?><FictionBook xmlns:l="http://www.w3.org/'
               '1999/xlink"><description><title-info><book-title>Cut</book-title></title-info>'
               '</description><body><section><p>Text</p><image l:href="#cut.png"/></section>'
               '</body><binary id="cut.png" content-type="image/png">%s</binary></FictionBook>'
               % base64.b64encode(cut).decode("ascii"))
        cases = [
            ("book.txt", "Text <#image /etc/passwd> more text.\n", 2, "/etc/passwd"),
            ("book.txt", "Text <#image notes.png> more text.\n", 3, "notes.png"),
            ("book.txt", "Text <#image /etc/passwd> more text.\n", 1, "/etc/passwd"),
            ("book.txt", "Text <#link image /etc/passwd>x<#/link>.\n", 3, "/etc/passwd"),
            ("book.txt", "Text <#image cut.png> more text.\n", 3, "cut.png"),
            ("book.html", '<html><body><p>Text <img src="cut.png"></p></body></html>', 2, "0.png"),
            ("book.docx", docx.getvalue(), 2, "0.png"),
            ("book.fb2", fb2, 3, "cut.png"),
        ]
        for source, text, mode, named in cases:
            with self.subTest(source=source, text=text, mode=mode):
                status, log, jar = self.make(text, mode, name="Left", source=source)
                self.assertEqual(status, 0, log)
                self.assertRegex(log, r"\? Picture \S*%s can't be read and is left out: " % named)
                with zipfile.ZipFile(jar) as z:
                    self.assertEqual([n for n in z.namelist() if n[0].isdigit()], [])
                    self.assertFalse(any(b"root:" in z.read(n) for n in z.namelist()))

    def test_missing_pictures_and_hostile_rules_fail_the_book_clearly(self):
        self.write("pic.png", halves(40, 30))
        outside = os.path.join(self.dir, "outside.png")
        cases = [
            ("<#image [-write %s] pic.png>" % outside, 3, ["pic.png", "-write is not allowed"]),
            ("<#image [@/etc/passwd] pic.png>", 4, ["@/etc/passwd is not allowed"]),
            ("<#image missing.png>", 2, ["missing.png", "File not found"]),
            ("<#image missing.png>", 1, ["Can't save picture file", "missing.png"]),
            ("<#link image 1.png>x<#/link>", 3, ["1.png", "File not found"]),
        ]
        for text, mode, expected in cases:
            with self.subTest(text=text, mode=mode):
                status, log, jar = self.make("Text " + text + " more text.\n", mode, name="Bad")
                self.assertEqual(status, 1, log)
                for part in expected:
                    self.assertIn(part, log)
                self.assertIn("! Can't create java program (MIDlet)", log)
                self.assertFalse(os.path.exists(jar))
                self.assertFalse(os.path.exists(outside))


if __name__ == "__main__":
    unittest.main()
