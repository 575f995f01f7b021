"""What deployment agents run, run as they run it. Configuration Manager, Intune and Group
Policy start the program as SYSTEM in session 0, where no window is ever seen and nobody
answers a box: run_exit.exe --station gives each run a window station of its own that is not
interactive (box_driver.exe cannot find its windows), and ends its whole process tree at the
time-out. So every run here must end by itself: deploy.cmd with a failing, a good and a
restart-asking package, and the program alone with -silent and no package. The WoW64 tier
runs the same with the shipped i686 program."""

from __future__ import annotations

import dataclasses
from pathlib import Path

from expect import expect_equal, expect_run, expect_tmp_files
from harness import DEFAULT_TMP, WineSession
from test_driver import MARKER
from test_plugin import (FAILING, MSIEXEC, NOTHING_INSTALLED, PACKAGE, RELEASE_1,
                         RELEASE_1_INSTALLED, RELEASE_2, RELEASE_2_INSTALLED, TimedRun,
                         expect_installed, expect_no_restart, package_files)

DEPLOY_SCRIPT = Path(__file__).resolve().parents[2] / "deploy" / "deploy.cmd"
CMD = "C:\\windows\\system32\\cmd.exe"
STATION = "DeploymentAgent"
ERROR_NO_DATA = 232

# Each row: what lies beside deploy.cmd, its exit code, msiexec's arguments after REBOOT=R
# (quiet: /qn and no /qb), and what is installed afterwards. In this order on one machine.
DEPLOYMENTS = [
    ("a package whose launch condition fails", FAILING, 1603, " ADDNPQUORL=1 /qn ",
     NOTHING_INSTALLED),
    ("a good package", RELEASE_1, 0, " ADDNPQUORL=1 /qn ", RELEASE_1_INSTALLED),
    ("an upgrade that asks for a restart", dataclasses.replace(RELEASE_2, asks_for_restart=True),
     3010, " /qn ", RELEASE_2_INSTALLED),
]


def deploy_on_a_service_station(session: WineSession, package_name: str) -> None:
    """Each row of DEPLOYMENTS through deploy.cmd (cmd /c, as the engines run it) on the
    non-interactive station: it ends by itself with the row's code, the program got
    -QuorlArgs /qn and msiexec /qn without /qb, no restart; then the program alone with
    -silent and no package ends with 232."""
    for index, (case, package, code, arguments, installed) in enumerate(DEPLOYMENTS):
        print(f"--- deploy.cmd with {case}")
        folder = f"S0\\{index}"
        program = session.install_bootstrapper(folder, {
            **package_files(session, {package_name: package}), "deploy.cmd": DEPLOY_SCRIPT})
        run = TimedRun(session, CMD, ["/c", f"C:\\{folder}\\deploy.cmd"], cwd="C:\\",
                       station=STATION)
        expect_run(run.result, code, [])
        started = run.result.process_trace
        expect_equal([line for line in started if line.startswith(f'"{program}"')],
                     [f'"{program}" -silent -norestart -QuorlArgs /qn'], f"{case}: the program")
        expect_tmp_files(run.result, run.result.install_logs, f"{case}: files in TMP")
        log = f"{DEFAULT_TMP}\\{''.join(run.result.install_logs)}"
        expect_equal([line for line in started if line.startswith(f'"{MSIEXEC}" /i ')],
                     [f'"{MSIEXEC}" /i "C:\\{folder}\\{package_name}" /Lv! "{log}" '
                      f"REBOOT=R {arguments}"], f"{case}: msiexec")
        expect_no_restart(run)
        expect_installed(session, installed)
    expect_equal(session.reg_key_exists(MARKER), False, "restart marker after deploy.cmd's 3010")
    program = session.install_bootstrapper("S0\\none")
    alone = TimedRun(session, program, ["-silent"], station=STATION)
    expect_run(alone.result, ERROR_NO_DATA, [])


def test_deployment_on_a_service_station(session: WineSession) -> None:
    """deploy.cmd on a non-interactive station: 1603, 0 and 3010 by themselves, quiet msiexec;
    -silent without a package: 232."""
    deploy_on_a_service_station(session, PACKAGE)
