// A modal dialog as the simulated Windows shows it: controls with visibility, check state
// and text, automatic radio-button groups, and a script of the user's actions.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace boot::sim {

class SimulatedDialog {
 public:
  struct Control {
    bool visible = false;
    unsigned checked = kBstUnchecked;
    std::wstring text;
  };

  // The CSP set-up dialog as its template creates it: welcome view shown, options hidden.
  static SimulatedDialog CspSetupTemplate();

  std::map<int, Control> controls;
  std::vector<std::vector<int>> radioGroups;
  // What the user does while the dialog is open; it runs after WM_INITDIALOG.
  std::function<void(SimulatedDialog&)> userActions;

  // User actions, valid while the dialog runs.
  void Click(int controlId);  // an automatic radio button is checked first
  void PressEscape();         // the dialog manager sends IDCANCEL
  bool Running() const { return running_ && !ended_; }

  // Records.
  int timesShown = 0;
  int templateId = 0;
  WindowHandle owner = 0;
  std::intptr_t initParam = 0;
  std::intptr_t endResult = -1;
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> iconsSet;  // WM_SETICON wParam, lParam
  std::vector<std::wstring> handlerResults;  // "message:id=result" of WM_COMMAND calls

  // Used by the simulated Windows.
  std::intptr_t Run(int id, WindowHandle ownerWindow, DialogHandler* handler, std::intptr_t param);
  void End(std::intptr_t result);
  Control& At(int controlId);
  static constexpr WindowHandle kHandle = 0x7141;

 private:
  bool running_ = false;
  bool ended_ = false;
  DialogHandler* handler_ = nullptr;
};

}  // namespace boot::sim
