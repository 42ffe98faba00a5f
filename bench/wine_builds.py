"""What the Python benchmarks share: the two builds they run on, the heading that names the build the
figures below it come from, and a Wine session made as scripts/test makes its own (scripts/lib/wine-env),
with a persistent wineserver for as long as the benchmark runs.
"""

import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.realpath(os.environ.get("PELORA_BUILD_DIR", os.path.join(ROOT, "build")))
BUILDS = {"i686": "i686-w64-mingw32", "x86_64": "x86_64-w64-mingw32"}
WINE_ENV = os.path.join(ROOT, "scripts", "lib", "wine-env")
NO_32BIT = "this machine's kernel cannot run 32-bit programs"


def add_build_option(parser):
    parser.add_argument("--build", choices=sorted(BUILDS), help="one build only (default: both)")


def chosen_builds(args):
    """Target triples of the builds to run, the shipped 32-bit one first."""
    return [BUILDS[args.build]] if args.build else list(BUILDS.values())


def is_32bit(triple):
    return triple.startswith("i686")


def heading(triple):
    if is_32bit(triple):
        return "== %s build (32-bit, the shipped program, under 32-bit Wine)" % triple
    return "== %s build (64-bit, under 64-bit Wine)" % triple


def print_skipped(triple, why):
    print()
    print(heading(triple))
    print("skipped: %s" % why)


class WineSession:
    """A Wine prefix that fits this machine and a persistent wineserver from start() to stop(), which ends
    every Wine program of the prefix. The environment comes from scripts/lib/wine-env, so that Wine runs
    here as in the tests: where 32-bit programs cannot run, `wine` means 64-bit Wine."""

    def __init__(self, prefix=None, log=None):
        self.env = dict(os.environ)
        self.prefix = os.path.realpath(prefix) if prefix else None
        self.log = log  # file that Wine's own messages are added to; None drops them
        self.run_32bit = False
        self.server_started = False

    def prepare(self):
        """Makes the prefix if it is missing or does not fit, and takes Wine's environment; the messages
        of wine-env go to our stderr."""
        command = [WINE_ENV, BUILD] + ([self.prefix] if self.prefix else [])
        result = subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                text=True, timeout=1800)
        if result.returncode != 0:
            raise SystemExit("%s: could not prepare the Wine prefix %s (scripts/lib/wine-env exited %d)"
                             % (os.path.basename(sys.argv[0]), self.prefix or "of the build", result.returncode))
        for line in result.stdout.splitlines():
            key, sep, value = line.partition("=")
            if sep:
                self.env[key] = value
        self.prefix = self.env["WINEPREFIX"]
        self.run_32bit = self.env.get("PELORA_RUN_32BIT") == "1"

    def why_not(self, triple):
        """Why this machine cannot run the build, or None when it can."""
        return NO_32BIT if is_32bit(triple) and not self.run_32bit else None

    def quiet(self, args, timeout=300):
        with open(self.log or os.devnull, "ab") as out:
            subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=timeout)

    def start(self):
        """After prepare()."""
        self.quiet(["wineserver", "-p"])
        self.server_started = True
        # Wine's own services come up now rather than during a measured run, whose pipes they would
        # otherwise inherit and hold open.
        self.quiet(["wine", "cmd.exe", "/c", "exit"])

    def stop(self):
        if self.server_started:
            self.quiet(["wineserver", "-k"], timeout=60)
            self.server_started = False

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)
