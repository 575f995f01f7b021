"""What deployment agents run, run as they run it. Configuration Manager, Intune and Group
Policy start the program as SYSTEM in session 0, where no window is ever seen and nobody
answers a box: run_exit.exe --station gives each run a window station of its own that is not
interactive (box_driver.exe cannot find its windows), and ends its whole process tree at the
time-out. So every run here must end by itself. The program sees that nobody can see its
windows and runs as with -silent, msiexec and the CSP's package without an interface; a
mistyped option ends with 1639. A restart marker from before the machine's start is no
pending restart; a CSP that has started a restart ends the run. Runs started together take turns, and wait while Windows Installer is busy.
The WoW64 tier runs the same with the shipped i686 program."""

from __future__ import annotations

import concurrent.futures
import dataclasses
import datetime
import re
from pathlib import Path

from expect import expect_equal, expect_log_lines, expect_run
from harness import DEFAULT_TMP, WineSession
from packages import PRODUCT_CODE, PluginPackage
from test_driver import MARKER
from test_plugin import (FAILING, MSIEXEC, NOTHING_INSTALLED, PACKAGE, RELEASE_1,
                         RELEASE_1_INSTALLED, RELEASE_2, RELEASE_2_INSTALLED, TimedRun,
                         expect_installed,
                         expect_msiexec_command, expect_no_restart,
                         expect_nothing_run, package_files)

DEPLOY_SCRIPT = Path(__file__).resolve().parents[2] / "deploy" / "deploy.cmd"
CMD = "C:\\windows\\system32\\cmd.exe"
STATION = "DeploymentAgent"
ERROR_NO_DATA = 232
ERROR_INVALID_COMMAND_LINE = 1639
RESTART_ASKED = 3010
DEPLOYED = '-silent -norestart -QuorlArgs /qn'
RELEASE_3 = PluginPackage(version="3.0.0.0", major_upgrade=True)
RELEASE_3_INSTALLED = {**NOTHING_INSTALLED, PRODUCT_CODE: "3.0.0.0"}

SCRIPT = "C:\\missing.vbs"
# Each row, in this order on one machine: how the program is started (deploy.cmd, as the
# engines run it, or the program itself with these arguments), the package beside it, the exit
# code, msiexec's arguments after REBOOT=R (None: nothing runs), what is installed afterwards.
STEPS = [
    ("a package whose launch condition fails, the user's /qb", "-silent -norestart -QuorlArgs /qb",
     FAILING, 1603, " ADDNPQUORL=1 /qn ", NOTHING_INSTALLED),
    ("no options", "", RELEASE_1, 0, " /qn ADDNPQUORL=1", RELEASE_1_INSTALLED),
    ("a mistyped option", "-silent -Reinstall", RELEASE_1, ERROR_INVALID_COMMAND_LINE, None,
     RELEASE_1_INSTALLED),
    ("this version installed, a marker from 2020", "deploy.cmd", RELEASE_1, 0, None,
     RELEASE_1_INSTALLED),
    ("an upgrade that asks for a restart", "deploy.cmd",
     dataclasses.replace(RELEASE_2, asks_for_restart=True), RESTART_ASKED, " /qn ",
     RELEASE_2_INSTALLED),
    # Wine's Windows Installer dropped the UpgradeCode's key when the last upgrade removed
    # release 1, so release 2 is no longer found: to the program this is a fresh install.
    ("a URL holding /q, a missing script",
     f"-silent -norestart -QuorlArgs SERVERURL=https://ca.example/quorl/enroll -vbscript {SCRIPT}",
     RELEASE_3, 0, " /qn ADDNPQUORL=1 SERVERURL=https://ca.example/quorl/enroll ",
     {**RELEASE_2_INSTALLED, PRODUCT_CODE: "3.0.0.0"}),
]


def start(session: WineSession, folder: str, how: str, **options) -> TimedRun:
    """The program in C:\\<folder>, or deploy.cmd beside it, on a station nobody sees."""
    program = f"C:\\{folder}\\bootstrapper.exe"
    if how == "deploy.cmd":
        return TimedRun(session, CMD, ["/c", f"C:\\{folder}\\deploy.cmd"], cwd="C:\\",
                        station=STATION, **options)
    return TimedRun(session, program, how, station=options.pop("station", STATION), **options)


def install_log(run: TimedRun, package_name: str) -> str:
    """The one install log in TMP named after the package (deploy.cmd's `start` keeps the
    time stamp on standard output from the runner)."""
    (log,) = [name for name in run.result.install_logs if name.startswith(f"{package_name}_")]
    return f"{DEFAULT_TMP}\\{log}"


def installations(run: TimedRun) -> list[str]:
    """The msiexec that the program started (not those that msiexec starts itself)."""
    return [line for line in run.result.process_trace if line.startswith(f'"{MSIEXEC}" /i ')]


def deploy_on_a_service_station(session: WineSession, package_name: str) -> None:
    """Each row of STEPS on the non-interactive station: it ends by itself with the row's
    code, msiexec gets /qn and no other interface option, the script runs in batch mode,
    nothing restarts; deploy.cmd gives the program
    -QuorlArgs /qn and turns a new marker into 3010 but not one from before the machine's
    start. Then the program alone with -silent and no package ends with 232."""
    for index, (case, how, package, code, arguments, installed) in enumerate(STEPS):
        print(f"--- {how or 'the program'} with {case}")
        folder = f"S0\\{index}"
        session.install_bootstrapper(folder, {
            **package_files(session, {package_name: package}), "deploy.cmd": DEPLOY_SCRIPT})
        if "2020" in case:
            session.add_user_key_written_at(MARKER.split("\\", 1)[1],
                                            datetime.datetime(2020, 1, 1))
        run = start(session, folder, how)
        expect_run(run.result, code, [])
        if how == "deploy.cmd":
            expect_equal([line for line in run.result.process_trace
                          if line.startswith(f'"C:\\{folder}\\bootstrapper.exe"')],
                         [f'"C:\\{folder}\\bootstrapper.exe" {DEPLOYED}'], f"{case}: the program")
        if arguments is None:
            expect_nothing_run(run)
        else:
            expect_msiexec_command(run, f"C:\\{folder}\\{package_name}",
                                   install_log(run, package_name), arguments, ui="")
        if SCRIPT in how:  # batch mode: Windows Script Host shows no box nobody can answer
            expect_log_lines(run.result, [
                f"starting: C:\\windows\\System32\\wscript.exe //B //NoLogo {SCRIPT}"])
        expect_no_restart(run)
        expect_installed(session, installed)
        expect_equal(session.reg_key_exists(MARKER), False, f"{case}: restart marker after it")
    program = session.install_bootstrapper("S0\\none")
    alone = TimedRun(session, program, ["-silent"], station=STATION)
    expect_run(alone.result, ERROR_NO_DATA, [])


def test_deployment_on_a_service_station(session: WineSession) -> None:
    """On a non-interactive station: 1603 with /qn for the user's /qb, no options installs,
    -Reinstall 1639, a 2020 marker ignored, deploy.cmd's 3010, a URL holding /q and a missing
    script in batch mode; -silent without a package: 232."""
    deploy_on_a_service_station(session, PACKAGE)


def expect_witness(session: WineSession, run: TimedRun) -> None:
    """The marker's witness that the run made, named in its log, is in HKLM's 32-bit view."""
    made = re.search(r"restart witness (HKLM\\\S+) \(volatile\): created",
                     "\n".join(run.result.run_log_lines()))
    status, output = session.wine("reg", "query", made.group(1), "/reg:32") if made else (1, "")
    expect_equal(status, 0, f"the witness in the log and the registry ({output})")


# The CSP's Setup.exe asks for a restart: its exit code, the run's, whether msiexec follows.
CSP_RESTARTS = [(1641, 1641, False), (RESTART_ASKED, 0, True)]


def concurrent_runs_on_a_service_station(session: WineSession, package_name: str) -> None:
    """On stations nobody sees: the CSP's Setup.exe that has started a restart (1641) ends
    the run with 1641 and no msiexec; one that asks for a restart (3010) is followed by the
    plug-in; both leave the marker and its witness. Two runs started together end 0 with one
    msiexec between them; with Windows Installer busy for 8 s, msiexec waits for it."""
    for setup_code, exit_code, plugin_follows in CSP_RESTARTS:
        print(f"--- Setup.exe ends with {setup_code}")
        folder = f"S0\\csp{setup_code}"
        files = package_files(session, {package_name: RELEASE_1})
        files.update({"csp\\Setup.exe": session.config.tools_dir / "fake_setup.exe",
                      "csp\\exit-code.txt": f"{setup_code}\n".encode()})
        session.install_bootstrapper(folder, files)
        csp = start(session, folder, "-csp -silent -norestart")
        expect_run(csp.result, exit_code, [])
        setup = [line for line in csp.result.process_trace if "Setup.exe" in line]
        expect_equal([bool(re.search(r'Setup\.exe -args "/qn /Lv! .* -silent$', line))
                      for line in setup], [True], f"Setup.exe without an interface: {setup}")
        if plugin_follows:
            expect_msiexec_command(csp, f"C:\\{folder}\\{package_name}",
                                   install_log(csp, package_name), " ADDNPQUORL=1", ui=" /qn")
        else:
            expect_equal(installations(csp), [], f"msiexec after the CSP's {setup_code}")
        expect_installed(session, RELEASE_1_INSTALLED if plugin_follows else NOTHING_INSTALLED)
        expect_equal(session.reg_key_exists(MARKER), True,
                     f"restart marker after the CSP's {setup_code}")
        expect_witness(session, csp)
        session.reg_delete_key(MARKER)

    session.install_bootstrapper("S0\\two", package_files(session, {package_name: RELEASE_2}))
    both = [lambda station=station, tmp=tmp: start(
                session, "S0\\two", DEPLOYED, station=station, env={"TMP": tmp})
            for station, tmp in ((STATION, DEFAULT_TMP), ("StartupScript", DEFAULT_TMP + "-2"))]
    with concurrent.futures.ThreadPoolExecutor(len(both)) as pool:
        runs = [future.result() for future in [pool.submit(run) for run in both]]
    expect_equal([run.result.exit_code for run in runs], [0, 0], "two runs at once: exit codes")
    expect_equal(len([command for run in runs for command in installations(run)]), 1,
                 "msiexec installations of the two runs")
    expect_installed(session, RELEASE_2_INSTALLED)

    session.install_bootstrapper("S0\\busy", package_files(session, {package_name: RELEASE_3}))
    busy = start(session, "S0\\busy", DEPLOYED, hold_mutex=("Global\\_MSIExecute", 8))
    expect_run(busy.result, 0, [])
    expect_installed(session, RELEASE_3_INSTALLED)
    log = busy.result.run_log_lines()
    freed = [index for index, line in enumerate(log)
             if re.fullmatch(r"another installation by Windows Installer \(mutex "
                             r"Global\\_MSIExecute\): free after \d+ ms", line)]
    started = [index for index, line in enumerate(log) if line.startswith(f'starting: "{MSIEXEC}')]
    expect_equal((len(freed), len(started), freed < started), (1, 1, True),
                 f"Windows Installer freed, then msiexec started, in the log: {log}")


def test_concurrent_runs_on_a_service_station(session: WineSession) -> None:
    """The CSP's 1641 ending the run, its 3010 with the plug-in after it, two runs at once, a
    busy Windows Installer."""
    concurrent_runs_on_a_service_station(session, PACKAGE)

