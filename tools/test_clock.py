#!/usr/bin/env python3
"""Where the time of `make test` goes.

  test_clock.py LOG --reset            starts a new record
  test_clock.py LOG PART COMMAND...    runs COMMAND, passes its output on as it comes, and adds
                                       its wall time to PART; where COMMAND is a ctest run, each
                                       case's own start and end too
  test_clock.py LOG --summary          prints each part's wall time and the slowest cases

Cases named dist.* count as "dist cases", the others of a run as its PART. Under `ctest -j`
cases run side by side, so a part of cases is timed from its first case's start to its last
case's end. Exits with COMMAND's status.
"""
import json
import os
import re
import subprocess
import sys
import time

# ctest prints these as a case starts and ends, also without --verbose.
CASE_START = re.compile(r"^\s*Start\s+\d+: (\S+)$")
CASE_END = re.compile(r"^\s*\d+/\d+ Test\s+#\d+: (\S+) \.*\**\s*(\S.*?)\s+([\d.]+) sec$")
SLOWEST = 5
PARTS = ("builds", "unit", "fuzz", "lint", "Wine cases", "dist cases")


def case_part(name, part):
    return "dist cases" if name.startswith("dist.") else part


def run(log, part, command):
    started = time.monotonic()
    records = []
    case_starts = {}
    with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace", bufsize=1) as child:
        for line in child.stdout:
            sys.stdout.write(line)
            sys.stdout.flush()
            now = time.monotonic()
            line = line.rstrip("\n")
            if match := CASE_START.match(line):
                case_starts[match[1]] = now
            elif (match := CASE_END.match(line)) and match[1] in case_starts:
                records.append({"case": match[1], "part": case_part(match[1], part),
                                "start": case_starts.pop(match[1]), "end": now,
                                "seconds": float(match[3]), "result": match[2]})
    records.append({"part": part, "start": started, "end": time.monotonic()})
    # A target such as `make lint` may be the first to run in a fresh clone.
    os.makedirs(os.path.dirname(log) or ".", exist_ok=True)
    with open(log, "a", encoding="utf-8") as out:
        for record in records:
            out.write(json.dumps(record) + "\n")
    return child.returncode


def minutes(seconds):
    return f"{int(seconds // 60)} min {seconds % 60:4.1f} s" if seconds >= 60 else f"{seconds:.1f} s"


def summary(log):
    try:
        with open(log, encoding="utf-8") as records:
            entries = [json.loads(line) for line in records]
    except FileNotFoundError:
        return 0
    cases = [entry for entry in entries if "case" in entry]
    runs = [entry for entry in entries if "case" not in entry]
    print("\nWhere the time went:")
    for part in PARTS:
        of_part = [case for case in cases if case["part"] == part]
        if of_part:
            wall = max(case["end"] for case in of_part) - min(case["start"] for case in of_part)
            detail = f"{len(of_part)} cases, {minutes(sum(c['seconds'] for c in of_part))} one by one"
        else:
            commands = [run for run in runs if run["part"] == part]
            if not commands:
                continue
            wall = sum(run["end"] - run["start"] for run in commands)
            detail = f"{len(commands)} step{'' if len(commands) == 1 else 's'}"
        print(f"  {part:<11} {minutes(wall):>13}  ({detail})")
    if runs:
        total = max(run["end"] for run in runs) - min(run["start"] for run in runs)
        print(f"  {'in all':<11} {minutes(total):>13}")
    if cases:
        print(f"Slowest {min(SLOWEST, len(cases))} cases:")
        for case in sorted(cases, key=lambda c: c["seconds"], reverse=True)[:SLOWEST]:
            print(f"  {case['seconds']:7.1f} s  {case['case']}")
    return 0


def main(arguments):
    if len(arguments) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    log, what = arguments[0], arguments[1]
    if what == "--reset":
        open(log, "w", encoding="utf-8").close()
        return 0
    if what == "--summary":
        return summary(log)
    if len(arguments) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    return run(log, what, arguments[2:])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
