"""-make and -makeall end to end: the built program turns text books into
JARs and JADs whose files match their formats byte for byte, divides a long
book, builds a folder of sources, and reports failures with their log lines,
dump and exit status without writing outside its own folders."""
import fcntl
import os
import re
import resource
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest
import urllib.parse
import zipfile

from readerkit import Book, Shot, run_host

PAGINOR = os.environ["PAGINOR"]
SOURCE = os.environ["PAGINOR_SOURCE_DIR"]
BUILD = os.environ["PAGINOR_BUILD_DIR"]
CLASS_DIR = os.path.join(BUILD, "reader", "classes")
JAR_CHECK = os.path.join(SOURCE, "tests", "fixtures", "JarCheck.java")

READER_CLASSES = ["TBookCanvas", "TBookN1Canvas", "TBookN2Canvas", "TBookCanvasInit", "TBookMIDlet",
                  "TFont", "TLoadableFont", "TImage", "TLinkItem", "TSms"]
DEFAULT_PICTURES = ["point.png", "logo.png", "linkl.png", "linkp.png"]

RUSSIAN = ("Маяк стоял на северном мысу, и его смотритель знал море лучше всех в деревне. "
           "Каждый вечер он зажигал лампу и смотрел, как вода поднимается у старого причала. "
           "Зимой ветер пел в трубах, а летом над скалами кружили чайки.\r\n")
MIXED = ("The first words of the book: a keeper, a lamp and the sea. Café, naïve, Ærø, "
         "Ελλάδα, Жук, 漢字.\r\nSecond line of the book.\r\n")
FACE = "A face outside the first plane: \U0001F600.\r\n"


def units(text):
    return text.encode("utf-16-be")


def first_link_id(text):
    """The start of the longest run of UTF-16 codes the text does not use."""
    data = units(text)
    used = set(struct.unpack(">%dH" % (len(data) // 2), data))
    best_start, best_len, start = 0, 0, None
    for code in range(0, 65537):
        if code < 65536 and code not in used:
            if start is None:
                start = code
        else:
            if start is not None and code - start > best_len:
                best_start, best_len = start, code - start
            start = None
    return best_start


def be32(v):
    return struct.pack(">i", v)


def nu_extra(name):
    n = len(name.encode("utf-16-le")) // 2
    return b"NU" + struct.pack("<H", 8 + 2 * n) + b"NUCX" + struct.pack("<I", n) + name.encode("utf-16-le")


class Program:
    """A private copy of the program: its work folders, lock and dumps lie in
    a folder of the test's own."""

    def __init__(self, root):
        self.dir = os.path.join(root, "program")
        os.mkdir(self.dir)
        self.exe = os.path.join(self.dir, "paginor")
        shutil.copy2(PAGINOR, self.exe)

    def start(self, option, cfg, cwd):
        return subprocess.Popen([self.exe, option, cfg], cwd=cwd, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def run(self, option, cfg, cwd):
        result = subprocess.run([self.exe, option, cfg], cwd=cwd, capture_output=True, timeout=120)
        return result.returncode, messages(result.stdout)


def messages(stdout):
    """The log lines without their time stamps (the two banner lines dropped)."""
    lines = stdout.decode("utf-8").split("\n")[2:]
    return [line[10:] if re.match(r"\d\d:\d\d:\d\d  ", line) else line for line in lines if line]


def write_config(path, **options):
    text = "# test configuration\r\n" + "".join("%s=%s\r\n" % kv for kv in options.items())
    with open(path, "wb") as f:
        f.write(text.encode("utf-8"))


def tree(folder):
    """Every file and folder below the folder, relative, with file sizes."""
    found = {}
    for base, dirs, files in os.walk(folder):
        for d in dirs:
            found[os.path.relpath(os.path.join(base, d), folder) + "/"] = None
        for f in files:
            p = os.path.join(base, f)
            found[os.path.relpath(p, folder)] = os.path.getsize(p)
    return found


class BookFolderTest(unittest.TestCase):
    """A test with a temporary folder of its own and a books folder in it."""

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.root = self._tmp.name
        self.books = os.path.join(self.root, "books")
        os.mkdir(self.books)

    def tearDown(self):
        self._tmp.cleanup()

    def book(self, name, data):
        path = os.path.join(self.books, name)
        with open(path, "wb") as f:
            f.write(data)
        return path


class MakeTest(BookFolderTest):
    def setUp(self):
        super().setUp()
        self.program = Program(self.root)

    def out(self, name):
        return os.path.join(self.program.dir, "midlets", name)

    def make(self, option="-make", **options):
        cfg = os.path.join(self.books, "book.cfg")
        options.setdefault("OutputDir", "midlets")
        options.setdefault("ImageMode", "0")
        write_config(cfg, **options)
        return self.program.run(option, cfg, cwd=self.books)

    # --- one text book -----------------------------------------------------

    def check_midlet(self, name, text, source, password=0, toc_position=0, links=(), book_name=None):
        """Checks every file of the midlet against its format."""
        jar_path, jad_path = self.out(name + ".jar"), self.out(name + ".jad")
        written = text + " "
        pieces = (len(units(written)) // 2 + 4095) // 4096
        book_files = ["book%d.dat" % n for n in range(pieces)]
        with zipfile.ZipFile(jar_path) as z:
            infos = {i.filename: i for i in z.infolist()}
            expected_names = (["META-INF/", "META-INF/MANIFEST.MF", "cfg.dat", "readme.txt"]
                              + [c + ".class" for c in READER_CLASSES] + DEFAULT_PICTURES + book_files)
            self.assertEqual(sorted(infos), sorted(expected_names))
            for entry, info in infos.items():
                with self.subTest(entry=entry):
                    self.assertEqual((info.create_version, info.create_system, info.extract_version),
                                     (20, 0, 20))
                    self.assertEqual(info.extra, nu_extra(entry))
                    if entry.endswith("/"):
                        self.assertEqual((info.flag_bits, info.compress_type, info.CRC, info.file_size),
                                         (2, 0, 0, 0))
                    else:
                        self.assertEqual(info.flag_bits, 0)
                        self.assertEqual(info.compress_type, 8 if info.file_size else 0)
            for c in READER_CLASSES:
                with open(os.path.join(CLASS_DIR, c + ".class"), "rb") as f:
                    self.assertEqual(z.read(c + ".class"), f.read(), c)
            for p in DEFAULT_PICTURES:
                with open(os.path.join(SOURCE, "reader", "pictures", p), "rb") as f:
                    self.assertEqual(z.read(p), f.read(), p)
            data = units(written)
            for n, piece in enumerate(book_files):
                self.assertEqual(z.read(piece), masked_piece(data, n, password))
            manifest = z.read("META-INF/MANIFEST.MF")
            readme = z.read("readme.txt").decode("utf-8")
            cfg = z.read("cfg.dat")

        self.assertEqual(manifest, ("Manifest-Version: 1.0\r\nMIDlet-Name: %s\r\nMIDlet-Vendor: Orvantis\r\n"
                                    "MIDlet-1: %s, /logo.png, TBookMIDlet\r\nMIDlet-Version: 1.0\r\n"
                                    "MIDlet-Icon: /logo.png\r\nMIDlet-Description: Lectoria\r\n"
                                    "MIDlet-Info-URL: http://orvantis.example\r\n"
                                    "MicroEdition-Configuration: CLDC-1.0\r\n"
                                    "MicroEdition-Profile: MIDP-1.0\r\n" % (name, name)).encode("utf-8"))
        with open(jad_path, "rb") as f:
            self.assertEqual(f.read(), ("MIDlet-Name: %s\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: Orvantis\r\n"
                                        "MIDlet-Description: Lectoria\r\nMIDlet-Info-URL: http://orvantis.example\r\n"
                                        "MicroEdition-Profile: MIDP-1.0\r\nMicroEdition-Configuration: CLDC-1.0\r\n"
                                        "MIDlet-Icon: /logo.png\r\nMIDlet-Jar-URL: %s.jar\r\n"
                                        "MIDlet-Jar-Size: %d\r\nMIDlet-1: %s, /logo.png, TBookMIDlet\r\n"
                                        % (name, urllib.parse.quote(name, safe=""),
                                           os.path.getsize(jar_path), name)).encode("utf-8"))
        self.assertRegex(readme, r"^Java book \[%s\] created from \[%s\] file on "
                                 r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC\r\n\r\n\r\n[^\r\n]+\r\n$"
                         % (re.escape(book_name or name), re.escape(os.path.basename(source))))
        # A shared book does not tell the folders the user keeps it in.
        self.assertNotIn(os.path.dirname(source), readme)

        # cfg.dat with the reader defaults of a configuration that sets
        # nothing but the book.
        first = first_link_id(text)
        prefix = b"".join(be32(v) for v in (
            len(units(written)) // 2, 0, 0, 1, 1, 1, 0xFFFFFF, 0, 0xFF, 3, 0, 20, 2, 0,
            toc_position, first, first + len(links) - 1))
        for link in links:
            prefix += be32(len(units(link)) // 2) + units(link)
        prefix += be32(0)  # PasswordMode
        self.assertEqual(cfg[:len(prefix)], prefix)
        rest = cfg[len(prefix):]
        self.assertEqual(rest[:4], be32(16))
        check = rest[4:36].decode("utf-16-be")
        self.assertTrue(all(32 <= ord(c) < 30032 for c in check))
        h = 0
        for i, c in enumerate(check):
            h = ((2 * h) % (1 << 32)) ^ ((ord(c) ^ password ^ i) & 0xFFFF)
        self.assertEqual(rest[36:40], struct.pack(">I", h))
        # No interface texts configured; the book details (text 813) carry
        # the reader default of BookInfo.
        details = "Made with Paginor by Orvantis, 2026"
        self.assertEqual(rest[40:], be32(1) + be32(813) + be32(len(details)) + details.encode("utf-16-be"))
        return jar_path

    def test_text_book_in_each_encoding(self):
        cases = [
            ("windows-1251", "cp1251", b"", RUSSIAN, 0),
            ("UTF-8 without mark", "utf-8", b"", MIXED + FACE, 0),
            ("UTF-8 with mark", "utf-8", b"\xef\xbb\xbf", MIXED, 4711),
            ("UTF-16 LE", "utf-16-le", b"\xff\xfe", MIXED + FACE, 0xFFFF),
            ("UTF-16 BE", "utf-16-be", b"\xfe\xff", RUSSIAN + MIXED, 0x10000 + 12),
        ]
        for label, codec, mark, text, password in cases:
            with self.subTest(encoding=label):
                source = self.book("story.txt", mark + text.encode(codec))
                status, lines = self.make(BookName="Story", TextFileName="story.txt", Password=password)
                self.assertEqual(status, 0, lines)
                self.assertEqual(lines[-1], "+ Created midlet [Story] OK")
                self.check_midlet("Story", text, source, password=password)
                # Only the JAR and JAD remain; the work folders are empty.
                self.assertEqual(sorted(os.listdir(self.out(""))), ["Story.jad", "Story.jar"])
                self.assertEqual(tree(os.path.join(self.program.dir, "temp1")), {"META-INF/": None})
                self.assertEqual(os.listdir(os.path.join(self.program.dir, "temp2")), [])

    def test_long_manifest_values_read_back_whole(self):
        description = ("The keeper of the tide clock and the lamp that never went out; " * 9 +
                       "Смотритель маяка и часы приливов, 漢字")
        self.book("story.txt", b"A story.")
        status, lines = self.make(BookName="Long", TextFileName="story.txt",
                                  MidletDescription=description)
        self.assertEqual(status, 0, lines)
        jar = self.out("Long.jar")
        with zipfile.ZipFile(jar) as z:
            manifest = z.read("META-INF/MANIFEST.MF")
        physical = manifest.split(b"\r\n")
        self.assertEqual(physical[-1], b"")
        self.assertLessEqual(max(len(line) for line in physical), 72)
        self.assertGreater(len(physical), 12)  # the description was continued
        java = subprocess.run(["java", "-Dfile.encoding=UTF-8", "-Dstdout.encoding=UTF-8", JAR_CHECK, jar],
                              check=True, capture_output=True)
        self.assertIn("manifest MIDlet-Description: " + description + "\n", java.stdout.decode("utf-8"))
        # Longer than the 512 bytes a manifest reader takes on one line; the JAD
        # keeps it on one line.
        with open(self.out("Long.jad"), "rb") as f:
            self.assertIn(("\r\nMIDlet-Description: " + description + "\r\n").encode("utf-8"), f.read())

    def test_tagged_book_opens_in_java_unzip_and_the_reader(self):
        text = ("<#tableofcontent><#header 1>One<#/header>\r\nThe first words of the tagged book. "
                "See <#link label x>there<#/link>.\r\n<#label X>Two")
        self.book("tagged.txt", text.encode("utf-8"))
        status, lines = self.make(BookName="Tagged", TextFileName="tagged.txt", SplashTimeout=0,
                                  SmoothScroll=0)
        self.assertEqual(status, 0, lines)
        jar = self.out("Tagged.jar")
        subprocess.run(["unzip", "-t", "-qq", jar], check=True, capture_output=True)
        java = subprocess.run(["java", JAR_CHECK, jar], check=True, capture_output=True, text=True)
        self.assertIn("manifest MIDlet-1: Tagged, /logo.png, TBookMIDlet", java.stdout)
        # JarInputStream, like some phone installers, reads the manifest only
        # when it comes first.
        self.assertIn("streamed MIDlet-1: Tagged, /logo.png, TBookMIDlet", java.stdout)
        with zipfile.ZipFile(jar) as z:
            names = z.namelist()
        self.assertEqual(names[:2], ["META-INF/", "META-INF/MANIFEST.MF"])
        self.assertEqual(names[2:], sorted(names[2:]))
        self.assertIn("entry cfg.dat ", java.stdout)

        # The reader's first screen is the one a hand-made book of the same
        # full text and settings shows.
        with zipfile.ZipFile(jar) as z:
            cfg = z.read("cfg.dat")
            full = b"".join(z.read("book%d.dat" % n) for n in range(1)).decode("utf-16-be")[:-1]
        self.assertIn("The first words of the tagged book.", full)
        first_id = struct.unpack(">i", cfg[68:72])[0]
        reference = Book(full, links=["l%d" % (full.index("One")), "l%d" % full.index("Two")],
                         first_link_id=first_id, smooth_scroll=0, splash_timeout=0)
        ref_jar = reference.jar(os.path.join(self.root, "reference.jar"))
        shots = []
        for n, path in enumerate([jar, ref_jar]):
            shot = os.path.join(self.root, "s%d.ppm" % n)
            run_host(path, ["shot:" + shot])
            shots.append(Shot(shot))
        self.assertGreater(shots[0].count(0x000000), 200)
        self.assertEqual(shots[0].pixels, shots[1].pixels)

    def test_divided_book_makes_one_midlet_per_part(self):
        sentence = "The lamp was lit at dusk and put out at dawn. "
        text = sentence * (12000 // len(sentence))
        self.book("long.txt", text.encode("utf-8"))
        status, lines = self.make(BookName="Long", TextFileName="long.txt", TextPartSize=9000)
        self.assertEqual(status, 0, lines)
        self.assertIn(".. Creating midlet [Long1], part 1", lines)
        self.assertIn(".. Creating midlet [Long2], part 2", lines)
        self.assertEqual(sorted(os.listdir(self.out(""))), ["Long1.jad", "Long1.jar", "Long2.jad", "Long2.jar"])
        parts = []
        for name in ["Long1", "Long2"]:
            with zipfile.ZipFile(self.out(name + ".jar")) as z:
                books = sorted(n for n in z.namelist() if n.startswith("book"))
                data = b"".join(z.read(b) for b in books)
                cfg = z.read("cfg.dat")
                self.assertIn(b"MIDlet-Name: " + name.encode(), z.read("META-INF/MANIFEST.MF"))
                self.assertIn("Java book [Long]", z.read("readme.txt").decode())
            self.assertEqual(struct.unpack(">i", cfg[:4])[0], len(data) // 2)
            self.assertEqual(len(books), (len(data) // 2 + 4095) // 4096, name)
            parts.append(data.decode("utf-16-be"))
        # Each part holds only its own text; together they are the book.
        self.assertGreaterEqual(len(parts[0]), 9000)
        self.assertEqual(parts[0][:-1] + parts[1][:-1], text)
        self.assertEqual(len([p for p in parts if p.endswith(" ")]), 2)

    def test_fewer_parts_than_before_tell_or_remove_the_earlier_ones(self):
        sentence = "The lamp was lit at dusk and put out at dawn. "
        self.book("long.txt", (sentence * (12000 // len(sentence))).encode("utf-8"))
        status, lines = self.make(BookName="Long", TextFileName="long.txt", TextPartSize=3000)
        self.assertEqual(status, 0, lines)
        self.assertEqual(len(os.listdir(self.out(""))), 8)
        with open(self.out("Long44.jar"), "wb") as f:
            f.write(b"another book's")
        for remove, kept in [("false", ["Long%d" % n for n in (1, 2, 3, 4)] + ["Long44"]),
                             ("true", ["Long1", "Long2"])]:
            status, lines = self.make(BookName="Long", TextFileName="long.txt", TextPartSize=9000,
                                      RemoveStaleParts=remove)
            self.assertEqual(status, 0, lines)
            stale = [line for line in lines if "Long3, Long4, Long44" in line]
            self.assertEqual(len(stale), 1, lines)
            self.assertTrue(stale[0].startswith("? " if remove == "false" else "+ Removed"), stale)
            names = sorted({os.path.splitext(n)[0] for n in os.listdir(self.out(""))})
            self.assertEqual(names, kept)
        # Nothing left to tell.
        status, lines = self.make(BookName="Long", TextFileName="long.txt", TextPartSize=9000)
        self.assertFalse([line for line in lines if "earlier edition" in line], lines)

    # --- folder mode ---------------------------------------------------------

    def test_folder_mode_builds_every_source(self):
        self.book("Story.TXT", b"A story.")
        self.book("a.b.txt", b"Dotted name.")
        self.book(".txt", b"Only an extension.")
        self.book("notes.md", b"Not a source.")
        os.mkdir(os.path.join(self.books, "sub.txt"))
        status, lines = self.make("-makeall", TextFileName=os.path.join(self.books, "*.*"), BookName="Ignored")
        self.assertEqual(status, 0, lines)
        self.assertEqual(sorted(os.listdir(self.out(""))),
                         ["Story.jad", "Story.jar", "a.b.jad", "a.b.jar"])
        self.assertIn("+ BookName is set to [a.b]", lines)

    def test_folder_mode_says_where_it_found_nothing_to_build(self):
        # Nothing to build ends the run well, but never silently: a mistyped
        # folder or pattern would otherwise pass for a finished run.
        self.book("notes.md", b"Not a source.")
        extensions = ".doc .htm .html .fb2 .fb2.zip .fbz .epub .txt .docx .odt .rtf .xhtml"
        missing = os.path.join(self.root, "Boks")
        program = self.program.dir + "/"
        cases = [
            (os.path.join(missing, "*.txt"), "*.txt in %s/: no such folder" % missing),
            (os.path.join(self.books, "*.*"),
             "*.* in %s/ (a source's name ends in one of %s)" % (self.books, extensions)),
            ("*.pdf", "*.pdf in %s/ or %s (a source's name ends in one of %s)"
             % (self.books, program, extensions)),
            ("Boks/*.txt", "*.txt in %s/Boks/ or %sBoks/: no such folders" % (self.books, program)),
        ]
        for pattern, where in cases:
            with self.subTest(pattern):
                status, lines = self.make("-makeall", TextFileName=pattern)
                self.assertEqual(status, 0, lines)
                self.assertEqual([line for line in lines if line.startswith("?")],
                                 ["? No source matches " + where])
                self.assertEqual(os.listdir(self.out("")), [])

    def test_a_dump_that_cannot_be_written_whole_is_not_left_behind(self):
        # The book fails (a heading never closed) and its dump does not fit:
        # a full disk, here a file size limit.
        self.book("long.txt", ("<#header>Open " + "word " * 3000).encode("ascii"))
        cfg = os.path.join(self.books, "book.cfg")
        write_config(cfg, BookName="Long", TextFileName="long.txt", OutputDir="midlets")

        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))

        result = subprocess.run([self.program.exe, "-make", cfg], cwd=self.books, capture_output=True,
                                timeout=120, preexec_fn=limit_file_size)
        lines = messages(result.stdout)
        self.assertEqual(result.returncode, 1, lines)
        self.assertIn("- Can't create midlet", lines)
        self.assertTrue(lines[-1].startswith("Error Can't write file Long.dump ("), lines)
        self.assertFalse(os.path.exists(os.path.join(self.program.dir, "Long.dump")))

    def test_a_pattern_given_to_make_is_told(self):
        self.book("story.txt", b"A story.")
        for pattern, told in [("*.txt", True), ("st?ry.txt", True), ("tale.txt", False)]:
            with self.subTest(pattern):
                status, lines = self.make(BookName="Story", TextFileName=pattern)
                self.assertEqual(status, 1, lines)
                self.assertEqual(lines[-1], "- File not found")
                hint = ("? TextFileName %s is a pattern: -makeall builds every book it matches, "
                        "-make one named file" % pattern)
                self.assertEqual(hint in lines, told, lines)

    def test_folder_mode_fails_on_a_folder_it_cannot_read(self):
        # Not "nothing to build": the books may well be there.
        loop = os.path.join(self.root, "loop")
        os.symlink(loop, loop)
        cases = [(loop, "Too many levels of symbolic links")]
        if os.geteuid() != 0:  # root reads any folder
            locked = os.path.join(self.root, "locked")
            os.mkdir(locked)
            self.book("../locked/story.txt", b"A story.")
            os.chmod(locked, 0)  # the temporary folder's clean-up opens it again
            cases.append((locked, "Permission denied"))
        for folder, reason in cases:
            with self.subTest(folder):
                status, lines = self.make("-makeall", TextFileName=os.path.join(folder, "*.txt"))
                self.assertEqual(status, 1, lines)
                self.assertEqual(lines[-2:], ["- Can't create midlet",
                                              "- Can't read folder %s (%s)" % (folder, reason)])

    def test_folder_mode_tells_when_two_sources_give_one_name(self):
        # The same book saved twice: the later source's midlet replaces the
        # earlier one, and the log says so rather than one book going missing.
        self.book("Story.htm", b"<html><body><p>The web page.</p></body></html>")
        self.book("Story.txt", b"The text file.")
        self.book("Story.two.txt", b"Another book.")
        status, lines = self.make("-makeall", TextFileName=os.path.join(self.books, "*.*"))
        self.assertEqual(status, 0, lines)
        self.assertEqual([line for line in lines if line.startswith("?")],
                         ["? Story.txt gets the name Story, as Story.htm did: its midlet replaces "
                          "that one (rename one of them to keep both)"])
        self.assertEqual(sorted(os.listdir(self.out(""))),
                         ["Story.jad", "Story.jar", "Story.two.jad", "Story.two.jar"])
        with zipfile.ZipFile(self.out("Story.jar")) as z:
            self.assertEqual(z.read("book0.dat").decode("utf-16-be").rstrip(" "), "The text file.")

    def test_folder_mode_looks_for_a_relative_pattern_in_the_users_folders_first(self):
        # The program's folder holds text files of its own, as a build tree
        # does (CMakeCache.txt); "*.txt" means the user's books.
        with open(os.path.join(self.program.dir, "Cache.txt"), "wb") as f:
            f.write(b"The program's own file.")
        elsewhere = os.path.join(self.root, "elsewhere")
        config_folder = os.path.join(self.root, "config")
        for folder in (elsewhere, config_folder):
            os.mkdir(folder)
        self.book("story.txt", b"A story.")
        cases = [
            # (configuration's folder, start folder, pattern, the books built)
            (self.books, self.books, "*.txt", ["story"]),
            (self.books, elsewhere, "*.txt", ["story"]),
            (config_folder, self.root, "books/*.txt", ["story"]),
            (config_folder, elsewhere, "*.txt", ["Cache"]),
        ]
        for cfg_folder, start, pattern, built in cases:
            with self.subTest(cfg=cfg_folder, start=start, pattern=pattern):
                shutil.rmtree(self.out(""), ignore_errors=True)
                cfg = os.path.join(cfg_folder, "book.cfg")
                write_config(cfg, TextFileName=pattern, OutputDir="midlets", ImageMode="0")
                status, lines = self.program.run("-makeall", cfg, cwd=start)
                self.assertEqual(status, 0, lines)
                expected = sorted(name + ext for name in built for ext in (".jad", ".jar"))
                self.assertEqual(sorted(os.listdir(self.out(""))), expected)

    def test_home_folder_and_full_names(self):
        home = os.path.join(self.root, "home")
        os.makedirs(os.path.join(home, "books"))
        os.makedirs(os.path.join(home, "phone"))
        with open(os.path.join(home, "books", "story.txt"), "wb") as f:
            f.write(b"The story at home.")
        # A full name is that file, even when the program's folder holds a
        # file under the same path below it.
        story = self.book("story.txt", b"The story in the books folder.")
        decoy = self.program.dir + story
        os.makedirs(os.path.dirname(decoy))
        with open(decoy, "wb") as f:
            f.write(b"A file below the program's folder.")
        cfg = os.path.join(self.books, "book.cfg")
        cases = [
            # (TextFileName, OutputDir, the folder the JAR lands in, its text)
            ("~/books/story.txt", "~/phone", os.path.join(home, "phone"), "The story at home."),
            (story, "~/phone/", os.path.join(home, "phone"), "The story in the books folder."),
            (story, "~nobody", self.out("")[:-1], "The story in the books folder."),
        ]
        for source, output, folder, text in cases:
            with self.subTest(source=source, output=output):
                write_config(cfg, BookName="Story", TextFileName=source, OutputDir=output, ImageMode="0")
                result = subprocess.run([self.program.exe, "-make", cfg], cwd=self.books, capture_output=True,
                                        timeout=120, env=dict(os.environ, HOME=home))
                self.assertEqual(result.returncode, 0, result.stdout)
                with zipfile.ZipFile(os.path.join(folder, "Story.jar")) as z:
                    self.assertEqual(z.read("book0.dat").decode("utf-16-be").rstrip(" "), text)
                os.remove(os.path.join(folder, "Story.jar"))

    def test_folder_mode_passes_over_names_that_are_not_utf8(self):
        # A Latin-1 name from an old archive cannot be named again once read
        # as text: it is passed over with a line, and the other books build.
        with open(os.path.join(self.books.encode(), b"\xe9t\xe9.txt"), "wb") as f:
            f.write(b"Summer.")
        with open(os.path.join(self.books.encode(), b"\xe9t\xe9.md"), "wb") as f:
            f.write(b"Not a source.")
        self.book("Зима.txt", "Зимняя книга.".encode("utf-8"))
        status, lines = self.make("-makeall", TextFileName=os.path.join(self.books, "*.*"))
        self.assertEqual(status, 0, lines)
        self.assertEqual([line for line in lines if line.startswith("?")],
                         ["? Source file %s/\ufffdt\ufffd.txt is passed over: its name is not UTF-8 "
                          "(rename it to build it)" % self.books])
        self.assertEqual(sorted(os.listdir(self.out(""))), ["Зима.jad", "Зима.jar"])
        self.assertFalse([name for name in os.listdir(self.program.dir) if name.endswith(".dump")])

    def test_folder_mode_stops_at_a_failing_book(self):
        self.book("a.txt", b"First book.")
        self.book("b.txt", b"")
        self.book("c.txt", b"Third book.")
        status, lines = self.make("-makeall", TextFileName=os.path.join(self.books, "*.txt"))
        self.assertEqual(status, 1)
        b_path = os.path.join(self.books, "b.txt")
        tail = lines[lines.index("+ Source file found [%s]" % b_path):]
        self.assertEqual(tail[:2], ["+ Source file found [%s]" % b_path, "+ BookName is set to [b]"])
        self.assertEqual(tail[-4:], ["- The book's imported text is in %s/b.dump" % self.program.dir,
                                     "- Can't create midlet", "- Length of source text is 0",
                                     "- Built 1 of 3 books; %s failed and the run stopped there" % b_path])
        self.assertNotIn("c.txt", "\n".join(lines))
        self.assertEqual(sorted(os.listdir(self.out(""))), ["a.jad", "a.jar"])
        with open(os.path.join(self.program.dir, "b.dump"), "rb") as f:
            self.assertEqual(f.read(), b"\xff\xfe")
        self.assertEqual(tree(os.path.join(self.program.dir, "temp1")), {"META-INF/": None})
        self.assertEqual(os.listdir(os.path.join(self.program.dir, "temp2")), [])

    def test_folder_mode_dumps_the_failing_books_text(self):
        bad = "<#header 1>A<#header 2>B<#/header>"
        self.book("a.txt", b"First book.")
        self.book("b.txt", bad.encode("utf-8"))
        status, lines = self.make("-makeall", TextFileName=os.path.join(self.books, "*.txt"))
        self.assertEqual(status, 1)
        self.assertEqual(lines[-3:], ["- Can't create midlet", "- Tag is not closed: #header 2>B<#/header>",
                                      "- Built 1 of 2 books; %s/b.txt failed and the run stopped there"
                                      % self.books])
        with open(os.path.join(self.program.dir, "b.dump"), "rb") as f:
            self.assertEqual(f.read(), b"\xff\xfe" + bad.encode("utf-16-le"))

    def test_source_dump_only_for_imported_books_at_debug_level_7(self):
        fb2 = ('<?xml version="1.0" encoding="utf-8"?>'
               '<FictionBook xmlns="http://www.gribuser.ru/xml/fictionbook/2.0"><description>'
               '<title-info><book-title>Tide</book-title></title-info></description>'
               '<body><section><p>The tide came in.</p></section></body></FictionBook>')
        self.book("tide.fb2", fb2.encode("utf-8"))
        self.book("tide.txt", b"The tide came in.")
        dump = os.path.join(self.program.dir, "sourcetext.dump")
        for source, level, wanted in [("tide.txt", 7, False), ("tide.fb2", 6, False),
                                      ("tide.fb2", 8, False), ("tide.fb2", 7, True)]:
            with self.subTest(source=source, level=level):
                status, lines = self.make(BookName="Tide", TextFileName=source, DebugLevel=level)
                self.assertEqual(status, 0, lines)
                self.assertEqual(os.path.exists(dump), wanted)
        with open(dump, "rb") as f:
            data = f.read()
        self.assertEqual(data[:2], b"\xff\xfe")
        self.assertIn("The tide came in.", data[2:].decode("utf-16-le"))

    # --- bad input -----------------------------------------------------------

    def test_bad_input_fails_with_its_lines_and_writes_nothing_outside(self):
        self.book("tags.txt", b"Fine <#link label a>x<#label b> more<#/link>")
        self.book("page.html", b'<html><body><p>Page<img src="../../../etc/passwd"></p></body></html>')
        self.book("plain.txt", b"Plain text.")
        missing = os.path.join(self.books, "missing.txt")
        cases = [
            ({"TextFileName": "missing.txt"},
             ["- Can't import source file missing.txt", "- The book's imported text is in %s"
              % os.path.join(self.program.dir, "Bad.dump"), "- Can't create midlet", "- File not found"],
             None),
            ({"TextFileName": "missing.fb2", "DebugLevel": "3"},
             ["- Can't import source file missing.fb2", "- The book's imported text is in %s"
              % os.path.join(self.program.dir, "Bad.dump"), "- Can't create midlet", "- File not found"],
             None),
            ({"TextFileName": "tags.txt"},
             ["- Can't create midlet", "- Tag is not closed: #label b> more<#/link>"], None),
            # The example configuration's two empty keys.
            ({"TextFileName": ""},
             ["- Can't create midlet", "- TextFileName is empty: the configuration names no book to build"],
             None),
            ({"TextFileName": "plain.txt", "BookName": ""},
             ["- Can't create midlet", "- BookName is empty: the configuration gives the midlet no name"],
             None),
            # A protected book without a code would open to anyone.
            ({"TextFileName": "plain.txt", "PasswordMode": "1", "Password": "abc"},
             ["- Can't create midlet", "- PasswordMode 1 asks for a code, but Password 0 is not a code "
              "of 3 to 6 digits"], None),
            ({"TextFileName": "plain.txt", "PasswordMode": "2", "Password": "1234567"},
             ["- Can't create midlet", "- PasswordMode 2 asks for a code, but Password 1234567 is not a "
              "code of 3 to 6 digits"], None),
            ({"TextFileName": "page.html"}, None, "page.html"),
            ({"TextFileName": "plain.txt", "OutputDir": "/proc", "BookName": "Out"}, None, None),
        ]
        for options, last_lines, named in cases:
            with self.subTest(options=options):
                before_books = tree(self.books)
                status, lines = self.make(**dict({"BookName": "Bad"}, **options))
                self.assertEqual(status, 1, lines)
                if last_lines:
                    self.assertEqual(lines[-len(last_lines):], last_lines)
                if named:
                    self.assertEqual(lines[-2], "- Can't create midlet")
                    self.assertIn(named, lines[-1])
                    self.assertIn("lies outside the page's folder", lines[-1])
                # The configuration is rewritten by the test; nothing else in
                # the books folder changes.
                after_books = tree(self.books)
                before_books.pop("book.cfg", None)
                after_books.pop("book.cfg", None)
                self.assertEqual(after_books, before_books)
                allowed = {"paginor", "paginor.lock", "temp1/", "temp1/META-INF/", "temp2/", "midlets/"}
                extra = {p for p in tree(self.program.dir) if p not in allowed and not p.endswith(".dump")
                         and not p.startswith("temp1/")}
                self.assertEqual(extra, set())
        self.assertFalse(os.path.exists(missing))
        # The unwritable output folder: the JAR step fails and is wrapped twice.
        self.assertTrue(lines[-5].startswith("-Can't create file /proc/Out.jar ("), lines[-5])
        self.assertEqual(lines[-4:], ["- ! Can't create JAR/JAD file /proc/Out.jar",
                                      "- The book's imported text is in %s/Out.dump" % self.program.dir,
                                      "- Can't create midlet", "- ! Can't create java program (MIDlet)"])

    def test_user_folders_inside_the_work_folders_are_refused_before_anything_is_emptied(self):
        prog = self.program.dir
        for folder in ("temp1", "temp2/out", "elsewhere"):
            os.makedirs(os.path.join(prog, folder))
        os.symlink(os.path.join(prog, "temp2"), os.path.join(self.books, "link"))
        # User files in the work folders; none may be lost to a refused run.
        keep = {"temp1/Old.jar": b"an older midlet", "temp1/book.cfg": None,
                "temp1/story.txt": b"A story in temp1.", "temp2/story.txt": b"A story in temp2.",
                "temp2/out/Old.jar": b"another older midlet"}

        def write_keep():
            for name, data in keep.items():
                if data is not None:
                    with open(os.path.join(prog, name), "wb") as f:
                        f.write(data)
        plain = {"BookName": "Story", "ImageMode": "0", "TextFileName": self.book("story.txt", b"A story.")}
        cases = [
            # (options, configuration in, folder mode, refused folder, work folder)
            (dict(plain, OutputDir=prog + "/temp1"), "books", False, "the output folder temp1", "temp1"),
            (dict(plain, OutputDir="temp2/out"), "books", False, "the output folder temp2/out", "temp2"),
            (dict(plain, OutputDir=prog + "/temp1/META-INF/"), "books", False,
             "the output folder temp1/META-INF", "temp1"),
            (dict(plain, OutputDir="midlets", TextFileName="story.txt"), "temp1", False,
             "the configuration file's folder temp1", "temp1"),
            (dict(plain, OutputDir="midlets", TextFileName=prog + "/temp2/story.txt"), "books", False,
             "the source folder temp2", "temp2"),
            (dict(plain, OutputDir="midlets", TextFileName="link/story.txt"), "books", False,
             "the source folder temp2", "temp2"),
            (dict(plain, OutputDir="midlets", TextFileName=prog + "/temp2/*.txt"), "books", True,
             "the source folder temp2", "temp2"),
        ]
        for options, cfg_folder, folder_mode, refused, work in cases:
            with self.subTest(options=options, cfg=cfg_folder):
                write_keep()
                cfg = os.path.join(prog if cfg_folder == "temp1" else self.root, cfg_folder, "book.cfg")
                write_config(cfg, **options)
                before = tree(prog)
                status, lines = self.program.run("-makeall" if folder_mode else "-make", cfg,
                                                 cwd=self.books)
                self.assertEqual(status, 1, lines)
                what, _, path = refused.rpartition(" ")
                self.assertEqual(lines[-2:], ["- Can't create midlet",
                                              "- Can't use %s %s/%s: it lies in the work folder %s/%s, "
                                              "which every run empties" % (what, prog, path, prog, work)])
                # Folders may be created; no file is removed, changed or added.
                def files(found):
                    return {k: v for k, v in found.items()
                            if v is not None and not k.endswith(".dump") and k != "paginor.lock"}
                self.assertEqual(files(tree(prog)), files(before))
        # A folder that holds the work folders is no danger: the program's own.
        status, lines = self.make(**dict(plain, OutputDir=prog))
        self.assertEqual(status, 0, lines)
        self.assertTrue(os.path.exists(os.path.join(prog, "Story.jar")))

    # --- mistakes in the configuration -------------------------------------

    def test_configuration_mistakes_are_told_and_the_book_still_builds(self):
        self.book("story.txt", b"A story.")
        cfg = os.path.join(self.books, "book.cfg")
        missing = os.path.join(self.root, "no such folder")
        # Written by a Linux editor: LF line ends throughout.
        with open(cfg, "wb") as f:
            f.write(("# my book\nBookName=Story\nTextFilename=other.txt\nTextFileName=story.txt\n"
                     "SplashTimeout=two\nImageMode=0\nOutputDir=%s\n" % missing).encode("utf-8"))
        status, lines = self.program.run("-make", cfg, cwd=self.books)
        self.assertEqual(status, 0, lines)
        told = [line for line in lines if line.startswith("? ")]
        self.assertEqual(told, [
            "? Option SplashTimeout value two is not a number; the default 2 is kept",
            "? Unknown option TextFilename ignored; did you mean TextFileName?",
            "? Output folder %s does not exist; the midlets go to %s" % (missing, self.out("")[:-1]),
        ])
        self.assertTrue(os.path.exists(self.out("Story.jar")))
        self.assertFalse(os.path.exists(missing))
        # An output folder that exists, or that names the folder used anyway,
        # passes quietly.
        for output in (self.books, "midlets"):
            with self.subTest(output=output):
                status, lines = self.make(BookName="Story", TextFileName="story.txt", OutputDir=output)
                self.assertEqual(status, 0, lines)
                self.assertEqual([line for line in lines if line.startswith("?")], [])
        self.assertTrue(os.path.exists(os.path.join(self.books, "Story.jar")))

    def test_relative_output_folders_are_named_in_full(self):
        # A relative output folder is taken from the program's folder, not
        # from the folder the user is in (which holds an "out" of its own):
        # the log names the folders in full, so the user can find the book.
        self.book("story.txt", b"A story.")
        os.mkdir(os.path.join(self.books, "out"))
        os.mkdir(os.path.join(self.program.dir, "shelf"))
        cases = [
            # (OutputDir, the folder named where the JAR is saved, told)
            ("out", self.out("")[:-1],
             ["? Output folder %s/out does not exist; the midlets go to %s"
              % (self.program.dir, self.out("")[:-1])]),
            ("shelf", os.path.join(self.program.dir, "shelf"), []),
            (os.path.join(self.books, "story.txt"), self.out("")[:-1],
             ["? Output folder %s/story.txt is not a folder; the midlets go to %s"
              % (self.books, self.out("")[:-1])]),
            (".", self.program.dir, []),
            ("midlets/../shelf/", os.path.join(self.program.dir, "shelf"), []),
        ]
        for output, folder, told in cases:
            with self.subTest(output=output):
                status, lines = self.make(BookName="Story", TextFileName="story.txt", OutputDir=output)
                self.assertEqual(status, 0, lines)
                self.assertEqual([line for line in lines if line.startswith("?")], told)
                self.assertIn("+ JAR file saved %s/Story.jar" % folder, lines)
                self.assertIn("+ JAD files saved %s/Story.jad" % folder, lines)
                self.assertTrue(os.path.isfile(os.path.join(folder, "Story.jar")))
        self.assertEqual(os.listdir(os.path.join(self.books, "out")), [])

    # --- the lock and the bundled example ---------------------------------

    def test_second_run_waits_for_the_lock(self):
        self.book("story.txt", b"A story.")
        cfg = os.path.join(self.books, "book.cfg")
        write_config(cfg, BookName="Story", TextFileName="story.txt", OutputDir="midlets", ImageMode=0)
        with open(os.path.join(self.program.dir, "paginor.lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            proc = self.program.start("-make", cfg, cwd=self.books)
            time.sleep(1.0)
            self.assertIsNone(proc.poll(), "the run did not wait for the lock")
            self.assertFalse(os.path.exists(self.out("Story.jar")))
            fcntl.flock(lock, fcntl.LOCK_UN)
            out, _ = proc.communicate(timeout=60)
        lines = messages(out)
        self.assertEqual(proc.returncode, 0, lines)
        self.assertTrue(any(line.startswith(".. Waiting for another run") for line in lines), lines)
        self.assertTrue(os.path.exists(self.out("Story.jar")))

    def test_readme_plain_text_example_builds_with_every_kind_of_link(self):
        with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as f:
            readme = f.read()
        section = readme[readme.index("## Writing a book in plain text"):]
        book, cfg = re.findall(r"```text\n(.*?)```", section, re.S)[:2]
        self.book("harbour.txt", book.encode("utf-8"))
        self.book("harbour.cfg", cfg.encode("utf-8"))
        shutil.copy(os.path.join(SOURCE, "examples", "lighthouse.png"), self.books)
        status, lines = self.program.run("-make", os.path.join(self.books, "harbour.cfg"), cwd=self.root)
        self.assertEqual(status, 0, lines)
        self.assertEqual([line for line in lines if line[:1] in "-?"], [])
        with zipfile.ZipFile(self.out("Harbour.jar")) as z:
            cfg_dat = z.read("cfg.dat")
        # The link table: the two contents entries (jumps, like label links),
        # then the links in text order.
        first, last = struct.unpack(">ii", cfg_dat[60:68])
        kinds, at = "", 68
        for _ in range(last - first + 1):
            (length,) = struct.unpack(">i", cfg_dat[at:at + 4])
            kinds += cfg_dat[at + 4:at + 6].decode("utf-16-be")
            at += 4 + 2 * length
        self.assertEqual(kinds, "llIihpslfl")

    def test_bundled_example_builds(self):
        example = os.path.join(SOURCE, "examples", "example.cfg")
        status, lines = self.program.run("-make", example, cwd=self.root)
        self.assertEqual(status, 0, lines)
        with zipfile.ZipFile(self.out("Example.jar")) as z:
            text = z.read("book0.dat").decode("utf-16-be")
            self.assertIsNone(z.testzip())
        self.assertTrue(text.startswith("The Keeper of the Tide Clock"), text[:40])
        self.assertNotIn("<#", text)
        self.assertTrue(os.path.exists(self.out("Example.jad")))


def masked_piece(data, n, password):
    piece = data[n * 8192:(n + 1) * 8192]
    codes = struct.unpack(">%dH" % (len(piece) // 2), piece)
    return struct.pack(">%dH" % len(codes), *[c ^ (password & 0xFFFF) for c in codes])


if __name__ == "__main__":
    unittest.main()
