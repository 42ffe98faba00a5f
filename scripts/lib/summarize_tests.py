#!/usr/bin/env python3
"""Counts test cases after a ctest run: each test program's GoogleTest report gives its cases; a
program that failed without a report (a crash, a hang) counts as one failed case. Prints
"N passed, N failed" and exits 1 when anything failed or nothing ran. Fixtures (servers that
ctest starts and stops, named "fixture:...") count only when they fail."""
import pathlib
import sys
import xml.etree.ElementTree as ET


def gtest_counts(report):
    root = ET.parse(report).getroot()
    failed = passed = 0
    for case in root.iter("testcase"):
        if case.get("result", "completed") == "skipped" or case.get("status") == "notrun":
            continue
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        else:
            passed += 1
    return passed, failed


def main(results):
    results = pathlib.Path(results)
    junit = results / "ctest.junit"
    if not junit.exists():
        print("0 passed, 1 failed")
        return 1
    passed = failed = 0
    for program in ET.parse(junit).getroot().iter("testcase"):
        name = program.get("name")
        program_failed = program.get("status") == "fail" or program.find("failure") is not None
        report = results / f"{name}.xml"
        if name.startswith("fixture:"):
            failed += 1 if program_failed else 0
        elif report.exists():
            p, f = gtest_counts(report)
            if program_failed and f == 0:
                print(f"{name}: the program failed after its test cases passed", file=sys.stderr)
                f = 1
            passed, failed = passed + p, failed + f
        elif program_failed:
            failed += 1
        else:
            passed += 1
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
