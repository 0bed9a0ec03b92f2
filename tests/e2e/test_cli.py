"""The command line: banner, usage, option words, exit statuses, -config and
the configuration errors of -make and -makeall."""
import os
import resource
import shutil
import signal
import subprocess
import tempfile
import unittest

PAGINOR = os.environ["PAGINOR"]

USAGE = [
    "Usage: Paginor [options ...] [conig_file]",
    "-help                         show help",
    "-config conig_file_name       save example of config file",
    "-make conig_file_name         make single java book",
    "-makeall conig_file_name      make multiple java books",
]


def run(*args, cwd):
    result = subprocess.run([PAGINOR, *args], cwd=cwd, capture_output=True, timeout=60)
    return result.returncode, result.stdout.decode("utf-8").split("\n")


class CommandLineTest(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.dir = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def assertBanner(self, lines):
        self.assertTrue(lines[0].startswith("Paginor 5.0.8 - "), lines[0])
        self.assertIn("Orvantis", lines[1])
        self.assertIn("orvantis.example", lines[1])

    def test_no_argument_prints_banner_and_usage(self):
        status, lines = run(cwd=self.dir)
        self.assertEqual(status, 2)
        self.assertBanner(lines)
        self.assertEqual(lines[2:], USAGE + [""])

    def test_usage_for_help_and_unknown_options(self):
        cases = [
            (["-help"], 0),
            ([" -HELP "], 0),
            (["--make", "x.cfg"], 2),
            (["-make:", "x.cfg"], 2),
            (["make"], 2),
            (["-configure", "x.cfg"], 2),
            ([""], 2),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                status, lines = run(*args, cwd=self.dir)
                self.assertEqual(status, expected)
                self.assertEqual(lines[2:], USAGE + [""])
                self.assertFalse(os.path.exists(self.path("x.cfg")))

    def test_unwritable_output_is_a_failure(self):
        if not os.path.exists("/dev/full"):
            self.skipTest("no /dev/full")
        with open("/dev/full", "wb") as full:
            status = subprocess.run([PAGINOR, "-help"], cwd=self.dir, stdout=full,
                                    timeout=60).returncode
        self.assertEqual(status, 1)

    def test_config_file_name_that_is_not_utf8(self):
        # A Latin-1 name: refused as it is, never taken for another name.
        name = b"\xe9t\xe9.cfg"
        with open(os.path.join(self.dir.encode(), name), "wb") as f:
            f.write(b"BookName=Summer\r\n")
        for option in ["-config", "-make", "-makeall"]:
            with self.subTest(option=option):
                result = subprocess.run([PAGINOR, option, name], cwd=self.dir, capture_output=True, timeout=60)
                lines = result.stdout.decode("utf-8").split("\n")
                self.assertEqual(result.returncode, 1)
                self.assertEqual(lines[2:], ["Config file name \ufffdt\ufffd.cfg is not UTF-8; rename the file", ""])
                self.assertEqual(os.listdir(self.dir.encode()), [name])

    def test_make_without_a_file(self):
        for option in ["-make", "-makeall", "-MAKE"]:
            with self.subTest(option=option):
                status, lines = run(option, cwd=self.dir)
                self.assertEqual(status, 1)
                self.assertEqual(lines[2:], ["Can't find config file ", ""])
        status, lines = run("-make", "missing.cfg", cwd=self.dir)
        self.assertEqual((status, lines[2:]), (1, ["Can't find config file missing.cfg", ""]))

    def test_config_writes_the_example_once(self):
        status, lines = run("-config", "x.cfg", "ignored", cwd=self.dir)
        self.assertEqual(status, 0)
        self.assertBanner(lines)
        self.assertEqual(lines[2:], ["Config file saved x.cfg", ""])
        with open(self.path("x.cfg"), "rb") as f:
            data = f.read()
        self.assertEqual(data[:6], b"\xff\xfe#\x00T\x00")
        text = data[2:].decode("utf-16-le")
        self.assertTrue(text.endswith("\r\n"))
        self.assertEqual(len(text.split("\r\n")) - 1, 716)

        # A second run leaves the file as it is, even after the user edited it.
        self.write("x.cfg", b"edited")
        status, lines = run("-config", "x.cfg", cwd=self.dir)
        self.assertEqual(status, 1)
        self.assertEqual(lines[2:], ["Config file x.cfg already exist", ""])
        with open(self.path("x.cfg"), "rb") as f:
            self.assertEqual(f.read(), b"edited")

    def test_config_name_is_trimmed_and_keeps_its_case(self):
        status, lines = run("\t-Config ", "  My Book.CFG \t", cwd=self.dir)
        self.assertEqual(status, 0)
        self.assertEqual(lines[2:], ["Config file saved My Book.CFG", ""])
        self.assertTrue(os.path.isfile(self.path("My Book.CFG")))

    def test_config_on_a_folder_or_in_a_missing_folder(self):
        os.mkdir(self.path("folder"))
        status, lines = run("-config", "folder", cwd=self.dir)
        self.assertEqual((status, lines[2:]), (1, ["Config file folder already exist", ""]))
        status, lines = run("-config", "none/x.cfg", cwd=self.dir)
        self.assertEqual(status, 1)
        self.assertEqual(lines[2:], ["Error Cant't save config file none/x.cfg", ""])

    def test_an_example_that_cannot_be_written_whole_is_not_left_behind(self):
        # A full disk, here a file size limit: the example stops after 4 KB.
        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))

        result = subprocess.run([PAGINOR, "-config", "x.cfg"], cwd=self.dir, capture_output=True,
                                timeout=60, preexec_fn=limit_file_size)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout.decode("utf-8").split("\n")[2:],
                         ["Error Cant't save config file x.cfg", ""])
        self.assertEqual(os.listdir(self.dir), [])
        # So the next -config, with room, writes it.
        status, lines = run("-config", "x.cfg", cwd=self.dir)
        self.assertEqual((status, lines[2:]), (0, ["Config file saved x.cfg", ""]))

    def test_make_reads_the_configuration(self):
        # A private copy of the program: a run keeps its work folders beside it.
        program = self.path("program")
        os.mkdir(program)
        shutil.copy2(PAGINOR, os.path.join(program, "paginor"))
        run("-config", "x.cfg", cwd=self.dir)
        self.write("binary.cfg", bytes(range(256)) * 8)
        self.write("empty.cfg", b"")
        # The example names no source and the reader's default text.txt does
        # not exist: -make fails its book, -makeall finds nothing to build.
        for option, name, status_wanted in [("-make", "x.cfg", 1), ("-MAKE", "x.cfg", 1),
                                            (" -MakeAll", "x.cfg", 0), ("-make", "binary.cfg", 1),
                                            ("-makeall", "empty.cfg", 0)]:
            with self.subTest(option=option, name=name):
                result = subprocess.run([os.path.join(program, "paginor"), option, name],
                                        cwd=self.dir, capture_output=True, timeout=60)
                lines = result.stdout.decode("utf-8").split("\n")
                self.assertEqual(result.returncode, status_wanted, lines)
                self.assertBanner(lines)
                # After the configuration's own notices (a binary file sets no option).
                first = [line for line in lines[2:] if "  ? " not in line][0]
                self.assertRegex(first, r"^\d\d:\d\d:\d\d  \.\. Checking configuration $")
                self.assertFalse([line for line in lines if line.startswith("Error ")])
                if status_wanted:
                    self.assertRegex(lines[-3], r"  - Can't create midlet$")

    def test_a_file_that_is_no_configuration_is_told(self):
        # What people pass by mistake: the book itself, a program, a
        # configuration saved as UTF-16 without its byte-order mark.
        no_option = "? Config file %s sets no option (no line such as BookName=...): is it a " \
                    "configuration? Every option keeps its default"
        not_text = "? Config file %s is not a text file: it holds zero bytes, as a program, a " \
                   "picture or UTF-16 saved without its byte-order mark does"
        options = "BookName=Book\r\nTextFileName=none.txt\r\n"
        program_bytes = b"\x7fELF\x02\x01\x01\x00" + b"\x00" * 8 + b"\nPATH=/usr/bin\n\x00\x01=\x02"
        cases = [("book.txt", "Chapter One\nThe ferry left at seven.\n".encode("utf-8"), no_option),
                 ("high.cfg", bytes(range(1, 256)) * 4, no_option),
                 ("nomark.cfg", options.encode("utf-16-le"), not_text),
                 ("a.out", program_bytes, not_text),
                 ("utf8.cfg", options.encode("utf-8"), None),
                 ("marked.cfg", options.encode("utf-16"), None),
                 ("lowercase.cfg", b"bookname=Book\nTextFileName=none.txt\n", None)]
        # A private copy of the program: folder mode finds nothing to build
        # in its folder either.
        program = self.path("program")
        os.mkdir(program)
        shutil.copy2(PAGINOR, os.path.join(program, "paginor"))
        for name, data, notice in cases:
            with self.subTest(name):
                self.write(name, data)
                result = subprocess.run([os.path.join(program, "paginor"), "-makeall", name],
                                        cwd=self.dir, capture_output=True, timeout=60)
                status, lines = result.returncode, result.stdout.decode("utf-8").split("\n")
                self.assertEqual(status, 0, lines)
                # Only that line: none for the bytes of a binary file.
                told = [line[10:] for line in lines if "  ? Config file" in line or
                        "  ? Unknown option" in line]
                self.assertEqual(told, [notice % name] if notice else [], lines)

    def test_unreadable_configuration(self):
        os.mkdir(self.path("folder.cfg"))
        os.symlink(self.path("nowhere"), self.path("dangling.cfg"))
        names = ["folder.cfg", "dangling.cfg"]
        if os.geteuid() != 0:
            self.write("locked.cfg", b"BookName=x")
            os.chmod(self.path("locked.cfg"), 0)
            names.append("locked.cfg")
        for option in ["-make", "-makeall"]:
            for name in names:
                with self.subTest(option=option, name=name):
                    status, lines = run(option, name, cwd=self.dir)
                    self.assertEqual(status, 1)
                    self.assertEqual(lines[2:], ["Error Can't read config file " + name, ""])


if __name__ == "__main__":
    unittest.main()
