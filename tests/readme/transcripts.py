#!/usr/bin/env python3
"""The README's sessions, run as a reader would run them.

Every fenced block that follows the line <!-- transcript --> is a session:
lines starting with "$ " are commands, the lines after each command are
what it prints. A line "..." stands for any number of lines the README
leaves out; blanks at the ends of lines are not compared (the README drops
the trailing blank of printed numbers). The sessions of one README run in
order in one fresh folder, where build/ is the build folder under test, so
that a later session can use the files an earlier one saved.

usage: transcripts.py README BUILD
"""
import os
import re
import subprocess
import sys
import tempfile


def sessions(readme):
    lines = open(readme, encoding="utf-8").read().split("\n")
    found = []
    for i, line in enumerate(lines):
        if line.strip() != "<!-- transcript -->":
            continue
        start = i + 1
        if start >= len(lines) or not lines[start].startswith("```"):
            sys.exit(f"{readme}:{i + 1}: a transcript mark not followed by a fenced block")
        end = next(k for k in range(start + 1, len(lines)) if lines[k].startswith("```"))
        found.append((start + 2, lines[start + 1:end]))
    return found


def steps(first_line, block):
    """(line number, command, expected lines) for each command of a block."""
    result = []
    for offset, line in enumerate(block):
        if line.startswith("$ "):
            result.append((first_line + offset, line[2:], []))
        elif result:
            result[-1][2].append(line)
        else:
            sys.exit(f"line {first_line + offset}: output before any command")
    return result


def matches(expected, actual):
    """Whether the lines match, "..." standing for any lines."""
    if not expected:
        return not actual
    if expected[0] == "...":
        return any(matches(expected[1:], actual[k:]) for k in range(len(actual) + 1))
    return bool(actual) and expected[0].rstrip() == actual[0].rstrip() and matches(expected[1:], actual[1:])


def main():
    readme, build = sys.argv[1], os.path.abspath(sys.argv[2])
    found = sessions(readme)
    if not found:
        sys.exit(f"{readme}: no transcript")
    failures = 0
    with tempfile.TemporaryDirectory(prefix="tessel-readme-") as folder:
        os.symlink(build, os.path.join(folder, "build"))
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(folder, "config"), LANG="C.UTF-8")
        env.pop("TESSEL_DISPLAY", None)
        for first_line, block in found:
            for line, command, expected in steps(first_line, block):
                run = subprocess.run(["bash", "-c", command], cwd=folder, env=env, capture_output=True,
                                     timeout=120)
                actual = run.stdout.decode("utf-8", "replace").split("\n")
                if actual and actual[-1] == "":
                    actual.pop()
                if run.returncode != 0 or not matches(expected, actual):
                    failures += 1
                    print(f"{readme}:{line}: $ {command}\n  status {run.returncode}; it printed:")
                    print("\n".join("  | " + a for a in actual))
                    if run.stderr:
                        print("  and on standard error:\n" + run.stderr.decode("utf-8", "replace"))
    count = sum(len(steps(f, b)) for f, b in found)
    print(f"{count - failures} of {count} README commands print what the README shows")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
