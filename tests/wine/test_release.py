"""Release checks of the real program under Wine: a DLL planted under the name msi.dll is
never loaded, and bad input on disk, on the command line and in the environment ends in
an exact message and exit code, never in a crash.

The codes that Wine's Windows Installer gives are Wine's: MsiOpenPackageExW answers 1627
(ERROR_FUNCTION_FAILED) for a file that is not a package, for a folder and when the TMP
folder is missing (it copies the package into the temporary folder first)."""

from __future__ import annotations

from expect import ExpectedBox, expect_equal, expect_log_lines, expect_run
from harness import WineSession
from packages import OTHER_PRODUCT_CODE, PRODUCT_CODE
from test_csp import QUESTION_102
from test_driver import INSTALL_QUESTION
from test_plugin import (ERROR_CAPTION, INSTALLED_INFO, MSIEXEC, NO_PRODUCT_CODE, PACKAGE,
                         RELEASE_1, RELEASE_2, TimedRun, expect_logged_run,
                         expect_msiexec_command, expect_nothing_run, expect_properties,
                         failure_report, installed_versions, lay_out, package_files, preinstall,
                         upgrade_question)

FOLDER = "Users\\Public\\Рабочий стол\\Сталвер установка"
# Short and plain, so that Wine's process trace keeps the whole msiexec command line.
SHORT_FOLDER = "Stalver\\release"
PLANTED_MARKER = "C:\\planted-loaded.txt"
# Wine takes a native msi.dll before its own, as Windows takes any DLL it finds first.
PREFER_NATIVE_MSI = "msi=n,b"
MAX_PATH = 260
ERROR_FILENAME_EXCED_RANGE = 206
WINE_OPEN_FAILED = 1627  # MsiOpenPackageExW of Wine: ERROR_FUNCTION_FAILED
NOTHING_INSTALLED = {PRODUCT_CODE: None, OTHER_PRODUCT_CODE: None}
RELEASE_1_INSTALLED = {PRODUCT_CODE: "1.0.0.0", OTHER_PRODUCT_CODE: None}
ERROR_ENVVAR_NOT_FOUND = 203
TMP_UNREADABLE = ExpectedBox(ERROR_CAPTION, "Невозможно узнать значение переменной окружения.",
                             ("ok",), has_icon=True, owned_by_hidden_static=True)


def folder_of_length(length: int) -> str:
    """A folder below C:\\ whose full Windows path has exactly `length` characters: levels
    of Cyrillic words with spaces, as deep as needed."""
    level = "Установка Сталвер ЭЦП"
    parts, remaining = [], length - len("C:\\")
    while remaining > 2 * len(level):
        parts.append(level)
        remaining -= len(level) + 1
    parts.append(("Пакеты плагина" + "ы" * remaining)[:remaining])
    folder = "\\".join(parts)
    assert len("C:\\" + folder) == length and not parts[-1].endswith(" ")
    return folder


def expect_no_crash_of_ours(run: TimedRun) -> None:
    expect_equal(run.result.outcome, "exit-code", "how the run ended")
    if run.result.exit_code is not None and run.result.exit_code >= 0xC0000000:
        raise AssertionError(f"the program died with exception {run.result.exit_code:#x}:\n"
                             f"{run.result.stdout[:2000]}")


def expect_refused_before_msiexec(session: WineSession, program: str, code: int,
                                  **run_options) -> None:
    """-silent ends with `code` and shows nothing; without it the install question, message
    151 and the failure report with `code` and no log line follow. msiexec never starts
    and nothing is installed."""
    own_log = run_options.get("create_tmp", True)  # a missing TMP folder gets no log
    silent = TimedRun(session, program, ["-silent"], **run_options)
    expect_no_crash_of_ours(silent)
    expect_run(silent.result, code, [])
    expect_nothing_run(silent, own_log)
    asked = TimedRun(session, program, answers=["yes", "ok", "ok"], **run_options)
    expect_no_crash_of_ours(asked)
    expect_run(asked.result, code, [INSTALL_QUESTION, NO_PRODUCT_CODE, failure_report(code, None)])
    expect_nothing_run(asked, own_log)
    expect_equal(installed_versions(session), NOTHING_INSTALLED, "installed products")


# --------------------------------------------------------------------------------------
# DLL planting


def test_planted_msi_dll_is_not_loaded(session: WineSession) -> None:
    """A DLL named msi.dll beside the program (also its working folder), Wine told to
    prefer a native msi.dll: a -silent fresh install still goes through the system's
    Windows Installer (exit 0, the product installed, the log written) and the planted
    DLL's marker file never appears. (In the same setup a program that calls plain
    LoadLibraryW(L"msi.dll") does load the planted DLL and leaves the marker.)"""
    session.extra_dll_overrides = PREFER_NATIVE_MSI
    planted = session.config.planted_msi_dll(session.build)
    program = session.install_bootstrapper(
        SHORT_FOLDER, {**package_files(session, {PACKAGE: RELEASE_1}), "msi.dll": planted})
    run = TimedRun(session, program, ["-silent"])
    marker = session.unix_path(PLANTED_MARKER)
    loaded_by = marker.read_text(errors="replace") if marker.exists() else None
    expect_equal(loaded_by, None, f"{PLANTED_MARKER} (processes that loaded the planted DLL)")
    expect_run(run.result, 0, [])
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{SHORT_FOLDER}\\{PACKAGE}", log, " ADDNPQUORL=1")
    expect_equal(installed_versions(session), RELEASE_1_INSTALLED, "installed products")


# --------------------------------------------------------------------------------------
# Long paths


def test_longest_package_path_installs(session: WineSession) -> None:
    """The program in a deep folder of Cyrillic names with spaces, so that the package
    beside it has a path of 259 characters, the longest that fits MAX_PATH: the install
    question, Yes, the install, message 110; exit 0; the product installed; the log."""
    folder = folder_of_length(MAX_PATH - 1 - len("\\" + PACKAGE))
    program = lay_out(session, {PACKAGE: RELEASE_1}, folder)
    expect_equal(len(program.rsplit("\\", 1)[0] + "\\" + PACKAGE), MAX_PATH - 1,
                 "length of the package path")
    run = TimedRun(session, program, answers=["yes", "ok"])
    expect_run(run.result, 0, [INSTALL_QUESTION, INSTALLED_INFO])
    log = expect_logged_run(run)
    expect_properties(session, log, {"ADDNPQUORL": "1", "REBOOT": "R"})
    expect_equal(installed_versions(session), RELEASE_1_INSTALLED, "installed products")


def test_package_path_beyond_max_path_is_refused(session: WineSession) -> None:
    """The program's path fits MAX_PATH but the package lies one folder below, at a path of
    290 characters: Windows Installer is never handed a path that does not fit its
    MAX_PATH buffers (Wine's MsiOpenPackageExW overruns its stack with one of 269 or more
    and the process dies). The product code cannot be read: 206
    (ERROR_FILENAME_EXCED_RANGE), message 151 and the failure report."""
    folder = folder_of_length(MAX_PATH - 1 - len("\\" + PACKAGE))
    subfolder = "Пакеты плагина Сталвер ЭЦП 001"
    program = lay_out(session, {f"{subfolder}\\{PACKAGE}": RELEASE_1}, folder)
    expect_equal(len(f"C:\\{folder}\\{subfolder}\\{PACKAGE}"), 290, "length of the package path")
    expect_refused_before_msiexec(session, program, ERROR_FILENAME_EXCED_RANGE)


# --------------------------------------------------------------------------------------
# Damaged packages and look-alikes


def test_damaged_package(session: WineSession) -> None:
    """A file named quorlcom-win32.msi that is no package: Windows Installer cannot open it
    (1627 in Wine). -silent: exit 1627, no box. Otherwise message 151 under "Ошибка", then
    the failure report with 1627 and no log line. msiexec never starts."""
    program = session.install_bootstrapper(
        FOLDER, {PACKAGE: b"This is no Windows Installer package.\r\n" * 64})
    expect_refused_before_msiexec(session, program, WINE_OPEN_FAILED)


def test_folder_named_like_a_package(session: WineSession) -> None:
    """A folder named quorlcom-win32.msi beside the program (the search takes folders as
    well): the open fails as for a damaged package, 1627, message 151 and the report."""
    program = session.install_bootstrapper(FOLDER, {f"{PACKAGE}\\readme.txt": b"not a package\r\n"})
    expect_refused_before_msiexec(session, program, WINE_OPEN_FAILED)


# --------------------------------------------------------------------------------------
# Command line and environment


def test_quorl_args_with_quotes(session: WineSession) -> None:
    """-QuorlArgs "USERPIN=\\"Hx4 Kp9\\"" reaches msiexec as USERPIN="Hx4 Kp9" (with a blank
    before and after), and msiexec reads the property as Hx4 Kp9; so do the abbreviated secret
    names and msiexec's doubled quote. The install succeeds. The program's own log writes each
    secret-looking value as *** wherever it shows it, and holds none of them."""
    program = lay_out(session, {PACKAGE: RELEASE_1}, SHORT_FOLDER)
    run = TimedRun(session, program, '-silent -QuorlArgs "USERPIN=\\"Hx4 Kp9\\"" '
                   '-QuorlArgs PROXY_PASS=Pq7w -QuorlArgs SQL_CREDENTIAL=Cr8z '
                   '-QuorlArgs "DB_PWD=\\"x\\"\\"y9 z\\""')
    expect_run(run.result, 0, [])
    log = expect_logged_run(run)
    expect_msiexec_command(run, f"C:\\{SHORT_FOLDER}\\{PACKAGE}", log,
                           ' ADDNPQUORL=1 USERPIN="Hx4 Kp9"  PROXY_PASS=Pq7w  SQL_CREDENTIAL=Cr8z '
                           ' DB_PWD="x""y9 z" ')
    # Windows' msiexec reads DB_PWD as x"y9 z; Wine's drops the doubled quote.
    expect_properties(session, log, {"USERPIN": "Hx4 Kp9", "PROXY_PASS": "Pq7w",
                                     "SQL_CREDENTIAL": "Cr8z", "DB_PWD": "xy9 z",
                                     "ADDNPQUORL": "1", "REBOOT": "R"})
    secrets = " USERPIN=***  PROXY_PASS=***  SQL_CREDENTIAL=***  DB_PWD=*** "
    expect_log_lines(run.result, [
        f'command line: "{program}" -silent -QuorlArgs "USERPIN=*** -QuorlArgs PROXY_PASS=*** '
        '-QuorlArgs SQL_CREDENTIAL=*** -QuorlArgs "DB_PWD=***',
        'options: -silent=yes -norestart=no -reinstall=no -csp=no -selectDlg=no -uninstall=no '
        f'-QuorlArgs="{secrets}" -CSPArgs="" -vbscript="" -log=""',
        f'starting: "{MSIEXEC}" /i "C:\\{SHORT_FOLDER}\\{PACKAGE}" /Lv! "{log}" REBOOT=R  /qb '
        f'ADDNPQUORL=1{secrets}'])
    for secret in ("Hx4", "Kp9", "Pq7w", "Cr8z", "y9 z"):
        if any(secret in line for line in run.result.run_log_lines()):
            raise AssertionError(f"the program's log holds the secret {secret!r}")
    expect_equal(installed_versions(session), RELEASE_1_INSTALLED, "installed products")


def test_tmp_names_a_missing_folder(session: WineSession) -> None:
    """TMP names a folder that does not exist. Wine's Windows Installer copies the package
    into the temporary folder to open it, so the product code cannot be read: 1627 before
    any log is named, message 151 and the report without a log line; msiexec never starts
    and the folder is not made."""
    missing = "C:\\Нет такой папки\\temp"
    program = lay_out(session, {PACKAGE: RELEASE_1}, SHORT_FOLDER)
    expect_refused_before_msiexec(session, program, WINE_OPEN_FAILED, env={"TMP": missing},
                                  create_tmp=False)
    expect_equal(session.unix_path(missing).parent.exists(), False, "the TMP folder's parent")


# An empty TMP names no folder: 203, whatever error an earlier call of the run left behind.
# Each row: the step, the arguments, the questions before message 144 (Yes to each), and
# whether the plug-in step's failure report follows 144 (the CSP step tells with 144 alone).
EMPTY_TMP_RUNS = [
    ("plug-in", [], [INSTALL_QUESTION], True),
    ("CSP", ["-csp"], [QUESTION_102], False),
]


def expect_empty_tmp_refused(session: WineSession, program: str, upgrade: bool) -> None:
    """TMP set to an empty value: message 144 under "Ошибка" (after the upgrade question
    when `upgrade`), the plug-in step's failure report with 203 and no log line; exit 203,
    no log named, nothing started; -silent: 203 and no box."""
    upgrade_asked = [upgrade_question("Stalver Browser plug-in", "1.0.0.0", "2.0.0.0")]
    for step, args, questions, reported in EMPTY_TMP_RUNS:
        if upgrade and step == "plug-in":
            questions = questions + upgrade_asked
        errors = [TMP_UNREADABLE] + ([failure_report(ERROR_ENVVAR_NOT_FOUND, None)]
                                     if reported else [])
        print(f"--- {step} step")
        asked = TimedRun(session, program, args, env={"TMP": ""},
                         answers=["yes"] * len(questions) + ["ok"] * len(errors))
        expect_run(asked.result, ERROR_ENVVAR_NOT_FOUND, questions + errors)
        expect_nothing_run(asked, own_log=False)
        expect_equal(len(asked.result.process_trace), 1, f"{step}: programs started")
        silent = TimedRun(session, program, [*args, "-silent"], env={"TMP": ""})
        expect_run(silent.result, ERROR_ENVVAR_NOT_FOUND, [])
        expect_nothing_run(silent, own_log=False)


def test_empty_tmp_in_a_fresh_install(session: WineSession) -> None:
    """Nothing installed, TMP empty: the plug-in step and the CSP step each end with 203
    after message 144 (table EMPTY_TMP_RUNS); nothing is installed."""
    program = session.install_bootstrapper(FOLDER, {
        **package_files(session, {PACKAGE: RELEASE_1}),
        "csp\\Setup.exe": session.config.tools_dir / "fake_setup.exe"})
    expect_empty_tmp_refused(session, program, upgrade=False)
    expect_equal(installed_versions(session), NOTHING_INSTALLED, "installed products")


def test_empty_tmp_in_an_upgrade(session: WineSession) -> None:
    """Release 1 installed, release 2 beside the program, TMP empty: after the upgrade
    question (Yes) the plug-in step ends with 203 after message 144; the CSP step likewise
    before Setup.exe; release 1 stays."""
    preinstall(session, RELEASE_1)
    program = session.install_bootstrapper(FOLDER, {
        **package_files(session, {PACKAGE: RELEASE_2}),
        "csp\\Setup.exe": session.config.tools_dir / "fake_setup.exe"})
    expect_empty_tmp_refused(session, program, upgrade=True)
    expect_equal(installed_versions(session), RELEASE_1_INSTALLED, "installed products")
