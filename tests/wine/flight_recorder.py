"""What a Wine session records so that a failed scenario can be explained afterwards.

Every Wine process of a session traces a narrow set of Wine's debug channels (CHANNELS):
each process start with its command line, each DLL load, the moment a process's main thread
starts and its DLLs detach at exit (relay markers; the base prefix's RelayInclude names no
function, so nothing else is relayed), and Wine's own errors. The program under test and its
children write to the run's wine-trace.txt, the box driver to driver.out, everything else of
the session (Wine's services, the desktop, reg, msi_query) to the session's wine-stderr.txt.

When a scenario fails, `keep` adds a census of the end (the prefix's processes with their
states, the wineserver, Xvfb and its windows, every top-level window as Wine sees it) and packs
the session's records (not the prefix) into a small tar.gz under the build tree, whose path
and a digest of the process events the report prints."""

from __future__ import annotations

import io
import re
import subprocess
import tarfile
import time
from pathlib import Path

CHANNELS = "-all,err+all,+pid,+timestamp,+process,+loaddll,+relay"
# Relayed functions: one that no program calls, so relay adds only its start and exit markers.
RELAY_INCLUDE = "ntdll.NtTerminateProcess"
SESSION_TRACE = "wine-stderr.txt"
DIGEST_LINES = 40
_KERNEL_NEWS = re.compile(r"segfault|trap|general protection|killed|oom", re.I)
CENSUS_LIMIT_SECONDS = 15
LARGEST_FILE = 4 << 20

_TRACE = re.compile(r"^(\d+\.\d+):([0-9a-f]{4}):[0-9a-f]{4}:(.*)$")
# A process's first line of each kind, in the digest's words.
_ONCE = ((re.compile(r"^Starting thread proc"), "runs its first thread"),
         (re.compile(r"reason=PROCESS_DETACH"), "exits (its DLLs detach)"))
_EACH = ((re.compile(r'CreateProcessInternalW app .*? cmdline (L".*)'), "starts {}"),
         (re.compile(r"CreateProcessInternalW (started process pid [0-9a-f]+)"), "{}"),
         (re.compile(r"^(err:.*)"), "{}"))


def process_state(pid: str) -> str:
    """State and kernel wait channel of a host process: a hang shows where it sleeps."""
    try:
        status = Path(f"/proc/{pid}/status").read_text()
        state = re.search(r"^State:\s*(.*)$", status, re.M).group(1)
        wchan = Path(f"/proc/{pid}/wchan").read_text().strip() or "-"
        return f"{state}, waits in {wchan}"
    except (OSError, AttributeError):
        return "gone"


def _command(arguments: list[str], env: dict[str, str] | None = None) -> str:
    try:
        done = subprocess.run(arguments, env=env, capture_output=True, text=True,
                              errors="replace", timeout=CENSUS_LIMIT_SECONDS)
        return done.stdout + done.stderr
    except (OSError, subprocess.TimeoutExpired) as error:
        return f"{arguments[0]} gave nothing: {error}\n"


def kernel_messages(since: float) -> list[str]:
    """Lines of the kernel log after `since` (monotonic seconds, the log's own clock) that
    tell of a crash or a kill: a Wine process that dies before Wine can say anything."""
    found = []
    for line in _command(["dmesg"]).splitlines():
        stamp = re.match(r"^\[\s*(\d+\.\d+)\]", line)
        if stamp and float(stamp.group(1)) >= since and _KERNEL_NEWS.search(line):
            found.append(line)
    return found


def census(session, crashes: list[str]) -> str:
    """The end of a session as the host, the X server and Wine see it."""
    lines = ["processes of the prefix (pid, state, command):"]
    for line in session.host_processes():
        pid = line.split()[0]
        lines.append(f"  {pid} [{process_state(pid)}] {line.split(None, 1)[1]}")
    xvfb = session.xvfb
    lines.append(f"Xvfb on :{session.display}: "
                 + ("gone" if xvfb is None or xvfb.poll() is not None
                    else f"pid {xvfb.pid} [{process_state(str(xvfb.pid))}]"))
    if session.display is not None:
        lines.append(_command(["xwininfo", "-root", "-tree", "-display", f":{session.display}"]))
    lines.append("the kernel's word on crashed or killed processes since the session began "
                 "(any session's):")
    lines += [f"  {line}" for line in crashes] or ["  none"]
    record = session.drive_c / "harness" / "census.jsonl"
    lines.append("top-level windows as Wine sees them:")
    quiet = {**session.environment(), "WINEDEBUG": "-all"}
    lines.append(_command(["/usr/lib/wine/wine64", session.tool("box_driver.exe"), "--census",
                           "--record", session.windows_path(record.parent) + "\\census.jsonl"],
                          quiet))
    return "\n".join(lines) + "\n"


def _records(session) -> list[Path]:
    """The session's own files: run folders, TMP folders, Xvfb's log, the session trace."""
    found = [path for path in session.root.iterdir() if path.is_file()]
    for folder in (session.drive_c / "harness", session.drive_c / "run-tmp"):
        if folder.exists():
            found += [path for path in folder.rglob("*")
                      if path.is_file() and "tools" not in path.relative_to(folder).parts]
    return found


def _event(process: str, text: str, seen: set[tuple[str, str]]) -> str | None:
    for pattern, words in _ONCE:
        if pattern.search(text) and (process, words) not in seen:
            seen.add((process, words))
            return words
    for pattern, words in _EACH:
        match = pattern.search(text)
        if match:
            return words.format(match.group(1)[:200])
    return None


def digest(files: list[Path]) -> list[str]:
    """The process events of every trace in time order (starts with command lines, first
    threads, exits, Wine's errors): the last DIGEST_LINES of them; then the last lines that
    Wine wrote outside its channels (a loader that could not start a process says so there)."""
    events, seen, untimed = [], set(), []
    parsed = []
    for path in files:
        if not path.name.endswith((".txt", ".out")):
            continue
        for line in path.read_text(errors="replace").splitlines():
            match = _TRACE.match(line)
            if match:
                parsed.append((float(match.group(1)), match, path.name))
            elif line.startswith(("wine", "preloader", "err:", "Unhandled")):
                untimed.append(f"{line[:240]}  [{path.name}]")
    for _, match, name in sorted(parsed, key=lambda item: item[0]):
        stamp, process, text = match.groups()
        words = _event(process, text, seen)
        if words:
            events.append(f"{stamp} {process} {words}  [{name}]")
    return events[-DIGEST_LINES:] + [f"untimed: {line}" for line in untimed[-10:]]


def keep(session, destination: Path) -> tuple[Path, list[str]]:
    """Packs the session's records and a census of its end into destination/<name>-<time>.tar.gz.
    Returns the archive and the digest of process events."""
    destination.mkdir(parents=True, exist_ok=True)
    crashes = kernel_messages(session.started)
    end = census(session, crashes)
    files = _records(session)
    archive = destination / f"{session.name}-{time.strftime('%Y%m%d-%H%M%S')}.tar.gz"
    with tarfile.open(archive, "w:gz") as packed:
        for path in files:
            name = str(path.relative_to(session.root))
            if path.stat().st_size <= LARGEST_FILE:
                packed.add(path, arcname=name)
        census_bytes = end.encode()
        info = tarfile.TarInfo("census.txt")
        info.size = len(census_bytes)
        packed.addfile(info, io.BytesIO(census_bytes))
    return archive, digest(files) + [f"kernel: {line}" for line in crashes]
