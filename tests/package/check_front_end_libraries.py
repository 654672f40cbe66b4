#!/usr/bin/env python3
"""The window and tessaly-cli never draw a page, so they must not load Qt WebEngine at start;
only tessaly-worker may. Reads each program's NEEDED entries with readelf -d.

Usage: check_front_end_libraries.py TESSALY_WORKER FRONT_END...
"""

import re
import subprocess
import sys

BROWSER_LIBRARY = re.compile(r"^libQt6WebEngine")


def needed_libraries(program):
    dynamic = subprocess.run(["readelf", "-d", program], check=True, capture_output=True, text=True).stdout
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic)


def browser_libraries(program):
    return [name for name in needed_libraries(program) if BROWSER_LIBRARY.match(name)]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    worker, front_ends = sys.argv[1], sys.argv[2:]
    problems = []
    # Without this the check would pass on a readelf that lists nothing.
    if not browser_libraries(worker):
        problems.append(f"{worker}: links no libQt6WebEngine*, yet it renders HTML bodies")
    for program in front_ends:
        for name in browser_libraries(program):
            problems.append(f"{program}: links {name}")
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
