"""Zipped FB2 books (.fb2.zip, .fbz) become midlets just as the FB2 file inside
them would, in single and folder mode; an archive without a book fails with
one line."""
import io
import os
import subprocess
import unittest
import zipfile

from readerkit import ProgramCase
from test_fb2 import COVER, fb2

DETAILS = "Тихая река, Анна Берг, 2026"


def zipped(entries):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            z.writestr(name, data)
    return out.getvalue()


class ZippedFb2(ProgramCase):
    def run_program(self, option, text_file_name):
        options = ["BookName=Configured", "TextFileName=" + text_file_name,
                   "OutputDir=" + self.path("midlets"), "ImageMode=1", "DebugLevel=7", "813=About"]
        self.write("book.cfg", "".join(o + "\r\n" for o in options).encode("utf-8"))
        result = subprocess.run([self.program, option, self.path("book.cfg")], cwd=self.dir,
                                capture_output=True, timeout=120)
        return result.returncode, result.stdout.decode("utf-8")

    def jar_files(self, name):
        with zipfile.ZipFile(self.path("midlets", name + ".jar")) as z:
            return {n: z.read(n) for n in z.namelist()}

    def test_single_mode_builds_the_same_midlet_as_the_plain_file(self):
        book = fb2("windows-1251")
        self.write("book.fb2", book)
        self.write("book.fbz", zipped([("Берг/Тихая река.fb2", book)]))
        code, log = self.run_program("-make", self.path("book.fb2"))
        self.assertEqual(code, 0, log)
        with open(self.path("sourcetext.dump"), "rb") as f:
            plain_dump = f.read()
        plain = self.jar_files("Configured")

        code, log = self.run_program("-make", self.path("book.fbz"))
        self.assertEqual(code, 0, log)
        self.assertIn(".. Reading [Берг/Тихая река.fb2] from the archive", log)
        self.assertIn("+ Created midlet [Configured] OK", log)
        with open(self.path("sourcetext.dump"), "rb") as f:
            self.assertEqual(f.read(), plain_dump)
        from_zip = self.jar_files("Configured")
        self.assertEqual(from_zip["splash.png"], COVER)
        self.assertIn(DETAILS.encode("utf-16-be"), from_zip["cfg.dat"])
        # Everything but the manifest's and readme's dates is the same.
        for name in plain:
            if name not in ("META-INF/MANIFEST.MF", "readme.txt", "cfg.dat"):
                self.assertEqual(from_zip[name], plain[name], name)

    def test_folder_mode_finds_both_kinds_and_names_books_without_the_extension(self):
        os.mkdir(self.path("books"))
        self.write(os.path.join("books", "river.fb2.zip"),
                   zipped([("notes.txt", b"not a book"), ("a.fb2", fb2("utf-8")),
                           ("b.fb2", b"never read")]))
        self.write(os.path.join("books", "Sea.FBZ"), zipped([("sea.fb2", fb2("windows-1251"))]))
        code, log = self.run_program("-makeall", self.path("books", "*.*"))
        self.assertEqual(code, 0, log)
        self.assertIn("+ BookName is set to [river]", log)
        self.assertIn("+ BookName is set to [Sea]", log)
        self.assertIn("+ The archive holds 2 FB2 books; the first, [a.fb2], is read", log)
        for name in ("river", "Sea"):
            self.assertEqual(self.jar_files(name)["splash.png"], COVER)

    def test_archive_without_a_book_fails_with_one_line(self):
        self.write("empty.fbz", zipped([("cover.png", COVER), ("../book.fb2", fb2("utf-8"))]))
        code, log = self.run_program("-make", self.path("empty.fbz"))
        self.assertEqual(code, 1, log)
        self.assertTrue(log.rstrip().endswith(
            "- The archive %s holds no FB2 book (no .fb2 entry)" % self.path("empty.fbz")), log)
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(self.dir), "book.fb2")))
        self.assertFalse(os.path.exists(self.path("midlets", "Configured.jar")))


if __name__ == "__main__":
    unittest.main()
