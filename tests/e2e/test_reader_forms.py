"""The reader's keys and its date and time, book information and saved
bookmarks screens, and records of older or damaged starts, in the midp-host."""
import datetime
import os
import re
import struct
import unittest

from readerkit import Book, ReaderCase

os.environ["TZ"] = "UTC"  # the date the reader shows is the host's, in UTC

LINES = ["Filler line %d with a few words in it." % i for i in range(60)]
FILLER = "\r\n".join(LINES)
SHORT = ["Line %d of the text." % i for i in range(40)]  # one screen line each


def screens(out):
    """The dumped screens of a host run, in order."""
    return [s for s in out.split("screen: ")[1:]]


def lights(out):
    """The backlight levels the reader set, in order."""
    return [int(level) for level in re.findall(r"^lights: 0 (\d+)$", out, re.M)]


def store(records):
    """A host record store file holding the given records (ids from 1)."""
    data = struct.pack(">iiqi", len(records) + 1, 1, 0, len(records))
    for i, record in enumerate(records):
        data += struct.pack(">ii", i + 1, len(record)) + record
    return data


def position_record(top, text_length, bookmarks=(), font_type=2):
    """The reading-position part of the reader's record, as older readers
    wrote it (nothing after the bookmarks)."""
    data = struct.pack(">iiii??ii?ii", text_length, top, font_type, 0, True, True, 0, 0, False, 0, len(bookmarks))
    return data + b"".join(struct.pack(">i", b) for b in bookmarks)


class FormCase(ReaderCase):
    def assertSame(self, a, b, msg=None):
        self.assertTrue(a.pixels == b.pixels, msg or "the screens differ")

    def assertDiffer(self, a, b, msg=None):
        self.assertTrue(a.pixels != b.pixels, msg or "the screens are the same")


class ReaderKeys(FormCase):
    def test_every_key_of_the_help_form_does_what_it_says(self):
        book = Book(FILLER)
        # The help names the keys as they work on the phone: soft keys that
        # hold commands on a plain canvas, soft keys of the reader's own on a
        # full-screen one.
        common = ["Select: Follow the active link, or Menu", "Clear: Back to where the last jump started",
                  "1: Navigator", "2: Save bookmark", "3: Bookmarks", "4: Search", "5: Display", "6: Backlight",
                  "7: Autoscrolling", "8: Date and time", "9: Search next", "0: Font", "#, Down: Next page",
                  "Up: Previous page", "Right, Left: Next, previous link or page"]
        phones = [({}, ["*, Dial: Menu", "Soft keys: Menu, follow the active link, Back"], "softkey:"),
                  ({"midp2": True}, ["*, Dial, Left softkey: Menu", "Right softkey: Follow the active link, or Back"],
                   "Soft keys:"),
                  ({"nokia": True}, ["*, Dial, Left softkey: Menu", "Right softkey: Follow the active link, or Back"],
                   "Soft keys:")]
        for phone, lines, absent in phones:
            with self.subTest(**phone):
                _, out = self.run_book(book, ["key:fire", "key:star", "select:9", "dump"], **phone)
                help_form = screens(out)[0]
                self.assertTrue(help_form.startswith("Form: Help form"))
                for line in lines + common:
                    self.assertIn("\n" + line + "\n", "\n" + help_form.replace("\n  ", "\n"))
                self.assertNotIn(absent, help_form)

        # Keys that open a screen, each followed by what leaves it again (the
        # confirmation of a bookmark goes by itself).
        table = [("1", "List: Navigator", "cmd:Cancel"), ("2", "Alert: Bookmarks\n  Bookmark saved", "idle"),
                 ("3", "List: Saved bookmarks", "cmd:Cancel"), ("4", "Form: Search", "cmd:Cancel"),
                 ("5", "Form: Display setup", "cmd:Cancel"), ("6", "Form: BackLight setup", "cmd:Cancel"),
                 ("7", "Form: Autoscrolling", "cmd:Cancel"), ("8", "Form: Date and time", "cmd:Cancel"),
                 ("star", "List: Menu", "cmd:Cancel"), ("soft1", "List: Menu", "cmd:Cancel"),
                 ("dial", "List: Menu", "cmd:Cancel"), ("fire", "List: Menu", "cmd:Cancel")]
        actions = ["key:fire"]
        for key, _, leave in table:
            actions += ["key:" + key, "dump", leave, "dump"]
        _, out = self.run_book(book, actions)
        shown = screens(out)
        for i, (key, expected, _) in enumerate(table):
            with self.subTest(key=key):
                self.assertTrue(shown[2 * i].startswith(expected), shown[2 * i])
                self.assertTrue(shown[2 * i + 1].startswith("Canvas"), shown[2 * i + 1])

        # Page keys: #, Down and Right turn on (Right when no link is on the
        # page), Up and Left turn back; 0 changes the font; 9 finds the next match.
        shots, _ = self.run_book(book, ["key:fire", "shot", "key:pound", "shot", "key:up", "shot", "key:down",
                                        "shot", "key:left", "shot", "key:right", "shot", "key:0", "shot"])
        first, pound, up, down, left, right, font = shots
        self.assertDiffer(pound, first)
        for shot in (down, right):
            self.assertSame(shot, pound)
        for shot in (up, left):
            self.assertSame(shot, first)
        self.assertDiffer(font, right)

        text = FILLER + "\r\nA needle, first.\r\n" + FILLER + "\r\nA needle, second.\r\n" + FILLER
        (found, again), _ = self.run_book(Book(text), ["key:fire", "key:4", "type:needle", "cmd:Ok", "shot",
                                                       "key:9", "shot"])
        second = text[text.index("A needle, second"):]
        (expected,), _ = self.run_book(Book(second), ["key:fire", "key:4", "type:needle", "cmd:Ok", "shot"])
        self.assertDiffer(found, again)
        self.assertSame(again, expected)


class ReaderForms(FormCase):
    def test_date_time_reading_time_and_openings(self):
        rms = self.ws.path("rms")
        book = Book(FILLER, texts={1001: "Datum", 806: ", ouvert"})
        before = datetime.datetime.now(datetime.timezone.utc)
        _, out = self.run_book(book, ["key:fire", "wait:2200", "key:8", "dump"], rms=rms)
        after = datetime.datetime.now(datetime.timezone.utc)
        form = screens(out)[0]
        self.assertTrue(form.startswith("Form: Date and time"))
        date = re.search(r"Datum +(\d{4}-\d\d-\d\d)", form).group(1)
        self.assertIn(date, {before.strftime("%Y-%m-%d"), after.strftime("%Y-%m-%d")})
        clock = re.search(r"Time +(\d\d):(\d\d)", form)
        shown = before.replace(hour=int(clock.group(1)), minute=int(clock.group(2)), second=0, microsecond=0)
        self.assertLessEqual(abs((shown - before.replace(second=0, microsecond=0)).total_seconds()), 120)
        seconds = re.search(r"Total reading time:  0:00:(\d\d)", form)
        self.assertIsNotNone(seconds, form)
        self.assertTrue(2 <= int(seconds.group(1)) <= 20, form)
        self.assertIn("Book was opened:  1 times", form)

        # Two more starts; the last one reads the statistics at the end of the book.
        self.run_book(book, ["key:fire"], rms=rms)
        _, out = self.run_book(book, ["key:fire", "key:8", "dump", "cmd:Cancel", "key:star", "select:8", "dump",
                                      "cmd:Cancel", "key:1", "select:2", "key:star", "select:8", "dump"], rms=rms)
        when, info, info_end = screens(out)
        self.assertIn("Book was opened:  3 times", when)
        total = int(re.search(r"Total reading time:  0:00:(\d\d)", when).group(1))
        self.assertGreaterEqual(total, int(seconds.group(1)))
        size = 2 * len(book.written_text())
        stats = re.search(r"Book statistics:  Size (\d+) byte\(s\), read (\d+)%, total reading time "
                          r"0:00:(\d\d), ouvert 3 times", info)
        self.assertIsNotNone(stats, info)
        self.assertEqual(int(stats.group(1)), size)
        self.assertTrue(0 < int(stats.group(2)) < 50)
        self.assertIn("read 100%", info_end)
        # Labels before numbers keep a blank even when the configuration
        # reader trimmed theirs away.
        trimmed = Book(FILLER, texts={810: "ms, max letters in screen", 1004: "Opened:", 803: "Size"})
        _, out = self.run_book(trimmed, ["key:fire", "key:star", "select:8", "dump", "cmd:Cancel", "key:8", "dump"])
        info, when = screens(out)
        self.assertRegex(info, r"max letters in screen \d")
        self.assertRegex(when, r"Opened: +1 times")
        perf = re.search(r"Performance:  Max paint time (\d+) ms, max letters in screen (\d+), "
                         r"perfomance (\d+) letters/sec", info)
        self.assertIsNotNone(perf, info)
        # A page of this book holds more than five of its lines.
        self.assertGreater(int(perf.group(2)), 5 * len(LINES[0]))
        self.assertGreater(int(perf.group(3)), 0)

    def test_saved_bookmarks_can_be_deleted(self):
        rms = self.ws.path("rms")
        book = Book("\r\n".join(SHORT))
        _, out = self.run_book(book, ["key:fire", "key:down", "key:2", "idle", "key:down", "key:2", "idle",
                                      "key:down", "key:2", "idle", "key:2", "idle", "key:3", "dump",
                                      "highlight:1", "cmd:Delete", "dump"], rms=rms)
        listed, after = screens(out)
        self.assertEqual(len(re.findall("Bookmark \\d", listed)), 3)  # the same page twice is kept once
        kept = re.findall(r"Bookmark \d: (Line \d+) ", after)
        first = re.findall(r"Bookmark \d: (Line \d+) ", listed)
        self.assertEqual(kept, [first[0], first[2]])
        # Deleted for good: the next start lists the two, and they still open.
        (opened,), out = self.run_book(book, ["key:fire", "key:3", "dump", "select:0", "shot"], rms=rms)
        self.assertEqual(re.findall(r"Bookmark \d: (Line \d+) ", out), kept)
        (page_two,), _ = self.run_book(book, ["key:fire", "key:down", "shot"])
        self.assertSame(opened, page_two)

    def test_full_store_keeps_the_saved_position_and_says_a_bookmark_was_not_saved(self):
        # A store with room for the position record but not for a bookmark
        # more: the bookmark is refused and said so, and the pages read after
        # it are still saved at Exit.
        rms = self.ws.path("rms")
        book = Book("\r\n".join(SHORT))
        exit_ = ["key:star", "select:11"]
        self.run_book(book, ["key:fire", "key:down"] + exit_, rms=rms)
        size = os.path.getsize(os.path.join(rms, "Lectoria.rms"))  # 20 bytes of head, then id, length, record
        _, out = self.run_book(book, ["key:fire", "key:down", "key:2", "dump", "key:fire", "key:3", "dump",
                                      "cmd:Cancel"] + exit_, rms=rms, rms_size=size - 20 + 2)
        refused, listed = screens(out)
        self.assertIn("Bookmark not saved", refused)
        self.assertNotIn("Bookmark 1", listed)
        (opened,), out = self.run_book(book, ["key:fire", "shot", "key:3", "dump"], rms=rms)
        (page3,), _ = self.run_book(book, ["key:fire", "key:down", "key:down", "shot"])
        self.assertSame(opened, page3)
        self.assertNotIn("Bookmark 1", out)

    def test_bookmark_list_at_its_most(self):
        # A hundred bookmarks: the next is refused and said so; the list and
        # the position read back after Exit.
        rms = self.ws.path("rms")
        os.makedirs(rms)
        book = Book("\r\n".join(SHORT))
        tops = [len("\r\n".join(SHORT[:k])) + (2 if k else 0) for k in range(40)]
        marks = [tops[k % 40] + 1 + k // 40 for k in range(100)]  # none where a page begins
        with open(os.path.join(rms, "Lectoria.rms"), "wb") as f:
            f.write(store([position_record(0, len(book.written_text()), marks)]))
        _, out = self.run_book(book, ["key:fire", "key:down", "key:2", "dump", "key:fire", "key:star",
                                      "select:11"], rms=rms)
        self.assertIn("Bookmark not saved", screens(out)[0])
        (opened,), out = self.run_book(book, ["key:fire", "shot", "key:3", "dump"], rms=rms)
        (page2,), _ = self.run_book(book, ["key:fire", "key:down", "shot"])
        self.assertSame(opened, page2)
        self.assertEqual(len(re.findall(r"Bookmark \d+:", out)), 100)

    def test_smooth_scroll_switched_in_the_display_form_and_remembered(self):
        rms = self.ws.path("rms")
        book = Book(FILLER, smooth_scroll=2)  # slow: a page slides for seconds
        (page2,), out = self.run_book(book, ["key:fire", "key:5", "dump", "choose:6:0", "cmd:Ok", "key:down",
                                             "shot", "key:5", "dump"], rms=rms)
        on, off = screens(out)
        self.assertIn("[x] Smooth scroll", on)
        self.assertIn("[ ] Smooth scroll", off)
        (page3, sliding, page4), _ = self.run_book(
            book, ["key:fire", "key:down", "shot", "key:5", "choose:6:0", "cmd:Ok", "key:down", "wait:100", "shot",
                   "idle", "shot"], rms=rms)
        pages, _ = self.run_book(Book(FILLER), ["key:fire", "shot", "key:down", "shot", "key:down", "shot",
                                                "key:down", "shot"])
        # Off: the next page stands at once, also after a new start.
        self.assertSame(page2, pages[1])
        self.assertSame(page3, pages[2])
        # On again: right after the key the text is on its way to the next page.
        self.assertDiffer(sliding, pages[2])
        self.assertDiffer(sliding, pages[3])
        self.assertSame(page4, pages[3])

    def test_older_and_damaged_records_still_open_the_book(self):
        book = Book(FILLER)
        length = len(book.written_text())
        (start,), _ = self.run_book(book, ["key:fire", "shot"])
        top = FILLER.index(LINES[13])
        page_top = None
        cases = {
            # A record without settings and statistics keeps its position and bookmarks.
            "older": (position_record(top, length, [top]), True),
            # Cut inside the bookmarks: nothing of it is taken.
            "cut": (position_record(top, length, [top, top])[:-3], False),
            "garbage": (bytes(range(256)) * 3, False),
            "empty": (b"", False),
            # Values out of range (position, colour scheme, spacing, counters) are not taken as they are.
            "wild": (struct.pack(">iiii??ii?ii", length, 10 ** 9, 99, 99, True, True, 10 ** 6, -10 ** 6, False, 0, 0)
                     + struct.pack(">iiiiqiiqq", 77, -5, 1000, -3, -1, -1, -1, -1, -1), False),
        }
        for name, (record, keeps) in cases.items():
            with self.subTest(record=name):
                rms = self.ws.path("rms-" + name)
                os.makedirs(rms)
                with open(os.path.join(rms, "Lectoria.rms"), "wb") as f:
                    f.write(store([record]))
                (shown,), out = self.run_book(book, ["key:fire", "shot", "key:8", "dump"], rms=rms)
                self.assertIn("Form: Date and time", out)
                self.assertIn("Book was opened:  1 times", out)
                if keeps:
                    page_top = shown
                else:
                    self.assertSame(shown, start)
        (expected,), _ = self.run_book(Book("\r\n".join(LINES[13:])), ["key:fire", "shot"])
        self.assertSame(page_top, expected)


if __name__ == "__main__":
    unittest.main()
