"""Helpers for the reader tests: write a book's reader files (cfg.dat and the
masked text files) as the midlet writer lays them out, pack them with the
built reader into a JAR, run it in the midp-host and read its screenshots."""
import os
import random
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile

PAGINOR = os.environ["PAGINOR"]
SOURCE = os.environ["PAGINOR_SOURCE_DIR"]
BUILD = os.environ["PAGINOR_BUILD_DIR"]
CLASS_DIR = os.path.join(BUILD, "reader", "classes")
HOST_JAR = os.path.join(BUILD, "tools", "midp-host", "midp-host.jar")
READER_CLASSES = ["TBookCanvas", "TBookN1Canvas", "TBookN2Canvas", "TBookCanvasInit", "TBookMIDlet",
                  "TFont", "TLoadableFont", "TImage", "TLinkItem", "TSms"]
PICTURES = ["point.png", "logo.png", "linkl.png", "linkp.png"]


def _int(v):
    return struct.pack(">i", v)


def _string(s):
    units = s.encode("utf-16-be")
    return _int(len(units) // 2) + units


def check_pair(password, seed=7):
    """A check string of 16 units and its check value under the password."""
    rnd = random.Random(seed)
    s = "".join(chr(32 + rnd.randrange(30000)) for _ in range(16))
    h = 0
    for i, c in enumerate(s):
        h = ((2 * h) % (1 << 32)) ^ ((ord(c) ^ password ^ i) & 0xFFFF)
    if h >= 1 << 31:
        h -= 1 << 32
    return s, h


class Book:
    """The reader files of one book. text is the full text (head, text with
    the table of contents, tail); links are cfg.dat's link strings in id order."""

    def __init__(self, text, links=(), first_link_id=0xE000, schemes=((0xFFFFFF, 0, 0xFF),),
                 password=0, password_mode=0, line_spacing=0, char_spacing=0, word_wrap=True,
                 portrait=True, text_margin=3, image_margin=0, smooth_scroll=0, splash_timeout=0,
                 font_count=0, toc_position=0, texts=None, extra_files=None):
        self.__dict__.update(locals())
        del self.__dict__["self"]

    def written_text(self):
        return self.text + " "

    def cfg(self):
        out = bytearray()
        for v in (len(self.written_text()), self.line_spacing, self.char_spacing, int(self.word_wrap),
                  int(self.portrait), len(self.schemes)):
            out += _int(v)
        for scheme in self.schemes:
            for colour in scheme:
                out += _int(colour)
        for v in (self.text_margin, self.image_margin, self.smooth_scroll, self.splash_timeout,
                  self.font_count, self.toc_position, self.first_link_id,
                  self.first_link_id + len(self.links) - 1):
            out += _int(v)
        for link in self.links:
            out += _string(link)
        out += _int(self.password_mode)
        s, h = check_pair(self.password)
        out += _string(s) + _int(h)
        texts = sorted((self.texts or {}).items())
        out += _int(len(texts))
        for index, text in texts:
            out += _int(index) + _string(text)
        return bytes(out)

    def text_files(self):
        data = self.written_text().encode("utf-16-be")
        codes = struct.unpack(">%dH" % (len(data) // 2), data)
        mask = self.password & 0xFFFF
        files = {}
        for n, start in enumerate(range(0, len(codes), 4096)):
            piece = codes[start:start + 4096]
            files["book%d.dat" % n] = struct.pack(">%dH" % len(piece), *[c ^ mask for c in piece])
        return files

    def jar(self, path, omit=()):
        """Writes the midlet JAR: manifest, reader classes, pictures, book files."""
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("META-INF/MANIFEST.MF",
                       "Manifest-Version: 1.0\r\nMIDlet-Name: Test\r\nMIDlet-Vendor: Paginor\r\n"
                       "MIDlet-1: Test, /logo.png, TBookMIDlet\r\nMIDlet-Version: 1.0\r\n"
                       "MicroEdition-Configuration: CLDC-1.0\r\nMicroEdition-Profile: MIDP-1.0\r\n")
            for c in READER_CLASSES:
                z.write(os.path.join(CLASS_DIR, c + ".class"), c + ".class")
            for p in PICTURES:
                z.write(os.path.join(SOURCE, "reader", "pictures", p), p)
            files = dict(self.text_files())
            files["cfg.dat"] = self.cfg()
            files.update(self.extra_files or {})
            for name, data in files.items():
                if name not in omit:
                    z.writestr(name, data)
        return path


# The reader tests run twice: as a lenient phone sees the reader and, with
# MIDP_HOST_STRICT=1, as the strictest phones do (see midp-host --strict).
STRICT = os.environ.get("MIDP_HOST_STRICT") == "1"


def run_host(jar, actions, size=None, rms=None, check=True, midp2=False, nokia=False, keys=None, touch=False,
             rms_size=None):
    """Runs the JAR in the midp-host with the actions; returns the process."""
    cmd = ["java", "-Xmx64m", "-jar", HOST_JAR] + (["--midp2"] if midp2 else []) + (["--nokia"] if nokia else [])
    cmd += (["--keys", keys] if keys else []) + (["--touch"] if touch else [])
    cmd += ["--rms-size", str(rms_size)] if rms_size is not None else []
    if STRICT:
        cmd.append("--strict")
    if size:
        cmd += ["--size", size]
    if rms:
        cmd += ["--rms", rms]
    cmd += [jar] + list(actions)
    proc = subprocess.run(cmd, capture_output=True, text=True, timeout=60)
    if check and proc.returncode != 0:
        raise AssertionError("midp-host failed (%d):\n%s\n%s" % (proc.returncode, proc.stdout, proc.stderr))
    return proc


class Shot:
    """A PPM screenshot: width, height and RGB pixels."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        parts = data.split(b"\n", 3)
        self.width, self.height = map(int, parts[1].split())
        self.pixels = parts[3]

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return (self.pixels[i] << 16) | (self.pixels[i + 1] << 8) | self.pixels[i + 2]

    def count(self, colour, box=None):
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if self.at(x, y) == colour)

    def colours(self, box=None):
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        found = {}
        for y in range(y0, y1):
            for x in range(x0, x1):
                c = self.at(x, y)
                found[c] = found.get(c, 0) + 1
        return found

    def rows_with(self, colour):
        """The rows that hold at least one pixel of the colour."""
        return [y for y in range(self.height)
                if any(self.at(x, y) == colour for x in range(self.width))]


class Workspace:
    """A temporary folder for one test."""

    def __init__(self):
        self.dir = tempfile.TemporaryDirectory()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def cleanup(self):
        self.dir.cleanup()


def font_file(height, glyphs):
    """The words of one loadable font: height, then 16 groups of (code, width,
    columns); glyphs maps a character to its list of column words."""
    words = [height]
    for g in range(16):
        group = []
        for ch, columns in glyphs.items():
            if ord(ch) & 15 == g:
                group += [ord(ch), len(columns)] + list(columns)
        words += [len(group)] + group
    return struct.pack(">%dI" % len(words), *words)


def png(width, height, rgb):
    """A one-colour PNG picture."""
    import sys
    sys.path.insert(0, os.path.join(SOURCE, "reader", "tools"))
    from make_pictures import png as draw
    return draw(width, height, lambda x, y: ((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255, 255))


class ProgramCase(unittest.TestCase):
    """A test that runs a private copy of the program in a temporary folder,
    so that its work folders, lock and dumps live beside it (self.dir)."""

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.dir = self._tmp.name
        self.program = os.path.join(self.dir, "paginor")
        shutil.copy2(PAGINOR, self.program)

    def tearDown(self):
        self._tmp.cleanup()

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def write(self, name, data):
        """Writes a file below the folder (text as UTF-8), making its folders."""
        os.makedirs(os.path.dirname(self.path(name)), exist_ok=True)
        with open(self.path(name), "wb") as f:
            f.write(data.encode("utf-8") if isinstance(data, str) else data)

    def source_dump(self):
        """The imported text that DebugLevel 7 keeps beside the program."""
        with open(self.path("sourcetext.dump"), "rb") as f:
            return f.read()[2:].decode("utf-16-le")


class ReaderCase(unittest.TestCase):
    """A test that runs books in the midp-host, each in a temporary folder."""

    def setUp(self):
        self.ws = Workspace()
        self.count = 0

    def tearDown(self):
        self.ws.cleanup()

    def run_book(self, book, actions, size=None, rms=None, midp2=False, nokia=False, keys=None, touch=False,
                 rms_size=None):
        """Runs the book; 'shot' in actions takes the next screenshot. Returns
        (shots, standard output)."""
        self.count += 1
        jar = book.jar(self.ws.path("book%d.jar" % self.count))
        paths, run_actions = [], []
        for a in actions:
            if a == "shot":
                paths.append(self.ws.path("s%d_%d.ppm" % (self.count, len(paths))))
                run_actions.append("shot:" + paths[-1])
            else:
                run_actions.append(a)
        out = run_host(jar, run_actions, size=size, rms=rms, midp2=midp2, nokia=nokia, keys=keys, touch=touch,
                       rms_size=rms_size).stdout
        return [Shot(p) for p in paths], out
