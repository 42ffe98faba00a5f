#!/usr/bin/env python3
"""Runs the downloader's main job once, for scripts/demo, which has built the programs and started Wine
(WINEPREFIX, DISPLAY) before calling this. Starts the local market server, runs the downloader under a
downloader's file name, follows its log, clicks its buttons with real mouse input unless a person does,
takes a screenshot of each page, and writes a report. Exit code 0 only when the whole job worked."""

import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import time
import urllib.parse
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MARKET = os.path.join(ROOT, "tools", "marketserver", "market_server.py")
MIB = 1024 * 1024
OPEN_ID = "12345"
# Padding makes the fake installer package big enough for the progress page to be seen.
PACKAGE_PADDING = 96 * MIB
FAILURES = {
    "none": [],
    "version-down": ["--version-service", "down"],
    "package-broken": ["--fail-package", "AB"],
    "slow": ["--slow-kbps", "4096"],
    # Every address of the installer fails, until the demo mends the market and tries again.
    "download": ["--fail-package", "ABC"],
    # The installer ends without installing, until the demo lets it work and tries again.
    "install": [],
}
# What the fake installer looks for in its record folder before it installs nothing.
INSTALLER_FAIL_MARKER = "fakeinstaller-fail.txt"
# The demo's own pace when nothing is slowed down on purpose: about 6 s of download.
DEFAULT_KBPS = "16384"
GAME_KBPS = "160"
PAGE_NAMES = {0: "setup", 1: "licence", 2: "progress", 3: "game", 4: "finish", 6: "download-failed",
              7: "install-failed"}
RETRY_BUTTONS = {6: "retryDownloadBtn", 7: "retryInstallBtn"}


def say(text):
    print("demo: " + text, flush=True)


class Demo:
    def __init__(self, args):
        self.args = args
        self.bin = os.path.join(args.build_dir, "bin")
        self.out = os.path.join(os.path.dirname(args.build_dir), "demo")
        self.market_dir = os.path.join(self.out, "market")
        self.records = os.path.join(self.market_dir, "records")
        self.process = None
        self.log_path = None
        self.log_offset = 0
        self.log_text = ""
        self.seen = 0   # log text before this was read by earlier waits
        self.problems = []

    # --- set-up --------------------------------------------------------------------------------
    def prepare(self):
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.records)
        installer = os.path.join(self.out, "installer.exe")
        with open(installer, "wb") as target, open(os.path.join(self.bin, "fakeinstaller.exe"), "rb") as source:
            shutil.copyfileobj(source, target)
            target.write(b"\0" * PACKAGE_PADDING)
        return installer

    def openid_config(self):
        """The channel's configuration: the game, fetched and installed by the downloader itself."""
        config = os.path.join(self.out, "openid.json")
        game = self.args.game
        packages = [] if game == "none" else [{
            "app_download_url": "{base}/games/example.apk",
            "app_package_name": game,
            "gamename": "Example Game",
            "app_icon": "{base}/games/example.ico",
            "app_obb": "{base}/games/example.obb",
            "game_slt_url": "{base}/images/example_slt.jpg",
            "resolution": "1280,720,240",
            "gameid": "",
            "xapk": "0",
            "from_appstore": "0",
        }]
        with open(config, "w") as f:
            json.dump({OPEN_ID: {"result": packages, "launch_h": "{base}/images/launch_1920.jpg",
                                 "launch_V": "{base}/images/launch_1080.jpg", "title": "Example Title",
                                 "shortcutname": "Example Game", "shortcuturl": "{base}/games/example.ico"}}, f)
        return config

    def start_market(self, installer):
        switches = FAILURES[self.args.fail]
        if "--slow-kbps" not in switches:
            switches = switches + ["--slow-kbps", DEFAULT_KBPS]
        started = subprocess.run([sys.executable, MARKET, "start", "--dir", self.market_dir, "--installer", installer,
                                  "--port", str(self.args.port), "--openid-config", self.openid_config()] + switches,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if started.returncode != 0:
            why = (started.stderr.strip().splitlines() or ["no reason given"])[-1]
            raise SystemExit("demo: the market server could not start on port %d (%s); choose another port with "
                             "PELORA_TEST_MARKET_PORT" % (self.args.port, why))
        with open(os.path.join(self.market_dir, "market.json")) as f:
            self.market = json.load(f)
        say("market server on %s (failure mode: %s)" % (self.market["base"], self.args.fail))

    def stop_market(self):
        subprocess.run([sys.executable, MARKET, "stop", "--dir", self.market_dir],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def exe_name(self):
        game = "" if self.args.game == "none" else self.args.game + "_"
        return "pelora%s_%s_%s%s_x.exe" % (self.args.edition, self.args.market, game, OPEN_ID)

    # --- the program -----------------------------------------------------------------------------
    def find_log(self):
        prefix = os.environ["WINEPREFIX"]
        found = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming", "peldownloader",
                                       "peldownloader.log"))
        return found[0] if found else None

    def start_program(self):
        run = os.path.join(self.out, "run")
        os.makedirs(run)
        exe = os.path.join(run, self.exe_name())
        shutil.copy(os.path.join(self.bin, "downloader.exe"), exe)
        self.log_path = self.find_log()
        self.log_offset = os.path.getsize(self.log_path) if self.log_path else 0
        if self.args.fail == "install":
            # An emulator left by an earlier demo would count as installed: it goes first.
            shutil.rmtree(os.path.join(os.environ["WINEPREFIX"], "drive_c", "Pelora"), ignore_errors=True)
            os.makedirs(self.records, exist_ok=True)
            open(os.path.join(self.records, INSTALLER_FAIL_MARKER), "w").close()
        env = dict(os.environ, PELORA_FAKE_RECORD_DIR=self.records)
        self.process = subprocess.Popen(["wine", exe], cwd=run, env=env, stdout=open(os.path.join(self.out, "wine.log"), "w"),
                                        stderr=subprocess.STDOUT)
        say("started %s (the %s build)" % (os.path.basename(exe), os.path.basename(self.args.build_dir)))

    def read_log(self):
        if not self.log_path:
            self.log_path = self.find_log()
            self.log_offset = 0
        if self.log_path and os.path.exists(self.log_path):
            with open(self.log_path, "rb") as f:
                f.seek(self.log_offset)
                self.log_text += f.read().decode("utf-8", "replace")
                self.log_offset = f.tell()
        return self.log_text

    def wait_for(self, pattern, timeout):
        """Waits for a log line matching pattern, written since the last retry; None when the program ends or
        the time is up first."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            match = re.search(pattern, self.read_log()[self.seen:])
            if match:
                return match
            if self.process.poll() is not None:
                return re.search(pattern, self.read_log()[self.seen:])
            time.sleep(0.1)
        return None

    def window_origin(self):
        """The top-left corner of the 640x400 main window on the display."""
        tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
        for match in re.finditer(r"\s640x400\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)", tree):
            return int(match.group(3)), int(match.group(4))
        return None

    def control_centre(self, name, page):
        lines = subprocess.run(["wine", os.path.join(self.bin, "skinviewer.exe"), "--page", str(page), "--rects",
                                "mainframe.xml"], capture_output=True, text=True, cwd=self.bin).stdout
        match = re.search(r"^%s (-?\d+),(-?\d+),(-?\d+),(-?\d+)" % re.escape(name), lines, re.M)
        left, top, right, bottom = (int(v) for v in match.groups())
        return (left + right) // 2, (top + bottom) // 2

    def click(self, name, page):
        origin = self.window_origin()
        if not origin:
            self.problems.append("no main window to click %s" % name)
            return
        x, y = self.control_centre(name, page)
        subprocess.run(["xdotool", "mousemove", str(origin[0] + x), str(origin[1] + y), "click", "1"])

    def screenshot(self, page):
        origin = self.window_origin()
        if not origin:
            return
        shot = os.path.join(self.out, "%d-%s.png" % (page, PAGE_NAMES.get(page, "page")))
        subprocess.run(["import", "-window", "root", "-crop", "640x400+%d+%d" % origin, "+repage", shot],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        say("screenshot of the %s page: %s" % (PAGE_NAMES.get(page, "page"), os.path.relpath(shot, ROOT)))

    # --- the job ---------------------------------------------------------------------------------
    def follow(self):
        if not self.wait_for(r"main window first frame shown", 60):
            self.problems.append("the main window never appeared")
            return
        time.sleep(0.5)
        self.screenshot(0)
        if self.args.interactive:
            say("the window is on your display: accept the licence and press the install button")
        else:
            say("pressing the install button")
            self.click("installnowbtn", 0)
        if not self.wait_for(r"select page 2", 600 if self.args.interactive else 30):
            self.problems.append("the installation never started")
            return
        clicked = time.time()
        # Late enough for the line under the bar to show the speed and the time left.
        time.sleep(3.5)
        self.screenshot(2)
        outcome = self.wait_for(r"download file success|select page (6)", 600)
        if outcome and outcome.group(1):
            self.try_again(6)
            outcome = self.wait_for(r"download file success", 600)
        success = outcome
        if not success:
            self.problems.append("the emulator's installer was not downloaded")
        else:
            # The game files are small: slowed down, the game page stays long enough to be seen.
            urllib.request.urlopen(self.market["base"] + "/control/switches?slow-kbps=" + GAME_KBPS).read()
            seconds = max(time.time() - clicked, 0.001)
            size = self.market["installer"]["size"]
            say("downloaded the emulator's installer: %.1f MiB in %.1f s (%.1f MiB/s)"
                % (size / MIB, seconds, size / MIB / seconds))
        page = self.wait_for(r"select page ([347])", 300)
        if page and page.group(1) == "7":
            self.try_again(7)
            page = self.wait_for(r"select page ([34])", 300)
        if page:
            time.sleep(0.8)
            self.screenshot(int(page.group(1)))
            if page.group(1) == "4":
                if self.args.interactive:
                    say("press the start button to start the emulator")
                else:
                    say("pressing the start button")
                    self.click("tastenowbtn", 4)
        try:
            self.exit_code = self.process.wait(timeout=600)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.exit_code = None
            self.problems.append("the downloader did not end")

    def try_again(self, page):
        """A failure page is shown: the demo mends what failed, then presses its "Try again"."""
        time.sleep(0.8)
        self.screenshot(page)
        if page == 6:
            urllib.request.urlopen(self.market["base"] + "/control/switches?fail-package=none").read()
            say("the download failed as the market was told to; the market is mended")
        else:
            os.remove(os.path.join(self.records, INSTALLER_FAIL_MARKER))
            say("the installation failed as the fake installer was told to; the installer is mended")
        self.seen = len(self.read_log())
        if self.args.interactive:
            say("press \"Try again\"")
        else:
            say("pressing \"Try again\"")
            self.click(RETRY_BUTTONS[page], page)

    # --- the report ------------------------------------------------------------------------------
    def record(self, name):
        path = os.path.join(self.records, name + "-record.txt")
        return open(path, encoding="utf-8", errors="replace").read().splitlines() if os.path.exists(path) else []

    def events(self):
        path = self.market["hits_log"]
        events = []
        for line in open(path).read().splitlines() if os.path.exists(path) else []:
            query = urllib.parse.parse_qs(urllib.parse.urlparse(line.split(" ")[1]).query)
            events.append("%s = %s" % (query.get("ea", ["?"])[0], query.get("el", [""])[0]))
        return events

    def report(self):
        installer = self.record("fakeinstaller")
        console = self.record("qorconsole")
        player = self.record("qorplayer")
        folder = re.search(r'-path="([^"]*)"', installer[0]).group(1) if installer else None
        lines = ["Downloader: %s" % self.exe_name(), "Exit code: %s" % self.exit_code]
        if installer:
            say("the installer ran silently: %s" % installer[0])
            say("the emulator went to %s" % folder)
        else:
            self.problems.append("the emulator's installer never ran")
        for call in console:
            say("the console tool was called: %s" % call)
        if self.args.game != "none" and not any("installapk" in call for call in console):
            self.problems.append("the game was not installed")
        if player:
            say("the emulator started: %s" % player[-1])
            if self.args.game != "none" and "package=" + self.args.game not in player[-1]:
                self.problems.append("the emulator did not start on the game")
        else:
            self.problems.append("the emulator never started")
        if self.exit_code != 0:
            self.problems.append("the downloader ended with exit code %s" % self.exit_code)
        installed = []
        if folder:
            unix = os.path.join(os.environ["WINEPREFIX"], "drive_c", folder[3:].replace("\\", "/"))
            for base, _, files in os.walk(unix):
                installed += [os.path.relpath(os.path.join(base, f), unix) for f in files]
        lines += ["", "Analytics events the collector received:"] + ["  " + e for e in self.events()]
        lines += ["", "Installed files in %s:" % folder] + ["  " + f for f in sorted(installed)]
        lines += ["", "Installer command line:"] + ["  " + l for l in installer]
        lines += ["", "Console tool calls:"] + ["  " + l for l in console]
        lines += ["", "Emulator command line:"] + ["  " + l for l in player]
        lines += ["", "Result: " + ("the whole job worked" if not self.problems else "; ".join(self.problems))]
        report = os.path.join(self.out, "report.txt")
        with open(report, "w") as f:
            f.write("\n".join(lines) + "\n")
        say("%d analytics events reached the collector; report: %s" % (len(self.events()), os.path.relpath(report, ROOT)))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", required=True, help="the build folder of one target")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--edition", default="4", choices=["3", "4", "9", "64"])
    parser.add_argument("--market", default="en")
    parser.add_argument("--game", default="com.example.game", help="Android package, or none")
    parser.add_argument("--fail", default="none", choices=sorted(FAILURES))
    parser.add_argument("--interactive", action="store_true", help="a person clicks on the real display")
    parser.add_argument("--headless", action="store_true", help="handled by scripts/demo")
    args = parser.parse_args()

    demo = Demo(args)
    demo.exit_code = None
    installer = demo.prepare()
    demo.start_market(installer)
    try:
        demo.start_program()
        demo.follow()
        demo.report()
    finally:
        if demo.process and demo.process.poll() is None:
            demo.process.kill()
        demo.stop_market()
    if demo.problems:
        say("FAILED: " + "; ".join(demo.problems))
        return 1
    say("the whole job worked")
    return 0


if __name__ == "__main__":
    sys.exit(main())
