#!/usr/bin/env python3
"""Includes between the rooms of src/ run one way, downwards.

A room is a folder of src/ (src/main.cpp is the room "main"). ROOMS lists them from the top
down; rooms on one line are peers and know nothing of each other. An include may stay in its
room or reach a room on a lower line. The check names every include that runs up or
sideways, every room it does not know, and every circle of includes between files.

Usage: check_layering.py <src folder>
"""
import os
import re
import sys

ROOMS = [
    ["main"],
    ["driver", "platform/win32"],
    ["package", "csp"],
    ["lifetime"],
    ["cache"],
    ["wait", "files", "restart"],
    ["run"],
    ["log"],
    ["command_text"],
    ["resources"],
    ["platform"],
]
LINE_OF = {room: line for line, rooms in enumerate(ROOMS) for room in rooms}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCES = (".h", ".cpp", ".c", ".rc", ".inc")


def room_of(relative_path):
    folder = os.path.dirname(relative_path)
    return folder if folder else os.path.splitext(relative_path)[0]


def read_includes(src):
    """{file relative to src: [(line number, included file relative to src)]}"""
    includes = {}
    for folder, _, names in os.walk(src):
        for name in names:
            if not name.endswith(SOURCES):
                continue
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, src).replace(os.sep, "/")
            found = []
            with open(path, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    target = match.group(1)
                    if "/" not in target:  # beside the including file
                        target = os.path.join(os.path.dirname(relative), target).replace(os.sep, "/")
                    found.append((number, target))
            includes[relative] = found
    return includes


def wrong_arrows(includes):
    problems = []
    for path, found in sorted(includes.items()):
        origin = room_of(path)
        for number, target in found:
            destination = room_of(target)
            where = f"src/{path}:{number}: #include \"{target}\""
            if origin not in LINE_OF or destination not in LINE_OF:
                unknown = origin if origin not in LINE_OF else destination
                problems.append(f"{where}: the room {unknown}/ is not in the list of rooms")
            elif origin != destination and LINE_OF[destination] <= LINE_OF[origin]:
                way = "sideways, to a peer," if LINE_OF[destination] == LINE_OF[origin] else "up"
                problems.append(f"{where}: runs {way} from {origin}/ to {destination}/")
    return problems


def circles(includes):
    problems = []
    state = {}  # 1: on the current path, 2: done

    def visit(path, trail):
        state[path] = 1
        for _, target in includes.get(path, []):
            if target not in includes:
                continue
            if state.get(target) == 1:
                loop = trail[trail.index(target):] + [target]
                problems.append("a circle of includes: " + " -> ".join(f"src/{p}" for p in loop))
            elif target not in state:
                visit(target, trail + [target])
        state[path] = 2

    for path in sorted(includes):
        if path not in state:
            visit(path, [path])
    return problems


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    includes = read_includes(sys.argv[1])
    problems = wrong_arrows(includes) + circles(includes)
    for problem in problems:
        print(problem)
    arrows = sum(len(found) for found in includes.values())
    print(f"{len(includes)} files, {arrows} includes of our own, {len(problems)} problems")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
