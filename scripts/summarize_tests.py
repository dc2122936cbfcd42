#!/usr/bin/env python3
"""Sums the test results of every preset into one closing line.

Usage: summarize_tests.py [--failed-step=NAME ...] RESULT_DIR ...
A RESULT_DIR (build/<preset>/test-results) holds the GoogleTest XML of each
test executable (<test>.xml; build/android/test-results holds Surefire's
TEST-<class>.xml instead, read the same way) and the JUnit files of the ctest runs
(<kind>.junit.xml, from ctest --output-junit) and of a memory check
(memcheck.dynamic.xml, ctest -T memcheck's DynamicAnalysis.xml). A GoogleTest
executable counts its cases; a ctest test without GoogleTest results
(consumer, soak, fuzz) counts as one case; an executable that failed although
none of its cases did (a crash at exit, a time-out) counts one failure more;
each test of a memory check is a case of its own.
Prints the failing cases, then "N passed, M failed, K skipped"; exits 1 when
anything failed (a failed build, ctest run or test case)."""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def outcome(case):
    """'failed', 'skipped' or 'passed' for a GoogleTest or ctest testcase."""
    if case.find("failure") is not None or case.find("error") is not None \
            or case.get("status") == "fail":
        return "failed"
    if case.get("status") in ("notrun", "disabled") or case.get("result") == "skipped" \
            or case.find("skipped") is not None:
        return "skipped"
    return "passed"


def main(argv):
    steps = [a.split("=", 1)[1] for a in argv if a.startswith("--failed-step=")]
    dirs = [a for a in argv if not a.startswith("--")]
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    failures = []

    def count(result, name):
        counts[result] += 1
        if result == "failed":
            failures.append(name)

    def elements(path, tag, unreadable):
        """The tag elements of an XML file; None, counted as a failure named
        unreadable, when the file cannot be read."""
        try:
            return list(ET.parse(path).getroot().iter(tag))
        except ET.ParseError:
            count("failed", unreadable)
            return None

    for d in dirs:
        preset = os.path.basename(os.path.dirname(d.rstrip("/")))
        gtest = {}
        for path in sorted(glob.glob(os.path.join(d, "*.xml"))):
            if path.endswith((".junit.xml", ".dynamic.xml")):
                continue
            test = os.path.basename(path)[:-len(".xml")]
            cases = elements(path, "testcase", f"{preset}: {test}.xml unreadable")
            if cases is None:
                continue
            gtest[test] = cases
            for case in cases:
                count(outcome(case), f"{preset}: {case.get('classname', '')}.{case.get('name')}")
        for path in sorted(glob.glob(os.path.join(d, "*.dynamic.xml"))):
            tests = elements(path, "Test", f"{preset}: memory check results unreadable")
            for test in tests or []:
                if test.get("Status") is None:
                    continue  # the list of tests run, not a result
                result = "passed" if test.get("Status") == "passed" else "failed"
                count(result, f"{preset}: memcheck {test.findtext('Name')}")
        for path in sorted(glob.glob(os.path.join(d, "*.junit.xml"))):
            kind = os.path.basename(path)[:-len(".junit.xml")]
            cases = elements(path, "testcase", f"{preset}: {kind} results unreadable")
            for case in cases or []:
                test, result = case.get("name"), outcome(case)
                if test not in gtest:
                    count(result, f"{preset}: {test}")
                elif result == "failed" and all(outcome(c) != "failed" for c in gtest[test]):
                    count(result, f"{preset}: {test} (the executable failed)")
    # A build that failed is only known from the step; a ctest step whose
    # failing cases are already counted adds nothing.
    failed_presets = {f.split(":", 1)[0] for f in failures}
    for step in steps:
        kind, _, preset = step.partition(":")
        if kind in ("ctest", "memcheck") and preset in failed_presets:
            continue
        count("failed", step)
    for f in failures:
        print(f"FAILED {f}")
    print(f"{counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped")
    return 1 if counts["failed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
