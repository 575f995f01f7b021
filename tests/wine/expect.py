"""Exact checks for scenarios, with messages that show what differed."""

from __future__ import annotations

import dataclasses
import difflib
import re

from run_result import Box, RunResult


@dataclasses.dataclass(frozen=True)
class ExpectedBox:
    """What one box must show. has_icon and owned_by_hidden_static are checked unless
    None."""

    caption: str
    text: str
    buttons: tuple[str, ...]
    has_icon: bool | None = None
    owned_by_hidden_static: bool | None = None


def _text_difference(actual: str, expected: str) -> str:
    lines = difflib.unified_diff(expected.splitlines(keepends=True),
                                 actual.splitlines(keepends=True), "expected", "actual")
    return "".join(repr(line) + "\n" for line in lines)


def expect_equal(actual, expected, what: str) -> None:
    if actual == expected:
        return
    message = f"{what}: expected {expected!r}, got {actual!r}"
    if isinstance(actual, str) and isinstance(expected, str):
        message += "\n" + _text_difference(actual, expected)
    raise AssertionError(message)


def expect_box(box: Box, expected: ExpectedBox, where: str) -> None:
    expect_equal(box.complete, True, f"{where}: the box could be read completely")
    expect_equal(box.caption, expected.caption, f"{where}: caption")
    expect_equal(box.text, expected.text, f"{where}: text")
    expect_equal(tuple(box.buttons), expected.buttons, f"{where}: buttons")
    if expected.has_icon is not None:
        expect_equal(box.has_icon, expected.has_icon, f"{where}: icon shown")
    if expected.owned_by_hidden_static is not None:
        expect_equal(box.owned_by_hidden_static, expected.owned_by_hidden_static,
                     f"{where}: owned by the hidden STATIC window (owner {box.owner})")


def expect_tmp_files(result: RunResult, install_logs: list[str], what: str = "files in TMP",
                     own_log: bool = True) -> None:
    """TMP holds exactly the program's own log (unless `own_log` is False) and
    `install_logs`."""
    expect_equal((len(result.own_logs), result.install_logs), (int(own_log), install_logs),
                 f"{what} (the program's own logs, the others) among {result.tmp_files}")


def expect_log_lines(result: RunResult, expected: list[str | re.Pattern],
                     whole: bool = False) -> None:
    """The program's own log holds `expected` in this order (all of it and nothing else when
    `whole`); a pattern matches a whole line."""
    lines = result.run_log_lines()
    if whole:
        expect_equal(len(lines), len(expected), f"number of lines of the log {lines}")
    position = 0
    for line in expected:
        matches = (lambda text: line.fullmatch(text) is not None) if isinstance(
            line, re.Pattern) else (lambda text: text == line)
        while position < len(lines) and not matches(lines[position]):
            if whole:
                expect_equal(lines[position], line, f"line {position + 1} of the log")
            position += 1
        if position == len(lines):
            raise AssertionError(f"the log lacks, or has out of order: {line!r}\n"
                                 + "\n".join(lines))
        position += 1


def expect_run(result: RunResult, exit_code: int, boxes: list[ExpectedBox]) -> None:
    """The run ended by itself with `exit_code`, showed exactly `boxes` in this order, and
    every box was answered as the scenario said."""
    expect_equal(result.outcome, "exit-code", "how the run ended")
    expect_equal(len(result.boxes), len(boxes),
                 "number of boxes (seen: " + repr([b.caption for b in result.boxes]) + ")")
    for index, (box, expected) in enumerate(zip(result.boxes, boxes), start=1):
        expect_box(box, expected, f"box {index}")
        expect_equal(box.result, "answered", f"box {index}: answer given")
    expect_equal(result.driver_end.get("end"), "done", "box driver's end")
    expect_equal(result.exit_code, exit_code, "exit code")
