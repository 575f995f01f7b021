#!/usr/bin/python3
"""A demonstration of the bootstrapper under Wine: a silent install of release 1.0.0.0 of
a sample plug-in package, a silent upgrade to release 2.0.0.0 (same UpgradeCode), then a
silent removal with -uninstall of whatever version is installed, in a fresh Wine prefix
with its own Xvfb and wineserver, both ended at the close. Prints each command line, exit
code, time stamp, install log and the installed versions; ends with 1 when a step does not
give what it should. Run by scripts/demo.sh after the build.

The program shown is the shipped i686 build, run as a WoW64 process as on 64-bit Windows,
so it installs quorlcom-x64.msi. Where 32-bit Wine cannot run, the demonstration says why in
one line and shows the x86_64 build instead, which takes quorlcom-win32.msi."""

from __future__ import annotations

import argparse
import dataclasses
import signal
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(HERE))

from expect import expect_equal, expect_tmp_files  # noqa: E402
from harness import DEFAULT_TMP, WineSession  # noqa: E402
from packages import UPGRADE_CODE, PluginPackage, build_package  # noqa: E402
from test_plugin import (NOTHING_INSTALLED, RELEASE_1, RELEASE_1_INSTALLED,  # noqa: E402
                         RELEASE_2, RELEASE_2_INSTALLED, TimedRun, expect_logged_run,
                         expect_msiexec_command, expect_removals, installed_versions)
from wine_env import (Config, has_wow64, make_base_prefix,  # noqa: E402
                      start_wine_without_address_randomization, wine32_runs)

REPOSITORY = HERE.parent.parent
FOLDER = "Stalver demo"


def show(label: str, value: object) -> None:
    print(f"  {label:<11}{value}")


# The package each build takes: the i686 program under WoW64 sees 64-bit Windows; the
# x86_64 program is told that it runs natively (IsWow64Process FALSE), as on 32-bit Windows.
PACKAGE_OF_BUILD = {"i686": "quorlcom-x64.msi", "x86_64": "quorlcom-win32.msi"}


def choose_build(config: Config) -> str:
    """The i686 build where 32-bit Wine runs; else says why not and takes the x86_64 one."""
    if not wine32_runs():
        print("  NOTE: 32-bit Wine does not start here (qemu-i386 not registered with "
              "binfmt_misc; see scripts/setup.sh), so the x86_64 build is shown instead.")
        return "x86_64"
    if not has_wow64(config.base_prefix):
        print(f"  NOTE: the base prefix {config.base_prefix} has no 32-bit Windows, so the "
              "x86_64 build is shown instead.")
        return "x86_64"
    return "i686"


def build_releases(config: Config, package_name: str) -> dict[str, Path]:
    """Both releases built with wixl into the build tree, one folder per release."""
    built = {}
    for release in (RELEASE_1, RELEASE_2):
        work_dir = config.packages_dir("demo") / release.version
        built[release.version] = build_package(dataclasses.replace(release, file_name=package_name),
                                               work_dir, config.tools_dir)
        show("built", f"{built[release.version]} (ProductVersion {release.version}, "
                      f"ProductCode {release.product_code})")
    show("", f"both with UpgradeCode {UPGRADE_CODE}")
    return built


def describe_versions(versions: dict[str, str | None]) -> str:
    return "; ".join(f"{code} {version or 'not installed'}"
                     for code, version in versions.items())


def show_run(session: WineSession, program: str, args: list[str]) -> TimedRun:
    """Runs the program and prints each command line, the exit code, standard output, the
    files in TMP and the installed products."""
    run = TimedRun(session, program, args, describe=False)
    result = run.result
    for index, command in enumerate(result.process_trace):
        show("started" if index else "command", command)
    show("exit code", result.exit_code if result.outcome == "exit-code" else result.outcome)
    show("stdout", repr(result.stdout))
    for name in result.tmp_files:
        size = session.unix_path(f"{DEFAULT_TMP}\\{name}").stat().st_size
        show("TMP", f"{DEFAULT_TMP}\\{name} ({size} bytes)")
    show("installed", describe_versions(installed_versions(session)))
    return run


def run_step(session: WineSession, title: str, release: PluginPackage, package: Path,
             fragments: str, expected_versions: dict[str, str | None]) -> bool:
    """Lays `package` beside the program, runs it with -silent, prints what happened and
    checks it: exit 0, no box, msiexec started with the log and then `fragments`, the log
    named after the printed time stamp, the products installed. Returns whether the step
    gave the expected result."""
    package_name = package.name
    print(f"\n{title}")
    program = session.install_bootstrapper(FOLDER, {package_name: package})
    show("laid out", f"{program} and {package_name} (release {release.version})")
    run = show_run(session, program, ["-silent"])
    result = run.result
    try:
        expect_equal((result.outcome, result.exit_code), ("exit-code", 0), "exit code")
        expect_equal(result.boxes, [], "boxes shown")
        log = expect_logged_run(run, package_name)
        expect_msiexec_command(run, program.rsplit("\\", 1)[0] + "\\" + package_name, log,
                               fragments)
        expect_equal(installed_versions(session), expected_versions, "installed products")
    except AssertionError as failure:
        show("FAILED", failure)
        return False
    show("result", f"as expected ({result.seconds:.2f} s)")
    return True


def remove_step(session: WineSession) -> bool:
    """Runs the program beside the last release with -uninstall -silent: exit 0, no box,
    msiexec /x once for the installed product with a log of its own, nothing installed."""
    print("\nStep 3: silent removal with -uninstall, whatever version is installed")
    run = show_run(session, f"C:\\{FOLDER}\\bootstrapper.exe", ["-uninstall", "-silent"])
    try:
        expect_equal((run.result.outcome, run.result.exit_code), ("exit-code", 0), "exit code")
        expect_equal(run.result.boxes, [], "boxes shown")
        expect_tmp_files(run.result, expect_removals(run))
        expect_equal(installed_versions(session), NOTHING_INSTALLED, "installed products")
    except AssertionError as failure:
        show("FAILED", failure)
        return False
    show("result", f"as expected ({run.result.seconds:.2f} s)")
    return True


def main() -> int:
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # leave through the clean-up
    start_wine_without_address_randomization()
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", type=Path, default=REPOSITORY / "build" / "native")
    parser.add_argument("--win64-dir", type=Path, default=REPOSITORY / "build" / "win64")
    parser.add_argument("--win32-dir", type=Path, default=REPOSITORY / "build" / "win32")
    options = parser.parse_args()
    config = Config(build_dir=options.build_dir.resolve(),
                    win64_dir=options.win64_dir.resolve(),
                    win32_dir=options.win32_dir.resolve())
    started = time.monotonic()
    print("Сталвер ЭЦП Browser plug-in bootstrapper: silent install, upgrade and removal under "
          "Wine")
    show("base", f"{config.base_prefix} ready in {make_base_prefix(config):.2f} s")
    build = choose_build(config)
    package_name = PACKAGE_OF_BUILD[build]
    if build == "i686":
        show("program", f"{config.bootstrapper(build)} (i686, the shipped build: a WoW64 "
                        f"process, IsWow64Process TRUE, so {package_name} is taken)")
    else:
        show("program", f"{config.bootstrapper(build)} (x86_64: IsWow64Process FALSE, so "
                        f"{package_name} is taken)")
    built = build_releases(config, package_name)
    with WineSession(config, "demo", build) as session:
        steps = [
            ("Step 1: silent install of release 1.0.0.0", RELEASE_1, " ADDNPQUORL=1",
             RELEASE_1_INSTALLED),
            # Another ProductCode: no fragment of the program's own; the package's upgrade
            # table removes release 1.
            ("Step 2: silent upgrade to release 2.0.0.0", RELEASE_2, "",
             RELEASE_2_INSTALLED),
        ]
        succeeded = all(run_step(session, title, release, built[release.version], *expected)
                        for title, release, *expected in steps) and remove_step(session)
    outcome = "succeeded" if succeeded else "FAILED"
    print(f"\nDemo {outcome} in {time.monotonic() - started:.1f} s "
          "(the prefix, its wineserver and Xvfb are gone)")
    return 0 if succeeded else 1


if __name__ == "__main__":
    sys.exit(main())
