"""The same book with the same options gives the same JAR and JAD bytes: the
entries and the readme carry SOURCE_DATE_EPOCH when it is set, else the
source file's time, in UTC; every JarCompression level reads back whole."""
import os
import subprocess
import unittest
import zipfile

from test_make import BookFolderTest, Program, messages, write_config

SOURCE = os.environ["PAGINOR_SOURCE_DIR"]
JAR_CHECK = os.path.join(SOURCE, "tests", "fixtures", "JarCheck.java")
SOURCE_TIME = 1600000000  # 2020-09-13 12:26:40 UTC
EPOCH = 1700000000  # 2023-11-14 22:13:20 UTC


def read(path):
    with open(path, "rb") as f:
        return f.read()


def prose(count):
    """Text of varied words, so that the levels compress it differently."""
    words = ["keeper", "lamp", "sea", "night", "harbour", "wind", "gull", "stone", "light", "tide",
             "boat", "rope", "storm", "shore", "village", "winter", "summer", "bell", "road"]
    out, state = [], 7
    for n in range(count):
        state = (state * 1103515245 + 12345) % 2 ** 31
        out.append(words[state % len(words)] + (".\r\n" if n % 13 == 12 else ""))
    return " ".join(out)


class ReproducibleTest(BookFolderTest):
    def setUp(self):
        super().setUp()
        self.program = Program(self.root)
        self.source = self.book("story.txt", prose(40000).encode("utf-8"))
        os.utime(self.source, (SOURCE_TIME, SOURCE_TIME))
        self.env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
        # The machine's zone does not reach the archive.
        self.env["TZ"] = "America/Los_Angeles"

    def make(self, output, epoch=None, **options):
        cfg = os.path.join(self.books, "book.cfg")
        output = os.path.join(self.root, output)
        os.makedirs(output, exist_ok=True)
        write_config(cfg, BookName="Story", TextFileName="story.txt", OutputDir=output,
                     ImageMode=0, **options)
        env = dict(self.env)
        if epoch is not None:
            env["SOURCE_DATE_EPOCH"] = str(epoch)
        result = subprocess.run([self.program.exe, "-make", cfg], cwd=self.books, env=env,
                                capture_output=True, timeout=120)
        self.assertEqual(result.returncode, 0, messages(result.stdout))
        jar = os.path.join(output, "Story.jar")
        return read(jar), read(os.path.join(output, "Story.jad")), jar

    def check_times(self, jar, when, stamp):
        with zipfile.ZipFile(jar) as z:
            for info in z.infolist():
                self.assertEqual(info.date_time, when, info.filename)
            readme = z.read("readme.txt").decode("utf-8")
        self.assertIn(" file on %s UTC\r\n" % stamp, readme)

    def test_same_book_twice_gives_the_same_bytes_with_the_source_time(self):
        first = self.make("one")
        # A later run, another folder name for the output: the same bytes.
        second = self.make("two")
        self.assertEqual(first[:2], second[:2])
        self.check_times(first[2], (2020, 9, 13, 12, 26, 40), "2020-09-13 12:26:40")

    def test_source_date_epoch_is_honoured(self):
        jar, jad, path = self.make("epoch", epoch=EPOCH)
        self.check_times(path, (2023, 11, 14, 22, 13, 20), "2023-11-14 22:13:20")
        again = self.make("again", epoch=EPOCH)
        self.assertEqual((jar, jad), again[:2])
        # A value that is no count of seconds fails the book, saying why.
        cfg = os.path.join(self.books, "book.cfg")
        env = dict(self.env, SOURCE_DATE_EPOCH="yesterday")
        result = subprocess.run([self.program.exe, "-make", cfg], cwd=self.books, env=env,
                                capture_output=True, timeout=120)
        self.assertNotEqual(result.returncode, 0)
        self.assertTrue(any("SOURCE_DATE_EPOCH [yesterday]" in line
                            for line in messages(result.stdout)), messages(result.stdout))

    def test_every_level_reads_back_and_twelve_is_smallest(self):
        sizes, jars = {}, []
        for level in range(1, 13):
            with self.subTest(level=level):
                data, _, path = self.make("level%d" % level, JarCompression=level)
                self.assertEqual(self.make("level%d" % level, JarCompression=level)[0], data,
                                 "the same bytes again")
                sizes[level] = len(data)
                jars.append(path)
                with zipfile.ZipFile(path) as z:
                    self.assertIsNone(z.testzip())
                self.assertEqual(subprocess.run(["unzip", "-t", "-qq", path]).returncode, 0)
        check = subprocess.run(["java", JAR_CHECK] + jars, capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stderr)
        self.assertEqual(check.stdout.count("streamed MIDlet-Name: Story\n"), 12)
        self.assertLess(sizes[12], sizes[1])
        self.assertEqual(min(sizes.values()), sizes[12])


if __name__ == "__main__":
    unittest.main()
