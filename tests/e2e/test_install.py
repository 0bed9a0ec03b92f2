"""An installed program: `cmake --install` into a prefix of the test's own,
then runs of the installed copy from another folder. Its work folders, lock,
dumps and default midlets folder live in the user's data folder, the prefix is
left as installed, and a read-only copy of the program does the same."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

PAGINOR = os.environ["PAGINOR"]
BUILD = os.environ["PAGINOR_BUILD_DIR"]
NOBODY = 65534


def messages(stdout):
    """The log lines without their time stamps (the two banner lines dropped)."""
    lines = stdout.decode("utf-8").split("\n")[2:]
    return [line[10:] if re.match(r"\d\d:\d\d:\d\d  ", line) else line for line in lines if line]


def snapshot(folder):
    """Every path below the folder with its size and modification time."""
    found = {}
    for base, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(base, name)
            st = os.lstat(path)
            found[os.path.relpath(path, folder)] = (st.st_size, st.st_mtime_ns)
    return found


def environment(home, xdg=None):
    env = {k: v for k, v in os.environ.items() if k not in ("HOME", "XDG_DATA_HOME")}
    env["HOME"] = home
    if xdg is not None:
        env["XDG_DATA_HOME"] = xdg
    return env


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._tmp = tempfile.TemporaryDirectory()
        cls.prefix = os.path.join(cls._tmp.name, "prefix")
        cmake = shutil.which("cmake")
        if cmake is None:
            raise unittest.SkipTest("cmake is not on the PATH")
        subprocess.run([cmake, "--install", BUILD, "--prefix", cls.prefix], check=True,
                       capture_output=True, timeout=300)
        cls.installed = snapshot(cls.prefix)

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def setUp(self):
        self.root = tempfile.mkdtemp(dir=self._tmp.name)
        self.elsewhere = os.path.join(self.root, "elsewhere")
        os.mkdir(self.elsewhere)

    def run_installed(self, cfg, env):
        exe = os.path.join(self.prefix, "bin", "paginor")
        result = subprocess.run([exe, "-make", cfg], cwd=self.elsewhere, env=env,
                                capture_output=True, timeout=120)
        return result.returncode, messages(result.stdout)

    def test_installed_program_keeps_its_work_per_user(self):
        self.assertIn(os.path.join("bin", "paginor"), self.installed)
        example = os.path.join(self.prefix, "share", "paginor", "examples", "example.cfg")
        self.assertTrue(os.path.isfile(example))
        home = os.path.join(self.root, "home")
        data = os.path.join(self.root, "data")
        cases = [
            # (XDG_DATA_HOME, the folder expected to hold the work folders)
            (None, os.path.join(home, ".local", "share", "paginor")),
            (data, os.path.join(data, "paginor")),
            ("relative/data", os.path.join(home, ".local", "share", "paginor")),
            ("", os.path.join(home, ".local", "share", "paginor")),
        ]
        for xdg, folder in cases:
            with self.subTest(xdg=xdg):
                for gone in (home, data):
                    shutil.rmtree(gone, ignore_errors=True)
                os.mkdir(home)
                status, lines = self.run_installed(example, environment(home, xdg))
                self.assertEqual(status, 0, lines)
                self.assertIn("+ Work folders are in %s/ (an installed program keeps them per user)"
                              % folder, lines)
                jar = os.path.join(folder, "midlets", "Example.jar")
                self.assertIn("+ JAR file saved " + jar, lines)
                with zipfile.ZipFile(jar) as z:
                    self.assertIsNone(z.testzip())
                    self.assertTrue(z.read("book0.dat").decode("utf-16-be")
                                    .startswith("The Keeper of the Tide Clock"))
                self.assertTrue(os.path.isfile(os.path.join(folder, "midlets", "Example.jad")))
                self.assertEqual(sorted(os.listdir(folder)),
                                 ["midlets", "paginor.lock", "temp1", "temp2"])
                self.assertEqual(os.listdir(self.elsewhere), [])
                self.assertEqual(snapshot(self.prefix), self.installed)

    def test_failed_book_dumps_into_the_users_folder(self):
        home = os.path.join(self.root, "home")
        os.mkdir(home)
        cfg = os.path.join(self.root, "broken.cfg")
        with open(cfg, "wb") as f:
            f.write(b"BookName=Broken\nTextFileName=missing.txt\n")
        status, lines = self.run_installed(cfg, environment(home))
        self.assertEqual(status, 1, lines)
        self.assertEqual(lines[-2:], ["- Can't create midlet", "- File not found"])
        with open(os.path.join(home, ".local", "share", "paginor", "Broken.dump"), "rb") as f:
            self.assertEqual(f.read(), b"\xff\xfe")
        self.assertEqual(snapshot(self.prefix), self.installed)

    def test_read_only_program_folder_uses_the_users_folder(self):
        """A portable copy in a folder its user may not write to. As root (who
        may write anywhere) the copy runs as nobody."""
        as_root = os.geteuid() == 0
        if as_root and shutil.which("setpriv") is None:
            self.skipTest("running as root without setpriv")
        os.chmod(self._tmp.name, 0o755)
        os.chmod(self.root, 0o755)
        program = os.path.join(self.root, "program")
        os.mkdir(program)
        exe = os.path.join(program, "paginor")
        shutil.copy2(PAGINOR, exe)
        book = os.path.join(self.root, "story.txt")
        with open(book, "wb") as f:
            f.write(b"A story.")
        cfg = os.path.join(self.root, "story.cfg")
        with open(cfg, "wb") as f:
            f.write(b"BookName=Story\nTextFileName=story.txt\nImageMode=0\nOutputDir=midlets\n")
        home = os.path.join(self.root, "home")
        os.mkdir(home)
        os.chmod(program, 0o555)
        command = [exe, "-make", cfg]
        if as_root:
            os.chown(home, NOBODY, NOBODY)
            os.chown(self.elsewhere, NOBODY, NOBODY)
            command = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups"
                       ] + command
        before = snapshot(program)
        result = subprocess.run(command, cwd=self.elsewhere, env=environment(home),
                                capture_output=True, timeout=120)
        lines = messages(result.stdout)
        self.assertEqual(result.returncode, 0, lines)
        folder = os.path.join(home, ".local", "share", "paginor")
        self.assertIn("+ Work folders are in %s/ (the program's folder is not writable)" % folder,
                      lines)
        self.assertTrue(os.path.isfile(os.path.join(folder, "midlets", "Story.jar")))
        self.assertEqual(snapshot(program), before)
        os.chmod(program, 0o755)


if __name__ == "__main__":
    unittest.main()
