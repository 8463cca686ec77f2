#!/usr/bin/env python3
"""The test command's closing line, from what CTest reported: the JUnit
files of the test presets (build/junit/PRESET.xml), and the checks the
script ran itself, given as NAME:COUNT.

    junit_summary.py FILE.xml... [NAME:COUNT...]

Exits 1 when a test failed or did not run, or when a file names no test."""
import sys
import xml.etree.ElementTree as ET

passed = failed = skipped = 0
parts = []
for arg in sys.argv[1:]:
    if arg.endswith(".xml"):
        suite = ET.parse(arg).getroot()
        name = arg.rsplit("/", 1)[-1][:-4]
        cases = suite.findall("testcase")
        # A test that GoogleTest skipped did not run, with CTest's message.
        skipped_here = [c for c in cases if c.get("status") == "notrun" and
                        (c.find("skipped") is not None and
                         c.find("skipped").get("message", "").startswith("SKIP_"))]
        skip = len(skipped_here)
        bad = [c.get("name") for c in cases if c not in skipped_here and
               (c.get("status") != "run" or c.find("failure") is not None)]
        passed += len(cases) - len(bad) - skip
        if not cases:
            bad.append(f"(no test in {arg})")
        failed += len(bad)
        skipped += skip
        parts.append(f"{name} {len(cases)}")
        for b in bad:
            print(f"failed: {name}: {b}", file=sys.stderr)
    else:
        name, count = arg.split(":")
        passed += int(count)
        parts.append(f"{name} {count}")
print(f"checks: {passed} passed, {failed} failed, {skipped} skipped ({', '.join(parts)})")
sys.exit(1 if failed else 0)
