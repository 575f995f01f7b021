"""Runs the real bootstrapper under Wine, as a person would, and records what it did.

Each scenario gets its own throwaway Wine prefix (a copy of a base prefix made once per
build), its own Xvfb display and its own wineserver; both are ended when the scenario ends,
whatever happens. The base prefix is a 64-bit one with 32-bit Windows beside (syswow64), so
a session runs either build: the x86_64 program natively, or the shipped i686 program as a
WoW64 process, which sees IsWow64Process TRUE, the 32-bit registry view and the file system
redirection, as on 64-bit Windows. The tools are x86_64 programs in both cases. The program is started by run_exit.exe (which reads the full 32-bit exit
code and catches standard output) while box_driver.exe answers its message boxes and
records each one: caption, text, buttons, icon, owner.

Running by hand
---------------
Build first (bash scripts/build.sh), then, from the repository root:

    /usr/bin/python3 tests/wine/run_scenario.py --make-base
    /usr/bin/python3 tests/wine/run_scenario.py test_driver.test_help_box

`run_scenario.py --list` names every scenario. `--build-dir` (default build/native) holds the
base prefix, the generated locales and the built test packages; `--win64-dir` (default
build/win64) holds bootstrapper.exe and wine-tools/; `--win32-dir` (default build/win32)
holds the shipped bootstrapper.exe. A scenario file that sets BUILD = "i686" runs that one. Set WINE_TEST_KEEP=1 to keep the
scenario's prefix and run files in /tmp for a look afterwards (the path is printed);
WINE_TEST_DEBUG replaces the debug channels that every Wine process of a session traces
(flight_recorder.CHANNELS); a failed scenario's records are kept in build/native/wine/flight/.

Wine processes write to files, never to pipes: the services that the first Wine process of
a prefix starts inherit its handles and would hold a pipe open for seconds.
"""

from __future__ import annotations

import contextlib
import datetime
import fcntl
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
from pathlib import Path
from typing import Callable

import flight_recorder
from packages import PluginPackage, build_package
from run_result import RUN_LOG_NAME, Box, RunResult, parse_process_trace
from wine_env import (LOCALES, WINE, WINESERVER, Config, HarnessError,
                      base_environment, require_wow64)
from x_display import AskWatcher

TOOLS = ("run_exit.exe", "box_driver.exe", "msi_query.exe", "box_demo.exe", "ca_result.dll")
HARNESS_FOLDER = "harness"  # C:\harness: the tools and the files of each run
DEFAULT_TMP = r"C:\run-tmp"
SERVER_LINGER_SECONDS = 30
DIAGNOSIS_LINES = 15


# --------------------------------------------------------------------------------------
# One scenario's Wine


def quote_argument(argument: str) -> str:
    """Quotes one argument by the rules that CommandLineToArgvW undoes."""
    if argument and not re.search(r'[\s"]', argument):
        return argument
    quoted, backslashes = '"', 0
    for character in argument:
        if character == "\\":
            backslashes += 1
            continue
        if character == '"':
            quoted += "\\" * (2 * backslashes + 1) + '"'
        else:
            quoted += "\\" * backslashes + character
        backslashes = 0
    return quoted + "\\" * (2 * backslashes) + '"'


DISPLAY_LOCK = Path("/tmp/wine-harness-displays.lock")
FIRST_DISPLAY = 90


def _owns_display(server: subprocess.Popen, number: int) -> bool:
    """The lock file of the display names our server: no other X server holds it."""
    try:
        return int(Path(f"/tmp/.X{number}-lock").read_text().strip()) == server.pid
    except (OSError, ValueError):
        return False


def _accepts_clients(number: int) -> bool:
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
        try:
            client.connect(f"/tmp/.X11-unix/X{number}")
            return True
        except OSError:
            return False


def _try_display(number: int, log_path: Path) -> subprocess.Popen | None:
    """Starts Xvfb on display `number`; returns it once it serves that display, or None
    when another server won the display."""
    with open(log_path, "a") as log:
        server = subprocess.Popen(
            ["Xvfb", f":{number}", "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
            stdout=log, stderr=log, start_new_session=True)
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline and server.poll() is None:
        if _owns_display(server, number) and _accepts_clients(number):
            return server
        time.sleep(0.02)
    stop_process(server)
    return None


def start_xvfb(log_path: Path) -> tuple[subprocess.Popen, int]:
    """Starts Xvfb on a free display: the first from FIRST_DISPLAY on without a lock file
    /tmp/.X<N>-lock, trying the next one when another server takes it first. Our own
    sessions take turns through a lock, so parallel scenarios never share a display."""
    with open(DISPLAY_LOCK, "a") as turn:
        fcntl.flock(turn, fcntl.LOCK_EX)
        for number in range(FIRST_DISPLAY, FIRST_DISPLAY + 200):
            if Path(f"/tmp/.X{number}-lock").exists():
                continue
            if Path(f"/tmp/.X11-unix/X{number}").exists():
                continue
            server = _try_display(number, log_path)
            if server is not None:
                return server, number
    raise HarnessError(f"no free X display for Xvfb; see {log_path}")


def stop_process(process: subprocess.Popen) -> None:
    if process.poll() is not None:
        return
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=5)


class WineSession:
    """A throwaway prefix with its own Xvfb and wineserver, running one build of the
    program ("x86_64" or "i686"). Use as a context manager."""

    def __init__(self, config: Config, name: str, build: str = "x86_64"):
        self.config = config
        self.name = name
        self.build = build
        self.root: Path | None = None
        self.xvfb: subprocess.Popen | None = None
        self.display: int | None = None
        self.runs = 0
        self._runs_lock = threading.Lock()  # runs may be started from several threads at once
        self.started = 0.0
        # Added to the harness's own WINEDLLOVERRIDES for every later Wine process of the
        # session, e.g. "msi=n,b" to let Wine take a DLL named msi.dll as Windows would.
        self.extra_dll_overrides = ""

    # -- life cycle ------------------------------------------------------------------

    def __enter__(self) -> "WineSession":
        started = self.started = time.monotonic()
        self.root = Path(tempfile.mkdtemp(prefix=f"wine-{self.name}-", dir="/tmp"))
        try:
            self._start(started)
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, failure_type, *_) -> None:
        try:
            if failure_type is not None and issubclass(failure_type, Exception):
                self.keep_flight_record()
        finally:
            self.close()

    def keep_flight_record(self) -> None:
        """Packs what the session recorded, for the report of a failed scenario."""
        try:
            archive, events = flight_recorder.keep(self, self.config.cache_dir / "flight")
        except Exception as error:  # noqa: BLE001 - the failure itself matters more
            print(f"flight record not kept: {error}")
            return
        print(f"flight record of the failed scenario: {archive} "
              f"({archive.stat().st_size // 1024} KiB); its last process events:")
        print("\n".join(f"  {line}" for line in events))

    def _start(self, started: float) -> None:
        if not (self.config.base_prefix / ".harness-ready").exists():
            raise HarnessError("no base prefix: run run_scenario.py --make-base first")
        if self.build == "i686":
            require_wow64(self.config)
        subprocess.run(["cp", "-a", str(self.config.base_prefix), str(self.prefix)],
                       check=True)
        self.xvfb, self.display = start_xvfb(self.root / "xvfb.log")
        # The server outlives each program of the scenario (starting it costs a second),
        # and ends by itself half a minute after the last one, should close() never run.
        subprocess.run([WINESERVER, f"-p{SERVER_LINGER_SECONDS}"], env=self.environment(),
                       check=True, timeout=30)
        tools = self.drive_c / HARNESS_FOLDER / "tools"
        tools.mkdir(parents=True)
        for tool in TOOLS:
            source = self.config.tools_dir / tool
            if not source.exists():
                raise HarnessError(f"missing {source}: build the x86_64 tree first")
            shutil.copy2(source, tools / tool)
        self._wait_for_desktop()
        print(f"session {self.root} on display :{self.display} ready in "
              f"{time.monotonic() - started:.2f} s")

    def _wait_for_desktop(self) -> None:
        """Makes a first window of our own: Wine starts its desktop process for it, and a
        window that cannot be made (no usable X display) shows here, before the program
        under test is blamed for missing boxes."""
        for _ in range(3):
            status, output = self.wine(self.tool("box_demo.exe"), "--owner")
            if status == 0:
                return
        raise HarnessError(f"Wine's desktop did not start: {output}")

    def close(self) -> None:
        """Ends every Wine process of the prefix, then Xvfb; removes the prefix."""
        if self.root is None:
            return
        if self.prefix.exists():
            subprocess.run([WINESERVER, "-k"], env=self.environment(), timeout=30,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with contextlib.suppress(subprocess.TimeoutExpired):
                subprocess.run([WINESERVER, "-w"], env=self.environment(), timeout=15)
        if self.xvfb is not None:
            stop_process(self.xvfb)
            self.xvfb = None
        if os.environ.get("WINE_TEST_KEEP"):
            print(f"kept {self.root}")
        else:
            shutil.rmtree(self.root, ignore_errors=True)
        self.root = None

    # -- paths -----------------------------------------------------------------------

    @property
    def prefix(self) -> Path:
        return self.root / "prefix"

    @property
    def drive_c(self) -> Path:
        return self.prefix / "drive_c"

    def windows_path(self, path: Path) -> str:
        relative = Path(path).resolve().relative_to(self.drive_c.resolve())
        return "C:\\" + "\\".join(relative.parts)

    def unix_path(self, windows_path: str) -> Path:
        match = re.fullmatch(r"[cC]:\\?(.*)", windows_path)
        if not match:
            raise HarnessError(f"not a path on C: {windows_path}")
        parts = [part for part in match.group(1).split("\\") if part]
        return self.drive_c.joinpath(*parts)

    def tool(self, name: str) -> str:
        return f"C:\\{HARNESS_FOLDER}\\tools\\{name}"

    # -- running Wine programs -------------------------------------------------------

    def environment(self, lang: str = "en") -> dict[str, str]:
        env = base_environment(self.config, self.prefix)
        env["WINEDEBUG"] = os.environ.get("WINE_TEST_DEBUG", flight_recorder.CHANNELS)
        env["LC_ALL"] = LOCALES[lang]
        if self.extra_dll_overrides:
            env["WINEDLLOVERRIDES"] += ";" + self.extra_dll_overrides
        if self.display is not None:
            env["DISPLAY"] = f":{self.display}"
        return env

    def wine(self, *args: str, lang: str = "en", timeout: float = 60) -> tuple[int, str]:
        """Runs one Wine program to its end. Returns its (low byte) exit status and its
        standard output, read from a file; its standard error (Wine's trace among it) goes to
        the session's trace, as does that of the services the session's first program starts."""
        output_path = self.root / f"wine-{time.monotonic_ns()}.out"
        with open(output_path, "w") as output, \
                open(self.root / flight_recorder.SESSION_TRACE, "a") as trace:
            status = subprocess.run([WINE, *args], env=self.environment(lang), stdout=output,
                                    stderr=trace, timeout=timeout).returncode
        text = output_path.read_text(errors="replace")
        output_path.unlink()
        return status, text

    # -- registry (HKCU of the prefix) -----------------------------------------------

    def reg_add_key(self, key: str) -> None:
        self._reg_checked("add", key, "/f")

    def reg_set_value(self, key: str, name: str, data: str, kind: str = "REG_SZ") -> None:
        self._reg_checked("add", key, "/v", name, "/t", kind, "/d", data, "/f")

    def reg_key_exists(self, key: str) -> bool:
        status, output = self.wine("reg", "query", key)
        if status not in (0, 1):
            raise HarnessError(f"reg query {key} failed: {output}")
        return status == 0

    def reg_delete_key(self, key: str) -> None:
        self._reg_checked("delete", key, "/f")

    def add_user_key_written_at(self, key: str, when: datetime.datetime) -> None:
        """Adds HKCU\\<key> (below HKCU, "\\"-separated) as the registry file holds a key last
        written at `when` (UTC): the wineserver is stopped, which saves the registry, the key
        goes into user.reg, and a new server loads it (with the services and the desktop that
        its first program starts, so that the next run's trace is the run's own)."""
        subprocess.run([WINESERVER, "-k"], env=self.environment(), timeout=30)
        subprocess.run([WINESERVER, "-w"], env=self.environment(), timeout=30)
        seconds = int(when.replace(tzinfo=datetime.timezone.utc).timestamp())
        file_time = (seconds + 11644473600) * 10_000_000
        escaped = key.replace("\\", "\\\\")
        with open(self.prefix / "user.reg", "a", encoding="utf-8") as registry:
            registry.write(f"\n[{escaped}] {seconds}\n#time={file_time:x}\n")
        subprocess.run([WINESERVER, f"-p{SERVER_LINGER_SECONDS}"], env=self.environment(),
                       check=True, timeout=30)
        self._wait_for_desktop()

    def _reg_checked(self, *args: str) -> None:
        status, output = self.wine("reg", *args)
        if status != 0:
            raise HarnessError(f"reg {' '.join(args)} failed ({status}): {output}")

    # -- Windows Installer state -------------------------------------------------------

    def msi_query(self, *query: str) -> list[str]:
        """Runs msi_query.exe (see its header for the queries); returns its output lines."""
        status, output = self.wine(self.tool("msi_query.exe"), *query)
        if status != 0:
            raise HarnessError(f"msi_query {query} failed: {output}")
        return [line for line in output.splitlines() if line and not line.startswith("wine")]

    def product_state(self, product_code: str) -> int:
        for line in self.msi_query("product", product_code):
            words = line.split()
            if words[2] == "state":
                return int(words[3])
        raise HarnessError(f"no state for {product_code}")

    def related_products(self, upgrade_code: str) -> list[str]:
        lines = self.msi_query("related", upgrade_code)
        return [line.split()[2] for line in lines if line.split()[2] != "count"]

    # -- laying out a run folder -------------------------------------------------------

    def lay_out_run_folder(self, folder: str, files: dict[str, Path | bytes]) -> str:
        """Creates C:\\<folder> (spaces and Cyrillic welcome; "\\" separates levels) and
        fills it: each key is a relative path ("sub\\x.msi" for a subfolder), each value a
        file to copy or the bytes to write. Returns the folder's Windows path."""
        target = self.unix_path("C:\\" + folder)
        target.mkdir(parents=True, exist_ok=True)
        for relative, content in files.items():
            destination = target.joinpath(*relative.split("\\"))
            destination.parent.mkdir(parents=True, exist_ok=True)
            if isinstance(content, bytes):
                destination.write_bytes(content)
            else:
                shutil.copy2(content, destination)
        return self.windows_path(target)

    def build_packages(self, *packages: PluginPackage) -> dict[str, Path]:
        """Builds test packages into the session's own folder (sessions of the same name may
        run at once); the result suits `extra` below."""
        work_dir = self.root / "packages"
        return {package.file_name: build_package(package, work_dir, self.config.tools_dir)
                for package in packages}

    def install_bootstrapper(self, folder: str, extra: dict[str, Path | bytes] | None = None
                             ) -> str:
        """Lays out a folder holding bootstrapper.exe (and `extra` files). Returns the
        Windows path of the program."""
        program = self.config.bootstrapper(self.build)
        if not program.exists():
            raise HarnessError(f"missing {program}: build the {self.build} tree")
        files: dict[str, Path | bytes] = {"bootstrapper.exe": program}
        files.update(extra or {})
        return self.lay_out_run_folder(folder, files) + "\\bootstrapper.exe"

    # -- running the program under test ----------------------------------------------

    def run(self, program: str, args: list[str] | str = "", *, answers: list[str] = (),
            lang: str = "ru", env: dict[str, str] | None = None, unset: list[str] = (),
            cwd: str | None = None, timeout: float = 30,
            on_ask: Callable[[str, tuple[int, int, int, int]], None] | None = None,
            create_tmp: bool = True, station: str | None = None,
            hold_mutex: tuple[str, int | str] | None = None) -> RunResult:
        """Starts `program` (a Windows path) as Explorer would: the quoted path, then the
        arguments (a list is quoted for CommandLineToArgvW, a string is taken as written),
        in the program's own folder unless `cwd` says otherwise. box_driver.exe gives the
        `answers` to the boxes in order (see its header for the syntax).

        The environment: TMP is a fresh empty C:\\run-tmp unless `env` sets it or `unset`
        removes it; `lang` "ru" or "en" picks LC_ALL and so the system UI language.
        RunResult.process_trace holds the command line of every process started below the
        runner (from Wine's trace). `on_ask` serves box_driver.exe's "ask:"
        actions (x_display.HostActions: screenshots, X key presses and clicks).
        `create_tmp` False leaves the TMP folder as it is (missing, say); then
        RunResult.tmp_files stays empty. `station` runs the program on a new window station
        of that name, not interactive, as a service's session 0 is: no box there can be seen
        or answered, and at the time-out its whole process tree is ended. `hold_mutex`
        (name, seconds): the runner owns that mutex from before the program starts until the
        seconds have passed; (name, Windows path): until that file exists. Runs with TMP folders of their own may go on at once."""
        with self._runs_lock:
            self.runs += 1
            run_dir = self.drive_c / HARNESS_FOLDER / f"run{self.runs}"
            run_dir.mkdir(parents=True)
        variables = {"TMP": DEFAULT_TMP, **(env or {})}
        for name in unset:
            variables.pop(name, None)
        tmp_dir = self._fresh_tmp(variables.get("TMP")) if create_tmp else None
        self._write_run_files(run_dir, program, args, cwd or program.rsplit("\\", 1)[0],
                              variables, unset, answers, timeout, station, hold_mutex)
        with AskWatcher(run_dir / "ask.txt", on_ask) if on_ask else contextlib.nullcontext():
            seconds, troubles = self._run_with_driver(run_dir, lang, timeout)
        return self._collect(run_dir, tmp_dir, seconds, troubles)

    def _write_run_files(self, run_dir: Path, program: str, args: list[str] | str, cwd: str,
                         variables: dict[str, str], unset: list[str], answers: list[str],
                         timeout: float, station: str | None,
                         hold_mutex: tuple[str, int | str] | None) -> None:
        """The command line and the response files of run_exit.exe and box_driver.exe."""
        command = f"\"{program}\""
        tail = args if isinstance(args, str) else " ".join(quote_argument(a) for a in args)
        (run_dir / "cmd.txt").write_text(command + (" " + tail if tail else "") + "\n",
                                         encoding="utf-8")
        win_dir = self.windows_path(run_dir)
        run_arguments = [
            "--cmdfile", f"{win_dir}\\cmd.txt", "--cwd", cwd,
            "--stdout", f"{win_dir}\\stdout.txt", "--pid", f"{win_dir}\\pid.txt",
            "--code", f"{win_dir}\\code.txt", "--timeout", str(int(timeout))]
        run_arguments += [item for name, value in variables.items()
                          for item in ("--set", f"{name}={value}")]
        run_arguments += [item for name in unset for item in ("--unset", name)]
        if station:
            run_arguments += ["--station", station]
        if hold_mutex:
            until = "--hold-until" if isinstance(hold_mutex[1], str) else "--hold-seconds"
            run_arguments += ["--hold-mutex", hold_mutex[0], until, str(hold_mutex[1])]
        # The driver gives up a second before run_exit ends the program, so that what it
        # records of a run that hangs (processes, windows) is taken while the program lives.
        driver_arguments = [
            "--record", f"{win_dir}\\boxes.jsonl", "--timeout", str(max(int(timeout) - 1, 1)),
            "--pid-file", f"{win_dir}\\pid.txt", "--done-file", f"{win_dir}\\code.txt"]
        if answers:
            driver_arguments += ["--answers", ",".join(answers)]
        self._write_response(run_dir / "run.rsp", run_arguments)
        self._write_response(run_dir / "driver.rsp", driver_arguments)

    def _run_with_driver(self, run_dir: Path, lang: str,
                         timeout: float) -> tuple[float, list[str]]:
        """Starts box_driver.exe, then runs run_exit.exe to its end. Returns the seconds
        and what the harness itself saw go wrong (empty when nothing did)."""
        win_dir = self.windows_path(run_dir)
        started = time.monotonic()
        troubles = []
        runner = None
        with open(run_dir / "driver.out", "w") as driver_output:
            driver = subprocess.Popen(
                [WINE, self.tool("box_driver.exe"), f"@{win_dir}\\driver.rsp"],
                env=self.environment(lang), stdout=driver_output, stderr=driver_output)
        try:
            with open(run_dir / "run_exit.out", "w") as output, \
                    open(run_dir / "wine-trace.txt", "w") as trace:
                runner = subprocess.Popen(
                    [WINE, self.tool("run_exit.exe"), f"@{win_dir}\\run.rsp"],
                    env=self.environment(lang), stdout=output, stderr=trace)
                troubles += self._wait_for(runner, "run_exit.exe", timeout + 30, (0, 2, 3))
            troubles += self._wait_for(driver, "box_driver.exe", timeout + 30, (0, 1))
        finally:
            for process in (driver, runner):
                if process is not None and process.poll() is None:
                    process.kill()
        return time.monotonic() - started, troubles

    def _wait_for(self, process: subprocess.Popen, name: str, limit: float,
                  usual: tuple[int, ...]) -> list[str]:
        """Waits for a tool's wine64 process; describes it when it hangs, or ends with a
        status that is not one of its `usual` ones (see the tool's header)."""
        try:
            status = process.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            troubles = [f"{name} still ran after {limit:.0f} s; the prefix's processes then:"]
            troubles += [f"  {line}" for line in self.host_processes()]
            process.kill()
            return troubles
        return [] if status in usual else [f"{name} ended with status {status}"]

    def host_processes(self) -> list[str]:
        """The Linux processes of this session's prefix (pid and command line), as the host
        sees them: also when the wineserver no longer answers."""
        marker = f"WINEPREFIX={self.prefix}".encode()
        found = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                if marker not in (entry / "environ").read_bytes().split(b"\0"):
                    continue
                command = (entry / "cmdline").read_bytes().replace(b"\0", b" ").strip()
            except OSError:
                continue
            found.append(f"{entry.name} {command.decode(errors='replace')}")
        return sorted(found, key=lambda line: int(line.split()[0]))

    def _fresh_tmp(self, tmp: str | None) -> Path | None:
        """Empties the run's TMP folder when it lies on C:, so that its files after the run
        are the run's own."""
        if not tmp or not re.match(r"[cC]:\\", tmp):
            return None
        folder = self.unix_path(tmp)
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        return folder

    @staticmethod
    def _write_response(path: Path, arguments: list[str]) -> None:
        if any("\n" in argument for argument in arguments):
            raise HarnessError("a response-file argument cannot hold a line break")
        path.write_text("\n".join(arguments) + "\n", encoding="utf-8")

    def _collect(self, run_dir: Path, tmp_dir: Path | None, seconds: float,
                 troubles: list[str]) -> RunResult:
        code_path = run_dir / "code.txt"
        code_line = code_path.read_text().strip() if code_path.exists() else "no-report"
        words = code_line.split()
        outcome = words[0]
        exit_code = int(words[1]) if outcome == "exit-code" else None
        start_error = int(words[1]) if outcome == "start-error" else None
        records = []
        record_path = run_dir / "boxes.jsonl"
        if record_path.exists():
            records = [json.loads(line) for line in
                       record_path.read_text(encoding="utf-8").splitlines() if line]
        boxes = [Box.from_record(record) for record in records if "end" not in record]
        ends = [record for record in records if "end" in record]
        stdout_path = run_dir / "stdout.txt"
        stdout = stdout_path.read_bytes().decode("utf-8", errors="replace") \
            if stdout_path.exists() else ""
        tmp_files = sorted(str(path.relative_to(tmp_dir)) for path in tmp_dir.rglob("*")) \
            if tmp_dir is not None else []
        trace = parse_process_trace(run_dir / "wine-trace.txt")
        own_logs = [name for name in tmp_files if RUN_LOG_NAME.fullmatch(name)]
        run_log = (tmp_dir / own_logs[0]).read_bytes() if len(own_logs) == 1 else None
        result = RunResult(outcome=outcome, exit_code=exit_code, start_error=start_error,
                           boxes=boxes, driver_end=ends[-1] if ends else {"end": "no-report"},
                           stdout=stdout, tmp_files=tmp_files, process_trace=trace,
                           seconds=seconds, run_log=run_log)
        if troubles or outcome != "exit-code" or result.driver_end.get("end") != "done":
            result.diagnosis = self._diagnose(run_dir, troubles)
        return result

    def _diagnose(self, run_dir: Path, troubles: list[str]) -> list[str]:
        """What was going on in a run that did not end as it should: the harness's own
        findings, the prefix's processes now, and the tail of each Wine output file."""
        lines = list(troubles)
        lines.append("processes of the prefix after the run:")
        lines += [f"  {line}" for line in self.host_processes()] or ["  none"]
        for name in ("run_exit.out", "driver.out", "wine-trace.txt", "code.txt", "pid.txt"):
            path = run_dir / name
            if not path.exists():
                lines.append(f"{name}: missing")
                continue
            tail = path.read_text(errors="replace").splitlines()[-DIAGNOSIS_LINES:]
            lines.append(f"{name} (last {len(tail)} lines):")
            lines += [f"  {line}" for line in tail]
        return lines
