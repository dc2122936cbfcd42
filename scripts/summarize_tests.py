#!/usr/bin/env python3
"""Sums the GoogleTest XML results of every preset into one closing line.

Usage: summarize_tests.py [--failed-step=NAME ...] RESULT_DIR ...
Prints the failing cases, then "N passed, M failed, K skipped"; exits 1 when
anything failed (a failed build, test executable or test case)."""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def main(argv):
    steps = [a.split("=", 1)[1] for a in argv if a.startswith("--failed-step=")]
    dirs = [a for a in argv if not a.startswith("--")]
    passed = failed = skipped = 0
    failures = []
    for d in dirs:
        preset = os.path.basename(os.path.dirname(d.rstrip("/")))
        for path in sorted(glob.glob(os.path.join(d, "*.xml"))):
            try:
                root = ET.parse(path).getroot()
            except ET.ParseError:
                failures.append(f"{preset}: {os.path.basename(path)} unreadable")
                failed += 1
                continue
            for case in root.iter("testcase"):
                name = f"{preset}: {case.get('classname', '')}.{case.get('name')}"
                if case.find("failure") is not None or case.find("error") is not None:
                    failed += 1
                    failures.append(name)
                elif case.get("status") == "notrun" or case.get("result") == "skipped" \
                        or case.find("skipped") is not None:
                    skipped += 1
                else:
                    passed += 1
    # A build that failed, or an executable that crashed or timed out before
    # writing its XML, is only known from the step; a ctest step whose failing
    # cases are already counted adds nothing.
    failed_presets = {f.split(":", 1)[0] for f in failures}
    for step in steps:
        kind, _, preset = step.partition(":")
        if kind == "ctest" and preset in failed_presets:
            continue
        failed += 1
        failures.append(step)
    for f in failures:
        print(f"FAILED {f}")
    print(f"{passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
