#include "driver/install_options.h"
#include "lifetime/run_lifetime.h"
#include "run/box_styles.h"
#include "run/exit_codes.h"
#include "run/message_box.h"

namespace boot {

std::wstring HelpText(bool csp) {
  std::wstring text =
      L"Установщик Сталвер ЭЦП Browser plug-in.\n"
      L"При запуске без параметров осуществляет установку с параметрами по умолчанию.\n"
      L"\n"
      L"Возможные параметры командной строки:\n"
      L"  -?\t\t\tвывести данную справку\n"
      L"  -quorlargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки(<args>) для\n"
      L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI плагина\n"
      L"  -reinstall\t\t\tпереустановка продукта\n"
      L"  -silent\t\t\tподавить диалоговые окна\n\t\t\tбутстраппера\n"
      L"  -norestart\t\tподавить перезагрузку, если она\n\t\t\tбудет необходима\n";
  if (csp) {
    text +=
        L"  -cspargs \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n"
        L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Сталвер CSP\n"
        L"  -selectDlg\tвывести диалог выбора конфигурации Сталвер CSP\n"
        L"  -KC\t\t\tуровень KC Сталвер CSP\n"
        L"  -Lang\t\t\tязык Сталвер CSP\n";
  }
  return text;
}

void ShowHelpAndExit(RunContext& context, bool csp) {
  if (context.nobodyCanSee) {
    context.log.Decision("end the run", "the help is due, and nobody can see it");
    ExitRun(context, kExitInvalidCommandLine);
  }
  ShowBox(context, false, context.ownerWindow, kHelpBoxId, HelpText(csp), L"Справка",
          kInformationBox);
  ExitRun(context, kExitSuccess);
}

}  // namespace boot
