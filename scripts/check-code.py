#!/usr/bin/env python3
"""Checks two rules of the project's C and C++ code that the compilers do not.

1. No banned call: the unbounded or non-re-entrant text and number functions below are never
   called (comments do not count). Text and numbers go through base/text.h.
2. The include directions between folders: each folder includes only the folders listed for it,
   so the layering of docs/architecture.md holds and no circle can come back.

Prints every breach and exits 1 when there is one.
"""
import os
import re
import sys

BANNED = [
    "strcpy", "strcat", "strncpy", "strncat", "sprintf", "vsprintf", "gets", "strtok", "atoi",
    "atol", "wcscpy", "wcscat", "lstrcpyA", "lstrcatA", "lstrcpy", "lstrcat", "_mbscpy",
    "_mbscat", "_tcscpy", "_tcscat", "StrCpyA", "StrCatA",
]

# Which project folders each folder may include from (besides itself and the C/C++ and system
# headers). The tests, fuzz targets, benchmarks and tools sit above everything.
ALLOWED = {
    "platform": set(),
    "res": set(),
    "base": {"platform"},
    "feed": {"base", "platform"},
    "compose": {"feed", "base", "platform"},
    "fetch": {"base", "platform"},
    "refresh": {"fetch", "compose", "feed", "base", "platform"},
    "settings": {"refresh", "base", "platform", "res"},
    "style": {"compose", "base", "platform"},
    "host": {"settings", "refresh", "fetch", "compose", "feed", "style", "base", "platform",
             "res"},
    "standin": {"base", "platform", "res"},
}
TOP = {"tests", "fuzz", "bench", "tools"}
FOLDERS = set(ALLOWED) | TOP

CALL = re.compile(r"\b(" + "|".join(map(re.escape, BANNED)) + r")\s*\(")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def strip_comments_and_strings(text):
    text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    return re.sub(r'"(?:\\.|[^"\\\n])*"', '""', text)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    breaches = []
    for folder in sorted(FOLDERS):
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h", ".c")):
                    continue
                path = os.path.join(directory, name)
                relative = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as source:
                    text = source.read()
                code = strip_comments_and_strings(text)
                for number, line in enumerate(code.split("\n"), 1):
                    for match in CALL.finditer(line):
                        breaches.append(f"{relative}:{number}: banned call {match.group(1)}")
                if folder in TOP:
                    continue
                for number, line in enumerate(text.split("\n"), 1):
                    match = INCLUDE.match(line)
                    if not match or "/" not in match.group(1):
                        continue
                    target = match.group(1).split("/")[0]
                    if target in FOLDERS and target != folder and target not in ALLOWED[folder]:
                        breaches.append(f"{relative}:{number}: {folder}/ may not include "
                                        f"{match.group(1)}")
    for breach in breaches:
        print(breach)
    print(f"code check: {len(breaches)} breach(es)")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
