#!/usr/bin/env python3
"""Counts test cases after the ctest runs of one or more builds:

    summarize_tests.py BUILD=RESULTS_DIR [BUILD=RESULTS_DIR ...]

Each test program's GoogleTest report gives its cases; a build that could not run on this machine left
not-run.txt (why) and not-run.json (ctest's list of its tests) instead, and each of its tests is a skip; a program that failed without a report (a crash,
a hang) counts as one failed case, and so does a program ctest did not run (its fixture failed).
Fixtures (servers that ctest starts and stops, named "fixture:...") count only when they fail. Every
failure and every skipped case is named with its build; skips give their reason. Ends with the line
"N passed, N failed" summed over the builds and exits 1 when anything failed or nothing ran."""
import json
import pathlib
import sys
import xml.etree.ElementTree as ET


class Tally:
    def __init__(self):
        self.passed = 0
        self.failed = []   # "build: what"
        self.skipped = []  # "build: case: reason"


def count_report(report, build, tally):
    """Adds the cases of one GoogleTest XML report; returns how many failed."""
    failed = 0
    for case in ET.parse(report).getroot().iter("testcase"):
        name = "%s.%s" % (case.get("classname"), case.get("name"))
        skipped = case.find("skipped")
        if case.get("result") == "skipped" or skipped is not None or case.get("status") == "notrun":
            reason = skipped.get("message", "") if skipped is not None else "disabled"
            tally.skipped.append("%s: %s: %s" % (build, name, " ".join(reason.split()) or "no reason given"))
        elif case.find("failure") is not None or case.find("error") is not None:
            tally.failed.append("%s: %s" % (build, name))
            failed += 1
        else:
            tally.passed += 1
    return failed


def count_not_run(build, results, tally):
    """A build this machine cannot run: each of its test programs is a skip with the reason."""
    reason = (results / "not-run.txt").read_text().strip()
    tests = json.loads((results / "not-run.json").read_text()).get("tests", [])
    for name in (test["name"] for test in tests):
        if not name.startswith("fixture:"):
            tally.skipped.append("%s: %s (every case): %s" % (build, name, reason))


def count_build(build, results, tally):
    if (results / "not-run.txt").exists():
        count_not_run(build, results, tally)
        return
    junit = results / "ctest.junit"
    if not junit.exists():
        tally.failed.append("%s: ctest wrote no results (%s)" % (build, junit))
        return
    for program in ET.parse(junit).getroot().iter("testcase"):
        name = program.get("name")
        status = program.get("status")
        program_failed = status == "fail" or program.find("failure") is not None
        report = results / f"{name}.xml"
        if status == "notrun":
            tally.failed.append("%s: %s did not run (a fixture it needs failed, or it was not built)" % (build, name))
        elif name.startswith("fixture:"):
            if program_failed:
                tally.failed.append("%s: %s" % (build, name))
        elif report.exists():
            if count_report(report, build, tally) == 0 and program_failed:
                tally.failed.append("%s: %s failed after its test cases passed" % (build, name))
        elif program_failed:
            tally.failed.append("%s: %s failed without a report (crash or time-out)" % (build, name))
        else:
            tally.passed += 1


def main(pairs):
    tally = Tally()
    for pair in pairs:
        build, _, results = pair.partition("=")
        count_build(build, pathlib.Path(results), tally)
    for line in tally.skipped:
        print("skipped in " + line)
    for line in tally.failed:
        print("FAILED in " + line)
    print(f"{tally.passed} passed, {len(tally.failed)} failed")
    return 0 if not tally.failed and tally.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
