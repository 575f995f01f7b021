"""The plug-in installation end to end: the real bootstrapper, real packages built by
wixl, the real Windows Installer of Wine. Each scenario checks what a run leaves behind:
the exit code, the boxes, the msiexec command line (Wine's process trace), the verbose log
in TMP and the time stamp on standard output, the products installed and the restart marker.

Under 64-bit Wine the x86_64 program is told that it runs natively (IsWow64Process gives
FALSE), so it takes the "*win32*" package: the packages here are named accordingly."""

from __future__ import annotations

import dataclasses
import datetime
import re
from pathlib import Path

from expect import (ExpectedBox, expect_equal, expect_log_lines, expect_run,
                    expect_tmp_files)
from harness import DEFAULT_TMP, WineSession
from packages import (OTHER_PRODUCT_CODE, PRODUCT_CODE, UPGRADE_CODE, PluginPackage,
                      cached_package)
from run_result import RUN_LOG_NAME, RunResult
from test_driver import INSTALL_QUESTION, MARKER
from wine_env import HarnessError

# Spaces and Cyrillic in the program's folder, as an administrator may well name it.
FOLDER = "Пакеты Сталвер\\setup"
# Where the fragment scenarios run: short, so that Wine's trace keeps the whole command line.
SHORT_FOLDER = "Stalver\\setup"
PACKAGE = "quorlcom-win32.msi"
MSIEXEC = r"C:\windows\system32\msiexec.exe"
INSTALLED = 5
FEATURE_LOCAL = 3
FEATURE_ABSENT = 2
# What Wine's msiexec shows, under /qb, for a failed launch condition.
WINE_INSTALL_FAILED = "Install Failed"

CAPTION = "Сталвер ЭЦП Browser plug-in"
UPDATE_CAPTION = "Обновление"
ERROR_CAPTION = "Ошибка"
INSTALLED_INFO = ExpectedBox(
    CAPTION,
    "Сталвер ЭЦП Browser plug-in успешно установлен.\nДля корректной работы Сталвер ЭЦП "
    "Browser plug-in может потребоваться перезапустить браузер.",
    ("ok",), has_icon=False, owned_by_hidden_static=True)
RESTART_QUESTION = ExpectedBox(
    CAPTION,
    "Сталвер ЭЦП Browser plug-in успешно установлен.\nДля корректной работы Сталвер ЭЦП "
    "Browser plug-in необходимо перезагрузить компьютер.\nПроизвести перезагрузку сейчас?",
    ("yes", "no"), has_icon=True, owned_by_hidden_static=True)
REINSTALL_QUESTION = ExpectedBox(
    UPDATE_CAPTION, "Эта версия Сталвер ЭЦП Browser plug-in уже установлена. Переустановить?",
    ("yes", "no"), has_icon=False, owned_by_hidden_static=True)
NEWER_INSTALLED = ExpectedBox(
    UPDATE_CAPTION, "Более новая версия Сталвер ЭЦП Browser plug-in уже установлена.",
    ("ok",), has_icon=True, owned_by_hidden_static=True)
NO_PRODUCT_CODE = ExpectedBox(ERROR_CAPTION, "Невозможно найти ProductCode msi-пакета.",
                              ("ok",), has_icon=True, owned_by_hidden_static=True)
LAUNCH_CONDITION_REFUSAL = ExpectedBox(WINE_INSTALL_FAILED, "MUSTBESET is not set", ("ok",))
DOWNGRADE_REFUSAL = ExpectedBox(WINE_INSTALL_FAILED, "A newer version is installed", ("ok",))

# The plug-in's releases. Each removes older releases of its family and refuses to go over
# a newer one, as a shipped package would.
RELEASE_1 = PluginPackage(version="1.0.0.0", major_upgrade=True)
RELEASE_2 = PluginPackage(version="2.0.0.0", product_code=OTHER_PRODUCT_CODE,
                          major_upgrade=True)
FAILING = PluginPackage(version="1.0.0.0", failure="launch-condition")
# What is installed afterwards: the version of each of the two product codes, or None.
NOTHING_INSTALLED = {PRODUCT_CODE: None, OTHER_PRODUCT_CODE: None}
RELEASE_1_INSTALLED = {PRODUCT_CODE: "1.0.0.0", OTHER_PRODUCT_CODE: None}
RELEASE_2_INSTALLED = {PRODUCT_CODE: None, OTHER_PRODUCT_CODE: "2.0.0.0"}
NEEDS_RESTART = PluginPackage(version="1.0.0.0", asks_for_restart=True)


# The end of every successful run's own log, and the lines of its first question.
SUCCESS_END = "exit code 0: success, or nothing to do (help shown, declined, cancelled, same version)"
CHILD_ENDED_0 = re.compile(r"the program ended with exit code 0 after \d+ ms")


def log_start(program: str, args: str, wow64: bool = False) -> list[str | re.Pattern]:
    """The lines that every log of the program's own starts with, under the test prefix."""
    return [f"program: {program}, file version 1.0.0.0",
            f'command line: "{program}" {args}'.rstrip(),
            "Windows: 6.1 build 7601, service pack 1.0, product type 1 (workstation)",
            f"WoW64 process: {'yes' if wow64 else 'no'}",
            f"native machine: 0x8664, package: {'x64' if wow64 else 'win32'}",
            "UI language: 0x0419",
            re.compile(r"account: \S+, session \d+"),
            f"TMP: {DEFAULT_TMP}",
            "desktop: visible (window station visible; session 1)"]


def repr_in_log(text: str) -> str:
    """A box text as the log quotes it: line breaks as \\n."""
    return '"' + text.replace("\n", "\\n") + '"'


def upgrade_question(name: str, installed: str, new: str) -> ExpectedBox:
    return ExpectedBox(UPDATE_CAPTION,
                       f"Будет произведено обновление {name} {installed} до версии {new}. "
                       "Обновить?", ("yes", "no"), has_icon=False, owned_by_hidden_static=False)


def failure_report(code: int, log_path: str | None) -> ExpectedBox:
    text = ("В процессе установки или обновления Сталвер ЭЦП Browser plug-in возникла ошибка"
            f": {code}.\n")
    if log_path is not None:
        text += f"Install log: {log_path}"
    return ExpectedBox(CAPTION, text, ("ok",), has_icon=True, owned_by_hidden_static=True)


# --------------------------------------------------------------------------------------
# Laying out, running, looking


def package_files(session: WineSession, files: dict[str, PluginPackage]) -> dict[str, Path]:
    """Each package built once per content into the build tree, under the names given."""
    cache = session.config.cache_dir / "package-cache"
    return {name: cached_package(package, cache, session.config.tools_dir)
            for name, package in files.items()}


def lay_out(session: WineSession, files: dict[str, PluginPackage],
            folder: str = FOLDER) -> str:
    """The program in `folder` with the packages beside it (or below: "sub\\name.msi")."""
    return session.install_bootstrapper(folder, package_files(session, files))


def preinstall(session: WineSession, package: PluginPackage) -> None:
    """Installs a package with msiexec itself, as an earlier release would have been."""
    folder = session.lay_out_run_folder(f"earlier\\{package.version}",
                                        package_files(session, {"plugin.msi": package}))
    result = session.run(MSIEXEC, ["/i", f"{folder}\\plugin.msi", "/qn"])
    expect_equal(result.exit_code, 0, f"msiexec installing release {package.version} first")


class TimedRun:
    """One run of the program, traced, with the host's local time before and after it."""

    def __init__(self, session: WineSession, program: str, args: list[str] | str = "",
                 describe: bool = True, **options):
        self.session = session
        self.before = datetime.datetime.now().replace(microsecond=0)
        self.result: RunResult = session.run(program, args, **options)
        self.after = datetime.datetime.now()
        if describe:
            print(self.result.describe())
        # Checks that no msiexec started mean something only when the trace works.
        if not traced_start_of(self.result, f'"{program}"'):
            raise HarnessError(f"Wine's trace does not show the start of {program}")


def traced_start_of(result: RunResult, command_start: str) -> bool:
    """The first process traced is the one whose command line starts so (or Wine cut its
    line before the end of `command_start`)."""
    if not result.process_trace:
        return False
    first = result.process_trace[0]
    return first.startswith(command_start) or (
        first.endswith("...") and command_start.startswith(first[:-3]))


def installed_versions(session: WineSession) -> dict[str, str | None]:
    """The version of each test product code, or None when it is not installed."""
    versions = {}
    for line in session.msi_query("product", PRODUCT_CODE, "product", OTHER_PRODUCT_CODE):
        _, code, fact, value = line.split(" ", 3)
        if fact == "state":
            versions[code] = None if int(value) != INSTALLED else ""
        elif fact == "version" and versions[code] is not None:
            versions[code] = value
    return versions


def expect_installed(session: WineSession, expected: dict[str, str | None]) -> None:
    expect_equal(installed_versions(session), expected, "installed products")


def feature_state(session: WineSession, product_code: str) -> int:
    line = session.msi_query("feature", product_code, "NPQUORL")[0]
    return int(line.split()[-1])


def msiexec_commands(result: RunResult) -> list[str]:
    """Command lines of every msiexec that the run started, at any depth."""
    return [command for command in result.process_trace if "msiexec" in command.lower()]


def expect_no_restart(run: TimedRun) -> None:
    """Wine shows a restart of Windows as a start of "wineboot.exe --end-session"."""
    expect_equal([command for command in run.result.process_trace if "wineboot" in command],
                 [], "restart requests")


def expect_nothing_run(run: TimedRun, own_log: bool = True) -> None:
    """No msiexec, no install log (only the program's own, unless `own_log` is False: TMP
    named no folder), no time stamp."""
    expect_equal(msiexec_commands(run.result), [], "msiexec started")
    expect_tmp_files(run.result, [], own_log=own_log)
    expect_equal(run.result.stdout, "", "standard output")


def expect_logged_run(run: TimedRun, package_file: str = PACKAGE,
                      tmp: str = DEFAULT_TMP) -> str:
    """One time stamp on standard output, in local time of the run; one install log in TMP
    named after the package file and that stamp, and msiexec wrote into it; beside it the
    program's own log. Returns the install log's path."""
    match = re.fullmatch(r"(\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d)\r\n", run.result.stdout)
    if match is None:
        raise AssertionError(f"standard output is not one time stamp: {run.result.stdout!r}")
    stamp = match.group(1)
    moment = datetime.datetime.strptime(stamp, "%Y-%m-%d-%H-%M-%S")
    if not run.before <= moment <= run.after:
        raise AssertionError(f"time stamp {stamp} is not the local time of the run "
                             f"({run.before} to {run.after})")
    log_name = f"{package_file}_{stamp}.log"
    expect_tmp_files(run.result, [log_name])
    log_path = f"{tmp}\\{log_name}"
    if run.session.unix_path(log_path).stat().st_size == 0:
        raise AssertionError(f"the log {log_path} is empty")
    return log_path


def log_properties(session: WineSession, log_path: str) -> dict[str, str]:
    """The properties that msiexec's verbose log lists ("Property(S): NAME = VALUE")."""
    text = session.unix_path(log_path).read_bytes().decode("latin-1")
    return dict(re.findall(r"^Property\(S\): (\w+) = (.*)$", text, re.MULTILINE))


def expect_msiexec_command(run: TimedRun, package_path: str, log_path: str,
                           fragments: str, ui: str = " /qb") -> None:
    """The run started msiexec once, with exactly this command line: the package, the
    verbose log, REBOOT=R, the `ui` option and then the fragments of the case."""
    expected = (f'"{MSIEXEC}" /i "{package_path}" /Lv! "{log_path}" REBOOT=R {ui}'
                f"{fragments}")
    started = [command for command in run.result.process_trace
               if command.startswith(f'"{MSIEXEC}" /i ')]
    expect_equal(len(started), 1, f"msiexec runs started by the program: {started}")
    if started[0].endswith("...") and expected.startswith(started[0][:-3]):
        raise AssertionError("Wine's trace cut the command line: use shorter paths")
    expect_equal(started[0], expected, "msiexec command line")


def expect_properties(session: WineSession, log_path: str,
                      expected: dict[str, str | None]) -> None:
    """msiexec received and used these properties (its log lists them)."""
    properties = log_properties(session, log_path)
    expect_equal({name: properties.get(name) for name in expected}, expected,
                  f"properties in {log_path}")


# --------------------------------------------------------------------------------------
# Fresh install


def test_fresh_silent_install(session: WineSession) -> None:
    """No product of the family installed, -silent: msiexec installs the win32 package with
    ADDNPQUORL=1 and a verbose log in TMP named after the package and the time stamp that
    the run prints; no box; exit 0; the product is installed at its version."""
    program = lay_out(session, {PACKAGE: RELEASE_1})
    run = TimedRun(session, program, ["-silent"])
    expect_run(run.result, 0, [])
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{FOLDER}\\{PACKAGE}", log, " ADDNPQUORL=1")
    expect_properties(session, log, {"ADDNPQUORL": "1", "REBOOT": "R"})
    expect_installed(session, RELEASE_1_INSTALLED)
    expect_equal(feature_state(session, PRODUCT_CODE), FEATURE_LOCAL, "NPQUORL")
    expect_equal(session.reg_key_exists(MARKER), False, "restart marker")
    package = f"C:\\{FOLDER}\\{PACKAGE}"
    search = f"package search C:\\{FOLDER}\\*win32**.msi: found {package}"
    expect_log_lines(run.result, log_start(program, "-silent") + [
        "options: -silent=yes -norestart=no -reinstall=no -csp=no -selectDlg=no -uninstall=no "
        '-QuorlArgs="" -CSPArgs="" -vbscript="" -log=""',
        "check administrator: passed",
        "check not Windows 2000 below Service Pack 4: passed",
        "check not Windows XP below Service Pack 2: passed",
        "check not Windows Server 2003 below Service Pack 1: passed",
        f'box 103 suppressed by -silent: "{INSTALL_QUESTION.text}"; answer taken Yes',
        "release manifest: none, the files beside the program are used unchecked (a build that "
        "is not a release)",
        search, f"package {package}: opened", f"package property UpgradeCode = {UPGRADE_CODE}",
        f"related product of UpgradeCode {UPGRADE_CODE}: none (259)",
        search, f"package {package}: opened", f"package property ProductCode = {PRODUCT_CODE}",
        "installed product (none): product state -2 (invalid argument)",
        "decision: fresh install (no product of the plug-in family is installed)",
        f"package search C:\\{FOLDER}\\quorlcom*win32*: found {package}",
        f'starting: "{MSIEXEC}" /i "{package}" /Lv! "{log}" REBOOT=R  /qb ADDNPQUORL=1',
        CHILD_ENDED_0,
        "restart marker HKCU\\Software\\NeedBstrReboot: absent",
        "box 110 suppressed by -silent: " + repr_in_log(INSTALLED_INFO.text) + "; answer taken OK",
        SUCCESS_END], whole=True)


def test_fresh_install_from_a_subfolder_with_questions(session: WineSession) -> None:
    """The program in a folder with spaces and Cyrillic, the package one folder below it:
    the install question, Yes, msiexec installs it from there, then message 110; exit 0."""
    program = lay_out(session, {f"plugin msi\\{PACKAGE}": RELEASE_1})
    run = TimedRun(session, program, answers=["yes", "ok"])
    expect_run(run.result, 0, [INSTALL_QUESTION, INSTALLED_INFO])
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{FOLDER}\\plugin msi\\{PACKAGE}", log, " ADDNPQUORL=1")
    expect_installed(session, RELEASE_1_INSTALLED)


def test_no_package_at_all(session: WineSession) -> None:
    """Nothing beside the program: message 151 under "Ошибка", then the failure report with
    232 and no log line; exit 232; msiexec never starts."""
    program = lay_out(session, {})
    run = TimedRun(session, program, answers=["yes", "ok", "ok"])
    expect_run(run.result, 232, [INSTALL_QUESTION, NO_PRODUCT_CODE, failure_report(232, None)])
    expect_nothing_run(run)


# --------------------------------------------------------------------------------------
# Upgrade


def test_upgrade_accepted(session: WineSession) -> None:
    """Release 1 installed, release 2 (new ProductCode, same UpgradeCode) beside the
    program: message 153 with both versions under "Обновление", Yes, msiexec with no
    fragment of its own, message 110; exit 0; release 2 replaces release 1."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, {PACKAGE: RELEASE_2})
    run = TimedRun(session, program, answers=["yes", "yes", "ok"])
    expect_run(run.result, 0, [
        INSTALL_QUESTION, upgrade_question("Stalver Browser plug-in", "1.0.0.0", "2.0.0.0"),
        INSTALLED_INFO])
    expect_equal(run.result.boxes[1].owner, None, "owner of the upgrade question")
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{FOLDER}\\{PACKAGE}", log, "")
    expect_installed(session, RELEASE_2_INSTALLED)


def test_upgrade_declined(session: WineSession) -> None:
    """Message 153 answered No ends the run at once with exit code 1: no msiexec, no
    further box, release 1 still installed."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, {PACKAGE: RELEASE_2})
    run = TimedRun(session, program, answers=["yes", "no"])
    expect_run(run.result, 1, [
        INSTALL_QUESTION, upgrade_question("Stalver Browser plug-in", "1.0.0.0", "2.0.0.0")])
    expect_nothing_run(run)
    expect_installed(session, RELEASE_1_INSTALLED)


def test_silent_upgrade(session: WineSession) -> None:
    """-silent asks nothing and upgrades: exit 0, release 2 installed."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, {PACKAGE: RELEASE_2})
    run = TimedRun(session, program, ["-silent"])
    expect_run(run.result, 0, [])
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{FOLDER}\\{PACKAGE}", log, "")
    expect_installed(session, RELEASE_2_INSTALLED)


# --------------------------------------------------------------------------------------
# Same version


def test_same_version_silent_does_nothing(session: WineSession) -> None:
    """The installed version again with -silent: nothing is run, exit 0, no log."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, {PACKAGE: RELEASE_1})
    run = TimedRun(session, program, ["-silent"])
    expect_run(run.result, 0, [])
    expect_nothing_run(run)
    expect_installed(session, RELEASE_1_INSTALLED)


def test_same_version_reinstall_silent(session: WineSession) -> None:
    """-reinstall -silent with the installed version: msiexec reinstalls it with
    " REINSTALL=ALL REINSTALLMODE=vomus" (same ProductCode); exit 0."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, {PACKAGE: RELEASE_1}, SHORT_FOLDER)
    run = TimedRun(session, program, ["-reinstall", "-silent"])
    expect_run(run.result, 0, [])
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{SHORT_FOLDER}\\{PACKAGE}", log,
                           " REINSTALL=ALL REINSTALLMODE=vomus")
    expect_properties(session, log, {"REINSTALL": "ALL", "REINSTALLMODE": "vomus",
                                     "ADDNPQUORL": None})
    expect_installed(session, RELEASE_1_INSTALLED)


def test_same_version_question_declined(session: WineSession) -> None:
    """Without -silent the installed version gives message 147 under "Обновление"; No ends
    with 1602 and no further box."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, {PACKAGE: RELEASE_1})
    run = TimedRun(session, program, answers=["yes", "no"])
    expect_run(run.result, 1602, [INSTALL_QUESTION, REINSTALL_QUESTION])
    expect_nothing_run(run)
    expect_installed(session, RELEASE_1_INSTALLED)


def test_same_version_question_accepted(session: WineSession) -> None:
    """Message 147 answered Yes reinstalls, then message 110; exit 0."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, {PACKAGE: RELEASE_1}, SHORT_FOLDER)
    run = TimedRun(session, program, answers=["yes", "yes", "ok"])
    expect_run(run.result, 0, [INSTALL_QUESTION, REINSTALL_QUESTION, INSTALLED_INFO])
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{SHORT_FOLDER}\\{PACKAGE}", log,
                           " REINSTALL=ALL REINSTALLMODE=vomus")
    expect_installed(session, RELEASE_1_INSTALLED)


# --------------------------------------------------------------------------------------
# Older package


def test_older_package_refused(session: WineSession) -> None:
    """Release 2 installed, release 1 beside the program: message 150 under "Обновление",
    exit 1638, nothing run or changed; -reinstall does not override it."""
    preinstall(session, RELEASE_2)
    program = lay_out(session, {PACKAGE: RELEASE_1})
    for args in ([], ["-reinstall"]):
        run = TimedRun(session, program, args, answers=["yes", "ok"])
        expect_run(run.result, 1638, [INSTALL_QUESTION, NEWER_INSTALLED])
        expect_nothing_run(run)
        expect_log_lines(run.result, log_start(program, " ".join(args)) + [
            f'box 103 shown: "{INSTALL_QUESTION.text}"; answer Yes',
            f"related product of UpgradeCode {UPGRADE_CODE}: {OTHER_PRODUCT_CODE}",
            f"installed product {OTHER_PRODUCT_CODE}: product state 5 (installed)",
            f"installed product {OTHER_PRODUCT_CODE} version 2.0.0.0",
            "versions: installed 2.0.0.0, package 1.0.0.0: the package is older",
            "decision: refuse the older package (a newer version is installed)",
            f'box 150 shown: "{NEWER_INSTALLED.text}"; answer OK',
            "exit code 1638: another version of the product is installed"])
    expect_installed(session, RELEASE_2_INSTALLED)


def test_older_package_silent_goes_to_msiexec(session: WineSession) -> None:
    """With -silent the older package is handed to msiexec like any other; here the
    package itself refuses to go over its newer release (its own box under /qb, 1603),
    and the silent run ends with that code and no box of its own."""
    preinstall(session, RELEASE_2)
    program = lay_out(session, {PACKAGE: RELEASE_1})
    run = TimedRun(session, program, ["-silent"], answers=["ok"])
    expect_run(run.result, 1603, [DOWNGRADE_REFUSAL])
    expect_equal(run.result.boxes[0].process, "msiexec.exe", "process of the refusal")
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{FOLDER}\\{PACKAGE}", log, "")
    expect_installed(session, RELEASE_2_INSTALLED)


# --------------------------------------------------------------------------------------
# Failure and restart


def test_failing_package_is_reported_with_its_log(session: WineSession) -> None:
    """A package whose launch condition fails: msiexec's own box (/qb), then message 106
    with ": 1603." and the path of the log, which lies in a TMP with spaces and Cyrillic;
    exit 1603; nothing installed."""
    tmp = "C:\\Временные файлы"
    program = lay_out(session, {PACKAGE: FAILING})
    run = TimedRun(session, program, answers=["yes", "ok", "ok"], env={"TMP": tmp})
    log = expect_logged_run(run, tmp=tmp)
    expect_run(run.result, 1603, [INSTALL_QUESTION, LAUNCH_CONDITION_REFUSAL,
                                  failure_report(1603, log)])
    expect_equal([box.process for box in run.result.boxes],
                 ["bootstrapper.exe", "msiexec.exe", "bootstrapper.exe"], "processes of the boxes")
    expect_installed(session, NOTHING_INSTALLED)


def test_failing_package_silent(session: WineSession) -> None:
    """The same failure with -silent: no box of the program's own, exit 1603, the log."""
    program = lay_out(session, {PACKAGE: FAILING})
    run = TimedRun(session, program, ["-silent"], answers=["ok"])
    expect_run(run.result, 1603, [LAUNCH_CONDITION_REFUSAL])
    expect_logged_run(run)


def test_restart_request_silent_norestart_keeps_marker(session: WineSession) -> None:
    """msiexec ends with 3010: with -silent -norestart the run ends with 0 and leaves the
    restart marker; no box."""
    program = lay_out(session, {PACKAGE: NEEDS_RESTART})
    run = TimedRun(session, program, ["-silent", "-norestart"])
    expect_run(run.result, 0, [])
    expect_logged_run(run)
    expect_no_restart(run)
    expect_equal(session.reg_key_exists(MARKER), True, "restart marker after the run")
    expect_installed(session, RELEASE_1_INSTALLED)


def test_restart_question_declined(session: WineSession) -> None:
    """msiexec ends with 3010 in a run with questions: message 108 (Yes/No, warning); No
    ends with 0, no restart, and the marker is gone."""
    program = lay_out(session, {PACKAGE: NEEDS_RESTART})
    run = TimedRun(session, program, answers=["yes", "no"])
    expect_run(run.result, 0, [INSTALL_QUESTION, RESTART_QUESTION])
    expect_logged_run(run)
    expect_no_restart(run)
    expect_equal(session.reg_key_exists(MARKER), False, "restart marker after the run")
    expect_installed(session, RELEASE_1_INSTALLED)


# --------------------------------------------------------------------------------------
# NPQUORL absent


def test_absent_feature_same_product_code(session: WineSession) -> None:
    """Installed with NPQUORL absent, the same ProductCode again (-reinstall): the
    COMPADDLOCAL fragment, then the REINSTALL fragment."""
    featureless = PluginPackage(version="1.0.0.0", plugin_feature_absent=True)
    preinstall(session, featureless)
    expect_equal(feature_state(session, PRODUCT_CODE), FEATURE_ABSENT, "NPQUORL before")
    program = lay_out(session, {PACKAGE: featureless}, SHORT_FOLDER)
    run = TimedRun(session, program, ["-reinstall", "-silent"])
    expect_run(run.result, 0, [])
    log = expect_logged_run(run)
    expect_msiexec_command(
        run, f"C:\\{SHORT_FOLDER}\\{PACKAGE}", log,
        " COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3} REINSTALL=ALL REINSTALLMODE=vomus")
    expect_properties(session, log, {"COMPADDLOCAL": "{316A4D11-D027-4C52-86B6-54D1FBC148E3}",
                                     "REINSTALL": "ALL", "REINSTALLMODE": "vomus"})


def test_absent_feature_other_product_code(session: WineSession) -> None:
    """Installed with NPQUORL absent, a newer release with another ProductCode whose
    NPQUORL is also off by default: " ADDLOCAL=ALL", so the new product has it installed."""
    preinstall(session, PluginPackage(version="1.0.0.0", plugin_feature_absent=True,
                                      major_upgrade=True))
    newer = PluginPackage(version="2.0.0.0", product_code=OTHER_PRODUCT_CODE,
                          plugin_feature_absent=True, major_upgrade=True)
    program = lay_out(session, {PACKAGE: newer}, SHORT_FOLDER)
    run = TimedRun(session, program, ["-silent"])
    expect_run(run.result, 0, [])
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{SHORT_FOLDER}\\{PACKAGE}", log, " ADDLOCAL=ALL")
    expect_installed(session, RELEASE_2_INSTALLED)
    expect_equal(feature_state(session, OTHER_PRODUCT_CODE), FEATURE_LOCAL, "NPQUORL after")


# --------------------------------------------------------------------------------------
# Architecture and language words


ARCHITECTURE_UPGRADE_CODE = "{0C7E1A52-8B3D-4E6F-A1C2-D3E4F5061728}"
X64_PRODUCT_CODE = "{5D4C3B2A-1F0E-4D9C-8B7A-6F5E4D3C2B1A}"


def language_folder() -> dict[str, PluginPackage]:
    """Release 2 under four names beside each other. The x64 one is another product of
    another family: were it taken for the product codes, no upgrade would be seen."""
    def named(name: str) -> PluginPackage:
        return dataclasses.replace(RELEASE_2, product_name=name)

    return {
        "quorlcom-x64.msi": PluginPackage(product_name="Stalver plug-in x64", version="3.0.0.0",
                                          product_code=X64_PRODUCT_CODE,
                                          upgrade_code=ARCHITECTURE_UPGRADE_CODE),
        PACKAGE: named("Stalver plug-in"),
        "rus-quorlcom-win32.msi": named("Stalver plug-in RUS"),
        "eng-quorlcom-win32.msi": named("Stalver plug-in ENG"),
    }


def test_language_word_picks_the_name_in_the_question(session: WineSession) -> None:
    """x64 and win32, rus and eng packages beside each other: the upgrade question names
    the rus package's product under a Russian UI and the eng package's under an English
    one (the texts stay Russian); without an eng package, the first quorlcom*.msi."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, language_folder())
    for lang, name in (("ru", "Stalver plug-in RUS"), ("en", "Stalver plug-in ENG")):
        run = TimedRun(session, program, answers=["yes", "no"], lang=lang)
        expect_run(run.result, 1, [INSTALL_QUESTION,
                                   upgrade_question(name, "1.0.0.0", "2.0.0.0")])
        expect_nothing_run(run)
    session.unix_path(program).with_name("eng-quorlcom-win32.msi").unlink()
    run = TimedRun(session, program, answers=["yes", "no"], lang="en")
    expect_run(run.result, 1, [INSTALL_QUESTION,
                               upgrade_question("Stalver plug-in", "1.0.0.0", "2.0.0.0")])


def test_win32_package_is_installed_beside_x64(session: WineSession) -> None:
    """The same folder, upgrade accepted: the product codes come from a win32 package (the
    question is asked), and the package installed is quorlcom-win32.msi, not the x64 one
    nor the language ones."""
    preinstall(session, RELEASE_1)
    program = lay_out(session, language_folder())
    run = TimedRun(session, program, answers=["yes", "yes", "ok"])
    expect_run(run.result, 0, [INSTALL_QUESTION,
                               upgrade_question("Stalver plug-in RUS", "1.0.0.0", "2.0.0.0"),
                               INSTALLED_INFO])
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{FOLDER}\\{PACKAGE}", log, "")
    expect_installed(session, RELEASE_2_INSTALLED)
    expect_equal(session.product_state(X64_PRODUCT_CODE), -1, "state of the x64 product")


# --------------------------------------------------------------------------------------
# Removal and the log folder


RELEASE_2_BESIDE = PluginPackage(version="2.0.0.0", product_code=OTHER_PRODUCT_CODE)  # no upgrade
REMOVED_INFO = ExpectedBox(CAPTION, "Сталвер ЭЦП Browser plug-in удалён.", ("ok",), False, True)
LOG_FOLDER = "C:\\logs\\new\\deeper"


def expect_removals(run: TimedRun, ui: str = " /qb") -> list[str]:
    """msiexec /x once for each product that the run's log lists as related, in its order,
    each with a verbose log in TMP named after it and a time stamp the run printed. Returns
    the logs' names."""
    codes = [match.group(1) for line in run.result.run_log_lines()
             if (match := re.fullmatch(r"related product of UpgradeCode \S+: (\{\S+\})", line))]
    stamps = re.findall(r"(\d{4}(?:-\d\d){5})\r\n", run.result.stdout)
    expect_equal(len(stamps), len(codes), f"time stamps printed for {codes}: {stamps}")
    names = [f"quorlcom-uninstall_{code}_{stamp}.log" for code, stamp in zip(codes, stamps)]
    expect_equal([command for command in run.result.process_trace if " /x " in command],
                 [f'"{MSIEXEC}" /x "{code}" /Lv! "{DEFAULT_TMP}\\{name}" REBOOT=R {ui}'
                  for code, name in zip(codes, names)], "msiexec removals")
    return names


def test_uninstall_removes_every_version(session: WineSession, package: str = PACKAGE) -> None:
    """Releases 1 and 2 of the family side by side, release 1 beside the program: -uninstall
    asks message 156, removes both with msiexec /x (listed first: Wine forgets a family's other
    products once one goes), a log each in TMP, then message 159; exit 0. Release 1 again,
    -uninstall where nobody can see: /qn, no box, ends by itself with 0. Nothing installed,
    -uninstall -silent: 0, nothing run, its log says so."""
    from test_session0 import STATION  # it imports this file
    preinstall(session, RELEASE_1)
    preinstall(session, RELEASE_2_BESIDE)
    expect_installed(session, {PRODUCT_CODE: "1.0.0.0", OTHER_PRODUCT_CODE: "2.0.0.0"})
    program = lay_out(session, {package: RELEASE_1}, SHORT_FOLDER)
    asked = TimedRun(session, program, ["-uninstall"], answers=["yes", "ok"])
    expect_run(asked.result, 0, [ExpectedBox(CAPTION, "Удалить Сталвер ЭЦП Browser plug-in?",
                                             ("yes", "no"), False, True), REMOVED_INFO])
    expect_tmp_files(asked.result, sorted(expect_removals(asked)))
    expect_installed(session, NOTHING_INSTALLED)
    preinstall(session, RELEASE_1)
    unseen = TimedRun(session, program, ["-uninstall"], station=STATION)
    expect_run(unseen.result, 0, [])
    expect_equal(len(expect_removals(unseen, " /qn")), 1, "removals where nobody can see")
    expect_installed(session, NOTHING_INSTALLED)
    nothing = TimedRun(session, program, ["-uninstall", "-silent"])
    expect_run(nothing.result, 0, [])
    expect_nothing_run(nothing)
    expect_log_lines(nothing.result, [
        "decision: remove nothing (no product of the plug-in family is installed)", SUCCESS_END])


def test_log_folder_holds_every_log(session: WineSession, package: str = PACKAGE,
                                    wow64: bool = False) -> None:
    """-silent -log C:\\logs\\new\\deeper, none of it there: the folders are made; the
    run's own log from its first line and msiexec's (exact command line) lie there, nothing in
    TMP; exit 0. A folder under a file cannot be made: message 160 under "Ошибка", exit 1622
    before the first question, nothing run; the run's log in TMP says why."""
    program = lay_out(session, {package: RELEASE_1}, SHORT_FOLDER)
    run = TimedRun(session, program, ["-silent", "-log", LOG_FOLDER])
    expect_run(run.result, 0, [])
    expect_tmp_files(run.result, [], own_log=False)
    stamp = run.result.stdout.strip()
    names = sorted(path.name for path in session.unix_path(LOG_FOLDER).iterdir())
    expect_equal([bool(RUN_LOG_NAME.fullmatch(name)) for name in names[:1]] + names[1:],
                 [True, f"{package}_{stamp}.log"], f"files in {LOG_FOLDER}: {names}")
    expect_msiexec_command(run, f"C:\\{SHORT_FOLDER}\\{package}",
                           f"{LOG_FOLDER}\\{names[1]}", " ADDNPQUORL=1")
    own_log = session.unix_path(f"{LOG_FOLDER}\\{names[0]}").read_bytes()
    expect_log_lines(dataclasses.replace(run.result, run_log=own_log), log_start(
        program, f"-silent -log {LOG_FOLDER}", wow64)[:8] + [f"log folder: {LOG_FOLDER}"])
    expect_installed(session, RELEASE_1_INSTALLED)
    session.unix_path("C:\\logs\\file").write_text("in the way\n")
    lay_out(session, {package: RELEASE_2}, SHORT_FOLDER)
    refused = TimedRun(session, program, ["-log", "C:\\logs\\file\\deeper"], answers=["ok"])
    expect_run(refused.result, 1622, [ExpectedBox(
        ERROR_CAPTION, "Невозможно записать журналы установки в папку C:\\logs\\file\\deeper.",
        ("ok",), True, True)])
    expect_nothing_run(refused)
    expect_log_lines(refused.result, [re.compile(r"log folder: C:\\logs\\file\\deeper could NOT be "
                                                 r"made or written \(error \d+\): the run ends")])
    expect_installed(session, RELEASE_1_INSTALLED)
