#!/usr/bin/env python3
"""Download benchmark: a 512 MiB file from a local nginx to disk, by curl, by bare Winsock and WinINet
loops under Wine, and by CHttpClientWrapper through each back-end; prints speed, CPU cost and peak
working set beside their targets.

    python3 bench/net_bench.py [--rounds N] [--build i686|x86_64]

Builds nothing: it runs net_bench.exe of both builds, build/i686-w64-mingw32/bin (the shipped 32-bit
program, under 32-bit Wine) and build/x86_64-w64-mingw32/bin, or of the one --build names (scripts/test
builds both), and prints a table for each build under its name; curl runs once and stands in both tables.
Where this machine's kernel cannot run 32-bit programs, the 32-bit build is reported as skipped and the
other one still runs. Wine runs in PELORA_WINEPREFIX, or build/wineprefix, which scripts/lib/wine-env makes
or makes anew as the tests do, with a persistent wineserver that is stopped at the end, which stops every
Wine program of that prefix. Every download is checked (size, SHA-256) and then deleted.
"""

import argparse
import hashlib
import json
import os
import shutil
import statistics
import subprocess
import sys
import time

# No __pycache__ is left beside the benchmarks in the checkout.
sys.dont_write_bytecode = True
import wine_builds  # noqa: E402
from wine_builds import BUILD, ROOT  # noqa: E402

WINE_MODES = ("winsock-bare", "wininet-bare", "wrapper-raw", "wrapper-wininet")
SERVERS = os.path.join(ROOT, "tools", "testserver", "servers.py")
MIB = 1024 * 1024
GIB = 1024 * MIB
RUN_TIMEOUT = 600

TARGET_CURL_RATIO = 0.65
TARGET_CPU_PER_GIB = 1.4
TARGET_PEAK_MIB = 32.0
TARGET_PEAK_SPREAD_MIB = 2.0


def sha256_of(path):
    sha = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(4 * MIB), b""):
            sha.update(block)
    return sha.hexdigest()


def checked(result, path, expected):
    """Adds ok/why to a run's result from the file it left, then deletes the file."""
    problems = []
    if not result.get("exit_ok"):
        problems.append("failed (%s)" % result.get("why", "exit status"))
    if not os.path.exists(path):
        problems.append("no file")
    else:
        size = os.path.getsize(path)
        if size != expected["size"]:
            problems.append("size %d, expected %d" % (size, expected["size"]))
        elif sha256_of(path) != expected["sha256"]:
            problems.append("SHA-256 differs")
        os.remove(path)
    result["ok"] = not problems
    result["why"] = "; ".join(problems)
    return result


def run_curl(url, path):
    start = time.perf_counter()
    proc = subprocess.Popen(["curl", "-s", "-S", "-o", path, url], stdin=subprocess.DEVNULL)
    deadline = start + RUN_TIMEOUT
    while True:
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid:
            break
        if time.perf_counter() > deadline:
            proc.kill()
            pid, status, usage = os.wait4(proc.pid, 0)
            break
        time.sleep(0.005)
    seconds = time.perf_counter() - start
    # Reaped by wait4 already; Popen must not wait for it again.
    proc.returncode = os.waitstatus_to_exitcode(status)
    return {"seconds": seconds, "cpu": usage.ru_utime + usage.ru_stime,
            "peak_ws": usage.ru_maxrss * 1024, "exit_ok": proc.returncode == 0}


class WineSession(wine_builds.WineSession):
    """What scripts/lib/session.sh does, without Xvfb: nothing here opens a window."""

    def stop(self):
        super().stop()
        if os.path.isdir(self.scratch_folder()):
            shutil.rmtree(self.scratch_folder())

    def scratch_folder(self):
        return self.drive_c("pelora-netbench")

    def scratch(self, name):
        """(Linux path, Windows path) of a scratch file on the prefix's C: drive."""
        os.makedirs(self.scratch_folder(), exist_ok=True)
        return os.path.join(self.scratch_folder(), name), "C:\\pelora-netbench\\" + name

    def run_mode(self, program, mode, url, windows_path):
        try:
            proc = subprocess.run(["wine", program, mode, url, windows_path], env=self.env,
                                  cwd=os.path.dirname(program), stdin=subprocess.DEVNULL, capture_output=True,
                                  text=True, timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            return {"exit_ok": False, "why": "timed out"}
        line = next((l for l in proc.stdout.splitlines() if l.startswith("mode=")), None)
        if line is None:
            return {"exit_ok": False, "why": "no result line: %s" % (proc.stdout + proc.stderr).strip()[-200:]}
        fields = dict(item.split("=", 1) for item in line.split())
        return {"seconds": float(fields["seconds"]), "cpu": float(fields["cpu_seconds"]),
                "peak_ws": int(fields["peak_ws"]), "base_ws": int(fields["base_ws"]),
                "calls": int(fields["calls"]), "exit_ok": proc.returncode == 0 and fields["ok"] == "1"}


def summary(runs):
    """One figure per run kind from its rounds: median time and CPU, highest peak; broken if any round broke."""
    broken = [r["why"] for r in runs if not r["ok"]]
    if broken:
        return {"ok": False, "why": broken[0]}
    result = {"ok": True, "why": "", "seconds": statistics.median(r["seconds"] for r in runs),
              "cpu": statistics.median(r["cpu"] for r in runs), "peak_ws": max(r["peak_ws"] for r in runs),
              "fastest": min(r["seconds"] for r in runs), "slowest": max(r["seconds"] for r in runs)}
    for key in ("base_ws", "calls"):
        if key in runs[0]:
            result[key] = max(r[key] for r in runs)
    return result


def mbps(result, size, seconds="seconds"):
    return size / 1e6 / result[seconds]


def cpu_per_gib(result, size):
    return result["cpu"] * GIB / size


def mark(good):
    return "ok  " if good else "MISS"


def bench_program(triple):
    return os.path.join(BUILD, triple, "bin", "net_bench.exe")


def print_table(results, files, rounds, triple):
    big = files["big512"]["size"]
    print()
    print(wine_builds.heading(triple))
    print("Download of %d MiB from nginx on 127.0.0.1 to disk; median of %d interleaved rounds (MB = 10^6 bytes)"
          % (big // MIB, rounds))
    print()
    print("%-16s %8s %12s %10s %12s %10s %7s %8s %8s" % ("run", "MB/s", "range MB/s", "CPU s/GiB", "peak WS MiB",
                                                          "Wine base", "blocks", "vs bare", "vs curl"))
    bare_of = {"wrapper-raw": "winsock-bare", "wrapper-wininet": "wininet-bare"}
    for name in ("curl", "winsock-bare", "wininet-bare", "wrapper-raw", "wrapper-wininet"):
        r = results[name]
        if not r["ok"]:
            print("%-16s BROKEN: %s" % (name, r["why"]))
            continue
        spread = "%.0f-%.0f" % (mbps(r, big, "slowest"), mbps(r, big, "fastest"))
        base = "%.1f" % (r["base_ws"] / MIB) if "base_ws" in r else "-"
        vs_bare = vs_curl = "-"
        if name in bare_of and results[bare_of[name]]["ok"]:
            vs_bare = "%.2fx" % (mbps(r, big) / mbps(results[bare_of[name]], big))
        if name != "curl" and results["curl"]["ok"]:
            vs_curl = "%.2fx" % (mbps(r, big) / mbps(results["curl"], big))
        blocks = str(r["calls"]) if "calls" in r else "-"
        print("%-16s %8.1f %12s %10.2f %12.1f %10s %7s %8s %8s" % (
            name, mbps(r, big), spread, cpu_per_gib(r, big), r["peak_ws"] / MIB, base, blocks, vs_bare, vs_curl))
    print("Every download's size and SHA-256 were checked. CPU: user+kernel of the downloading process "
          "(GetProcessTimes; curl: rusage), wineserver not included. Wine base: peak working set before the "
          "transfer; curl's peak is its max RSS. Blocks: receive calls of a bare loop, progress calls of a wrapper.")
    print()
    print("Peak working set by file size (wrapper, each run in a fresh process, highest of the rounds)")
    print("%-16s %10s %10s %10s" % ("back-end", "64 MiB", "512 MiB", "spread"))
    for name in ("wrapper-raw", "wrapper-wininet"):
        small, large = results[name + "@64"], results[name]
        if small["ok"] and large["ok"]:
            print("%-16s %10.1f %10.1f %10.1f" % (name, small["peak_ws"] / MIB, large["peak_ws"] / MIB,
                                                   abs(large["peak_ws"] - small["peak_ws"]) / MIB))
        else:
            print("%-16s BROKEN: %s" % (name, small["why"] or large["why"]))
    print()
    print("Targets per back-end: >= %.2fx native curl in the same run, <= %.1f CPU s/GiB, peak WS < %.0f MiB "
          "and the same for 64 and 512 MiB (within %.0f MiB)"
          % (TARGET_CURL_RATIO, TARGET_CPU_PER_GIB, TARGET_PEAK_MIB, TARGET_PEAK_SPREAD_MIB))
    for name in ("wrapper-raw", "wrapper-wininet"):
        r, curl, small = results[name], results["curl"], results[name + "@64"]
        if not (r["ok"] and curl["ok"] and small["ok"]):
            print("%-16s not measured: a run broke" % name)
            continue
        ratio = mbps(r, big) / mbps(curl, big)
        cpu = cpu_per_gib(r, big)
        peak = r["peak_ws"] / MIB
        spread = abs(r["peak_ws"] - small["peak_ws"]) / MIB
        print("%-16s %s %.2fx curl (>= %.2fx)  %s %.2f CPU s/GiB (<= %.1f)  %s peak %.1f MiB (< %.0f)  "
              "%s 64/512 MiB differ by %.1f MiB (<= %.0f)" % (
                  name, mark(ratio >= TARGET_CURL_RATIO), ratio, TARGET_CURL_RATIO,
                  mark(cpu <= TARGET_CPU_PER_GIB), cpu, TARGET_CPU_PER_GIB, mark(peak < TARGET_PEAK_MIB), peak,
                  TARGET_PEAK_MIB, mark(spread <= TARGET_PEAK_SPREAD_MIB), spread, TARGET_PEAK_SPREAD_MIB))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("--servers-dir", default=os.path.join(BUILD, "net-bench-servers"),
                    help="folder for the local servers and their big files (kept between runs)")
    ap.add_argument("--rounds", type=int, default=3, choices=range(1, 21), metavar="1..20",
                    help="rounds of every run kind; the table shows medians (default 3)")
    wine_builds.add_build_option(ap)
    args = ap.parse_args()
    triples = wine_builds.chosen_builds(args)
    for triple in triples:
        if not os.path.exists(bench_program(triple)):
            print("no %s: run scripts/test first, which builds it" % bench_program(triple), file=sys.stderr)
            return 2

    servers_dir = os.path.realpath(args.servers_dir)
    wine = WineSession()
    wine.prepare()
    runnable = [triple for triple in triples if wine.why_not(triple) is None]
    if not runnable:
        for triple in triples:
            wine_builds.print_skipped(triple, wine.why_not(triple))
        return 0
    try:
        subprocess.run([sys.executable, SERVERS, "start", "--dir", servers_dir, "--big512"], check=True,
                       stdin=subprocess.DEVNULL, timeout=RUN_TIMEOUT)
        with open(os.path.join(servers_dir, "servers.json")) as f:
            info = json.load(f)
        files = info["files"]

        def url(name):
            return "http://127.0.0.1:%d%s" % (info["nginx"], files[name]["path"])

        wine.start()
        # Rounds interleave the run kinds so that a slow spell of this machine touches all of them alike.
        # (build or None for curl, mode, file, key of its results in that build's table)
        kinds = [(None, "curl", "big512", "curl")]
        for triple in runnable:
            kinds += [(triple, mode, "big512", mode) for mode in WINE_MODES]
            kinds += [(triple, mode, "big64", mode + "@64") for mode in ("wrapper-raw", "wrapper-wininet")]
        runs = {(triple, key): [] for triple, _, _, key in kinds}
        for round_no in range(1, args.rounds + 1):
            for triple, mode, name, key in kinds:
                if mode == "curl":
                    linux_path = os.path.join(servers_dir, "curl-download.bin")
                    result = run_curl(url(name), linux_path)
                else:
                    linux_path, windows_path = wine.scratch("download.bin")
                    if os.path.exists(linux_path):
                        os.remove(linux_path)
                    result = wine.run_mode(bench_program(triple), mode, url(name), windows_path)
                runs[(triple, key)].append(checked(result, linux_path, files[name]))
            print("  round %d of %d done" % (round_no, args.rounds), file=sys.stderr)
        curl = summary(runs[(None, "curl")])
        every_ok = curl["ok"]
        for triple in triples:
            if triple not in runnable:
                wine_builds.print_skipped(triple, wine.why_not(triple))
                continue
            results = {key: summary(each) for (of, key), each in runs.items() if of == triple}
            results["curl"] = curl
            print_table(results, files, args.rounds, triple)
            every_ok = every_ok and all(r["ok"] for r in results.values())
        return 0 if every_ok else 1
    finally:
        wine.stop()
        subprocess.run([sys.executable, SERVERS, "stop", "--dir", servers_dir], stdin=subprocess.DEVNULL,
                       timeout=RUN_TIMEOUT)


if __name__ == "__main__":
    sys.exit(main())
