"""The manual page and the bash completion as `cmake --install` puts them:
the page renders with man and groff without a warning and names every option
--help lists; the completion loads in bash without an error, completes
options and configuration keys after -s, and knows every key the example
configuration has."""
import os
import re
import shlex
import subprocess
import tempfile
import unittest

PAGINOR = os.environ["PAGINOR"]
BUILD = os.environ["PAGINOR_BUILD_DIR"]
BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"


class InstalledDocsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._tmp = tempfile.TemporaryDirectory()
        prefix = os.path.join(cls._tmp.name, "prefix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], check=True,
                       capture_output=True, timeout=300)
        cls.page = os.path.join(prefix, "share", "man", "man1", "paginor.1")
        cls.completion = os.path.join(prefix, "share", "bash-completion", "completions", "paginor")

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def test_the_page_renders_and_names_every_option(self):
        warnings = subprocess.run(["groff", "-ww", "-man", "-z", self.page], capture_output=True,
                                  timeout=60)
        self.assertEqual((warnings.returncode, warnings.stderr), (0, b""))
        shown = subprocess.run(["man", "-l", self.page], capture_output=True, timeout=60,
                               env=dict(os.environ, MANPAGER="cat", MANWIDTH="100"))
        self.assertEqual(shown.returncode, 0, shown.stderr)
        text = shown.stdout.decode("utf-8")
        for heading in ["SYNOPSIS", "OPTIONS", "CONFIGURATION", "EXIT STATUS", "FILES", "EXAMPLES"]:
            self.assertRegex(text, r"(?m)^%s$" % heading)
        help_text = subprocess.run([PAGINOR, "--help"], capture_output=True, timeout=60).stdout.decode()
        options = re.findall(r"(?m)^(--?[a-z]+)", help_text)
        self.assertIn("-s", options)
        for option in options:
            self.assertRegex(text, r"(?m)^ +%s\b" % re.escape(option), option)

    def complete(self, line):
        if not os.path.exists(BASH_COMPLETION):
            self.skipTest("bash-completion is not installed")
        words = line.split(" ")
        script = ("source %s && source %s && COMP_WORDS=(%s) && COMP_CWORD=%d && COMP_LINE=%s && "
                  "COMP_POINT=${#COMP_LINE} && _paginor paginor %s %s && printf '%%s\\n' \"${COMPREPLY[@]}\""
                  % (BASH_COMPLETION, self.completion, " ".join(shlex.quote(w) for w in words),
                     len(words) - 1, shlex.quote(line), shlex.quote(words[-1]), shlex.quote(words[-2])))
        result = subprocess.run(["bash", "-c", script], capture_output=True, timeout=60)
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        return result.stdout.decode("utf-8").split()

    def test_completion_gives_options_and_keys(self):
        self.assertEqual(self.complete("paginor -s Font"),
                         ["FontName1=", "FontName2=", "FontName3=", "FontSize1=", "FontSize2=",
                          "FontSize3=", "Font.Bold1=", "Font.Bold2=", "Font.Bold3=", "Font.Italic1=",
                          "Font.Italic2=", "Font.Italic3=", "FontColor1=", "FontColor2=", "FontColor3=",
                          "FontColor4=", "FontColor5=", "FontColor6=", "FontColor7=", "FontColor8="])
        self.assertEqual(sorted(self.complete("paginor --")), ["--", "--help", "--version"])
        self.assertIn("-makeall", self.complete("paginor -m"))

    def test_completion_knows_every_key_of_the_example(self):
        with tempfile.TemporaryDirectory() as folder:
            example = os.path.join(folder, "example.cfg")
            subprocess.run([PAGINOR, "-config", example], check=True, capture_output=True, timeout=60)
            with open(example, "rb") as f:
                text = f.read().decode("utf-16")
        keys = {m for m in re.findall(r"(?m)^([A-Za-z][\w.]*)=", text)}
        self.assertIn("TextFileName", keys)
        self.assertEqual(set(self.complete("paginor -s ")), {k + "=" for k in keys})


if __name__ == "__main__":
    unittest.main()
