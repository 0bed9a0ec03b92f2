"""Loadable fonts from end to end: a book built with desktop fonts carries
their bitmap fonts, cfg.dat counts them, and the reader draws the book's text
with them in portrait and landscape."""
import os
import struct
import subprocess
import unittest
import zipfile

from readerkit import ProgramCase, Shot, run_host

BLACK = 0x000000
TEXT = "Hello, reader! \u041f\u0440\u0438\u0432\u0435\u0442, \u0447\u0438\u0442\u0430\u0442\u0435\u043b\u044c!\r\n" * 30


def parse_font(data):
    """(height, {code: columns}) of a font stream; asserts its structure."""
    words = struct.unpack(">%dI" % (len(data) // 4), data)
    glyphs = {}
    at = 1
    for g in range(16):
        end = at + 1 + words[at]
        at += 1
        while at < end:
            code, width = words[at], words[at + 1]
            assert code & 15 == g, (code, g)
            glyphs[code] = list(words[at + 2:at + 2 + width])
            at += 2 + width
        assert at == end
    assert at == len(words)
    return words[0], glyphs


class LoadableFonts(ProgramCase):
    def make(self, name, fonts, portrait=True):
        """Builds the book with the font slots {n: config lines}; returns the JAR's path."""
        with open(os.path.join(self.dir, "book.txt"), "w", encoding="utf-8") as f:
            f.write(TEXT)
        lines = ["BookName=" + name, "TextFileName=book.txt", "OutputDir=midlets", "TextMargin=3",
                 "WordWrap=true", "PortraitLayout=" + ("true" if portrait else "false"), "DebugLevel=7"]
        for n, keys in fonts.items():
            lines += ["%s%d=%s" % (key, n, value) for key, value in keys.items()]
        with open(os.path.join(self.dir, "book.cfg"), "w", encoding="utf-8") as f:
            f.write("\r\n".join(lines) + "\r\n")
        proc = subprocess.run([self.program, "-make", "book.cfg"], cwd=self.dir, capture_output=True,
                              text=True, timeout=120)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
        self.log = proc.stdout
        return os.path.join(self.dir, "midlets", name + ".jar")

    def test_slots_one_and_three_give_two_fonts_of_the_books_characters(self):
        jar = self.make("TwoFonts", {1: {"FontName": "Arial", "FontSize": 10},
                                     3: {"FontName": "DejaVu Sans", "FontSize": 12, "Font.Bold": "true"}})
        with zipfile.ZipFile(jar) as z:
            names = [n for n in z.namelist() if n.startswith("font")]
            self.assertEqual(sorted(names), ["font0p0.dat", "font1p0.dat"])
            cfg = z.read("cfg.dat")
            fonts = [parse_font(z.read(n)) for n in sorted(names)]
        # Font count: after five layout values, the schemes and four display values.
        schemes = struct.unpack(">i", cfg[20:24])[0]
        self.assertEqual(struct.unpack(">i", cfg[4 * (10 + 3 * schemes):4 * (11 + 3 * schemes)])[0], 2)
        self.assertIn(".. Font Arial is not installed, using nearest match Liberation Sans", self.log)
        self.assertGreater(fonts[1][0], fonts[0][0])  # 12 points is taller than 10
        for height, glyphs in fonts:
            self.assertGreater(height, 10)
            # Every character of the book, and nothing else but blanks the reader adds.
            self.assertTrue(set(ord(c) for c in TEXT) <= set(glyphs))
            self.assertLessEqual(len(set(glyphs) - set(ord(c) for c in TEXT)), 2)

    def test_reader_draws_the_text_with_the_font_in_portrait_and_landscape(self):
        arial = {1: {"FontName": "Arial", "FontSize": 12}}
        portrait_jar = self.make("Upright", arial)
        with zipfile.ZipFile(portrait_jar) as z:
            height, glyphs = parse_font(z.read("font0p0.dat"))
        shot = self.shoot(portrait_jar, "176x208")
        # The first letter stands at the text margin, column by column as stored.
        margin = 3
        for x, column in enumerate(glyphs[ord("H")]):
            for y in range(min(height, 32)):
                ink = (column >> y) & 1
                self.assertEqual(shot.at(margin + x, margin + y) == BLACK, bool(ink), (x, y))
        # Landscape: the same page turned a quarter.
        self.assertGreater(shot.count(BLACK), 500)
        landscape = self.shoot(self.make("Turned", arial, portrait=False), "208x176")
        self.assertGreater(landscape.count(BLACK), 500)

    def shoot(self, jar, size):
        shot = os.path.join(self.dir, "shot%d.ppm" % len(os.listdir(self.dir)))
        run_host(jar, ["key:fire", "shot:" + shot], size=size)
        return Shot(shot)


if __name__ == "__main__":
    unittest.main()
