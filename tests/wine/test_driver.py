"""The real bootstrapper under Wine: command line, help box, the first question and the
restart marker, as a person or a script meets them."""

from __future__ import annotations

from expect import ExpectedBox, expect_equal, expect_log_lines, expect_run, expect_tmp_files
from harness import WineSession
from packages import PluginPackage

# Spaces and Cyrillic in the folder, as on a user's desktop.
FOLDER = "Users\\Public\\Рабочий стол\\Сталвер установка"
MARKER = r"HKCU\Software\NeedBstrReboot"

HELP_CAPTION = "Справка"
HELP_TEXT = (
    "Установщик Сталвер ЭЦП Browser plug-in.\n"
    "При запуске без параметров осуществляет установку с параметрами по умолчанию.\n"
    "\n"
    "Возможные параметры командной строки:\n"
    "  -?\t\t\tвывести данную справку\n"
    "  -quorlargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки(<args>) для\n"
    "\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI плагина\n"
    "  -reinstall\t\t\tпереустановка продукта\n"
    "  -silent\t\t\tподавить диалоговые окна\n\t\t\tбутстраппера\n"
    "  -norestart\t\tподавить перезагрузку, если она\n\t\t\tбудет необходима\n")
HELP_CSP_LINES = (
    "  -cspargs \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n"
    "\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Сталвер CSP\n"
    "  -selectDlg\tвывести диалог выбора конфигурации Сталвер CSP\n"
    "  -KC\t\t\tуровень KC Сталвер CSP\n"
    "  -Lang\t\t\tязык Сталвер CSP\n")
HELP_BOX = ExpectedBox(HELP_CAPTION, HELP_TEXT, ("ok",), has_icon=True,
                       owned_by_hidden_static=True)
HELP_BOX_WITH_CSP = ExpectedBox(HELP_CAPTION, HELP_TEXT + HELP_CSP_LINES, ("ok",),
                                has_icon=True, owned_by_hidden_static=True)
INSTALL_QUESTION = ExpectedBox("Сталвер ЭЦП Browser plug-in",
                               "Установить Сталвер ЭЦП Browser plug-in?", ("yes", "no"),
                               has_icon=False, owned_by_hidden_static=True)


def run_bootstrapper(session: WineSession, args: list[str] | str = "",
                     packages: tuple[PluginPackage, ...] = (), **options):
    """Lays out the program (with `packages` built beside it) and runs it; see
    WineSession.run for the options."""
    program = session.install_bootstrapper(FOLDER, session.build_packages(*packages))
    result = session.run(program, args, **options)
    print(result.describe())
    return result


def test_help_box(session: WineSession) -> None:
    """-help shows the help without the CSP lines; OK ends the run with 0."""
    result = run_bootstrapper(session, ["-help"], answers=["ok"])
    expect_run(result, 0, [HELP_BOX])


def test_help_with_csp_lines(session: WineSession) -> None:
    """-csp -help shows the help with the four CSP lines."""
    result = run_bootstrapper(session, ["-csp", "-help"], answers=["ok"])
    expect_run(result, 0, [HELP_BOX_WITH_CSP])


def test_help_after_help_option_has_no_csp_lines(session: WineSession) -> None:
    """-help -csp: the help comes before -csp is read, so without the CSP lines."""
    result = run_bootstrapper(session, ["-help", "-csp"], answers=["ok"])
    expect_run(result, 0, [HELP_BOX])


def test_reinstall_in_capitals_shows_help(session: WineSession) -> None:
    """-REINSTALL is matched with its exact case only, so it is unknown: the help, 0."""
    result = run_bootstrapper(session, ["-REINSTALL"], answers=["ok"])
    expect_run(result, 0, [HELP_BOX])


def test_question_mark_shows_help_even_when_silent(session: WineSession) -> None:
    """-silent -? : the help box is never suppressed."""
    result = run_bootstrapper(session, ["-silent", "-?"], answers=["ok"])
    expect_run(result, 0, [HELP_BOX])


def test_declining_the_install_question(session: WineSession) -> None:
    """No arguments: message 103 under caption 104 with Yes and No; No ends with 0 and
    nothing more is shown."""
    result = run_bootstrapper(session, answers=["no"])
    expect_run(result, 0, [INSTALL_QUESTION])
    expect_equal(result.stdout, "", "standard output")


def test_silent_norestart_run_keeps_the_restart_marker(session: WineSession) -> None:
    """A restart marker left by an earlier run survives a successful -silent -norestart
    install, which shows no box and ends with 0."""
    session.reg_add_key(MARKER)
    package = PluginPackage(file_name="quorlcom-win32.msi")
    result = run_bootstrapper(session, ["-silent", "-norestart"], packages=(package,))
    expect_run(result, 0, [])
    expect_equal(session.reg_key_exists(MARKER), True, "restart marker after the run")


def test_silent_norestart_run_without_package_keeps_the_restart_marker(
        session: WineSession) -> None:
    """A run that fails (no package file: 232) does not act on the marker either; it only
    tells at its start that the marker is younger than the machine's start."""
    session.reg_add_key(MARKER)
    result = run_bootstrapper(session, ["-silent", "-norestart"])
    expect_run(result, 232, [])
    expect_equal(session.reg_key_exists(MARKER), True, "restart marker after the run")
    # The run's own log alone tells why: no package, and the two boxes it did not show.
    expect_tmp_files(result, [])
    expect_log_lines(result, [
        f"package search C:\\{FOLDER}\\*win32**.msi: nothing found (232)",
        f"package search C:\\{FOLDER}\\*.msi: nothing found (232)",
        'box 151 suppressed by -silent: "Невозможно найти ProductCode msi-пакета."; '
        "answer taken OK",
        'box 106 suppressed by -silent: "В процессе установки или обновления Сталвер ЭЦП '
        'Browser plug-in возникла ошибка: 232.\\n"; answer taken OK',
        "exit code 232: no plug-in package found"])
    expect_equal([line for line in result.run_log_lines()
                  if "restart marker" in line and not line.endswith(": a restart is pending")],
                 [], "lines about the restart marker but its age")
