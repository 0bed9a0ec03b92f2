"""The preview command: screenshots of a midlet's start, first pages and
contents, also for a password-protected book."""
import os
import subprocess
import sys
import unittest

from readerkit import SOURCE, Book, Workspace

PREVIEW = os.path.join(SOURCE, "scripts", "preview.py")
NAMES = ["start.png", "page1.png", "page2.png", "page3.png", "contents.png"]
M = chr(0xE000)


class Preview(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()

    def tearDown(self):
        self.ws.cleanup()

    def preview(self, book, *extra):
        jar = book.jar(self.ws.path("book.jar"))
        out = self.ws.path("shots")
        env = dict(os.environ, MIDP_HOST=os.path.join(os.environ["PAGINOR_BUILD_DIR"], "tools", "midp-host",
                                                       "midp-host.jar"))
        proc = subprocess.run([sys.executable, PREVIEW, jar, out] + list(extra), capture_output=True, text=True,
                              env=env, timeout=120)
        return proc, out

    def read(self, out, name):
        with open(os.path.join(out, name), "rb") as f:
            return f.read()

    def test_screens_of_a_book(self):
        toc = M + "".join(c + M for c in "Chapter") + "\n"
        text = toc + "\r\n".join("Line %d of a previewed book, long enough to wrap." % i for i in range(80))
        proc, out = self.preview(Book(text, links=["l%d" % len(toc)], smooth_scroll=20))
        self.assertEqual(proc.returncode, 0, proc.stderr)
        shots = {n: self.read(out, n) for n in NAMES}
        for name, data in shots.items():
            self.assertTrue(data.startswith(b"\x89PNG\r\n\x1a\n"), name)
        self.assertNotEqual(shots["page1.png"], shots["page2.png"])
        self.assertNotEqual(shots["page2.png"], shots["page3.png"])
        # The table of contents stands at the start of this book.
        self.assertEqual(shots["contents.png"], shots["page1.png"])

    def test_protected_book_needs_its_code(self):
        book = Book("A protected text.", password=815, password_mode=2)
        proc, _ = self.preview(book)
        self.assertNotEqual(proc.returncode, 0)
        self.assertIn("--password", proc.stderr)
        proc, _ = self.preview(book, "--password", "816")
        self.assertNotEqual(proc.returncode, 0)
        self.assertIn("does not open with the password 816", proc.stderr)
        proc, out = self.preview(book, "--password", "815")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertNotEqual(self.read(out, "start.png"), self.read(out, "page1.png"))

    def test_a_file_that_is_not_a_jar_is_told_in_one_line(self):
        # The JAD beside the JAR, or the book itself, given by mistake.
        for name, data in [("book.jad", b"MIDlet-Name: Book\r\n"), ("book.html", b"<p>A page.</p>")]:
            with self.subTest(name):
                path = self.ws.path(name)
                with open(path, "wb") as f:
                    f.write(data)
                proc = subprocess.run([sys.executable, PREVIEW, path], capture_output=True, text=True,
                                      timeout=120)
                self.assertEqual(proc.returncode, 1)
                self.assertEqual(proc.stderr, "preview: %s is not a midlet's JAR (not a zip archive); "
                                 "give the .jar file that paginor -make wrote\n" % path)

    def test_host_help_and_actions_it_cannot_perform(self):
        host = os.path.join(os.environ["PAGINOR_BUILD_DIR"], "tools", "midp-host", "midp-host.jar")
        proc = subprocess.run(["java", "-jar", host, "--help"], capture_output=True, text=True, timeout=60)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertTrue(proc.stdout.startswith("usage: midp-host "), proc.stdout)
        self.assertEqual(proc.stderr, "")
        # Key 3 opens the bookmarks, none saved yet: there is no element 2,
        # which is the script's mistake, not the midlet's failure.
        jar = Book("A short text.").jar(self.ws.path("book.jar"))
        for action in ["select:2", "select:-1"]:
            proc = subprocess.run(["java", "-jar", host, jar, "key:fire", "key:3", action], capture_output=True,
                                  text=True, timeout=60)
            self.assertEqual(proc.returncode, 4, proc.stderr)
            self.assertTrue(proc.stderr.startswith("midp-host: no element %s to select on List: "
                                                   % action[7:]), proc.stderr)


if __name__ == "__main__":
    unittest.main()
