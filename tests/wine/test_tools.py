"""Checks of the harness and its Windows tools against box_demo.exe, a stand-in program of
ours, and against real msiexec runs of built packages. They need no bootstrapper."""

from __future__ import annotations

from expect import ExpectedBox, expect_equal, expect_run
from harness import WineSession
from packages import OTHER_PRODUCT_CODE, PRODUCT_CODE, UPGRADE_CODE, PluginPackage

MB_OK_INFORMATION = "0x50040"
MB_YESNO = "0x50004"
MB_OK_ERROR = "0x50010"
FOLDER = "Папка с пробелами\\Тест"
MSIEXEC = r"C:\windows\system32\msiexec.exe"
INSTALLED = 5


def demo(session: WineSession, *arguments: str, **run_options):
    """Runs box_demo.exe from a folder with spaces and Cyrillic, with its arguments in a
    response file (one per line) so that texts reach it exactly."""
    folder = session.lay_out_run_folder(FOLDER, {
        "демо.exe": session.config.tools_dir / "box_demo.exe",
        "demo.rsp": ("\n".join(arguments) + "\n").encode("utf-8")})
    result = session.run(folder + "\\демо.exe", [f"@{folder}\\demo.rsp"], **run_options)
    print(result.describe())
    return result


def test_boxes_are_recorded_exactly(session: WineSession) -> None:
    """Caption, text with line feeds and tabs, buttons, icon and owner of each box, the full
    exit code and standard output reach the scenario."""
    text = "Первая строка.\n\tс табуляцией \"в кавычках\"\\\n\nконец\n"
    escaped = text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")
    result = demo(session, "--owner", "--box", MB_OK_INFORMATION, "Справка", escaped,
                  "--box", MB_YESNO, "Вопрос", "Да или нет?", "--print", "stamp 2027-03-01",
                  "--exit", "3010", answers=["ok", "no"])
    expect_run(result, 3010, [
        ExpectedBox("Справка", text, ("ok",), has_icon=True, owned_by_hidden_static=True),
        ExpectedBox("Вопрос", "Да или нет?", ("yes", "no"), has_icon=False,
                    owned_by_hidden_static=True)])
    expect_equal(result.stdout, "answer 1\r\nanswer 7\r\nstamp 2027-03-01\r\n",
                 "standard output (text mode: line feeds become CR LF)")


def test_a_box_is_read_once_it_is_complete(session: WineSession) -> None:
    """A box that shows itself blank, its thread busy for 6 s before it fills in the texts (a
    box being made on a slow machine), is recorded and answered once, complete."""
    result = demo(session, "--slow-box", "6000", "Медленно", "Готово.", answers=["ok"])
    expect_run(result, 0, [ExpectedBox("Медленно", "Готово.", ("ok",))])
    expect_equal(result.stdout, "answer 1\r\n", "answer given")


def test_unexpected_boxes_are_recorded_and_closed(session: WineSession) -> None:
    """Boxes beyond the scenario's answers are recorded as unexpected and closed with the
    harmless button: No before OK, Cancel before No."""
    result = demo(session, "--box", MB_YESNO, "Q1", "first", "--box", MB_YESNO, "Q2",
                  "second", "--box", MB_OK_ERROR, "E", "third", answers=["yes"])
    expect_equal(result.exit_code, 0, "exit code")
    expect_equal([(box.caption, box.result) for box in result.boxes],
                 [("Q1", "answered"), ("Q2", "unexpected"), ("E", "unexpected")], "boxes")
    expect_equal(result.stdout, "answer 6\r\nanswer 7\r\nanswer 1\r\n", "answers given")
    expect_equal((result.driver_end["end"], result.driver_end["unexpected"]), ("done", 2),
                 "box driver's end")


def test_unused_answers_and_missing_buttons_are_reported(session: WineSession) -> None:
    """An answer naming a button the box lacks fails (and the box is closed); answers left
    when the program ends are listed."""
    result = demo(session, "--box", MB_OK_ERROR, "E", "only OK", answers=["yes", "no"])
    expect_equal([(box.caption, box.result) for box in result.boxes],
                 [("E", "action-failed")], "boxes")
    expect_equal(result.driver_end["end"], "answers-left", "box driver's end")
    expect_equal(result.driver_end["unused_answers"], ["no"], "unused answers")
    expect_equal(result.stdout, "answer 1\r\n", "the box was closed with OK")


def test_language_and_environment_reach_the_program(session: WineSession) -> None:
    """LC_ALL decides the system UI language; TMP is a fresh folder, or set, or unset."""
    russian = demo(session, "--lang", "--env", "TMP", lang="ru")
    expect_equal(russian.stdout, "ui-language 0x0419\r\nenv TMP=C:\\run-tmp\r\n", "ru run")
    english = demo(session, "--lang", "--env", "TMP", "--env", "TEMP", lang="en",
                   env={"TMP": "C:\\Временные файлы"}, unset=["TEMP"])
    expect_equal(english.stdout,
                 "ui-language 0x0409\r\nenv TMP=C:\\Временные файлы\r\nenv TEMP unset\r\n",
                 "en run")
    without = demo(session, "--env", "TMP", unset=["TMP"])
    expect_equal(without.stdout, "env TMP unset\r\n", "run without TMP")


def test_time_limit_and_start_errors_end_the_run(session: WineSession) -> None:
    """A program that outlives the time limit is ended and reported, with what was going on
    while it hung: its process, its (hidden) window, Wine's output; a missing program is a
    start error with its Windows code."""
    slow = demo(session, "--owner", "--sleep", "60000", timeout=3)
    expect_equal(slow.outcome, "timeout", "slow program")
    if slow.seconds > 15:
        raise AssertionError(f"the time limit took {slow.seconds:.1f} s to act")
    census = slow.driver_end
    expect_equal(census.get("target_processes"), ["демо.exe"], "processes of the hung program")
    # Wine reports process 0 for this window (its program sleeps without a message loop).
    expect_equal([window["class"].upper() for window in census.get("windows", [])
                  if not window["visible"] and window["class"].upper() == "STATIC"], ["STATIC"],
                 "its hidden window")
    expect_equal("code.txt (last 1 lines):\n  timeout" in "\n".join(slow.diagnosis), True,
                 f"the diagnosis ends with run_exit's report: {slow.diagnosis}")
    folder = session.lay_out_run_folder("пустая папка", {})
    missing = session.run(folder + "\\нет.exe")
    print(missing.describe())
    expect_equal((missing.outcome, missing.start_error), ("start-error", 2), "missing program")


def test_registry_helpers(session: WineSession) -> None:
    """Keys of HKCU can be created, found and deleted in the scenario's prefix."""
    key = r"HKCU\Software\NeedBstrReboot"
    expect_equal(session.reg_key_exists(key), False, "key before")
    session.reg_add_key(key)
    expect_equal(session.reg_key_exists(key), True, "key after adding")
    session.reg_delete_key(key)
    expect_equal(session.reg_key_exists(key), False, "key after deleting")


def test_built_packages_install_with_chosen_outcomes(session: WineSession) -> None:
    """Built packages give 3010, 1603 (launch condition, custom action) and 1602, and what
    is installed can be read back: state, version, related products, feature state."""
    packages = session.build_packages(
        PluginPackage(version="1.2.3.4", asks_for_restart=True),
        PluginPackage(file_name="second.msi", product_code=OTHER_PRODUCT_CODE,
                      plugin_feature_absent=True),
        PluginPackage(file_name="condition.msi", failure="launch-condition"),
        PluginPackage(file_name="failure.msi", failure="install-failure"),
        PluginPackage(file_name="cancel.msi", failure="user-exit"))
    folder = session.lay_out_run_folder("пакеты", packages)

    def msiexec(name: str, *extra: str) -> int:
        result = session.run(MSIEXEC, ["/i", f"{folder}\\{name}", "/qn", *extra])
        print(f"msiexec {name} {extra}: {result.outcome} {result.exit_code}")
        expect_equal(result.boxes, [], f"boxes of {name}")
        return result.exit_code

    expect_equal(msiexec("condition.msi"), 1603, "failed launch condition")
    expect_equal(msiexec("failure.msi"), 1603, "failing custom action")
    expect_equal(msiexec("cancel.msi"), 1602, "cancelling custom action")
    expect_equal(session.related_products(UPGRADE_CODE), [], "nothing installed yet")
    expect_equal(msiexec("quorlcom-x64.msi"), 3010, "restart asked for")
    expect_equal(session.msi_query("product", PRODUCT_CODE, "feature", PRODUCT_CODE, "NPQUORL"),
                 [f"product {PRODUCT_CODE} state {INSTALLED}",
                  f"product {PRODUCT_CODE} version 1.2.3.4",
                  f"feature {PRODUCT_CODE} NPQUORL state 3"], "first product")
    expect_equal(msiexec("second.msi"), 0, "second product")
    expect_equal(session.msi_query("feature", OTHER_PRODUCT_CODE, "NPQUORL"),
                 [f"feature {OTHER_PRODUCT_CODE} NPQUORL state 2"], "absent feature")
    expect_equal(sorted(session.related_products(UPGRADE_CODE)),
                 sorted([PRODUCT_CODE, OTHER_PRODUCT_CODE]), "related products")


def test_boxes_of_child_processes_and_their_command_lines(session: WineSession) -> None:
    """Boxes of the program's child processes are answered too, and Wine's process trace
    gives each command line exactly."""
    folder = session.lay_out_run_folder(FOLDER, {
        "демо.exe": session.config.tools_dir / "box_demo.exe",
        "child prog.exe": session.config.tools_dir / "box_demo.exe"})
    child = f'"{folder}\\child prog.exe" --box 0x40 "Дочерний" "Текст ребёнка" --exit 3010'
    result = session.run(folder + "\\демо.exe", ["--run", child, "--exit", "7"],
                         answers=["ok"])
    print(result.describe())
    expect_run(result, 7, [ExpectedBox("Дочерний", "Текст ребёнка", ("ok",), has_icon=True,
                                       owned_by_hidden_static=False)])
    expect_equal(result.boxes[0].process, "child prog.exe", "process of the box")
    expect_equal(result.stdout, "answer 1\r\nchild 3010\r\n",
                 "standard output, which the child shares")
    expect_equal(result.process_trace[-1], child, "the child's command line in the trace")
