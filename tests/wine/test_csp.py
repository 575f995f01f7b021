"""The CSP step of the real bootstrapper under Wine: question 102, the CSPSetup dialog driven
as a person would (mouse, Esc key, close box), the exact command line that Setup.exe gets,
what its exit code does to the run, and screenshots of the dialog and the boxes.

Setup.exe is fake_setup.exe laid out as csp\\Setup.exe beside the program: it records its
command line and current folder in csp\\starts.jsonl and ends with the code in
csp\\exit-code.txt; with csp\\write-log.txt present it also creates the log named in -args.
Screenshots go to <build>/wine/screenshots/<scenario>/ and their paths are printed."""

from __future__ import annotations

import datetime
import json
import re

from expect import ExpectedBox, expect_box, expect_equal, expect_run, expect_tmp_files
from harness import DEFAULT_TMP, WineSession
from packages import OTHER_PRODUCT_CODE, PRODUCT_CODE, PluginPackage
from run_result import Box, RunResult
from x_display import HostActions

# Spaces and Cyrillic in the folder, as on a user's desktop.
FOLDER = "Users\\Public\\Рабочий стол\\Сталвер установка"
# Under Wine the x86_64 program takes the "*win32*" package (IsWow64Process is FALSE).
PLUGIN = PluginPackage(file_name="quorlcom-win32.msi")
FAILING_PLUGIN = PluginPackage(file_name="quorlcom-win32.msi", failure="install-failure")
BROADCASTING_PLUGIN = PluginPackage(file_name="quorlcom-win32.msi", broadcasts=True)
INSTALLED = 5

CAPTION = "Установка Сталвер"
QUESTION_102 = ExpectedBox(CAPTION, "Установить Сталвер CSP и Browser plug-in?", ("yes", "no"),
                           has_icon=False, owned_by_hidden_static=True)
DONE_109 = ExpectedBox(
    CAPTION,
    "Сталвер ЭЦП Browser plug-in и CSP успешно установлены.\n"
    "Для корректной работы Сталвер ЭЦП Browser plug-in и CSP может потребоваться "
    "перезапустить браузер.", ("ok",), has_icon=False, owned_by_hidden_static=True)
# The dialog: no owner, the one standard button is "Отмена" (IDCANCEL).
DIALOG = ExpectedBox("CSPSetup", "", ("cancel",), owned_by_hidden_static=False)
SETUP_GOES_ON = (0, 3, 4, 1602)
TIME_STAMP = r"\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d"


def setup_report(code: int, log_path: str | None) -> ExpectedBox:
    """Message 105 with the code, and the log line when the log exists."""
    text = f"В процессе установки Сталвер CSP возникла ошибка: {code}.\n"
    if log_path:
        text += f"Install log: {log_path}"
    return ExpectedBox(CAPTION, text, ("ok",), has_icon=True, owned_by_hidden_static=True)


def plugin_report(code: int, log_path: str) -> ExpectedBox:
    """Message 106: the plug-in step ran and failed."""
    return ExpectedBox(
        CAPTION, "В процессе установки или обновления Сталвер ЭЦП Browser plug-in возникла "
        f"ошибка: {code}.\nInstall log: {log_path}", ("ok",), has_icon=True,
        owned_by_hidden_static=True)


# --------------------------------------------------------------------------------------
# Laying out and running


class CspFolder:
    """The program's folder with csp\\Setup.exe (fake_setup.exe) and plug-in packages."""

    def __init__(self, session: WineSession, packages: tuple[PluginPackage, ...] = (),
                 setup: bool = True, folder: str = FOLDER):
        self.session = session
        files = session.build_packages(*packages)
        if setup:
            files["csp\\Setup.exe"] = session.config.tools_dir / "fake_setup.exe"
        self.program = session.install_bootstrapper(folder, files)
        self.folder = self.program.rsplit("\\", 1)[0]
        self.csp = session.unix_path(self.folder + "\\csp")

    def set_setup(self, exit_code: int, writes_log: bool, broadcasts: bool = False) -> None:
        """What Setup.exe does in the next runs; forgets its earlier starts."""
        (self.csp / "exit-code.txt").write_text(f"{exit_code}\n")
        for switch, wanted in (("write-log.txt", writes_log), ("broadcast.txt", broadcasts)):
            (self.csp / switch).unlink(missing_ok=True)
            if wanted:
                (self.csp / switch).write_text("")
        (self.csp / "starts.jsonl").unlink(missing_ok=True)

    def setup_starts(self) -> list[dict]:
        record = self.csp / "starts.jsonl"
        if not record.exists():
            return []
        return [json.loads(line) for line in record.read_text(encoding="utf-8").splitlines()]

    def run(self, args: list[str], answers: list[str], shots: HostActions | None = None,
            **options) -> RunResult:
        result = self.session.run(self.program, args, answers=answers, on_ask=shots,
                                  **options)
        print(result.describe())
        for start in self.setup_starts():
            print(f"Setup.exe started: {start}")
        return result


def screenshots(session: WineSession) -> HostActions:
    """Serves "ask:" actions; pictures go to <build>/wine/screenshots/<scenario>/."""
    return HostActions(session.display, session.config.cache_dir / "screenshots" / session.name)


# --------------------------------------------------------------------------------------
# What a run left behind


def log_stamps(result: RunResult) -> list[str]:
    """The time stamps that the run wrote to standard output, one per log it named; each
    must be close to now (local time, as Wine reports it)."""
    lines = result.stdout.splitlines()
    for line in lines:
        if not re.fullmatch(TIME_STAMP, line):
            raise AssertionError(f"standard output holds more than time stamps: {lines!r}")
        stamp = datetime.datetime.strptime(line, "%Y-%m-%d-%H-%M-%S")
        if abs((datetime.datetime.now() - stamp).total_seconds()) > 300:
            raise AssertionError(f"time stamp {line} is not the local time of the run")
    return lines


def csp_log(stamp: str) -> str:
    return f"{DEFAULT_TMP}\\csp_{stamp}.log"


def setup_command_line(args_text: str, tail: str = "") -> str:
    """Setup.exe's command line with `args_text` between the quotes of -args."""
    return f'csp\\Setup.exe -args "{args_text}" -noreboot -root{tail}'


def log_option(log_path: str) -> str:
    return f'/Lv! """{log_path}""" '


def started_programs(result: RunResult) -> list[str]:
    """What the run started, in order, by kind: bootstrapper, setup, msiexec."""
    kinds = []
    for command in result.process_trace:
        if "bootstrapper.exe" in command:
            kinds.append("bootstrapper")
        elif command.startswith("csp\\Setup.exe"):
            kinds.append("setup")
        elif re.match(r'"[^"]*\\msiexec\.exe" /i ', command):
            kinds.append("msiexec")
    return kinds


def expect_one_setup_start(csp: CspFolder, command_line: str, log_written: str | None) -> None:
    starts = csp.setup_starts()
    expect_equal(len(starts), 1, "Setup.exe starts")
    expect_equal(starts[0]["command_line"], command_line, "Setup.exe's command line")
    expect_equal(starts[0]["current_folder"], csp.folder,
                 "Setup.exe's current folder (the relative path resolves against it)")
    expect_equal(starts[0]["log_written"], log_written, "the log Setup.exe created")


def expect_nothing_started(csp: CspFolder, result: RunResult) -> None:
    expect_equal(csp.setup_starts(), [], "Setup.exe starts")
    expect_equal(started_programs(result), ["bootstrapper"], "programs started")
    expect_equal(result.stdout, "", "standard output (no log was named)")
    expect_tmp_files(result, [])


# --------------------------------------------------------------------------------------
# Question 102 and the command line


def test_declining_question_102_starts_nothing(session: WineSession) -> None:
    """-csp: question 102 under caption 122 with Yes and No; No ends with 0 before the CSP
    step: Setup.exe is not started and no log is named."""
    csp = CspFolder(session, (PLUGIN,))
    csp.set_setup(0, writes_log=True)
    shots = screenshots(session)
    result = csp.run(["-csp"], ["ask:shot question-102+no"], shots)
    expect_run(result, 0, [QUESTION_102])
    expect_nothing_started(csp, result)
    expect_equal(session.product_state(PRODUCT_CODE) == INSTALLED, False, "plug-in installed")


def test_csp_then_plugin_with_default_command_line(session: WineSession) -> None:
    """-csp, Yes, Setup.exe ends with 0: its command line is exactly csp\\Setup.exe -args
    "/qb /Lv! \"\"\"<TMP>\\csp_<stamp>.log\"\"\" " -noreboot -root, started in the program's
    folder, with the stamp printed first; then msiexec installs the plug-in and message 109
    ends the run with 0."""
    csp = CspFolder(session, (PLUGIN,))
    csp.set_setup(0, writes_log=True)
    shots = screenshots(session)
    result = csp.run(["-csp"], ["yes", "ask:shot done-109+ok"], shots)
    expect_run(result, 0, [QUESTION_102, DONE_109])
    csp_stamp, plugin_stamp = log_stamps(result)
    log = csp_log(csp_stamp)
    expect_one_setup_start(csp, setup_command_line("/qb " + log_option(log)), log)
    expect_equal(started_programs(result), ["bootstrapper", "setup", "msiexec"],
                 "programs started, in order")
    expect_tmp_files(result, [f"csp_{csp_stamp}.log", f"quorlcom-win32.msi_{plugin_stamp}.log"])
    expect_equal(session.product_state(PRODUCT_CODE), INSTALLED, "plug-in product state")


# Each row: the arguments after -csp, what stands between the quotes of -args (LOG stands
# for the log option with the path that the run names; None: no log named), the options
# after -root, and whether the run is silent.
COMMAND_LINES = [
    ([], "/qb LOG", "", False),
    (["-CSPArgs", "/qn", "-CSPArgs", "X=1"], "LOG/qn X=1 ", "", False),
    (["-selectDlg", "-silent", "-reinstall"], "/qb LOG", " -silent -reinstall", True),
    (["-reinstall"], "/qb LOG", " -reinstall", False),
    (["-CSPArgs", "/QN"], "/qb LOG/QN ", "", False),
    (["-CSPArgs", "/quiet"], "LOG/quiet ", "", False),
    (["-CSPArgs", "/lv* C:\\own csp.log"], "/qb /lv* C:\\own csp.log ", "", False),
    (["-CSPArgs", "INSTALLDIR=D:/local"], "/qb LOGINSTALLDIR=D:/local ", "", False),
    (["-CSPArgs", "/qn /L*v C:\\x.log", "-CSPArgs", "A=\"b c\""],
     '/qn /L*v C:\\x.log A="b c" ', "", False),
]


def test_setup_command_lines(session: WineSession) -> None:
    """Table: -CSPArgs values, -silent and -reinstall give Setup.exe exactly the documented
    command line. Setup.exe ends with 1603 and writes the log it was given, so each run
    ends with 1603 after report 105, whose log line appears only when the bootstrapper
    named the log; -silent shows no box, not even the dialog of -selectDlg."""
    csp = CspFolder(session, (PLUGIN,))
    for args, between_quotes, tail, silent in COMMAND_LINES:
        print(f"--- -csp {args}")
        csp.set_setup(1603, writes_log=True)
        result = csp.run(["-csp", *args], [] if silent else ["yes", "ok"])
        stamps = log_stamps(result)
        log = csp_log(stamps[0]) if "LOG" in between_quotes else None
        expect_equal(len(stamps), 1 if log else 0, f"{args}: time stamps printed")
        expected_args = between_quotes.replace("LOG", log_option(log) if log else "")
        expect_one_setup_start(csp, setup_command_line(expected_args, tail), log)
        expect_run(result, 1603, [] if silent else [QUESTION_102, setup_report(1603, log)])
        expect_equal(started_programs(result), ["bootstrapper", "setup"],
                     f"{args}: programs started (no plug-in step)")
    expect_equal(session.product_state(PRODUCT_CODE) == INSTALLED, False, "plug-in installed")


def expect_broadcasting_children_end(csp: CspFolder, plugin: str) -> RunResult:
    """-csp -silent, Setup.exe (ending 0) and the plug-in package's custom action each
    broadcast WM_SETTINGCHANGE "Environment" with SendMessage, which returns only when every
    top-level window has answered, the program's hidden owner window among them: the run
    ends by itself with 0, no box, Setup.exe once, then msiexec. Returns the run."""
    csp.set_setup(0, writes_log=True, broadcasts=True)
    result = csp.run(["-csp", "-silent"], [])
    expect_run(result, 0, [])
    csp_stamp, plugin_stamp = log_stamps(result)
    log = csp_log(csp_stamp)
    expect_one_setup_start(csp, setup_command_line("/qb " + log_option(log), " -silent"), log)
    expect_equal(started_programs(result), ["bootstrapper", "setup", "msiexec"],
                 "programs started, in order")
    expect_tmp_files(result, [f"csp_{csp_stamp}.log", f"{plugin}_{plugin_stamp}.log"])
    return result


def test_broadcasting_children_do_not_hang_a_silent_run(session: WineSession) -> None:
    """A Setup.exe and a package custom action that broadcast a changed environment and wait
    for every window to answer: -csp -silent still ends with 0 and the plug-in is installed."""
    expect_broadcasting_children_end(CspFolder(session, (BROADCASTING_PLUGIN,)), PLUGIN.file_name)
    expect_equal(session.product_state(PRODUCT_CODE), INSTALLED, "plug-in product state")


# --------------------------------------------------------------------------------------
# What Setup.exe's exit code does to the run


def test_go_on_codes_lead_to_the_plugin_step(session: WineSession) -> None:
    """Table: Setup.exe ending with 0, 3, 4 or 1602 lets the run go on: msiexec starts after
    Setup.exe, and the plug-in package (made to fail with 1603) gives report 106 with the
    msiexec log, not report 105. Exit code 1603, the plug-in's."""
    csp = CspFolder(session, (FAILING_PLUGIN,))
    for code in SETUP_GOES_ON:
        print(f"--- Setup.exe ends with {code}")
        csp.set_setup(code, writes_log=True)
        result = csp.run(["-csp"], ["yes", "ok"])
        csp_stamp, plugin_stamp = log_stamps(result)
        log = csp_log(csp_stamp)
        expect_one_setup_start(csp, setup_command_line("/qb " + log_option(log)), log)
        expect_equal(started_programs(result), ["bootstrapper", "setup", "msiexec"],
                     f"{code}: programs started, in order")
        plugin_log = f"{DEFAULT_TMP}\\quorlcom-win32.msi_{plugin_stamp}.log"
        expect_run(result, 1603, [QUESTION_102, plugin_report(1603, plugin_log)])


# Setup.exe's exit codes that end the run, and whether it wrote its log.
FAILURE_CODES = [(1603, True), (1603, False), (1618, True), (1, True), (5, False)]


def test_setup_failure_is_reported_and_ends_the_run(session: WineSession) -> None:
    """Table: any other exit code of Setup.exe gives report 105 "...ошибка: <code>.\\n" plus
    "Install log: <path>", under caption 122 with an error icon, and ends the run with that
    code: no msiexec, the plug-in package stays uninstalled. The program made the log file
    before Setup.exe started, so it is there whether or not Setup.exe wrote into it."""
    csp = CspFolder(session, (PLUGIN,))
    shots = screenshots(session)
    for code, writes_log in FAILURE_CODES:
        print(f"--- Setup.exe ends with {code}, log written: {writes_log}")
        csp.set_setup(code, writes_log)
        shot = f"ask:shot report-105-{code}+" if code == 1603 and writes_log else ""
        result = csp.run(["-csp"], ["yes", shot + "ok"], shots)
        (stamp,) = log_stamps(result)
        log = csp_log(stamp)
        expect_one_setup_start(csp, setup_command_line("/qb " + log_option(log)),
                               log if writes_log else None)
        expect_run(result, code, [QUESTION_102, setup_report(code, log)])
        expect_equal(started_programs(result), ["bootstrapper", "setup"], "programs started")
        expect_tmp_files(result, [f"csp_{stamp}.log"])
    expect_equal(session.product_state(PRODUCT_CODE) == INSTALLED, False, "plug-in installed")


# A Setup.exe that cannot be started: the layout beside the program, the start error.
START_FAILURES = [
    ("no csp folder", {}, 2),
    ("csp folder without Setup.exe", {"csp\\readme.txt": b"empty\n"}, 2),
    ("a file named csp", {"csp": b"not a folder\n"}, 2),
    ("Setup.exe that is no program", {"csp\\Setup.exe": b"MZ but nothing more\n"}, 193),
]


def test_setup_that_cannot_start_is_a_failure(session: WineSession) -> None:
    """Table: when Setup.exe cannot be started, the start error is the result: report 105
    with that code and no log line (the log made for it is removed again), exit code = the
    error, and the plug-in step does not run. A missing folder is reported as 2, as a
    missing file."""
    packages = session.build_packages(PLUGIN)
    for index, (case, files, error) in enumerate(START_FAILURES):
        print(f"--- {case}")
        program = session.install_bootstrapper(f"{FOLDER} {index}", {**packages, **files})
        result = session.run(program, ["-csp"], answers=["yes", "ok"])
        print(result.describe())
        (stamp,) = log_stamps(result)
        expect_run(result, error, [QUESTION_102, setup_report(error, None)])
        commands = [command for command in result.process_trace if "bootstrapper" not in command]
        expect_equal(commands, [setup_command_line("/qb " + log_option(csp_log(stamp)))],
                     f"{case}: start attempts after the bootstrapper")
        expect_tmp_files(result, [], f"{case}: files in TMP")
    expect_equal(session.product_state(PRODUCT_CODE) == INSTALLED, False, "plug-in installed")


def test_upgrade_question_after_the_csp_step(session: WineSession) -> None:
    """With version 1.0.0.0 installed and 2.0.0.0 (another product code of the same upgrade
    code) beside the program: question 103 without
    -csp (No ends with 0); with -csp, after Setup.exe the plug-in step asks the upgrade
    question 153 under caption 128; No ends the run with 1 and the old version stays."""
    old_folder = session.lay_out_run_folder("old", session.build_packages(PLUGIN))
    status, output = session.wine("msiexec", "/i", old_folder + "\\quorlcom-win32.msi", "/qn")
    expect_equal(status, 0, f"installing version 1.0.0.0 ({output})")
    newer = PluginPackage(file_name="quorlcom-win32.msi", version="2.0.0.0",
                          product_code=OTHER_PRODUCT_CODE)
    csp = CspFolder(session, (newer,))
    csp.set_setup(0, writes_log=False)
    shots = screenshots(session)
    plain = csp.run([], ["ask:shot question-103+no"], shots)
    expect_run(plain, 0, [ExpectedBox("Сталвер ЭЦП Browser plug-in",
                                      "Установить Сталвер ЭЦП Browser plug-in?",
                                      ("yes", "no"), has_icon=False,
                                      owned_by_hidden_static=True)])
    expect_nothing_started(csp, plain)
    result = csp.run(["-csp"], ["yes", "ask:shot question-153-upgrade+no"], shots)
    upgrade = ExpectedBox(
        "Обновление", "Будет произведено обновление Stalver Browser plug-in 1.0.0.0 до версии "
        "2.0.0.0. Обновить?", ("yes", "no"), has_icon=False)
    expect_run(result, 1, [QUESTION_102, upgrade])
    expect_equal(result.boxes[1].owner, None, "owner of the upgrade question")
    expect_equal(len(csp.setup_starts()), 1, "Setup.exe starts")
    expect_equal(started_programs(result), ["bootstrapper", "setup"], "programs started")
    expect_equal(session.msi_query("product", PRODUCT_CODE),
                 [f"product {PRODUCT_CODE} state {INSTALLED}",
                  f"product {PRODUCT_CODE} version 1.0.0.0"], "installed product")


# --------------------------------------------------------------------------------------
# The CSPSetup dialog

# Control IDs in template order (also the z order in which Windows lists them).
NEXT, CANCEL, RUSSIAN, ENGLISH, KC1, KC2, KC3 = 140, 2, 1006, 1007, 1008, 1009, 1010
LANGUAGE_GROUP, LEVEL_GROUP, BANNER, OPTIONS, WELCOME = 1012, 1013, 1011, 1015, 1014
TEMPLATE_ORDER = [NEXT, CANCEL, RUSSIAN, ENGLISH, KC1, KC2, KC3, LANGUAGE_GROUP, LEVEL_GROUP,
                  BANNER, OPTIONS, WELCOME]
CONTROL_TEXTS = {NEXT: "Далее", CANCEL: "Отмена", RUSSIAN: "Русский", ENGLISH: "English",
                 KC1: "KC1", KC2: "KC2", KC3: "KC3", LANGUAGE_GROUP: "Язык установки:",
                 LEVEL_GROUP: "Уровень безопасности:"}
WELCOME_LINES = ["", "Благодарим за выбор Сталвер CSP.",
                 "Для продолжения установки нажимте \"Далее\",",
                 "для установки специфических настроек - \"Опции\".",
                 "Если вы не знаете, что выбирать, нажмите \"Далее\"."]
ALWAYS_SHOWN = {NEXT, CANCEL, OPTIONS}
VIEWS = {  # shown controls and the options button's text
    "welcome": (ALWAYS_SHOWN | {BANNER, WELCOME}, "Опции"),
    "options": (ALWAYS_SHOWN | {RUSSIAN, ENGLISH, KC1, KC2, KC3, LANGUAGE_GROUP, LEVEL_GROUP},
                "Скрыть"),
}
RADIOS = [RUSSIAN, ENGLISH, KC1, KC2, KC3]
# Answers to the dialog, as a person gives them: the options button, the radio buttons.
TOGGLE_OPTIONS = f"click:{OPTIONS}+wait:300+keep"


def expect_dialog_view(box: Box, view: str, checked: set[int], where: str) -> None:
    """The dialog shows `view` with exactly the radio buttons `checked` checked."""
    expect_box(box, DIALOG, where)
    expect_equal(box.owner, None, f"{where}: owner")
    controls = {control["id"]: control for control in box.controls}
    expect_equal([control["id"] for control in box.controls], TEMPLATE_ORDER,
                 f"{where}: controls in template order")
    shown, options_text = VIEWS[view]
    expect_equal({i for i, control in controls.items() if control["visible"]}, shown,
                 f"{where}: controls shown in the {view} view")
    expect_equal(controls[OPTIONS]["text"], options_text, f"{where}: options button text")
    expect_equal({i: controls[i]["text"] for i in CONTROL_TEXTS}, CONTROL_TEXTS,
                 f"{where}: control texts")
    expect_equal({i: controls[i]["class"] for i in TEMPLATE_ORDER},
                 {i: "Static" if i == WELCOME else "Button" for i in TEMPLATE_ORDER},
                 f"{where}: control classes")
    welcome = controls[WELCOME]["text"].split("\n")
    expect_equal(bool(re.fullmatch(r"https?://\S+", welcome[0])), True,
                 f"{where}: a web address on the welcome text's first line ({welcome[0]!r})")
    expect_equal(welcome[1:], WELCOME_LINES, f"{where}: welcome text")
    banner = controls[BANNER]["text"]
    expect_equal(bool(banner) and "\n" not in banner, True, f"{where}: a one-line banner")
    expect_equal({i for i in RADIOS if controls[i]["checked"] == 1}, checked,
                 f"{where}: radio buttons checked")


def expect_dialog_views_then_next(csp: CspFolder, shots: HostActions) -> RunResult:
    """-csp -selectDlg under a Russian UI, Setup.exe ending with 0: question 102, the welcome
    view with "Русский" and "KC1" checked (screenshot dialog-welcome), "Опции" to the options
    view ("Скрыть"; screenshot dialog-options) and back, "Далее"; Setup.exe starts once with
    the usual command line, then msiexec; message 109, exit 0. Returns the run."""
    csp.set_setup(0, writes_log=True)
    result = csp.run(["-csp", "-selectDlg"], [
        "yes", f"ask:shot dialog-welcome+{TOGGLE_OPTIONS}",
        f"ask:shot dialog-options+{TOGGLE_OPTIONS}", f"click:{NEXT}", "ok"], shots, lang="ru")
    expect_run(result, 0, [QUESTION_102, DIALOG, DIALOG, DIALOG, DONE_109])
    for index, view in ((1, "welcome"), (2, "options"), (3, "welcome")):
        expect_dialog_view(result.boxes[index], view, {RUSSIAN, KC1}, f"box {index + 1}")
    csp_stamp, _ = log_stamps(result)
    log = csp_log(csp_stamp)
    expect_one_setup_start(csp, setup_command_line("/qb " + log_option(log)), log)
    expect_equal(started_programs(result), ["bootstrapper", "setup", "msiexec"],
                 "programs started, in order")
    return result


def test_dialog_views_and_next_in_russian(session: WineSession) -> None:
    """-csp -selectDlg under a Russian UI: the welcome view with "Русский" and "KC1" checked,
    "Опции" switches to the options view ("Скрыть") and back; "Далее" goes on to Setup.exe
    with the usual command line and the plug-in is installed; message 109, exit 0."""
    expect_dialog_views_then_next(CspFolder(session, (PLUGIN,)), screenshots(session))
    expect_equal(session.product_state(PRODUCT_CODE), INSTALLED, "plug-in product state")


def test_dialog_choices_survive_the_view_switch_in_english(session: WineSession) -> None:
    """Under an English UI "English" and "KC1" are checked at start; choosing "Русский" and
    "KC3" in the options view, hiding and showing the options again keeps the choice;
    "Далее" from the options view goes on to Setup.exe (which fails here: report 105)."""
    csp = CspFolder(session)
    csp.set_setup(1603, writes_log=False)
    result = csp.run(["-csp", "-selectDlg"], [
        "yes", TOGGLE_OPTIONS, f"click:{RUSSIAN}+click:{KC3}+{TOGGLE_OPTIONS}",
        TOGGLE_OPTIONS, f"click:{NEXT}", "ok"], lang="en")
    (stamp,) = log_stamps(result)
    expect_run(result, 1603, [QUESTION_102, DIALOG, DIALOG, DIALOG, DIALOG,
                              setup_report(1603, csp_log(stamp))])
    expect_dialog_view(result.boxes[1], "welcome", {ENGLISH, KC1}, "box 2")
    expect_dialog_view(result.boxes[2], "options", {ENGLISH, KC1}, "box 3")
    expect_dialog_view(result.boxes[3], "welcome", {RUSSIAN, KC3}, "box 4")
    expect_dialog_view(result.boxes[4], "options", {RUSSIAN, KC3}, "box 5")
    expect_one_setup_start(csp, setup_command_line("/qb " + log_option(csp_log(stamp))), None)


# Ways a person leaves the dialog without going on; "click" is relative to the dialog's
# top right corner: the close box of Wine's caption bar (default metrics).
LEAVING_THE_DIALOG = [
    ("the Отмена button", f"click:{CANCEL}"),
    ("the Esc key", "ask:key Escape"),
    ("the close box", "ask:click -13 11"),
    ("the Отмена button in the options view", f"{TOGGLE_OPTIONS}|click:{CANCEL}"),
]


def test_cancel_esc_and_close_box_end_the_run(session: WineSession) -> None:
    """Table: "Отмена", the Esc key (a real X key press), a click on the close box (a real X
    click) and "Отмена" in the options view each end the run at once with exit code 0:
    Setup.exe is not started, no log is named, nothing is installed, no box follows."""
    csp = CspFolder(session, (PLUGIN,))
    shots = screenshots(session)
    for way, answer in LEAVING_THE_DIALOG:
        print(f"--- leaving by {way}")
        csp.set_setup(0, writes_log=True)
        dialog_answers = answer.split("|")
        result = csp.run(["-csp", "-selectDlg"], ["yes", *dialog_answers], shots)
        expect_run(result, 0, [QUESTION_102] + [DIALOG] * len(dialog_answers))
        expect_nothing_started(csp, result)
    expect_equal(session.product_state(PRODUCT_CODE) == INSTALLED, False, "plug-in installed")
