"""A run stopped by Ctrl-C (SIGINT), SIGTERM, SIGHUP or a log reader that went
away (SIGPIPE) ends with exit status 1 and a line saying so, and leaves nothing
of its own behind: no temporary file
in the output folder, no LibreOffice still converting, no private folder, and
no lock that would hold up the next run."""
import glob
import os
import signal
import subprocess
import time
import unittest

from test_make import BookFolderTest, Program, messages, write_config
from test_output import words

STOP_SIGNALS = [("SIGINT", signal.SIGINT), ("SIGTERM", signal.SIGTERM), ("SIGHUP", signal.SIGHUP)]


def wait_for(predicate, process, limit=120):
    """Polls until the predicate holds; False when the process ended first."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if predicate():
            return True
        if process.poll() is not None:
            return False
        time.sleep(0.005)
    return False


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A finished child that no one has reaped yet is not running.
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


class StopSignalTest(BookFolderTest):
    def setUp(self):
        super().setUp()
        self.out = os.path.join(self.root, "out")
        os.mkdir(self.out)
        self.program = Program(self.root)

    def config(self, source):
        cfg = os.path.join(self.root, "book.cfg")
        write_config(cfg, BookName="Book", TextFileName=source, OutputDir=self.out, ImageMode="0")
        return cfg

    def start(self, cfg, env=None):
        # Each run in a session of its own, as a terminal would start it, with
        # the stop signals at their defaults whatever the test runner did.
        def defaults():
            for number in [signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGPIPE]:
                signal.signal(number, signal.SIG_DFL)

        return subprocess.Popen([self.program.exe, "-make", cfg], cwd=self.root, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                preexec_fn=defaults, start_new_session=True)

    def temporaries(self):
        return [name for name in os.listdir(self.out) if name.startswith(".paginor-")]

    def test_a_signal_while_the_midlet_is_written_leaves_no_temporary_file(self):
        # Big enough that writing its archive takes a while.
        source = os.path.join(self.root, "long.txt")
        with open(source, "w") as f:
            f.write(words(600_000, 5))
        cfg = self.config(source)
        for name, number in STOP_SIGNALS:
            with self.subTest(name):
                for old in os.listdir(self.out):
                    os.remove(os.path.join(self.out, old))
                # The signal must come while the temporary files exist; on a
                # very slow or very fast machine a run may miss that moment.
                for _ in range(3):
                    run = self.start(cfg)
                    caught = wait_for(lambda: self.temporaries(), run)
                    if caught:
                        run.send_signal(number)
                    out, _ = run.communicate(timeout=300)
                    if caught:
                        break
                self.assertTrue(caught, "the run never had a temporary file")
                lines = messages(out)
                self.assertEqual(run.returncode, 1, lines)
                self.assertEqual(lines[-1], "Stopped by %s%s: the run ended early; the output "
                                 "folder holds whole midlets only"
                                 % (name, " (Ctrl-C)" if name == "SIGINT" else ""), lines)
                self.assertEqual(self.temporaries(), [])
                # Whole or not at all: the JAR and its JAD, or neither.
                self.assertIn(sorted(os.listdir(self.out)), [[], ["Book.jad", "Book.jar"]])
        # The work folders are free for the next run, which builds the book.
        run = self.start(cfg)
        out, _ = run.communicate(timeout=300)
        self.assertEqual(run.returncode, 0, messages(out))
        self.assertEqual(sorted(os.listdir(self.out)), ["Book.jad", "Book.jar"])

    def test_a_log_reader_that_goes_away_while_the_midlet_is_written_leaves_no_temporary_file(self):
        # "paginor -make book.cfg | head": the reader closes the pipe after
        # the line that starts the archive, and the next line finds it gone.
        source = os.path.join(self.root, "long.txt")
        with open(source, "w") as f:
            f.write(words(300_000, 7))
        run = self.start(self.config(source))
        for line in run.stdout:
            if b".. Writing jar file" in line:
                break
        run.stdout.close()
        run.wait(timeout=300)
        self.assertEqual(run.returncode, 1)
        self.assertEqual(self.temporaries(), [])
        self.assertIn(sorted(os.listdir(self.out)), [[], ["Book.jad", "Book.jar"]])

    def test_a_signal_during_a_libreoffice_conversion_stops_it_and_removes_its_folder(self):
        # A LibreOffice that never finishes: it notes its process and waits.
        bin_dir = os.path.join(self.root, "bin")
        os.mkdir(bin_dir)
        started = os.path.join(self.root, "started")
        fake = os.path.join(bin_dir, "soffice")
        with open(fake, "w") as f:
            f.write("#!/bin/sh\necho $$ > %s.new && mv %s.new %s\nexec sleep 300\n"
                    % (started, started, started))
        os.chmod(fake, 0o755)
        temp = os.path.join(self.root, "tmp")
        os.mkdir(temp)
        source = os.path.join(self.root, "story.rtf")
        with open(source, "wb") as f:
            f.write(b"{\\rtf1 a text for LibreOffice}")
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"], TMPDIR=temp)
        run = self.start(self.config(source), env)
        self.assertTrue(wait_for(lambda: os.path.exists(started), run), "LibreOffice never started")
        with open(started) as f:
            office = int(f.read())
        run.send_signal(signal.SIGTERM)
        out, _ = run.communicate(timeout=60)
        lines = messages(out)
        self.assertEqual(run.returncode, 1, lines)
        self.assertEqual(lines[-1], "Stopped by SIGTERM: the run ended early; the output folder "
                         "holds whole midlets only", lines)
        self.assertFalse(alive(office), "LibreOffice still runs")
        self.assertEqual(glob.glob(os.path.join(temp, "paginor-office-*")), [])


if __name__ == "__main__":
    unittest.main()
