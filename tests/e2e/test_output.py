"""A midlet appears whole or not at all: a build that fails, a full output
disk and two program copies writing the same name into one folder never leave
a broken JAR or a JAD that does not match its JAR."""
import os
import random
import re
import resource
import signal
import struct
import subprocess
import unittest
import zipfile
import zlib

from test_make import BookFolderTest, Program, messages, write_config


def noise_png(width, height, seed=1):
    """An RGB picture of random pixels: a PNG that does not compress."""
    rng = random.Random(seed)
    raw = b"".join(b"\0" + bytes(rng.getrandbits(8) for _ in range(3 * width)) for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 0)) + chunk(b"IEND", b""))


def words(count, seed):
    rng = random.Random(seed)
    return " ".join("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
                    for _ in range(count))


def read(path):
    with open(path, "rb") as f:
        return f.read()


class TmpfsMount:
    """A small tmpfs at the folder, when this machine lets the test mount one."""

    def __init__(self, folder, size):
        self.folder = folder
        result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%s" % size, "tmpfs", folder],
                                capture_output=True)
        self.mounted = result.returncode == 0

    def release(self):
        if self.mounted:
            subprocess.run(["umount", self.folder], capture_output=True)


class OutputTest(BookFolderTest):
    def setUp(self):
        super().setUp()
        self.out = os.path.join(self.root, "out")
        os.mkdir(self.out)

    def config(self, name, **options):
        path = os.path.join(self.books, name)
        options.setdefault("OutputDir", self.out)
        options.setdefault("ImageMode", "0")
        options.setdefault("BookName", "Book")
        write_config(path, **options)
        return path

    def run_program(self, program, cfg, limit=None):
        """Runs the program; with a limit, no file it writes may grow beyond
        that many bytes (a write failure without a full disk)."""
        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

        result = subprocess.run([program.exe, "-make", cfg], cwd=self.books, capture_output=True,
                                timeout=300, preexec_fn=limit_file_size if limit else None)
        return result.returncode, messages(result.stdout)

    def assert_matching_pair(self, name):
        """The folder holds exactly the midlet's JAR and JAD, the JAR is a
        whole archive and the JAD states its size and its description."""
        self.assertEqual(sorted(os.listdir(self.out)), [name + ".jad", name + ".jar"])
        jar = os.path.join(self.out, name + ".jar")
        jad = read(os.path.join(self.out, name + ".jad")).decode("utf-8")
        with zipfile.ZipFile(jar) as z:
            self.assertIsNone(z.testzip())
            manifest = z.read("META-INF/MANIFEST.MF").decode("utf-8")
        self.assertIn("MIDlet-Jar-Size: %d\r\n" % os.path.getsize(jar), jad)
        description = re.search(r"MIDlet-Description: (.*)\r\n", manifest).group(1)
        self.assertIn("MIDlet-Description: %s\r\n" % description, jad)
        return description

    def test_a_failed_build_keeps_the_previous_midlet_byte_for_byte(self):
        program = Program(self.root)
        self.book("first.txt", b"The first book, small and complete.")
        self.book("second.txt", b"The second book carries a picture that does not compress.\r\n"
                                b"<#image noise.png>\r\n")
        self.book("noise.png", noise_png(160, 128))  # about 60 KB in the archive
        self.book("notes.txt", b"Only text, not a picture.\n")
        first = self.config("first.cfg", TextFileName="first.txt")
        tmpfs = TmpfsMount(self.out, "64k")
        try:
            status, lines = self.run_program(program, first)
            self.assertEqual(status, 0, lines)
            jar, jad = read(os.path.join(self.out, "Book.jar")), read(os.path.join(self.out, "Book.jad"))
            cases = [
                ("a configured picture that is not a picture", {"IconFileName": "notes.txt"}, None,
                 "Can' save MIDlet icon file"),
                # The second archive does not fit: on the small tmpfs the disk
                # is full; elsewhere a file size limit makes the write fail.
                ("the output disk is full" if tmpfs.mounted else "writing the archive fails",
                 {"ImageMode": "1"}, None if tmpfs.mounted else 80_000,
                 "Can't create JAR/JAD file %s" % os.path.join(self.out, "Book.jar")),
            ]
            for title, options, limit, reason in cases:
                with self.subTest(title):
                    second = self.config("second.cfg", TextFileName="second.txt", **options)
                    status, lines = self.run_program(program, second, limit)
                    self.assertEqual(status, 1, lines)
                    self.assertTrue(any(reason in line for line in lines), lines)
                    self.assertEqual(sorted(os.listdir(self.out)), ["Book.jad", "Book.jar"])
                    self.assertEqual(read(os.path.join(self.out, "Book.jar")), jar)
                    self.assertEqual(read(os.path.join(self.out, "Book.jad")), jad)
            # Once the second book fits, it replaces the first whole.
            if not tmpfs.mounted:
                status, lines = self.run_program(program, second)
                self.assertEqual(status, 0, lines)
                self.assertNotEqual(read(os.path.join(self.out, "Book.jar")), jar)
                self.assert_matching_pair("Book")
        finally:
            tmpfs.release()

    def test_two_program_copies_building_one_name_leave_one_matching_pair(self):
        copies = []
        for n in range(2):
            folder = os.path.join(self.root, "copy%d" % n)
            os.mkdir(folder)
            copies.append(Program(folder))
        # Big enough that writing the archive takes a while, so the two runs
        # write at the same time.
        self.book("shared.txt", words(400_000, 3).encode("ascii"))
        configs = [self.config("copy%d.cfg" % n, TextFileName="shared.txt", BookName="Shared",
                               MidletDescription="Built by copy %d" % n) for n in range(2)]
        for _ in range(3):
            runs = [subprocess.Popen([copy.exe, "-make", cfg], cwd=self.books, stdout=subprocess.PIPE)
                    for copy, cfg in zip(copies, configs)]
            for run in runs:
                out, _ = run.communicate(timeout=300)
                self.assertEqual(run.returncode, 0, messages(out))
            self.assertIn(self.assert_matching_pair("Shared"), ["Built by copy 0", "Built by copy 1"])


if __name__ == "__main__":
    unittest.main()
