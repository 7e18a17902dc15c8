#!/usr/bin/env python3
"""Prints the sources a fuzz target is built from, found from its includes.

    python3 fuzz/sources.py TARGET

The code behind a project header is in the source of the same name beside it
(client/FolderScan.h: client/FolderScan.cpp), so following the target's
includes finds every source it needs. Only Windows-free sources are taken: a
file is bound to the platform when it includes a system header of the C
library or Windows (a <...h> header) other than <windows.h>, or a project file
that is bound. <windows.h> stands for the few conversions that fuzz/shim/
models; when a taken file includes it, the shim's model is taken too and the
first output line is "shim". The linker reports anything a target needs from
a source that was left out.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHIM = "fuzz/shim/windows.h"
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def includes(path):
    with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as f:
        return INCLUDE.findall(f.read())


def resolve(path, name):
    for candidate in (os.path.join(os.path.dirname(path), name), name):
        candidate = os.path.normpath(candidate)
        if os.path.isfile(os.path.join(ROOT, candidate)):
            return candidate
    return None


bound_cache = {}


def project_includes(path):
    return [p for kind, name in includes(path) if kind == '"' and (p := resolve(path, name))]


def bound(path, seen=()):
    """True when the file needs more of the platform than the shim models."""
    if path in bound_cache:
        return bound_cache[path]
    if path == SHIM or path in seen:
        return False
    result = any(kind == "<" and name.endswith(".h") and name != "windows.h" for kind, name in includes(path))
    result = result or any(bound(p, seen + (path,)) for p in project_includes(path))
    bound_cache[path] = result
    return result


def sources(target):
    start = f"fuzz/{target}.cpp"
    if not os.path.isfile(os.path.join(ROOT, start)):
        raise SystemExit(f"fuzz: no target {target}")
    taken, shim, queue, seen = [], False, [start], set()
    while queue:
        path = queue.pop()
        if path in seen:
            continue
        seen.add(path)
        if path.endswith(".cpp"):
            if path != start and bound(path):
                continue
            if path != start:
                taken.append(path)
        shim = shim or path == SHIM or ("<", "windows.h") in includes(path)
        for header in project_includes(path):
            queue.append(header)
            source = os.path.splitext(header)[0] + ".cpp"
            if not header.startswith("fuzz/") and os.path.isfile(os.path.join(ROOT, source)):
                queue.append(source)
    if shim:
        taken.append("fuzz/shim/platform.cpp")
    return shim, sorted(taken)


if __name__ == "__main__":
    shim, found = sources(sys.argv[1])
    if shim:
        print("shim")
    print("\n".join(found))
