"""GNU parallel over a folder of books, two at once, the way a library is
spread over many machines (--sshlogin), here on this one: every book gives
the files a plain sequential run gives, and a failed book does not stop the
others."""
import os
import shutil
import subprocess
import unittest

from readerkit import ProgramCase
from test_batch import BROKEN_FB2, EPOCH, comparable, tree
from test_fb2 import fb2


class ParallelTest(ProgramCase):
    def test_parallel_gives_the_files_of_a_sequential_run(self):
        parallel = shutil.which("parallel")
        if parallel is None:
            self.skipTest("GNU parallel is not installed (Debian package parallel)")
        for n in range(5):
            self.write("books/Book%d.txt" % n, "Book number %d.\n" % n * (n + 1))
        self.write("books/Tale.fb2", fb2("utf-8"))
        self.write("books/Broken.fb2", BROKEN_FB2)
        env = dict(os.environ, SOURCE_DATE_EPOCH=EPOCH, HOME=self.dir)
        books = sorted(os.path.join("books", name) for name in os.listdir(self.path("books")))

        sequential = subprocess.run([self.program, "-q", "-j", "1", "-o", "seq", *books], cwd=self.dir,
                                    capture_output=True, timeout=300, env=env)
        self.assertEqual(sequential.returncode, 1)
        result = subprocess.run([parallel, "--will-cite", "-j2", self.program, "-q", "-o", "par", "{}",
                                 ":::", *books], cwd=self.dir, capture_output=True, timeout=300, env=env)
        # GNU parallel's status is the number of jobs that failed.
        self.assertEqual(result.returncode, 1, result.stdout.decode() + result.stderr.decode())
        self.assertIn("Broken.fb2 failed: XML error", result.stdout.decode("utf-8"))

        files = tree(self.path("seq"))
        self.assertEqual(files, sorted("%s.%s" % (name, ext) for ext in ("jad", "jar")
                                       for name in ["Book0", "Book1", "Book2", "Book3", "Book4", "Tale"]))
        self.assertEqual(tree(self.path("par")), files)
        for name in files:
            with self.subTest(name=name):
                self.assertEqual(comparable(self.path("seq", name)), comparable(self.path("par", name)))


if __name__ == "__main__":
    unittest.main()
