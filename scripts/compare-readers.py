#!/usr/bin/env python3
"""Compares what the two builds' readers delivered for every feed of the corpus.

Reads two feeddump outputs (the POSIX reader's and the platform reader's under Wine) and the list
of known differences in docs/reader-differences.md (a table whose first column names a feed file).
Prints the counts, every difference, and fails on a difference that the list does not name.
"""
import re
import sys


def sections(path):
    result = {}
    name = None
    with open(path, "rb") as dump:
        for raw in dump:
            line = raw.decode("ascii", "replace").rstrip("\n")
            if line.startswith("== "):
                name = line[3:]
                result[name] = []
            elif name is not None:
                result[name].append(line)
    return result


def item_count(lines):
    return sum(1 for line in lines if line.startswith("-- item "))


def known_differences(path):
    known = {}
    with open(path, encoding="utf-8") as doc:
        for line in doc:
            match = re.match(r"\|\s*`?([^|`]+?)`?\s*\|\s*([^|]+?)\s*\|", line)
            if match and match.group(1) not in ("feed", "---") and not set(match.group(1)) <= set("-: "):
                known[match.group(1)] = match.group(2)
    return known


def first_difference(a, b):
    for index, (left, right) in enumerate(zip(a, b)):
        if left != right:
            return index, left, right
    index = min(len(a), len(b))
    return index, a[index] if index < len(a) else "(end)", b[index] if index < len(b) else "(end)"


def main():
    posix_path, windows_path, list_path = sys.argv[1:4]
    posix, windows = sections(posix_path), sections(windows_path)
    known = known_differences(list_path)
    names = sorted(set(posix) | set(windows))
    differ, unlisted = [], []
    for name in names:
        a, b = posix.get(name, ["(missing)"]), windows.get(name, ["(missing)"])
        if a != b:
            differ.append(name)
            index, left, right = first_difference(a, b)
            mark = "listed" if name in known else "NOT LISTED"
            print(f"differs ({mark}): {name}: items {item_count(a)} natively, {item_count(b)} under Wine;"
                  f" first at line {index + 1}:\n    native: {left[:160]}\n    wine:   {right[:160]}")
            if name not in known:
                unlisted.append(name)
    stale = sorted(set(known) - set(differ))
    for name in stale:
        print(f"listed but no longer different: {name}")
    print(f"readers: {len(names)} feeds; items {sum(item_count(posix.get(n, [])) for n in names)} natively,"
          f" {sum(item_count(windows.get(n, [])) for n in names)} under Wine;"
          f" {len(differ)} feeds differ, {len(unlisted)} of them not listed")
    return 1 if unlisted else 0


if __name__ == "__main__":
    sys.exit(main())
