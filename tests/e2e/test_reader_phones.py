"""The reader on the keys and screens of many phones in the midp-host: the
key codes of each phone family, touch screens, and screen sizes from 96x65
to 360x640, in portrait and landscape."""
import unittest

from readerkit import Book, ReaderCase

WHITE, BLACK, BLUE = 0xFFFFFF, 0x000000, 0x0000FF
M = chr(0xE000)
FILLER = "\r\n".join("Filler line %d with a few words in it." % i for i in range(60))


def linked(text, link_id):
    """A link's text as the book files carry it: M c1 M c2 ... M cn M."""
    return link_id + "".join(c + link_id for c in text)


START = "Go " + linked("there", M) + " now.\r\n" + FILLER + "\r\n"
TARGET = "The target paragraph starts here and goes on.\r\n" + FILLER


def book():
    return Book(START + TARGET, links=["l%d" % len(START)])


class ReaderPhones(ReaderCase):
    def test_keys_of_each_phone_family(self):
        # Down and Up turn pages, Right makes the link active, the right soft
        # key follows it, Back (Clear, or the right soft key when no link is
        # active) returns, the left soft key opens the menu. Siemens sends
        # -1 and -4 for its soft keys, Up and Right elsewhere; Motorola -6
        # for Down.
        (page1, page2, active), _ = self.run_book(book(), ["key:fire", "shot", "key:down", "shot", "key:up",
                                                           "key:right", "shot"], midp2=True)
        (target,), _ = self.run_book(Book(TARGET), ["key:fire", "shot"], midp2=True)
        for keys, back in (("nokia", "clear"), ("se", "clear"), ("siemens", "soft2"), ("motorola", "soft2"),
                           ("motorola-old", "soft2"), ("lg", "clear")):
            with self.subTest(keys=keys):
                shots, out = self.run_book(book(), ["key:fire", "key:down", "shot", "key:up", "shot", "key:right",
                                                    "key:soft2", "shot", "key:" + back, "shot", "key:soft1", "dump"],
                                           midp2=True, keys=keys)
                down, up, followed, returned = shots
                self.assertEqual(down.pixels, page2.pixels)
                self.assertEqual(up.pixels, page1.pixels)
                page = 3 * target.width * (target.height - 20)
                self.assertEqual(followed.pixels[:page], target.pixels[:page])
                # Back to the page, with the link followed there active again.
                self.assertEqual(returned.pixels, active.pixels)
                self.assertIn("screen: List: Menu", out)

    def test_clear_and_back_keys_named_so(self):
        # A phone's Back key known by its code (-11, -16) leads back as Clear does.
        (active,), _ = self.run_book(book(), ["key:fire", "key:right", "shot"], midp2=True)
        for code in ("-8", "-11", "-16"):
            with self.subTest(code=code):
                (returned,), _ = self.run_book(book(), ["key:fire", "key:right", "key:fire", "key:" + code, "shot"],
                                               midp2=True)
                self.assertEqual(returned.pixels, active.pixels)

    def test_touch_turns_pages_follows_links_and_works_the_soft_keys(self):
        # On a touch phone: the lower part of the page turns on, the upper
        # third back, a link is followed where it is touched, the soft-key
        # labels work as the keys, in portrait and turned.
        for portrait in (True, False):
            with self.subTest(portrait=portrait):
                def run(actions, b=None):
                    return self.run_book(b or Book(START + TARGET, links=["l%d" % len(START)], portrait=portrait),
                                         actions, size="360x640", midp2=True, touch=True)
                (page1, page2, active), _ = run(["key:fire", "shot", "key:down", "shot", "key:up", "key:right",
                                                 "shot"])
                (target,), _ = run(["key:fire", "shot"], Book(TARGET, portrait=portrait))
                # Where the link is drawn: its underline in the link colour.
                x, y = next((x, y) for y in range(page1.height) for x in range(page1.width)
                            if page1.at(x, y) == BLUE)
                lower = "tap:180:500" if portrait else "tap:60:320"
                upper = "tap:180:40" if portrait else "tap:330:320"
                shots, out = run(["tap:10:10", lower, "shot", upper, "shot", "tap:%d:%d" % (x, y), "shot",
                                  "tap:350:635", "shot", "tap:10:635", "dump"])
                on, back, followed, returned = shots
                self.assertEqual(on.pixels, page2.pixels)
                self.assertEqual(back.pixels, page1.pixels)
                bar = 3 * target.width * (target.height - 20)
                self.assertEqual(followed.pixels[:bar], target.pixels[:bar])
                self.assertEqual(returned.pixels, active.pixels)
                self.assertIn("screen: List: Menu", out)

    def test_a_long_right_soft_key_label_leaves_the_left_one_whole(self):
        # A translated "Go to" longer than the bar has room for beside "Menu"
        # on a 96 pixel wide screen: "Menu" stays as it is, the long label
        # is cut at the screen's edge and stays inside the bar.
        long_label = "Go to the place this link names"
        b = Book(START + TARGET, links=["l%d" % len(START)], texts={55: long_label})
        (plain, active), _ = self.run_book(b, ["key:fire", "shot", "key:right", "shot"], size="96x65", midp2=True)
        bar = next(y for y in range(plain.height - 1, 0, -1)
                   if plain.count(BLACK, (0, y, plain.width, y + 1)) == plain.width)
        menu_end = max(x for x in range(plain.width) if plain.count(BLACK, (x, bar + 1, x + 1, plain.height)))
        self.assertLess(menu_end, 40)
        box = (0, bar, menu_end + 2, plain.height)
        self.assertEqual([plain.at(x, y) for x in range(box[0], box[2]) for y in range(box[1], box[3])],
                         [active.at(x, y) for x in range(box[0], box[2]) for y in range(box[1], box[3])])
        self.assertGreater(active.count(BLACK, (menu_end + 2, bar + 1, active.width, active.height)), 30)
        # The page above the bar is drawn the same with the short label.
        (short,), _ = self.run_book(Book(START + TARGET, links=["l%d" % len(START)]), ["key:fire", "key:right", "shot"],
                                    size="96x65", midp2=True)
        self.assertEqual(short.pixels[:3 * 96 * bar], active.pixels[:3 * 96 * bar])

    def test_splash_texts_stay_whole_on_narrow_screens(self):
        # The splash texts are centred: one wider than the screen would be
        # cut at both edges, so a narrow screen draws them smaller.
        b = Book(TARGET, texts={20: "Lectoria 5.0.8", 21: "orvantis.example"})
        for size in ("96x65", "101x80", "128x128"):
            with self.subTest(size=size):
                (splash,), _ = self.run_book(b, ["shot"], size=size, midp2=True)
                h = splash.height
                for box in ((0, 0, splash.width, h // 3), (0, h - h // 3, splash.width, h)):
                    self.assertGreater(splash.count(BLACK, box), 40)
                edges = [(x, y) for y in range(h) for x in (0, 1, splash.width - 2, splash.width - 1)
                         if splash.at(x, y) == BLACK]
                self.assertEqual(edges, [])

    def test_held_keys_repeat_page_turns_only(self):
        # A held Down turns on page after page; a held soft key or Select
        # does what it does once: it does not follow the link and then go
        # back, nor open the menu over the page just reached.
        (target,), _ = self.run_book(book(), ["key:fire", "key:right", "key:fire", "shot"], midp2=True)
        (page3,), _ = self.run_book(book(), ["key:fire", "key:down", "key:down", "shot"], midp2=True)
        cases = (
            (["key:down", "repeat:down"], page3),
            (["key:right", "key:soft2", "repeat:soft2"], target),
            (["key:right", "key:fire", "repeat:fire"], target),
        )
        for actions, expected in cases:
            with self.subTest(actions=actions):
                (shot,), out = self.run_book(book(), ["key:fire"] + actions + ["shot", "dump"], midp2=True)
                self.assertIn("screen: Canvas", out)
                self.assertEqual(shot.pixels, expected.pixels)


if __name__ == "__main__":
    unittest.main()
