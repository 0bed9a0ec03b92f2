"""The command-line form, paginor [OPTIONS] BOOK|FOLDER...: books of every
format in one call, folders walked and mirrored, a failing book that does not
stop the others, -c with -s over it, -j giving the same files, -n, --help and
--version, and the Part's usage for words that are not the form. Also what
-makeall and -make add to their logs: [N/M], the summary, the dump's path."""
import io
import os
import re
import subprocess
import unittest
import zipfile

from readerkit import ProgramCase
from test_cli import USAGE
from test_epub import epub3
from test_fb2 import fb2
from test_fb2_zip import zipped
from test_word import docx, para

PAGE = b"<!DOCTYPE html><html><head><title>Page</title></head><body><h1>One</h1><p>Text.</p></body></html>"
BROKEN_FB2 = b'<?xml version="1.0"?><FictionBook><body><p>cut short'
# Builds that land at the same second still differ in nothing.
EPOCH = "1767225600"  # 2026-01-01


def jar_entries(path):
    with zipfile.ZipFile(path) as z:
        return [(i.filename, z.read(i)) for i in z.infolist()]


def reproducible(path):
    """Whether the archive takes its entry times from SOURCE_DATE_EPOCH."""
    with zipfile.ZipFile(path) as z:
        return all(i.date_time[:3] == (2026, 1, 1) for i in z.infolist())


def comparable(path):
    """What two builds of one book must share: every byte of a reproducible
    archive and of its JAD; otherwise every entry but cfg.dat, which holds a
    check drawn afresh each build, and the readme, which holds the build's
    time, and the JAD without the archive's size."""
    jar = path[:-4] + ".jar"
    with open(path, "rb") as f:
        data = f.read()
    if reproducible(jar):
        return data
    if path.endswith(".jad"):
        return re.sub(rb"MIDlet-Jar-Size: \d+", b"", data)
    return [e for e in jar_entries(path) if e[0] != "cfg.dat" and not e[0].startswith("readme")]


def tree(folder):
    found = []
    for root, _, files in os.walk(folder):
        found += [os.path.relpath(os.path.join(root, f), folder) for f in files]
    return sorted(found)


class BatchTest(ProgramCase):
    def paginor(self, *args, env=None):
        full_env = dict(os.environ, SOURCE_DATE_EPOCH=EPOCH, **(env or {}))
        result = subprocess.run([self.program, *args], cwd=self.dir, capture_output=True,
                                timeout=300, env=full_env)
        return result.returncode, result.stdout.decode("utf-8").split("\n")

    def library(self):
        """A folder of mixed books, one of them in a subfolder, with things
        that are no books among them."""
        self.write("lib/Dumas.fb2", fb2("windows-1251"))
        self.write("lib/River.epub", epub3())
        self.write("lib/novel/Garden.docx", docx(para("Chapter", "Heading1") + para("The garden."), {}))
        self.write("lib/novel/deep/Page.html", PAGE)
        self.write("lib/Zipped.fb2.zip", zipped([("book.fb2", fb2("utf-8"))]))
        self.write("lib/Три мушкетёра.txt", "Один за всех, и все за одного.\n")
        self.write("lib/cover.jpg", b"\xff\xd8\xff\xe0 not a book")
        self.write("lib/.git/notes.txt", "hidden, never walked")

    def test_books_of_every_format_in_one_call(self):
        self.library()
        names = ["Dumas.fb2", "River.epub", "novel/Garden.docx", "novel/deep/Page.html",
                 "Zipped.fb2.zip", "Три мушкетёра.txt"]
        status, lines = self.paginor("-o", "out", *["lib/" + n for n in names])
        self.assertEqual(status, 0, "\n".join(lines))
        self.assertIn("Created output folder out", lines)
        expected = ["Dumas", "River", "Garden", "Page", "Zipped", "Три мушкетёра"]
        self.assertEqual(tree(self.path("out")), sorted(n + e for n in expected for e in (".jad", ".jar")))
        for name in expected:
            with zipfile.ZipFile(self.path("out", name + ".jar")) as z:
                self.assertIsNone(z.testzip())
        done = [l for l in lines if re.match(r"\[\d/6\] ", l)]
        self.assertEqual([l[:5] for l in done], ["[%d/6]" % n for n in range(1, 7)])
        self.assertTrue(any(re.fullmatch(r"\[\d/6\] lib/Dumas\.fb2 -> out/Dumas\.jar \(\d+ KB\) [\d.]+ s", l)
                            for l in done), done)
        self.assertIn("Built 6 of 6 books in", [l for l in lines if l.startswith("Built")][0])

    def test_a_folder_is_walked_and_its_subfolders_mirrored(self):
        self.library()
        # A book known by its content alone, and one whose reader needs the
        # extension it lacks.
        self.write("lib/novel/noextension", fb2("utf-8"))
        self.write("lib/novel/letter.bin", docx(para("Hello"), {}))
        status, lines = self.paginor("-o", "out", "-j", "2", "lib")
        self.assertEqual(status, 0, "\n".join(lines))
        self.assertEqual(tree(self.path("out")), sorted(n + e for e in (".jad", ".jar") for n in [
            "Dumas", "River", "Zipped", "Три мушкетёра", "novel/Garden", "novel/noextension",
            "novel/deep/Page"]))
        summary = lines[lines.index("Skipped:") - 1]
        self.assertRegex(summary, r"^Built 7 of 7 books in [\d.]+ s, 2 skipped$")
        self.assertIn("  lib/cover.jpg: not a book", lines)
        self.assertIn("  lib/novel/letter.bin: it holds a document that is read by its extension: "
                      "name it letter.docx to build it", lines)
        # The output folder inside the folder walked is not walked again.
        status, lines = self.paginor("-o", "lib/out", "lib")
        self.assertEqual(status, 0)
        self.assertFalse(any("lib/out/" in l and "Skipped" in l for l in lines))

    def test_a_failing_book_does_not_stop_the_others(self):
        self.write("books/a.txt", "First book.\n")
        self.write("books/b.fb2", BROKEN_FB2)
        self.write("books/c.txt", "Third book.\n")
        for jobs in ["1", "3"]:
            with self.subTest(jobs=jobs):
                status, lines = self.paginor("-j", jobs, "-o", "out" + jobs, "books", "missing.epub")
                self.assertEqual(status, 1)
                self.assertEqual(tree(self.path("out" + jobs)), ["a.jad", "a.jar", "c.jad", "c.jar"])
                self.assertIn("Built 2 of 4 books in", "\n".join(lines))
                failed = lines[lines.index("Failed:") + 1:]
                dump = self.path("b.dump")
                self.assertIn("  books/b.fb2: XML error in line 1: Premature end of data in tag p "
                              "line 1; its text is in " + dump, failed)
                self.assertIn("  missing.epub: No such file or folder", failed)
                self.assertTrue(os.path.exists(dump))
                self.assertTrue(any(re.match(r"\[\d/3\] books/b\.fb2 failed: XML error", l) for l in lines))

    def test_settings_count_over_the_configuration(self):
        self.write("conf/book.cfg", "MidletVendor=Harbour Press\r\nMidletVersion=2.0\r\nOutputDir=shelf\r\n")
        self.write("a.txt", "A book.\n")
        status, lines = self.paginor("-c", "conf/book.cfg", "-s", "MidletVersion=3.1", "-s",
                                     "PasswordMode=1", "-s", "Password=4711", "a.txt")
        self.assertEqual(status, 0, "\n".join(lines))
        # The configuration's relative OutputDir is taken from its own folder.
        with open(self.path("conf", "shelf", "a.jad"), encoding="utf-8") as f:
            jad = f.read()
        self.assertIn("MIDlet-Vendor: Harbour Press", jad)
        self.assertIn("MIDlet-Version: 3.1", jad)
        # A password the settings ask for but leave out fails the book.
        status, lines = self.paginor("-c", "conf/book.cfg", "-s", "PasswordMode=1", "-o", "x", "a.txt")
        self.assertEqual(status, 1)
        self.assertTrue(any("Password 0 is not a code of 3 to 6 digits" in l for l in lines))

    def test_jobs_give_the_same_files(self):
        self.library()
        self.paginor("-j", "1", "-o", "one", "lib")
        self.paginor("-j", "4", "-o", "four", "lib")
        files = tree(self.path("one"))
        self.assertEqual(len(files), 12)
        self.assertEqual(files, tree(self.path("four")))
        for name in files:
            with self.subTest(name=name):
                self.assertEqual(comparable(self.path("one", name)), comparable(self.path("four", name)))

    def test_list_only_builds_nothing(self):
        self.library()
        status, lines = self.paginor("-n", "-o", "out", "lib")
        self.assertEqual(status, 0)
        self.assertIn("lib/novel/deep/Page.html -> out/novel/deep/Page.jar", lines)
        self.assertIn("lib/Zipped.fb2.zip -> out/Zipped.jar", lines)
        self.assertIn("Skipped lib/cover.jpg: not a book", lines)
        self.assertIn("6 books to build, 1 skipped", lines)
        self.assertFalse(os.path.exists(self.path("out")))

    def test_help_version_and_usage(self):
        self.write("a.txt", "A book.\n")
        self.write("whatever.cfg", "BookName=X\r\n")
        cases = [
            (["--help"], 0, "help"),
            (["-h"], 0, "help"),
            (["a.txt", "--help"], 0, "help"),
            (["--bogus", "a.txt"], 2, "usage"),
            (["a.txt", "-x"], 2, "usage"),
            (["make", "whatever.cfg"], 2, "usage"),
            (["missing.epub"], 2, "usage"),
            (["-j", "0", "a.txt"], 2, "-j wants a number of books built at once, such as -j 4, not 0"),
            (["a.txt", "-o"], 2, "-o wants a value: -o DIR"),
            (["-s", "Fontname1=Serif", "a.txt"], 2, "Unknown option Fontname1; did you mean FontName1?"),
            (["-s", "novalue", "a.txt"], 2, '-s wants KEY=VALUE, such as -s FontName1="DejaVu Sans", not novalue'),
            (["-v"], 2, "No book given: paginor [OPTIONS] BOOK|FOLDER... (paginor --help tells more)"),
            (["-c", "none.cfg", "a.txt"], 1, "Can't find config file none.cfg"),
        ]
        for args, expected, text in cases:
            with self.subTest(args=args):
                status, lines = self.paginor(*args)
                self.assertEqual(status, expected)
                self.assertTrue(lines[0].startswith("Paginor 5.0.8 - "))
                if text == "help":
                    self.assertEqual(lines[2:7], USAGE)
                    self.assertIn("paginor [OPTIONS] BOOK|FOLDER...", lines)
                    self.assertTrue(any(l.startswith("-s KEY=VALUE ") for l in lines))
                elif text == "usage":
                    self.assertEqual(lines[2:], USAGE + [""])
                else:
                    self.assertEqual(lines[2:], [text, ""])
                self.assertFalse(os.path.exists(self.path("a.jar")))
        status, lines = self.paginor("--version")
        self.assertEqual(status, 0)
        self.assertEqual(lines[0], "paginor 5.0.8")
        self.assertEqual([l.split(" ")[0] for l in lines[1:-1]],
                         ["zlib", "libdeflate", "libxml2", "libzip", "FreeType", "ImageMagick", "uchardet"])
        self.assertTrue(all(re.fullmatch(r"\S+ \d+\.\d+\S*", l) for l in lines[1:-1]), lines)

    def test_makeall_counts_its_books_and_names_the_dump(self):
        self.write("books/a.txt", "First.\n")
        self.write("books/b.txt", "Second.\n")
        self.write("all.cfg", "TextFileName=books/*.txt\r\nOutputDir=%s\r\n" % self.path())
        status, lines = self.paginor("-makeall", "all.cfg")
        self.assertEqual(status, 0)
        messages = [l[10:] for l in lines if re.match(r"\d\d:\d\d:\d\d  ", l)]
        self.assertLess(messages.index("[1/2] a.txt"), messages.index("[2/2] b.txt"))
        self.assertEqual(messages[-1], "+ Built 2 of 2 books")
        self.write("books/a.fb2", BROKEN_FB2)
        self.write("all.cfg", "TextFileName=books/*.*\r\nOutputDir=%s\r\n" % self.path())
        status, lines = self.paginor("-makeall", "all.cfg")
        self.assertEqual(status, 1)
        messages = [l[10:] for l in lines if re.match(r"\d\d:\d\d:\d\d  ", l)]
        self.assertIn("- The book's imported text is in " + self.path("a.dump"), messages)
        self.assertEqual(messages[-1], "- Built 0 of 3 books; %s failed and the run stopped there"
                         % self.path("books", "a.fb2"))


if __name__ == "__main__":
    unittest.main()
