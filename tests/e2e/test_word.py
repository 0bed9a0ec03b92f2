"""Word documents and web pages end to end: an HTML page with pictures and
footnote-style links becomes a midlet whose reader shows the contents, jumps
to a chapter and follows a note; bad pages fail with one clear line and
write nothing outside the program's folders; folder mode takes every
document kind."""
import os
import subprocess
import unittest
import zipfile

from readerkit import ProgramCase, Shot, png, run_host

BLUE, GREEN, RED = 0x2040C0, 0x20A040, 0xC02020
LINK = 0x0000FF  # link colour of the first colour scheme

FILLER = "".join("<p>Filler line %d of the first chapter, long enough to wrap once.</p>\n" % n
                 for n in range(12))

PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Greenhouse</title>
<style>p { margin: 0 }</style><script>document.write("<p>not text</p>")</script></head>
<body>
<h1>Chapter One</h1>
<p>The gardener opened the greenhouse<a href="#n1">[1]</a> at dawn &amp; smiled.</p>
<p><img src="pictures/blue.png" alt="A blue box"></p>
%s
<h1>Chapter Two</h1>
<p>Seedlings. <img src="green.png"></p>
%s
<h2>Notes</h2>
<p id="n1">[1] A glass house. <img src="red.png"></p>
</body></html>
""" % (FILLER, FILLER)


class WordBooks(ProgramCase):
    def path(self, *names):
        return os.path.join(self.dir, *names)

    def write(self, name, data):
        os.makedirs(os.path.dirname(self.path(name)), exist_ok=True)
        with open(self.path(name), "wb") as f:
            f.write(data.encode("utf-8") if isinstance(data, str) else data)

    def run_program(self, option, options):
        with open(self.path("book.cfg"), "wb") as f:
            f.write("".join(o + "\r\n" for o in options).encode("utf-8"))
        result = subprocess.run([self.program, option, self.path("book.cfg")], cwd=self.dir,
                                capture_output=True, timeout=300)
        return result.returncode, result.stdout.decode("utf-8")

    def make(self, source, name="Book", extra=()):
        """Builds one book; returns (log, JAR path)."""
        code, log = self.run_program("-make", ["BookName=" + name, "TextFileName=" + self.path(source),
                                               "OutputDir=" + self.path("midlets"), "ImageMode=1",
                                               "SplashTimeout=0", "DebugLevel=7"] + list(extra))
        self.assertEqual(code, 0, log)
        self.assertIn("+ Created midlet [%s] OK" % name, log)
        return log, self.path("midlets", name + ".jar")

    def source_dump(self):
        with open(self.path("sourcetext.dump"), "rb") as f:
            return f.read()[2:].decode("utf-16-le")

    def screens(self, jar, moves):
        """Screens after the splash: the first page, then for each list of
        keys the page it leads to (each run starts from the first page)."""
        shots = []
        for n, keys in enumerate([[]] + moves):
            shot = self.path("shot%d.ppm" % n)
            run_host(jar, ["key:down"] + keys + ["shot:" + shot])
            shots.append(Shot(shot))
        return shots

    def test_html_page_with_pictures_becomes_a_midlet(self):
        self.write("book/pictures/blue.png", png(30, 12, BLUE))
        self.write("book/green.png", png(30, 12, GREEN))
        self.write("book/red.png", png(30, 12, RED))
        self.write("book/page.html", PAGE)
        log, jar = self.make("book/page.html")
        temp2 = self.path("temp2")
        for line in ("..Starting MS Word ", "+ Loaded table of content ",
                     "+ Loaded image [0.png], size [%d] bytes from MS Word" % len(png(30, 12, BLUE)),
                     "+ MS Word file loaded, total paragpahs 31, pictures 3"):
            self.assertIn(line, log)

        text = self.source_dump()
        self.assertTrue(text.startswith("<#tableofcontent><#header toc1>Chapter One\r<#/header>"), text[:80])
        self.assertIn("greenhouse<#link label n1>[1]<#/link> at dawn & smiled.\r\r\n", text)
        self.assertIn("<#label n1>[1] A glass house.\r<#image %s/2.png>\r\n" % temp2, text)
        self.assertNotIn("not text", text)

        with zipfile.ZipFile(jar) as z:
            self.assertEqual(z.read("1.png"), png(30, 12, BLUE))
            self.assertEqual(z.read("2.png"), png(30, 12, GREEN))
            self.assertEqual(z.read("3.png"), png(30, 12, RED))

        # The contents stand first (three entries), then the chapter: the
        # note link is the page's fourth link.
        first, chapter, note = self.screens(jar, [["key:right"] * 2 + ["key:fire"],
                                                  ["key:right"] * 4 + ["key:fire"]])
        self.assertGreater(first.count(LINK, box=(0, 0, first.width, 40)), 50)
        self.assertGreater(first.count(BLUE), 0)
        self.assertEqual(first.count(GREEN) + first.count(RED), 0)
        # The second entry of the contents leads to the second chapter, the
        # note link to the note.
        self.assertGreater(chapter.count(GREEN), 0)
        self.assertEqual(chapter.count(BLUE) + chapter.count(RED), 0)
        self.assertGreater(note.count(RED), 0)
        self.assertEqual(note.count(GREEN) + note.count(BLUE), 0)

    def test_bad_pages_fail_with_one_clear_line(self):
        self.write("pages/green.png", png(4, 4, GREEN))
        cases = [
            ("escape.html", '<p><img src="../../etc/passwd"></p>',
             "- The picture ../../etc/passwd of %s lies outside the page's folder"),
            ("absolute.html", '<p><img src="/etc/passwd"></p>',
             "- The picture /etc/passwd of %s lies outside the page's folder"),
        ]
        for name, body, line in cases:
            with self.subTest(name):
                self.write("pages/" + name, "<html><body>%s</body></html>" % body)
                source = self.path("pages", name)
                code, log = self.run_program("-make", ["BookName=Bad", "TextFileName=" + source,
                                                       "OutputDir=" + self.path("midlets")])
                self.assertEqual(code, 1, log)
                self.assertIn("- Can't create midlet", log)
                self.assertIn(line % source, log)
                self.assertFalse(os.path.exists(self.path("midlets", "Bad.jar")))
                # Nothing of the page reached the picture folder.
                self.assertEqual(os.listdir(self.path("temp2")), [])

    def test_folder_mode_takes_every_document_kind(self):
        page = "<html><body><h1>Title</h1><p>Body of %s.</p></body></html>"
        for name in ("a.htm", "b.HTML", "c.xhtml"):
            self.write("books/" + name, page % name)
        self.write("books/d.txt", "A plain text book.")
        self.write("books/e.pdf", "not a source")
        code, log = self.run_program("-makeall", ["TextFileName=" + self.path("books") + "/*.*",
                                                  "OutputDir=" + self.path("midlets")])
        self.assertEqual(code, 0, log)
        self.assertEqual(sorted(os.listdir(self.path("midlets"))),
                         ["a.jad", "a.jar", "b.jad", "b.jar", "c.jad", "c.jar", "d.jad", "d.jar"])


if __name__ == "__main__":
    unittest.main()
