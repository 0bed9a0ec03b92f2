#!/usr/bin/env python3
"""Shows a midlet as a phone would: runs its JAR in the midp-host and saves
screenshots of the start screen, the first pages and the table of contents.

    scripts/preview.py BOOK.jar [OUTPUT_FOLDER] [--size 176x208] [--password CODE]

Writes start.png, page1.png, page2.png, page3.png and contents.png into the
output folder (default: BOOK-preview beside the JAR). The midp-host JAR is
taken from build/tools/midp-host (set MIDP_HOST to use another one).
"""
import argparse
import os
import subprocess
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def host(args, jar, actions):
    cmd = ["java", "-jar", args.host, "--size", args.size, jar] + actions
    proc = subprocess.run(cmd, capture_output=True, text=True)
    if proc.returncode != 0:
        sys.exit("preview: the midp-host failed:\n" + proc.stdout + proc.stderr)
    return proc.stdout


def main():
    parser = argparse.ArgumentParser(description="Screenshots of a midlet as a phone shows it.")
    parser.add_argument("jar")
    parser.add_argument("output", nargs="?")
    parser.add_argument("--size", default="176x208", help="screen size, default 176x208")
    parser.add_argument("--password", help="the book's numeric code, for a protected book")
    parser.add_argument("--host", default=os.environ.get("MIDP_HOST",
                        os.path.join(ROOT, "build", "tools", "midp-host", "midp-host.jar")))
    args = parser.parse_args()
    if not os.path.isfile(args.jar):
        sys.exit("preview: no such file " + args.jar)
    if not zipfile.is_zipfile(args.jar):
        # Often the JAD, or the book itself, given in place of the JAR.
        sys.exit("preview: %s is not a midlet's JAR (not a zip archive); give the .jar file that "
                 "paginor -make wrote" % args.jar)
    if not os.path.isfile(args.host):
        sys.exit("preview: midp-host not found at %s (build the project first)" % args.host)
    out = args.output or os.path.splitext(args.jar)[0] + "-preview"
    os.makedirs(out, exist_ok=True)

    def shot(name):
        return "shot:" + os.path.join(out, name)

    # A protected book asks for its code right after the start screen.
    unlock = []
    if "Password protection" in host(args, args.jar, ["key:fire", "dump"]) or args.password:
        if not args.password:
            sys.exit("preview: the book asks for a password; give it with --password")
        unlock = ["type:" + args.password, "cmd:Ok"]
        if "Password protection" in host(args, args.jar, ["key:fire"] + unlock + ["idle", "dump"]):
            sys.exit("preview: the book does not open with the password " + args.password)
    actions = [shot("start.png"), "key:fire"] + unlock + [shot("page1.png"), "key:down", "idle", shot("page2.png"),
                                                          "key:down", "idle", shot("page3.png"), "key:1",
                                                          "select:0", "idle", shot("contents.png")]
    host(args, args.jar, actions)
    for name in ("start.png", "page1.png", "page2.png", "page3.png", "contents.png"):
        print(os.path.join(out, name))


if __name__ == "__main__":
    main()
