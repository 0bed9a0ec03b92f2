"""Word documents and web pages end to end: an HTML page with pictures and
footnote-style links becomes a midlet whose reader shows the contents, jumps
to a chapter and follows a note; bad pages fail with one clear line and
write nothing outside the program's folders; folder mode takes every
document kind."""
import io
import os
import shutil
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


W = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PACKAGE_REL = "http://schemas.openxmlformats.org/package/2006/relationships"


def run(text):
    return '<w:r><w:t xml:space="preserve">%s</w:t></w:r>' % text


def para(content, style=None):
    props = '<w:pPr><w:pStyle w:val="%s"/></w:pPr>' % style if style else ""
    return "<w:p>%s%s</w:p>" % (props, content)


FIELD_END = '<w:r><w:fldChar w:fldCharType="end"/></w:r>'


def field_start(instruction):
    """A field's beginning, instruction and separator: its result follows."""
    return ('<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve">'
            '%s</w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r>' % instruction)


def field(instruction, result):
    return field_start(instruction) + result + FIELD_END


def drawing(rel, number):
    return ('<w:r><w:drawing><wp:inline><wp:extent cx="285750" cy="114300"/>'
            '<wp:docPr id="%d" name="Picture %d"/><a:graphic><a:graphicData '
            'uri="http://schemas.openxmlformats.org/drawingml/2006/picture"><pic:pic><pic:nvPicPr>'
            '<pic:cNvPr id="%d" name="p%d.png"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill>'
            '<a:blip r:embed="%s"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr>'
            '<a:xfrm><a:off x="0" y="0"/><a:ext cx="285750" cy="114300"/></a:xfrm>'
            '<a:prstGeom prst="rect"><a:avLst/></a:prstGeom></pic:spPr></pic:pic></a:graphicData>'
            '</a:graphic></wp:inline></w:drawing></w:r>' % (number, number, number, number, rel))


def docx(body, pictures):
    """A DOCX package: the body's XML and the pictures (relationship id ->
    PNG bytes, stored as word/media/ID.png)."""
    rels = ['<Relationship Id="rIdStyles" Type="%s/styles" Target="styles.xml"/>' % REL]
    rels += ['<Relationship Id="%s" Type="%s/image" Target="media/%s.png"/>' % (rid, REL, rid)
             for rid in pictures]
    types = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/'
             'package/2006/content-types"><Default Extension="rels" ContentType="application/'
             'vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" '
             'ContentType="application/xml"/><Default Extension="png" ContentType="image/png"/>'
             '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-'
             'officedocument.wordprocessingml.document.main+xml"/><Override PartName="/word/'
             'styles.xml" ContentType="application/vnd.openxmlformats-officedocument.'
             'wordprocessingml.styles+xml"/></Types>')
    styles = ('<?xml version="1.0" encoding="UTF-8"?><w:styles xmlns:w="%s">'
              '<w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/>'
              '</w:style><w:style w:type="paragraph" w:styleId="Heading1"><w:name w:val="heading 1"/>'
              '<w:basedOn w:val="Normal"/><w:pPr><w:outlineLvl w:val="0"/></w:pPr></w:style>'
              '</w:styles>' % W)
    document = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document xmlns:w="%s" '
                'xmlns:r="%s" xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/'
                'wordprocessingDrawing" xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/'
                'main" xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture">'
                '<w:body>%s<w:sectPr/></w:body></w:document>' % (W, REL, body))
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", types)
        z.writestr("_rels/.rels", '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%s">'
                   '<Relationship Id="rId1" Type="%s/officeDocument" Target="word/document.xml"/>'
                   '</Relationships>' % (PACKAGE_REL, REL))
        z.writestr("word/document.xml", document)
        z.writestr("word/styles.xml", styles)
        z.writestr("word/_rels/document.xml.rels", '<?xml version="1.0" encoding="UTF-8"?>'
                   '<Relationships xmlns="%s">%s</Relationships>' % (PACKAGE_REL, "".join(rels)))
        for rid, data in pictures.items():
            z.writestr("word/media/%s.png" % rid, data)
    return out.getvalue()


def novel_docx():
    """A document with a table-of-contents field, two chapters, a note link
    to a bookmark, and a picture in each chapter and in the note."""
    filler = "".join(para(run("Filler line %d of the chapter, long enough to wrap once." % n))
                     for n in range(12))
    toc = (para(field_start(' TOC \\o "1-3" \\h ') +
                field(' HYPERLINK \\l "_Toc1" ', run("Chapter One\t1"))) +
           para(field(' HYPERLINK \\l "_Toc2" ', run("Chapter Two\t2"))) +
           para(FIELD_END))
    body = (toc +
            para('<w:bookmarkStart w:id="1" w:name="_Toc1"/>' + run("Chapter One") +
                 '<w:bookmarkEnd w:id="1"/>', "Heading1") +
            para(run("The gardener opened the greenhouse") + '<w:hyperlink w:anchor="note1">' +
                 run("[1]") + "</w:hyperlink>" + run(" at dawn.")) +
            para(drawing("rIdBlue", 1)) + filler +
            para('<w:bookmarkStart w:id="2" w:name="_Toc2"/>' + run("Chapter Two") +
                 '<w:bookmarkEnd w:id="2"/>', "Heading1") +
            para(run("Seedlings.") + drawing("rIdGreen", 2)) + filler +
            para(run("Notes")) +
            para('<w:bookmarkStart w:id="3" w:name="note1"/>' + run("[1] A glass house.") +
                 '<w:bookmarkEnd w:id="3"/>' + drawing("rIdRed", 3)))
    return docx(body, {"rIdBlue": png(30, 12, BLUE), "rIdGreen": png(30, 12, GREEN),
                       "rIdRed": png(30, 12, RED)})


ODF = {"office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
       "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
       "draw": "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0",
       "svg": "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0",
       "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0"}


def odt(list_styles, body):
    """An ODT package: its automatic styles (list styles) and body text."""
    content = ('<?xml version="1.0" encoding="UTF-8"?><office:document-content %s office:version='
               '"1.2"><office:automatic-styles>%s</office:automatic-styles><office:body>'
               '<office:text>%s</office:text></office:body></office:document-content>'
               % (" ".join('xmlns:%s="%s"' % item for item in ODF.items()), list_styles, body))
    manifest = ('<?xml version="1.0" encoding="UTF-8"?><manifest:manifest xmlns:manifest="urn:oasis:'
                'names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
                '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/'
                'vnd.oasis.opendocument.text"/><manifest:file-entry manifest:full-path="content.xml" '
                'manifest:media-type="text/xml"/></manifest:manifest>')
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.text")
        z.writestr("META-INF/manifest.xml", manifest)
        z.writestr("content.xml", content)
    return out.getvalue()


class WordBooks(ProgramCase):
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

    def screens(self, jar, moves):
        """Screens after the splash: the first page, then for each list of
        keys the page it leads to (each run starts from the first page)."""
        shots = []
        for n, keys in enumerate([[]] + moves):
            shot = self.path("shot%d.ppm" % n)
            run_host(jar, ["key:down"] + keys + ["shot:" + shot])
            shots.append(Shot(shot))
        return shots

    def check_reader(self, jar, entries):
        """The book's three pictures (blue in the first chapter, green in the
        second, red in the note) are packed, and the reader shows the contents
        with the first chapter, jumps to the second chapter from the contents'
        second entry and to the note from the link after the contents."""
        with zipfile.ZipFile(jar) as z:
            self.assertEqual([z.read("%d.png" % n) for n in (1, 2, 3)],
                             [png(30, 12, colour) for colour in (BLUE, GREEN, RED)])
        first, chapter, note = self.screens(jar, [["key:right"] * 2 + ["key:fire"],
                                                  ["key:right"] * (entries + 1) + ["key:fire"]])
        self.assertGreater(first.count(LINK, box=(0, 0, first.width, 12 * entries)), 15 * entries)
        for shot, shown in ((first, BLUE), (chapter, GREEN), (note, RED)):
            self.assertGreater(shot.count(shown), 0)
            self.assertEqual(sum(shot.count(c) for c in (BLUE, GREEN, RED) if c != shown), 0)

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

        # The contents stand first (three entries), then the chapter: the
        # note link is the page's fourth link.
        self.check_reader(jar, entries=3)

    def book_text(self, jar):
        """The text of the midlet's book files (password 0: no mask)."""
        with zipfile.ZipFile(jar) as z:
            names = sorted((n for n in z.namelist() if n.startswith("book") and n.endswith(".dat")),
                           key=lambda n: int(n[4:-4]))
            return b"".join(z.read(n) for n in names).decode("utf-16-be")

    def test_docx_with_contents_notes_and_pictures_becomes_a_midlet(self):
        self.write("novel.docx", novel_docx())
        log, jar = self.make("novel.docx", "Novel")
        self.assertIn("+ MS Word file loaded, total paragpahs 32, pictures 3", log)
        text = self.source_dump()
        self.assertTrue(text.startswith("<#tableofcontent>\r\r\n<#header toc1>Chapter One\r<#/header>"),
                        text[:80])
        self.assertIn("greenhouse<#link label note1>[1]<#/link> at dawn.\r\r\n", text)
        self.assertIn("<#label note1>[1] A glass house.\r<#image %s/2.png>\r\n" % self.path("temp2"), text)
        # Two entries of contents first, then the first chapter: the note
        # link is the page's third link.
        self.check_reader(jar, entries=2)

    @unittest.skipUnless(shutil.which("soffice"), "LibreOffice is not installed")
    def test_odt_and_doc_of_the_document_give_its_book_text(self):
        self.write("novel.docx", novel_docx())
        _, jar = self.make("novel.docx", "Novel")
        expected = self.book_text(jar)
        for kind in ("odt", "doc"):
            with self.subTest(kind):
                subprocess.run(["soffice", "-env:UserInstallation=file://" + self.path("profile"),
                                "--headless", "--convert-to", kind, "--outdir", self.path("made"),
                                self.path("novel.docx")], check=True, capture_output=True,
                               timeout=300, env=dict(os.environ, HOME=self.path("home")))
                source = self.path("made", "novel." + kind)
                log, jar = self.make(source, "Novel" + kind)
                # ODT is read directly, DOC through LibreOffice.
                converted = ".. Converting %s to DOCX with LibreOffice" % source
                if kind == "odt":
                    self.assertNotIn(converted, log)
                else:
                    self.assertIn(converted, log)
                self.assertEqual(self.book_text(jar), expected)

    def test_lists_and_text_boxes_of_a_libreoffice_document_reach_the_book(self):
        """Numbers and bullets, which Word and LibreOffice draw from the
        numbering part rather than store as text, and a text box's text, which
        LibreOffice writes twice (for newer and older programs), as the
        document shows them."""
        styles = ('<text:list-style style:name="Steps"><text:list-level-style-number text:level="1" '
                  'style:num-suffix="." style:num-format="1"/><text:list-level-style-number '
                  'text:level="2" style:num-suffix=")" style:num-format="a"/></text:list-style>'
                  '<text:list-style style:name="Dots"><text:list-level-style-bullet text:level="1" '
                  'text:bullet-char="\u2022"/></text:list-style>')

        def items(*texts):
            return "".join("<text:list-item>%s</text:list-item>" % t for t in texts)

        def p(text):
            return "<text:p>%s</text:p>" % text
        body = (p("Before the lock.") +
                '<text:list text:style-name="Steps">' +
                items(p("Open the upper paddles."),
                      p("Wait for the level.") + "<text:list>" + items(p("Watch the gauge."),
                                                                      p("Listen.")) + "</text:list>",
                      p("Push the gate.")) + "</text:list>" +
                '<text:list text:style-name="Dots">' + items(p("Rope"), p("Windlass")) +
                "</text:list>" +
                p('<draw:frame draw:name="Box" text:anchor-type="paragraph" svg:width="5cm" '
                  'svg:height="2cm"><draw:text-box>' + p("Kept in a box.") +
                  "</draw:text-box></draw:frame>The box stands here."))
        self.write("lock.odt", odt(styles, body))
        _, jar = self.make("lock.odt", "Lock")
        text = self.book_text(jar)
        lines = [line.strip("\r") for line in text.split("\n") if line.strip("\r")]
        start = lines.index("Before the lock.")
        self.assertEqual(lines[start:start + 10],
                         ["Before the lock.", "1. Open the upper paddles.", "2. Wait for the level.",
                          "a) Watch the gauge.", "b) Listen.", "3. Push the gate.", "\u2022 Rope",
                          "\u2022 Windlass", "The box stands here.", "Kept in a box."], text)
        self.assertEqual(text.count("Kept in a box."), 1)

    def test_bad_sources_fail_with_one_clear_line(self):
        self.write("pages/green.png", png(4, 4, GREEN))
        bomb = io.BytesIO()
        with zipfile.ZipFile(bomb, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("word/document.xml", b" " * ((64 << 20) + 1))
        cases = [
            ("pages/escape.html", '<html><body><p><img src="../../etc/passwd"></p></body></html>',
             "- The picture ../../etc/passwd of %s lies outside the page's folder"),
            ("pages/absolute.html", '<html><body><p><img src="/etc/passwd"></p></body></html>',
             "- The picture /etc/passwd of %s lies outside the page's folder"),
            ("text.docx", "Plain text under a Word name.", "- %s is not a zip archive"),
            ("bomb.docx", bomb.getvalue(),
             "- The entry word/document.xml of %s is too large: it inflates to more than 64 MiB "
             "(a zip bomb?)"),
        ]
        # The relationship's target stands in a compressed part: rebuild it.
        packed = io.BytesIO()
        with zipfile.ZipFile(io.BytesIO(novel_docx())) as source, \
                zipfile.ZipFile(packed, "w", zipfile.ZIP_DEFLATED) as target:
            for item in source.infolist():
                data = source.read(item)
                if item.filename == "word/_rels/document.xml.rels":
                    data = data.replace(b"media/rIdRed.png", b"../../etc/passwd")
                target.writestr(item, data)
        cases.append(("evil.docx", packed.getvalue(),
                      "- The relationship rIdRed of %s, word/document.xml points outside the "
                      "package: ../../etc/passwd"))
        cases.append(("broken.odt", b"PK\x03\x04 not a document", "- %s is not a zip archive"))

        for name, content, line in cases:
            with self.subTest(name):
                self.write(name, content)
                source = self.path(name)
                code, log = self.run_program("-make", ["BookName=Bad", "TextFileName=" + source,
                                                       "OutputDir=" + self.path("midlets")])
                self.assertEqual(code, 1, log)
                self.assertIn("- Can't create midlet\n", log)
                self.assertIn(line % source, log)
                self.assertFalse(os.path.exists(self.path("midlets", "Bad.jar")))
                # Nothing of the source reached the picture folder.
                self.assertEqual(os.listdir(self.path("temp2")), [])

    def test_folder_mode_takes_every_document_kind(self):
        page = "<html><body><h1>Title</h1><p>Body of %s.</p></body></html>"
        for name in ("a.htm", "b.HTML", "c.xhtml"):
            self.write("books/" + name, page % name)
        self.write("books/e.docx", docx(para(run("A document.")), {}))
        self.write("books/d.txt", "A plain text book.")
        self.write("books/f.pdf", "not a source")
        code, log = self.run_program("-makeall", ["TextFileName=" + self.path("books") + "/*.*",
                                                  "OutputDir=" + self.path("midlets")])
        self.assertEqual(code, 0, log)
        self.assertEqual(sorted(os.listdir(self.path("midlets"))),
                         ["a.jad", "a.jar", "b.jad", "b.jar", "c.jad", "c.jar", "d.jad", "d.jar",
                          "e.jad", "e.jar"])


if __name__ == "__main__":
    unittest.main()
