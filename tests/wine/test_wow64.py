"""The shipped program: the i686 build under WoW64, as it runs on 64-bit Windows.

32-bit Wine, emulated by qemu-i386, gives the program a WoW64 process in a 64-bit prefix:
IsWow64Process reports TRUE, so the program takes the "*x64*" package; it sees the 32-bit
registry view and the file system redirection (its msiexec is the 32-bit one). Each
scenario here shows what only the i686 build can: the lean runtime, the functions found at
run time, the registry view and the package of 64-bit Windows."""

from __future__ import annotations

import concurrent.futures
import dataclasses
import hashlib
import json
import re
import time
import zipfile

import test_plugin
from expect import ExpectedBox, expect_equal, expect_log_lines, expect_run, expect_tmp_files
from harness import DEFAULT_TMP, WineSession
from packages import OTHER_PRODUCT_CODE, PRODUCT_CODE, PluginPackage
from test_csp import (CspFolder, expect_broadcasting_children_end, expect_dialog_views_then_next,
                      log_stamps, screenshots)
from test_driver import HELP_BOX, INSTALL_QUESTION, MARKER
from test_plugin import (ERROR_CAPTION, INSTALLED_INFO, NOTHING_INSTALLED, RELEASE_1,
                         RELEASE_1_INSTALLED, RELEASE_2, RELEASE_2_INSTALLED, RESTART_QUESTION,
                         TimedRun, expect_installed, expect_logged_run, expect_msiexec_command,
                         expect_no_restart, expect_nothing_run, expect_removals, lay_out,
                         package_files, preinstall, upgrade_question)
from test_release import PLANTED_MARKER, PREFER_NATIVE_MSI
from test_session0 import (STATION, concurrent_runs_on_a_service_station,
                           deploy_on_a_service_station)

BUILD = "i686"

X64_PACKAGE = "quorlcom-x64.msi"
WIN32_PACKAGE = "quorlcom-win32.msi"
SHORT_FOLDER = "Stalver\\wow64"
WIN32_PRODUCT_CODE = "{2B3C4D5E-6F70-4A1B-9C2D-3E4F5A6B7C8E}"
# The 32-bit package of the family: a product of its own, installed into Program Files
# (x86) if it were ever taken.
WIN32_RELEASE = PluginPackage(product_name="Stalver plug-in win32", version="1.0.0.0",
                              product_code=WIN32_PRODUCT_CODE, platform="x86")
WIN32_RELEASE_FILE = dataclasses.replace(WIN32_RELEASE, file_name=WIN32_PACKAGE)
NEEDS_RESTART = dataclasses.replace(RELEASE_1, asks_for_restart=True)
# The x64 package installs here; a 32-bit one would go to "Program Files (x86)".
X64_PLUGIN_FILE = "C:\\Program Files\\StalverPluginTest\\plugin.txt"
# Where the release test (tests/release) leaves its test-signed distribution, in the native
# build tree; its packages are RELEASE_1 as X64_PACKAGE and WIN32_RELEASE_FILE.
RELEASE_OUTPUT = ("release-test", "out")
# Wine reports Windows XP SP3 to the program alone.
XP_FOR_THE_PROGRAM = "HKCU\\Software\\Wine\\AppDefaults\\bootstrapper.exe"
# An earlier release of the family, which the release's major upgrade removes.
EARLIER_RELEASE = dataclasses.replace(RELEASE_2, version="0.9.0.0")
EARLIER_INSTALLED = {PRODUCT_CODE: None, OTHER_PRODUCT_CODE: "0.9.0.0"}
# The cscript of each kind of process, as an engine may run a detection rule as either.
CSCRIPT_64 = "C:\\windows\\system32\\cscript.exe"
CSCRIPT_32 = "C:\\windows\\syswow64\\cscript.exe"
# The CSP's copy that an earlier release keeps, as the program records it (32-bit view).
EARLIER_COPY = "C:\\ProgramData\\StalverBootstrapper.0badc0de"
COPY_RECORD = "HKLM\\SOFTWARE\\WOW6432Node\\StalverBrowserPluginBootstrapper"


def both_architectures(release: PluginPackage) -> dict[str, PluginPackage]:
    """The release as the x64 package beside a win32 package of the same version. Without
    a rus or eng package, the upgrade question takes name and version from the first
    quorlcom*.msi listed: the win32 one."""
    return {X64_PACKAGE: release,
            WIN32_PACKAGE: dataclasses.replace(WIN32_RELEASE, version=release.version)}


def expect_win32_package_left_alone(session: WineSession) -> None:
    expect_equal(session.product_state(WIN32_PRODUCT_CODE), -1, "state of the win32 product")


def expect_marker_in_both_views(session: WineSession, present: bool) -> None:
    """HKCU\\Software is shared between the 32-bit and the 64-bit view, as on Windows 7 and
    later: the key that the program makes through the 32-bit view is the same key for
    64-bit programs."""
    for view in ("32", "64"):
        status, output = session.wine("reg", "query", MARKER, f"/reg:{view}")
        expect_equal(status == 0, present, f"restart marker in the {view}-bit view ({output})")


def test_help_box_and_first_question(session: WineSession) -> None:
    """-help shows the exact help text under "Справка" (OK: 0); no arguments asks message 103
    under caption 104 (No: 0, nothing run)."""
    program = lay_out(session, {})
    helped = TimedRun(session, program, ["-help"], answers=["ok"])
    expect_run(helped.result, 0, [HELP_BOX])
    asked = TimedRun(session, program, answers=["no"])
    expect_run(asked.result, 0, [INSTALL_QUESTION])
    expect_equal(asked.result.stdout, "", "standard output")


def test_silent_fresh_install_takes_the_x64_package(session: WineSession) -> None:
    """quorlcom-x64.msi and quorlcom-win32.msi beside the program, -silent: the x64 package is
    installed (its files under Program Files), with the exact msiexec command line and a
    log named after it; the win32 package is left alone; no box, exit 0."""
    program = lay_out(session, both_architectures(RELEASE_1), SHORT_FOLDER)
    run = TimedRun(session, program, ["-silent"])
    expect_run(run.result, 0, [])
    log = expect_logged_run(run, X64_PACKAGE)
    expect_msiexec_command(run, f"C:\\{SHORT_FOLDER}\\{X64_PACKAGE}", log, " ADDNPQUORL=1")
    expect_installed(session, RELEASE_1_INSTALLED)
    expect_win32_package_left_alone(session)
    expect_equal(session.unix_path(X64_PLUGIN_FILE).exists(), True, X64_PLUGIN_FILE)
    package = f"C:\\{SHORT_FOLDER}\\{X64_PACKAGE}"
    expect_log_lines(run.result, [
        "WoW64 process: yes",
        f"package search C:\\{SHORT_FOLDER}\\*x64**.msi: found {package}",
        f"package search C:\\{SHORT_FOLDER}\\quorlcom*x64*: found {package}",
        "exit code 0: success, or nothing to do (help shown, declined, cancelled, same version)"])


def test_upgrade_question_names_the_language_package(session: WineSession) -> None:
    """Release 1 installed; release 2 as quorlcom-x64.msi beside rus- and eng- packages of
    other names and the win32 package: the upgrade question names the rus package's product
    under a Russian UI (No: exit 1, nothing run) and the eng package's under an English one
    (Yes: the x64 package is installed, message 110, exit 0)."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, {
        **both_architectures(RELEASE_2),
        "rus-quorlcom-x64.msi": dataclasses.replace(RELEASE_2, product_name="Stalver RUS"),
        "eng-quorlcom-x64.msi": dataclasses.replace(RELEASE_2, product_name="Stalver ENG"),
    }, SHORT_FOLDER)
    declined = TimedRun(session, program, answers=["yes", "no"], lang="ru")
    expect_run(declined.result, 1, [INSTALL_QUESTION,
                                    upgrade_question("Stalver RUS", "1.0.0.0", "2.0.0.0")])
    expect_tmp_files(declined.result, [])
    accepted = TimedRun(session, program, answers=["yes", "yes", "ok"], lang="en")
    expect_run(accepted.result, 0, [INSTALL_QUESTION,
                                    upgrade_question("Stalver ENG", "1.0.0.0", "2.0.0.0"),
                                    INSTALLED_INFO])
    log = expect_logged_run(accepted, X64_PACKAGE)
    expect_msiexec_command(accepted, f"C:\\{SHORT_FOLDER}\\{X64_PACKAGE}", log, "")
    expect_installed(session, RELEASE_2_INSTALLED)
    expect_win32_package_left_alone(session)


def test_restart_marker_through_the_32_bit_view(session: WineSession) -> None:
    """A package that asks for a restart (3010), -silent -norestart: exit 0 and the marker
    HKCU\\Software\\NeedBstrReboot is made through the 32-bit view. A later run that upgrades
    with a package that needs no restart finds it: message 108, No, exit 0, marker gone."""
    program = lay_out(session, both_architectures(NEEDS_RESTART), SHORT_FOLDER)
    first = TimedRun(session, program, ["-silent", "-norestart"])
    expect_run(first.result, 0, [])
    expect_logged_run(first, X64_PACKAGE)
    expect_no_restart(first)
    expect_marker_in_both_views(session, True)
    program = lay_out(session, both_architectures(RELEASE_2), SHORT_FOLDER + " later")
    later = TimedRun(session, program, answers=["yes", "yes", "no"])
    expect_run(later.result, 0, [INSTALL_QUESTION,
                                 upgrade_question(WIN32_RELEASE.product_name, "1.0.0.0",
                                                  "2.0.0.0"),
                                 RESTART_QUESTION])
    expect_no_restart(later)
    expect_marker_in_both_views(session, False)
    expect_installed(session, RELEASE_2_INSTALLED)


def test_planted_32_bit_msi_dll_is_not_loaded(session: WineSession) -> None:
    """A 32-bit DLL named msi.dll beside the program, Wine told to prefer a native msi.dll:
    a -silent fresh install still uses the system's Windows Installer (exit 0, the x64
    package installed) and the planted DLL's marker file never appears."""
    session.extra_dll_overrides = PREFER_NATIVE_MSI
    program = session.install_bootstrapper(SHORT_FOLDER, {
        **package_files(session, both_architectures(RELEASE_1)),
        "msi.dll": session.config.planted_msi_dll(session.build)})
    run = TimedRun(session, program, ["-silent"])
    marker = session.unix_path(PLANTED_MARKER)
    loaded_by = marker.read_text(errors="replace") if marker.exists() else None
    expect_equal(loaded_by, None, f"{PLANTED_MARKER} (processes that loaded the planted DLL)")
    expect_run(run.result, 0, [])
    expect_logged_run(run, X64_PACKAGE)
    expect_installed(session, RELEASE_1_INSTALLED)


def test_csp_dialog_and_setup_command_line(session: WineSession) -> None:
    """-csp -selectDlg under a Russian UI: question 102, the CSPSetup dialog (welcome view,
    options view, welcome view again; screenshots of both views), "Далее"; Setup.exe gets
    the exact command line, then the x64 package is installed; message 109, exit 0."""
    csp = CspFolder(session, (PluginPackage(file_name=X64_PACKAGE), WIN32_RELEASE_FILE))
    shots = screenshots(session)
    result = expect_dialog_views_then_next(csp, shots)
    expect_equal([shot.name for shot in shots.shots], ["dialog-welcome.png", "dialog-options.png"],
                 "screenshots taken")
    csp_stamp, plugin_stamp = log_stamps(result)
    expect_tmp_files(result, [f"csp_{csp_stamp}.log", f"{X64_PACKAGE}_{plugin_stamp}.log"])
    expect_installed(session, RELEASE_1_INSTALLED)
    expect_win32_package_left_alone(session)


def test_broadcasting_children_do_not_hang_a_silent_run(session: WineSession) -> None:
    """Setup.exe and the x64 package's custom action broadcast a changed environment and wait
    for every window to answer: -csp -silent still ends with 0 and the x64 package is
    installed."""
    broadcasting = PluginPackage(file_name=X64_PACKAGE, broadcasts=True)
    csp = CspFolder(session, (broadcasting, WIN32_RELEASE_FILE), folder=SHORT_FOLDER)
    expect_broadcasting_children_end(csp, X64_PACKAGE)
    expect_installed(session, RELEASE_1_INSTALLED)
    expect_win32_package_left_alone(session)


def expect_detection(session: WineSession, rule: str, detected: str | None,
                     cscripts: tuple[str, ...] = (CSCRIPT_64, CSCRIPT_32), code: int = 0) -> None:
    """cscript (each of `cscripts`) runs the detection rule `rule`: it ends with `code`, shows
    no box, and writes the one line `detected`, or nothing."""
    for cscript in cscripts:
        run = TimedRun(session, cscript, ["//NoLogo", rule], describe=False)
        expect_run(run.result, code, [])
        expect_equal(run.result.stdout, f"{detected}\r\n" if detected else "",
                     f"what {cscript} {rule} wrote")


def remove_release(session: WineSession, folder: str) -> None:
    """Removes the release as the engines' uninstall command does: the release's own
    bootstrapper.exe -uninstall -silent, which removes the installed product of the family
    with msiexec /x and ends with 0."""
    removed = TimedRun(session, f"{folder}\\bootstrapper.exe", ["-uninstall", "-silent"])
    expect_run(removed.result, 0, [])
    expect_tmp_files(removed.result, expect_removals(removed))


def test_signed_distribution_installs(session: WineSession) -> None:
    """The test-signed zip that the release command made, unpacked as an administrator would.
    With quorlcom-x64.msi swapped for release 2, its signed bootstrapper.exe (told it runs on
    XP: CryptoAPI) asks the install question, then message 154 names that file: exit 1620,
    nothing run or installed, the SHA-256 expected and found in the log. With the release's
    package back, -silent (Windows 7: CNG) installs the x64 package from beside it (exact
    msiexec command line, the log named after it), leaves the win32 package alone, exit 0.
    Its detect.vbs, run by cscript, finds the plug-in not installed when nothing is, when an
    earlier release of the same UpgradeCode is, and after the release is removed; detected
    once the program has upgraded the earlier release (both cscripts where products are
    installed). With a release version it cannot read, it ends with 1, writing nothing."""
    (archive,) = session.config.build_dir.joinpath(*RELEASE_OUTPUT).glob("*-TEST-SIGNED.zip")
    with zipfile.ZipFile(archive) as distribution:
        distribution.extractall(session.unix_path("C:\\"))
    folder = "C:\\" + archive.stem
    rule = f"{folder}\\detect.vbs"
    expect_detection(session, rule, None, (CSCRIPT_64,))
    package = session.unix_path(f"{folder}\\{X64_PACKAGE}")
    released = package.read_bytes()
    swapped = package_files(session, {X64_PACKAGE: RELEASE_2})[X64_PACKAGE].read_bytes()
    package.write_bytes(swapped)
    session.reg_set_value(XP_FOR_THE_PROGRAM, "Version", "winxp")
    refused = TimedRun(session, folder + "\\bootstrapper.exe", answers=["yes", "ok"])
    expect_run(refused.result, 1620, [INSTALL_QUESTION, ExpectedBox(
        ERROR_CAPTION, f"Файл {folder}\\{X64_PACKAGE} не совпадает с файлом выпуска: возможно, "
        "он повреждён или подменён. Установка отменена.", ("ok",), True, True)])
    expect_nothing_run(refused)
    expect_log_lines(refused.result, [
        "Windows: 5.1 build 2600, service pack 3.0, product type 1 (workstation)",
        f"release file {X64_PACKAGE} does NOT match: expected SHA-256 "
        f"{hashlib.sha256(released).hexdigest()}, found {hashlib.sha256(swapped).hexdigest()}"])
    expect_installed(session, NOTHING_INSTALLED)
    session.reg_delete_key(XP_FOR_THE_PROGRAM)
    package.write_bytes(released)
    preinstall(session, EARLIER_RELEASE)
    expect_installed(session, EARLIER_INSTALLED)
    expect_detection(session, rule, None)
    run = TimedRun(session, folder + "\\bootstrapper.exe", ["-silent"])
    expect_run(run.result, 0, [])
    log = expect_logged_run(run, X64_PACKAGE)
    expect_msiexec_command(run, f"{folder}\\{X64_PACKAGE}", log, "")
    expect_log_lines(run.result, [f"release file {X64_PACKAGE}: SHA-256 "
                                  f"{hashlib.sha256(released).hexdigest()}, as in the release's "
                                  "manifest"])
    expect_installed(session, RELEASE_1_INSTALLED)
    expect_win32_package_left_alone(session)
    expect_detection(session, rule, f"{PRODUCT_CODE} {RELEASE_1.version}")
    expect_csp_from_its_checked_copy(session, folder)
    remove_release(session, folder)
    expect_installed(session, NOTHING_INSTALLED)
    expect_detection(session, rule, None, (CSCRIPT_64,))
    unreadable = session.unix_path(rule).read_bytes().replace(
        f'ReleaseVersion = "{RELEASE_1.version}"'.encode(), b'ReleaseVersion = "1.0.x"')
    broken = session.lay_out_run_folder("rule-errors", {"detect.vbs": unreadable})
    expect_detection(session, f"{broken}\\detect.vbs", None, (CSCRIPT_64,), code=1)


def expect_csp_from_its_checked_copy(session: WineSession, folder: str) -> None:
    """-csp where nobody can see, the plug-in installed: while the run waits for Windows
    Installer, after the check, csphook.dll is laid into the distribution's csp folder.
    Setup.exe, which loads it by bare name, runs from the checked copy in C:\\ProgramData and
    never loads it; the copy stays, recorded as the CSP's source, and the earlier release's
    copy is gone. The plug-in is installed already: exit 0."""
    session.unix_path(EARLIER_COPY + "\\csp").mkdir(parents=True)
    session.unix_path(EARLIER_COPY + "\\csp\\Setup.exe").write_bytes(b"MZ")
    session.reg_set_value(COPY_RECORD, "CspSource", EARLIER_COPY)
    planted = session.config.tools_dir / "planted" / "csphook.dll"
    laid = "C:\\csphook-laid.txt"

    def lay_the_dll_during_the_wait() -> None:
        waiting = "waiting for another installation by Windows Installer"
        deadline = time.monotonic() + 300
        while not any(waiting in log.read_text(encoding="utf-8-sig", errors="replace")
                      for log in session.unix_path(DEFAULT_TMP).glob("bootstrapper_*.log")):
            if time.monotonic() > deadline:
                raise AssertionError("the run never waited for Windows Installer")
            time.sleep(0.2)
        session.unix_path(f"{folder}\\csp\\csphook.dll").write_bytes(planted.read_bytes())
        session.unix_path(laid).write_text("laid\n")

    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        laying = pool.submit(lay_the_dll_during_the_wait)
        run = TimedRun(session, folder + "\\bootstrapper.exe", "-csp -silent -norestart",
                       station=STATION, hold_mutex=("Global\\_MSIExecute", laid), timeout=300)
        laying.result()
    expect_run(run.result, 0, [])
    expect_equal(session.unix_path(PLANTED_MARKER).exists(), False, "csphook.dll loaded")
    (copy,) = [match.group(1) for line in run.result.run_log_lines()
               if (match := re.fullmatch(r"CSP's copy (.*): made", line))]
    starts = [json.loads(line) for line in session.unix_path(
        copy + "\\csp\\starts.jsonl").read_text(encoding="utf-8").splitlines()]
    expect_equal([(start["current_folder"].rstrip("\\"),
                   start["command_line"].startswith('csp\\Setup.exe -args "/qn /Lv! '))
                  for start in starts], [(copy, True)], "Setup.exe's starts, from the copy")
    expect_log_lines(run.result, [f"CSP's copy {copy}: kept as the CSP's installation source",
                                  f"CSP's copy {EARLIER_COPY}: removed"])
    expect_equal(session.unix_path(EARLIER_COPY).exists(), False, "the earlier release's copy")


def test_uninstall_and_the_log_folder(session: WineSession) -> None:
    """test_plugin's scenarios of -uninstall and -log for the shipped program and the x64
    package: every version of the family removed, also where nobody can see; every log of a
    run in the -log folder, and 1622 where it cannot be made."""
    test_plugin.test_uninstall_removes_every_version(session, X64_PACKAGE)
    test_plugin.test_log_folder_holds_every_log(session, X64_PACKAGE, wow64=True)


def test_deployment_on_a_service_station(session: WineSession) -> None:
    """On a non-interactive station, as SYSTEM's session 0: 1603 with a quiet msiexec, no
    options installs, -Reinstall 1639, a 2020 marker ignored, deploy.cmd's 3010, the marker
    gone from both registry views; -silent without a package: 232."""
    deploy_on_a_service_station(session, X64_PACKAGE)
    expect_marker_in_both_views(session, False)


def test_concurrent_runs_on_a_service_station(session: WineSession) -> None:
    """The CSP's 1641 ending the run, its 3010 with the plug-in after it, two runs at once, a
    busy Windows Installer, for the shipped program."""
    concurrent_runs_on_a_service_station(session, X64_PACKAGE)
