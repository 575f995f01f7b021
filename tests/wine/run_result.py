"""What one run of the program under test gave back: exit code, boxes, output, files."""

from __future__ import annotations

import dataclasses
import re
from pathlib import Path


@dataclasses.dataclass
class Box:
    """One message box or dialog as box_driver.exe saw it."""

    caption: str
    text: str
    buttons: list[str]
    has_icon: bool
    owner: dict | None
    kind: str
    process: str
    answer: str | None
    result: str
    closed: bool
    controls: list[dict]
    complete: bool  # False: the box's thread left questions unanswered; fields may be missing

    @classmethod
    def from_record(cls, record: dict) -> "Box":
        return cls(caption=record["caption"], text=record["text"], buttons=record["buttons"],
                   has_icon=record["has_icon"], owner=record["owner"], kind=record["kind"],
                   process=record["process"], answer=record["answer"],
                   result=record["result"], closed=record["closed"],
                   controls=record["controls"], complete=record.get("complete", True))

    @property
    def owned_by_hidden_static(self) -> bool:
        """The owner is the bootstrapper's hidden, disabled "STATIC" window."""
        return (self.owner is not None and self.owner["class"].upper() == "STATIC"
                and not self.owner["visible"] and not self.owner["enabled"])

    def describe(self) -> str:
        owner = "none" if self.owner is None else (
            f'{self.owner["class"]} visible={self.owner["visible"]} '
            f'enabled={self.owner["enabled"]}')
        return (f"  [{self.kind} of {self.process}] caption {self.caption!r}\n"
                f"    text    {self.text!r}\n"
                f"    buttons {self.buttons}  icon {self.has_icon}  owner {owner}\n"
                f"    answer  {self.answer!r} -> {self.result}, closed {self.closed}")


# The program's own log in TMP: bootstrapper_<time stamp>.log, or _2, _3... when taken.
RUN_LOG_NAME = re.compile(r"bootstrapper_\d{4}(-\d\d){5}(_\d+)?\.log")
_RUN_LOG_LINE = re.compile(r"(\d+) (.*)")


@dataclasses.dataclass
class RunResult:
    outcome: str  # "exit-code", "start-error" or "timeout"
    exit_code: int | None  # the full 32-bit code when outcome is "exit-code"
    start_error: int | None
    boxes: list[Box]
    driver_end: dict
    stdout: str
    tmp_files: list[str]
    process_trace: list[str]
    seconds: float
    # Filled when the run did not end as it should (harness.WineSession._diagnose).
    diagnosis: list[str] = dataclasses.field(default_factory=list)
    # The content of the program's own log, when TMP holds exactly one.
    run_log: bytes | None = None

    @property
    def own_logs(self) -> list[str]:
        return [name for name in self.tmp_files if RUN_LOG_NAME.fullmatch(name)]

    @property
    def install_logs(self) -> list[str]:
        """The files in TMP other than the program's own log."""
        return [name for name in self.tmp_files if not RUN_LOG_NAME.fullmatch(name)]

    def run_log_lines(self) -> list[str]:
        """The lines of the program's own log without their times, after checking that it is
        UTF-8 with a BOM and CRLF line ends, each line led by milliseconds that never go back."""
        if self.run_log is None:
            raise AssertionError(f"no log of the program's own in TMP: {self.tmp_files}")
        if not self.run_log.startswith(b"\xef\xbb\xbf") or not self.run_log.endswith(b"\r\n"):
            raise AssertionError(f"the log is not UTF-8 with a BOM ending in CRLF: "
                                 f"{self.run_log[:8]!r}...{self.run_log[-8:]!r}")
        lines, last = [], 0
        for line in self.run_log[3:-2].decode("utf-8").split("\r\n"):
            match = _RUN_LOG_LINE.fullmatch(line)
            if match is None or int(match.group(1)) < last or "\n" in line:
                raise AssertionError(f"a line of the log without its time, or back in time: "
                                     f"{line!r}")
            last = int(match.group(1))
            lines.append(match.group(2))
        return lines

    def describe(self) -> str:
        end = {key: value for key, value in self.driver_end.items() if key != "windows"}
        lines = [f"outcome {self.outcome}, exit code {self.exit_code}, "
                 f"start error {self.start_error}, {self.seconds:.2f} s",
                 f"box driver: {end}"]
        lines += [f"  window {window['class']!r} {window['title']!r} of process "
                  f"{window['pid']}{'' if window['visible'] else ' (hidden)'}"
                  for window in self.driver_end.get("windows", [])]
        lines.append(f"boxes ({len(self.boxes)}):")
        lines += [box.describe() for box in self.boxes]
        lines.append(f"stdout: {self.stdout!r}")
        lines.append(f"files in TMP: {self.tmp_files}")
        if self.run_log is not None:
            lines.append("the program's own log:")
            lines += [f"  {line}" for line in
                      self.run_log.decode("utf-8-sig", errors="replace").splitlines()]
        if self.process_trace:
            lines.append("processes started:")
            lines += [f"  {command}" for command in self.process_trace]
        if self.diagnosis:
            lines.append("the run did not end as it should; what was going on:")
            lines += [f"  {line}" for line in self.diagnosis]
        return "\n".join(lines)


_TRACE_LINE = re.compile(r'CreateProcessInternalW app .*? cmdline L"(.*)"(\.\.\.)?$')


def _unescape_trace(match: re.Match) -> str:
    escaped = match.group(1)
    if len(escaped) == 4:
        return chr(int(escaped, 16))
    return {"n": "\n", "t": "\t", "r": "\r"}.get(escaped, escaped)


def parse_process_trace(path: Path) -> list[str]:
    """Command lines from Wine's +process trace, unescaped (\\\\, \\", \\n, \\t, \\XXXX).
    Wine cuts long lines; those keep their trailing "..."."""
    if not path.exists():
        return []
    commands = []
    for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
        match = _TRACE_LINE.search(line)
        if not match:
            continue
        text = re.sub(r"\\([0-9a-fA-F]{4}|.)", _unescape_trace, match.group(1))
        commands.append(text + ("..." if match.group(2) else ""))
    return commands
