"""Tests of the catalog source tool: argument sequences, the pseudo catalogs
and the check of translations against English."""

import contextlib
import io
import os
import tempfile
import unittest

import msgtool


def write(root, lang, base, text):
    os.makedirs(os.path.join(root, lang), exist_ok=True)
    path = os.path.join(root, lang, base + ".msg")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def run_check(root):
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        rc = msgtool.check([root])
    return rc, out.getvalue()


class Arguments(unittest.TestCase):
    def test_plain_conversions(self):
        self.assertEqual(msgtool.arguments("%s: %lu bytes, %5.1f%% done %c"),
                         ["string", "lunsigned", "double", "char"])
        self.assertEqual(msgtool.arguments("%-08.3d %x %Lg %p %zu"),
                         ["int", "unsigned", "long double", "pointer", "zunsigned"])
        self.assertEqual(msgtool.arguments("100%% sure, %m"), [])

    def test_star_width_takes_an_int(self):
        self.assertEqual(msgtool.arguments("%*d|%-*.*s"), ["int", "int", "int", "int", "string"])

    def test_positional_arguments_in_argument_order(self):
        self.assertEqual(msgtool.arguments("%2$s has %1$d"), ["int", "string"])

    def test_faults(self):
        for text in ("%n", "ends with %", "%y", "%1$s %s", "%2$s only"):
            with self.subTest(text=text):
                with self.assertRaises(msgtool.MsgError):
                    msgtool.arguments(text)


class Parse(unittest.TestCase):
    def test_sets_quotes_continuations_and_deletes(self):
        with tempfile.TemporaryDirectory() as root:
            path = write(root, "en", "t", "$ comment\n1 before any set\n$set 4\n"
                         "2 two \\\nlines\n$quote \"\n3 \"quoted %s\" tail\n"
                         "4 gone\n4\n5 esc\\tape\\101\n")
            _, messages = msgtool.parse(path)
            texts = {(m.set_no, m.number): m.text() for m in messages}
            self.assertEqual(texts, {(1, 1): "before any set", (4, 2): "two lines",
                                     (4, 3): "quoted %s", (4, 5): "esc\tapeA"})


class Pseudo(unittest.TestCase):
    def test_prefix_keeps_text_and_conversions(self):
        with tempfile.TemporaryDirectory() as root:
            src = write(root, "en", "orucleng", "$set 9\n264 Value %d of %s\n"
                        "265 two \\\nlines\n$quote \"\n266 \"quoted %u\"\n")
            out = os.path.join(root, "xx", "orucleng.msg")
            msgtool.pseudo(src, out)
            _, messages = msgtool.parse(out)
            texts = {(m.set_no, m.number): m.text() for m in messages}
            self.assertEqual(texts, {(9, 264): "[9.264] Value %d of %s",
                                     (9, 265): "[9.265] two lines",
                                     (9, 266): "[9.266] quoted %u"})


class Check(unittest.TestCase):
    ENGLISH = "$set 9\n1 Value %d of %s\n2 plain\n"

    def test_sound_translation_passes(self):
        with tempfile.TemporaryDirectory() as root:
            write(root, "en", "orucleng", self.ENGLISH)
            write(root, "de", "orucldeu", "$set 9\n1 Wert %d von %s\n")
            write(root, "fr", "oruclfrn", "$set 9\n1 %2$s : valeur %1$d\n")
            self.assertEqual(run_check(root), (0, ""))

    def test_each_fault_is_reported(self):
        cases = {
            "$set 9\n1 Wert %s von %d\n": "differ from English",
            "$set 9\n1 Wert %d\n": "differ from English",
            "$set 9\n2 Text %s\n": "differ from English",
            "$set 9\n3 not in English\n": "no such text",
            "$set 9\n1 Wert %d von %s%n\n": "%n",
            "$set 9\n1000 Wert %d von %s\n": "outside 1..999",
        }
        for german, fault in cases.items():
            with self.subTest(german=german), tempfile.TemporaryDirectory() as root:
                write(root, "en", "orucleng", self.ENGLISH)
                write(root, "de", "orucldeu", german)
                rc, out = run_check(root)
                self.assertEqual(rc, 1)
                self.assertIn(fault, out)

    def test_translation_without_english_catalog(self):
        with tempfile.TemporaryDirectory() as root:
            write(root, "de", "orusdeu", "$set 1\n1 Text\n")
            rc, out = run_check(root)
            self.assertEqual(rc, 1)
            self.assertIn("no English catalog en/oruseng.msg", out)

    def test_fault_in_english_itself(self):
        with tempfile.TemporaryDirectory() as root:
            write(root, "en", "fwerrcod", "$set 2\n5 bad %q\n")
            rc, out = run_check(root)
            self.assertEqual(rc, 1)
            self.assertIn("bad conversion", out)


if __name__ == "__main__":
    unittest.main()
