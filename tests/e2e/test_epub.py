"""EPUB books (2 and 3) become midlets: the spine's documents in reading order,
the table of contents from the navigation document or the NCX, a note link
between documents that the reader follows, a picture, the cover as the splash
picture and the title and author as the book details. Broken, hostile and
protected books fail with one line and write nothing outside the work
folders."""
import io
import os
import struct
import subprocess
import unittest
import zipfile

from readerkit import ProgramCase, Shot, png, run_host

LINK = 0x0000FF  # link colour of the first colour scheme
COVER = png(400, 300, 0xC81E1E)
MILL = png(20, 10, 0x1EC81E)
NOTE = "The note about the river, which floods in spring."
FILLER = "".join("<p>Line %d of the second chapter, with a few more words in it.</p>" % i
                 for i in range(40))


def page(body, title="Page"):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<html xmlns="http://www.w3.org/1999/xhtml" '
            'xmlns:epub="http://www.idpf.org/2007/ops"><head><title>%s</title></head>'
            '<body>%s</body></html>' % (title, body)).encode("utf-8")


def container(path="OEBPS/content.opf"):
    return ('<?xml version="1.0"?><container version="1.0" '
            'xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles>'
            '<rootfile full-path="%s" media-type="application/oebps-package+xml"/>'
            '</rootfiles></container>' % path).encode("utf-8")


def package(metadata, manifest, spine, version="3.0", spine_attributes="", more=""):
    return ('<?xml version="1.0" encoding="UTF-8"?><package xmlns="http://www.idpf.org/2007/opf" '
            'version="%s"><metadata xmlns:dc="http://purl.org/dc/elements/1.1/" '
            'xmlns:opf="http://www.idpf.org/2007/opf">%s</metadata><manifest>%s</manifest>'
            '<spine%s>%s</spine>%s</package>' % (version, metadata, manifest, spine_attributes,
                                                 spine, more)).encode("utf-8")


def item(id, href, media_type="application/xhtml+xml", more=""):
    return '<item id="%s" href="%s" media-type="%s"%s/>' % (id, href, media_type, more)


def itemrefs(*ids):
    return "".join('<itemref idref="%s"/>' % i for i in ids)


def epub(entries):
    """The archive: mimetype first and stored, then the entries in order."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("mimetype"), b"application/epub+zip", zipfile.ZIP_STORED)
        for name, data in entries:
            z.writestr(name, data)
    return out.getvalue()


def chapters():
    """The book's documents: chapter one with a note link and a picture,
    chapter two beginning mid-document, the notes at the end."""
    return [
        ("OEBPS/text/one.xhtml", page(
            '<h1>Chapter One</h1><p>The river ran<a href="notes.xhtml#n1">[1]</a> past the '
            'mill.</p><p><img src="../images/mill.png" alt="The mill"/></p>')),
        ("OEBPS/text/two.xhtml", page(
            '<p>A preface to the second chapter.</p><h2 id="c2">Chapter Two</h2>'
            '<p>See <a href="http://example.com/">the river\'s page</a>.</p>' + FILLER)),
        ("OEBPS/text/notes.xhtml", page('<p id="n1">%s</p>' % NOTE)),
        ("OEBPS/images/mill.png", MILL),
        ("OEBPS/images/cover.png", COVER),
    ]


def epub3():
    metadata = ('<dc:title>River Book</dc:title><dc:creator id="a">Anna Berg</dc:creator>'
                '<meta refines="#a" property="role" scheme="marc:relators">aut</meta>')
    manifest = (item("nav", "nav.xhtml", more=' properties="nav"') + item("one", "text/one.xhtml") +
                item("two", "text/two.xhtml") + item("notes", "text/notes.xhtml") +
                item("mill", "images/mill.png", "image/png") +
                item("cover", "images/cover.png", "image/png", ' properties="cover-image"'))
    nav = page('<nav epub:type="toc"><ol><li><a href="text/one.xhtml">Chapter One</a></li>'
               '<li><a href="text/two.xhtml#c2">Chapter Two</a></li></ol></nav>', "Contents")
    return epub([("META-INF/container.xml", container()),
                 ("OEBPS/content.opf", package(metadata, manifest, itemrefs("one", "two", "notes"))),
                 ("OEBPS/nav.xhtml", nav)] + chapters())


def epub2():
    metadata = ('<dc:title>River Book</dc:title><dc:creator opf:role="aut">Anna Berg</dc:creator>'
                '<meta name="cover" content="cover"/>')
    manifest = (item("ncx", "toc.ncx", "application/x-dtbncx+xml") + item("one", "text/one.xhtml") +
                item("two", "text/two.xhtml") + item("notes", "text/notes.xhtml") +
                item("mill", "images/mill.png", "image/png") +
                item("cover", "images/cover.png", "image/png"))
    ncx = ('<?xml version="1.0"?><ncx xmlns="http://www.daisy.org/z3986/2005/ncx/" version="2005-1">'
           '<navMap><navPoint id="p1"><navLabel><text>Chapter One</text></navLabel>'
           '<content src="text/one.xhtml"/></navPoint><navPoint id="p2"><navLabel><text>Chapter Two'
           '</text></navLabel><content src="text/two.xhtml#c2"/></navPoint></navMap></ncx>')
    return epub([("META-INF/container.xml", container()),
                 ("OEBPS/content.opf", package(metadata, manifest, itemrefs("one", "two", "notes"),
                                               "2.0", ' toc="ncx"')),
                 ("OEBPS/toc.ncx", ncx.encode("utf-8"))] + chapters())


def png_size(data):
    return struct.unpack(">II", data[16:24])


class EpubBook(ProgramCase):
    def run_program(self, option, text_file_name, name="River"):
        options = ["BookName=" + name, "TextFileName=" + text_file_name,
                   "OutputDir=" + self.path("midlets"), "ImageMode=1", "SplashTimeout=0",
                   "DebugLevel=7", "813=About"]
        self.write("book.cfg", "".join(o + "\r\n" for o in options).encode("utf-8"))
        result = subprocess.run([self.program, option, self.path("book.cfg")], cwd=self.dir,
                                capture_output=True, timeout=120)
        return result.returncode, result.stdout.decode("utf-8")

    def make(self, book_bytes, name="River", file_name="book.epub"):
        self.write(file_name, book_bytes)
        code, log = self.run_program("-make", self.path(file_name), name)
        self.assertEqual(code, 0, log)
        self.assertIn("+ Created midlet [%s] OK" % name, log)
        return log, self.path("midlets", name + ".jar")

    def test_both_versions_make_the_same_book(self):
        texts = []
        for version, book in (("3", epub3()), ("2", epub2())):
            log, jar = self.make(book)
            source = "nav.xhtml" if version == "3" else "toc.ncx"
            self.assertIn("+ Table of contents from OEBPS/%s, 2 entries" % source, log)
            text = self.source_dump()
            # Reading order, headers from the contents (the second in the
            # middle of its document), the note link and its label.
            order = ["<#tableofcontent><#header toc1>Chapter One\r<#/header>",
                     "The river ran<#link label OEBPS/text/notes.xhtml#n1>[1]<#/link> past the mill.",
                     "<#image ", "A preface to the second chapter.",
                     "<#header toc2>Chapter Two\r<#/header>",
                     "See <#link http example.com/>the river's page<#/link>.",
                     "<#label OEBPS/text/notes.xhtml#n1>" + NOTE]
            at = 0
            for piece in order:
                found = text.find(piece, at)
                self.assertGreaterEqual(found, 0, "EPUB %s: %r missing in\n%s" % (version, piece, text))
                at = found + len(piece)
            texts.append(text)
            with zipfile.ZipFile(jar) as z:
                self.assertEqual(z.read("1.png"), MILL)
                self.assertIn("River Book, Anna Berg".encode("utf-16-be"), z.read("cfg.dat"))
                # The cover is made a PNG that fits the screen, keeping its
                # proportions.
                self.assertEqual(png_size(z.read("splash.png")), (176, 132))
        self.assertEqual(texts[0], texts[1])

    def test_reader_follows_the_note_into_another_document(self):
        _, jar = self.make(epub3())
        first, note = self.path("first.ppm"), self.path("note.ppm")
        # The first page: the two contents entries, then the note link.
        run_host(jar, ["key:down", "shot:" + first] + ["key:right"] * 3 +
                 ["key:fire", "shot:" + note])
        # The page the link leads to looks like a book that begins with the
        # note, made the same way.
        self.write("note.txt", (NOTE + "\r\n").encode("utf-8"))
        code, log = self.run_program("-make", self.path("note.txt"), "Note")
        self.assertEqual(code, 0, log)
        expected = self.path("expected.ppm")
        run_host(self.path("midlets", "Note.jar"), ["key:down", "shot:" + expected])
        first, note, expected = Shot(first), Shot(note), Shot(expected)
        self.assertGreater(first.count(LINK), 50)
        self.assertEqual(note.pixels, expected.pixels)

    def test_folder_mode_builds_each_book_under_its_name(self):
        os.mkdir(self.path("books"))
        self.write(os.path.join("books", "river.epub"), epub3())
        self.write(os.path.join("books", "Old River.EPUB"), epub2())
        code, log = self.run_program("-makeall", self.path("books", "*.*"))
        self.assertEqual(code, 0, log)
        for name in ("river", "Old River"):
            self.assertIn("+ BookName is set to [%s]" % name, log)
            with zipfile.ZipFile(self.path("midlets", name + ".jar")) as z:
                self.assertIn("splash.png", z.namelist())

    def test_bad_books_fail_with_one_line_and_write_nothing_outside(self):
        good_opf = package("<dc:title>T</dc:title>", item("one", "one.xhtml"), itemrefs("one"))
        one = ("OEBPS/one.xhtml", page("<p>One</p>"))
        aes = ('<encryption xmlns="urn:oasis:names:tc:opendocument:xmlns:container" '
               'xmlns:enc="http://www.w3.org/2001/04/xmlenc#"><enc:EncryptedData>'
               '<enc:EncryptionMethod Algorithm="http://www.w3.org/2001/04/xmlenc#aes128-cbc"/>'
               '<enc:CipherData><enc:CipherReference URI="OEBPS/one.xhtml"/></enc:CipherData>'
               '</enc:EncryptedData></encryption>')
        bomb = io.BytesIO()
        with zipfile.ZipFile(bomb, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("META-INF/container.xml", container())
            z.writestr("OEBPS/content.opf", good_opf)
            z.writestr("OEBPS/one.xhtml", b"<p>" + b" " * (65 << 20) + b"</p>")
        book = self.path("book.epub")
        cases = [
            ("not a zip", page("<p>A web page</p>"), book + " is not a zip archive"),
            ("no container", epub([("OEBPS/content.opf", good_opf), one]),
             book + " is not an EPUB book: it has no META-INF/container.xml"),
            ("missing package", epub([("META-INF/container.xml", container("OEBPS/book.opf")), one]),
             book + ": the package document OEBPS/book.opf that META-INF/container.xml names is "
             "missing"),
            ("missing document",
             epub([("META-INF/container.xml", container()),
                   ("OEBPS/content.opf", package("", item("one", "one.xhtml") + item("two", "two.xhtml"),
                                                 itemrefs("one", "two"))), one]),
             book + ": the spine names the document OEBPS/two.xhtml, which the book does not hold"),
            ("entry named ../x",
             epub([("META-INF/container.xml", container("content.opf")),
                   ("content.opf", package("", item("x", "../x.xhtml"), itemrefs("x"))),
                   ("../x.xhtml", page("<p>Escaped</p>"))]),
             book + ": the spine names ../x.xhtml, which lies outside the book"),
            ("zip bomb", bomb.getvalue(),
             "The entry OEBPS/one.xhtml of %s is too large: it inflates to more than 64 MiB "
             "(a zip bomb?)" % book),
            ("encrypted", epub([("META-INF/container.xml", container()),
                                ("META-INF/encryption.xml", aes.encode("utf-8")),
                                ("OEBPS/content.opf", good_opf), one]),
             "The book %s is protected (DRM): its text is encrypted and cannot be read" % book),
        ]
        for name, data, message in cases:
            with self.subTest(name):
                self.write("book.epub", data)
                code, log = self.run_program("-make", book)
                self.assertEqual(code, 1, log)
                lines = log.rstrip().split("\n")
                self.assertTrue(lines[-1].endswith("  - " + message), lines[-1])
                # The import failure, the line naming the dump, then the midlet's.
                self.assertTrue(lines[-4].endswith("  - Can't import source file " + book), log)
                self.assertEqual(os.listdir(self.path("temp2")), [])
                self.assertFalse(os.path.exists(self.path("midlets", "River.jar")))
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(self.dir), "x.xhtml")))
        self.assertEqual(sorted(os.listdir(self.dir)),
                         ["River.dump", "book.cfg", "book.epub", "midlets", "paginor",
                          "paginor.lock", "temp1", "temp2"])


if __name__ == "__main__":
    unittest.main()
