#include "csp/csp_setup_dialog_handler.h"

#include "lifetime/run_lifetime.h"
#include "resources/resource_ids.h"
#include "run/messages.h"

namespace boot {
namespace {

constexpr Word kRussianUiLanguage = 0x0419;
constexpr int kOptionsLabelChars = 10;
constexpr int kIconSize = 32;

// The buttons "Далее" records, in the order it tests them.
struct Choice {
  int controlId;
  std::wstring RunContext::*pattern;
  const wchar_t* text;
};
constexpr Choice kChoices[] = {
    {IDC_LEVEL_KC1, &RunContext::kcPattern, L"kc1*"},
    {IDC_LEVEL_KC2, &RunContext::kcPattern, L"kc2*"},
    {IDC_LEVEL_KC3, &RunContext::kcPattern, L"kc3*"},
    {IDC_LANG_RUSSIAN, &RunContext::langPattern, L"rus*"},
    {IDC_LANG_ENGLISH, &RunContext::langPattern, L"eng*"},
};

// The banner and the welcome text share their place with the two option groups.
bool BelongsToWelcomeView(int controlId) {
  return controlId == IDC_BANNER || controlId == IDC_WELCOME_TEXT;
}

}  // namespace

bool CspSetupDialogHandler::OnMessage(WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                                      std::intptr_t) {
  switch (message) {
    case kWmInitDialog:
      return OnInitDialog(dialog);
    case kWmCommand:
      return OnCommand(dialog, static_cast<int>(wParam & 0xFFFF));
    case kWmDestroy:
      OnDestroy();
      return false;
    default:
      return false;
  }
}

bool CspSetupDialogHandler::OnInitDialog(WindowHandle dialog) {
  icon_ =
      context_.os.LoadOwnImage(IDI_BOOTSTRAPPER, kImageIcon, kIconSize, kIconSize, kLrDefaultColor);
  context_.os.SendMessage(dialog, kWmSetIcon, kIconBig, static_cast<std::intptr_t>(icon_));
  bool russian = context_.os.GetSystemDefaultUILanguage() == kRussianUiLanguage;
  context_.os.CheckDlgButton(dialog, russian ? IDC_LANG_RUSSIAN : IDC_LANG_ENGLISH, kBstChecked);
  context_.os.CheckDlgButton(dialog, IDC_LEVEL_KC1, kBstChecked);
  return true;  // the focus goes to the first tab stop, "Далее"
}

bool CspSetupDialogHandler::OnCommand(WindowHandle dialog, int controlId) {
  switch (controlId) {
    case kIdCancel:
      CancelRun(dialog);
      return true;
    case IDC_NEXT:
      RecordChoices(dialog);
      context_.os.EndDialog(dialog, 0);
      return true;
    case IDC_OPTIONS:
      ToggleOptions(dialog);
      return false;
    default:
      return false;
  }
}

void CspSetupDialogHandler::OnDestroy() {
  context_.os.DestroyIcon(icon_);
  icon_ = 0;
}

// "Отмена", Esc and the close box end the whole run: nothing is installed.
void CspSetupDialogHandler::CancelRun(WindowHandle dialog) {
  context_.os.EndDialog(dialog, 0);
  context_.log.Decision("end the run", "the CSP dialog was cancelled");
  ExitRun(context_, 0);
}

void CspSetupDialogHandler::RecordChoices(WindowHandle dialog) {
  for (const auto& choice : kChoices) {
    if (context_.os.IsDlgButtonChecked(dialog, choice.controlId) == kBstChecked) {
      context_.*choice.pattern += choice.text;
    }
  }
}

void CspSetupDialogHandler::ToggleOptions(WindowHandle dialog) {
  bool showOptions = context_.os.GetDlgItemText(dialog, IDC_OPTIONS, kOptionsLabelChars) ==
                     LoadMessage(context_, msg::kOptionsLabel);
  for (int id = IDC_LANG_RUSSIAN; id <= IDC_WELCOME_TEXT; ++id) {
    bool visible = BelongsToWelcomeView(id) != showOptions;
    context_.os.ShowWindow(context_.os.GetDlgItem(dialog, id), visible ? kSwShow : kSwHide);
  }
  context_.os.SetDlgItemText(
      dialog, IDC_OPTIONS,
      LoadMessage(context_, showOptions ? msg::kHideOptionsLabel : msg::kOptionsLabel));
}

}  // namespace boot
