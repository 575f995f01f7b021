#include "support/simulated_dialog.h"

#include <stdexcept>

namespace boot::sim {

SimulatedDialog SimulatedDialog::CspSetupTemplate() {
  SimulatedDialog dialog;
  const std::map<int, std::pair<bool, std::wstring>> initial = {
      {140, {true, L"Далее"}},
      {2, {true, L"Отмена"}},
      {1006, {false, L"Русский"}},
      {1007, {false, L"English"}},
      {1008, {false, L"KC1"}},
      {1009, {false, L"KC2"}},
      {1010, {false, L"KC3"}},
      {1012, {false, L"Язык установки:"}},
      {1013, {false, L"Уровень безопасности:"}},
      {1011, {true, L"banner"}},
      {1015, {true, L"Опции"}},
      {1014, {true, L"welcome"}},
  };
  for (const auto& [id, state] : initial) {
    dialog.controls[id] = Control{state.first, kBstUnchecked, state.second};
  }
  dialog.radioGroups = {{1006, 1007}, {1008, 1009, 1010}};
  return dialog;
}

SimulatedDialog::Control& SimulatedDialog::At(int controlId) {
  auto found = controls.find(controlId);
  if (found == controls.end()) throw std::logic_error("no such dialog control");
  return found->second;
}

void SimulatedDialog::Click(int controlId) {
  if (!Running()) throw std::logic_error("click on a dialog that is not open");
  for (const auto& group : radioGroups) {
    for (int member : group) {
      if (member != controlId) continue;
      for (int other : group) At(other).checked = other == controlId ? kBstChecked : kBstUnchecked;
    }
  }
  bool handled =
      handler_->OnMessage(kHandle, kWmCommand, static_cast<std::uintptr_t>(controlId), 0);
  handlerResults.push_back(L"command:" + std::to_wstring(controlId) + L"=" +
                           (handled ? L"TRUE" : L"FALSE"));
}

void SimulatedDialog::PressEscape() { Click(kIdCancel); }

std::intptr_t SimulatedDialog::Run(int id, WindowHandle ownerWindow, DialogHandler* handler,
                                   std::intptr_t param) {
  ++timesShown;
  templateId = id;
  owner = ownerWindow;
  initParam = param;
  handler_ = handler;
  running_ = true;
  ended_ = false;
  handler_->OnMessage(kHandle, kWmInitDialog, 0, param);
  if (userActions) userActions(*this);
  running_ = false;
  if (!ended_) throw std::logic_error("the dialog was left open by the user actions");
  handler_->OnMessage(kHandle, kWmDestroy, 0, 0);
  return endResult;
}

void SimulatedDialog::End(std::intptr_t result) {
  ended_ = true;
  endResult = result;
}

}  // namespace boot::sim
