"""paginor -serve: the index page, JADs and JARs of one folder over HTTP on a
loopback port, and nothing from outside that folder."""
import http.client
import os
import re
import shutil
import signal
import subprocess
import tempfile
import unittest
import urllib.parse
import zipfile

from test_make import BookFolderTest, Program, messages, write_config

RUSSIAN = "Двадцать лет спустя"

# The part of the XHTML Mobile Profile content model the index page uses:
# block elements in the body, inline ones in a paragraph.
XHTML_MP_SUBSET = """
<!ENTITY % inline "#PCDATA | a | b | br | small | span">
<!ELEMENT html (head, body)>
<!ATTLIST html xmlns CDATA #FIXED "http://www.w3.org/1999/xhtml">
<!ELEMENT head (title)>
<!ELEMENT title (#PCDATA)>
<!ELEMENT body (h1 | p)*>
<!ELEMENT h1 (%inline;)*>
<!ELEMENT p (%inline;)*>
<!ELEMENT b (%inline;)*>
<!ELEMENT small (%inline;)*>
<!ELEMENT span (%inline;)*>
<!ELEMENT a (#PCDATA | b | br | small | span)*>
<!ATTLIST a href CDATA #REQUIRED>
<!ELEMENT br EMPTY>
"""


def jad_attributes(data):
    return dict(line.split(": ", 1) for line in data.decode("utf-8").split("\r\n") if ": " in line)


class ServeTest(BookFolderTest):
    @classmethod
    def setUpClass(cls):
        # Three books in one folder: a Cyrillic name, a book in three parts and
        # an FB2 book with its title and author.
        cls._tmp_class = tempfile.TemporaryDirectory()
        root = cls._tmp_class.name
        cls.program = Program(root)
        cls.out = os.path.join(root, "out")
        books = os.path.join(root, "books")
        os.mkdir(books)
        os.mkdir(cls.out)
        sentence = "The lamp was lit at dusk and put out at dawn. "
        with open(os.path.join(books, "a.txt"), "wb") as f:
            f.write((sentence * 300).encode("utf-8"))
        with open(os.path.join(books, "b.fb2"), "wb") as f:
            f.write(("<?xml version='1.0' encoding='utf-8'?><FictionBook "
                     "xmlns='http://www.gribuser.ru/xml/fictionbook/2.0'><description><title-info>"
                     "<author><first-name>Alexandre</first-name><last-name>Dumas &amp; Co</last-name>"
                     "</author><book-title>Vingt ans &lt;après&gt;</book-title></title-info>"
                     "</description><body><section><p>" + sentence * 20 + "</p></section></body>"
                     "</FictionBook>").encode("utf-8"))
        for options in [dict(BookName=RUSSIAN, TextFileName="a.txt"),
                        dict(BookName="Long", TextFileName="a.txt", TextPartCount=3),
                        dict(BookName="Dumas", TextFileName="b.fb2")]:
            cfg = os.path.join(books, "book.cfg")
            write_config(cfg, OutputDir=cls.out, ImageMode=0, **options)
            status, lines = cls.program.run("-make", cfg, cwd=books)
            assert status == 0, lines
        # A link out of the folder, to a file that is there, and a folder.
        cls.outside = os.path.join(root, "secret.jad")
        with open(cls.outside, "wb") as f:
            f.write(b"MIDlet-Name: secret\r\n")
        os.symlink(cls.outside, os.path.join(cls.out, "link.jad"))
        os.symlink(os.path.join(cls.out, "Long1.jar"), os.path.join(cls.out, "inside.jar"))
        os.mkdir(os.path.join(cls.out, "sub"))
        shutil.copy(os.path.join(cls.out, "Long1.jad"), os.path.join(cls.out, "sub", "x.jad"))
        cls.server = subprocess.Popen([cls.program.exe, "-serve", cls.out, "127.0.0.1:0"],
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        cls.server.stdout.readline()
        cls.server.stdout.readline()
        first = cls.server.stdout.readline().decode("utf-8")
        cls.port = int(re.search(r"port (\d+)", first).group(1))
        assert "127.0.0.1" in first, first

    @classmethod
    def tearDownClass(cls):
        if cls.server.poll() is None:
            cls.server.kill()
            cls.server.wait()
        cls._tmp_class.cleanup()

    def get(self, target, method="GET"):
        """The status, headers and body of one request sent as it is written."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=20)
        connection.putrequest(method, target, skip_accept_encoding=True)
        connection.endheaders()
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response.status, {k.lower(): v for k, v in response.getheaders()}, body

    def test_index_lists_every_book_with_parts_grouped(self):
        status, headers, page = self.get("/")
        self.assertEqual(status, 200)
        self.assertTrue(headers["content-type"].startswith("application/xhtml+xml"))
        self.assertEqual(int(headers["content-length"]), len(page))
        text = page.decode("utf-8")
        quoted = urllib.parse.quote(RUSSIAN + ".jad", safe="")
        self.assertIn('<b>%s</b><br/><a href="%s">Install</a>' % (RUSSIAN, quoted), text)
        self.assertRegex(text, r'<b>Long</b><br/>3 parts: <a href="Long1.jad">1</a> \d+ KB, '
                               r'<a href="Long2.jad">2</a> \d+ KB, <a href="Long3.jad">3</a> \d+ KB</p>')
        self.assertIn("<b>Vingt ans &lt;après&gt;</b><br/>Alexandre Dumas &amp; Co<br/>"
                      '<a href="Dumas.jad">Install</a>', text)
        for absent in ["secret", "link", "inside", "sub", "x.jad"]:
            self.assertNotIn(absent, text)
        self.assertEqual(text, self.get("/index.html")[2].decode("utf-8"))

    def test_index_is_valid_xhtml_and_renders_in_chromium(self):
        _, _, page = self.get("/")
        with tempfile.TemporaryDirectory() as tmp:
            dtd, html = os.path.join(tmp, "mp.dtd"), os.path.join(tmp, "index.xhtml")
            with open(dtd, "w") as f:
                f.write(XHTML_MP_SUBSET)
            with open(html, "wb") as f:
                f.write(page)
            check = subprocess.run(["xmllint", "--noout", "--nonet", "--dtdvalid", dtd, html],
                                   capture_output=True, text=True)
            self.assertEqual(check.returncode, 0, check.stderr)
            chromium = shutil.which("chromium") or shutil.which("chromium-browser")
            if not chromium:
                self.skipTest("no chromium")
            shot = os.path.join(tmp, "index.png")
            subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu",
                            "--user-data-dir=" + os.path.join(tmp, "profile"),
                            "--window-size=240,320", "--screenshot=" + shot,
                            "http://127.0.0.1:%d/" % self.port],
                           capture_output=True, timeout=120)
            self.assertTrue(os.path.exists(shot))
            with open(shot, "rb") as f:
                data = f.read()
            self.assertTrue(data.startswith(b"\x89PNG"))
            # A page with text is not one plain colour: far larger than an empty shot.
            self.assertGreater(len(data), 3000)

    def test_jad_url_of_a_cyrillic_name_leads_to_its_jar(self):
        status, headers, jad = self.get("/" + urllib.parse.quote(RUSSIAN + ".jad", safe=""))
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "text/vnd.sun.j2me.app-descriptor")
        self.assertEqual(int(headers["content-length"]), len(jad))
        attributes = jad_attributes(jad)
        self.assertEqual(attributes["MIDlet-Name"], RUSSIAN)
        url = attributes["MIDlet-Jar-URL"]
        self.assertRegex(url, r"^[A-Za-z0-9%._~-]+$")
        # As an installer does: the JAR's URL is relative to the JAD's.
        target = urllib.parse.urljoin("/" + urllib.parse.quote(RUSSIAN + ".jad", safe=""), url)
        status, headers, jar = self.get(target)
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "application/java-archive")
        self.assertEqual(int(headers["content-length"]), len(jar))
        self.assertEqual(len(jar), int(attributes["MIDlet-Jar-Size"]))
        with open(os.path.join(self.out, RUSSIAN + ".jar"), "rb") as f:
            self.assertEqual(f.read(), jar)
        self.assertIn(b"MIDlet-Name", zipfile.ZipFile(os.path.join(self.out, RUSSIAN + ".jar"))
                      .read("META-INF/MANIFEST.MF"))

    def test_every_part_jar_matches_its_jad(self):
        for n in (1, 2, 3):
            _, _, jad = self.get("/Long%d.jad" % n)
            attributes = jad_attributes(jad)
            status, headers, jar = self.get("/" + attributes["MIDlet-Jar-URL"], method="HEAD")
            self.assertEqual(status, 200)
            self.assertEqual(int(headers["content-length"]), int(attributes["MIDlet-Jar-Size"]))

    def test_nothing_outside_the_folder_is_served(self):
        cases = [
            ("parent", "/../secret.jad"),
            ("parent escaped", "/%2E%2E/secret.jad"),
            ("parent then back in", "/sub/../Long1.jad"),
            ("absolute", "//etc/passwd"),
            ("absolute escaped", "/%2Fetc%2Fpasswd"),
            ("absolute URI", "http://127.0.0.1/../secret.jad"),
            ("link out", "/link.jad"),
            ("link in", "/inside.jar"),
            ("other folder", "/sub/"),
            ("file in another folder", "/sub/x.jad"),
            ("not a midlet", "/../books/book.cfg"),
            ("no such book", "/Long9.jad"),
            ("very long", "/" + "a" * 20000 + ".jad"),
            ("long name", "/" + "a" * 300 + ".jad"),
            ("NUL", "/Long1.jad%00.jar"),
        ]
        for name, target in cases:
            with self.subTest(name):
                status, _, body = self.get(target)
                self.assertGreaterEqual(status, 400, target)
                self.assertNotIn(b"secret", body)
                self.assertNotIn(b"root:", body)

    def test_writes_are_refused(self):
        for method in ["PUT", "DELETE", "POST"]:
            with self.subTest(method):
                self.assertGreaterEqual(self.get("/Long1.jad", method=method)[0], 400)
        self.assertTrue(os.path.exists(os.path.join(self.out, "Long1.jad")))

    def test_wrong_arguments_and_ctrl_c(self):
        for arguments, status in [([], 2), ([self.out, "port"], 2), ([self.out, "70000"], 2),
                                  ([self.out + "/none"], 1)]:
            with self.subTest(arguments):
                result = subprocess.run([self.program.exe, "-serve"] + arguments,
                                        capture_output=True, timeout=20)
                self.assertEqual(result.returncode, status, result.stdout)
        server = subprocess.Popen([self.program.exe, "-serve", self.out, "127.0.0.1:0"],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        for _ in range(3):
            server.stdout.readline()
        server.send_signal(signal.SIGINT)
        out, _ = server.communicate(timeout=20)
        self.assertEqual(server.returncode, 0)
        self.assertIn("+ Stopped serving", out.decode("utf-8"))


if __name__ == "__main__":
    unittest.main()
