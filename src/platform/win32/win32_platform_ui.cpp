// Windows, message boxes, the dialog and the program's own resources.
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/win32_platform.h"

namespace boot {
namespace {

// The handler of the dialog on screen. Dialogs are modal and the program has one thread,
// so one at a time is enough; a nested dialog gives the outer one its handler back.
DialogHandler* activeDialogHandler = nullptr;

INT_PTR CALLBACK ForwardDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (activeDialogHandler == nullptr) return FALSE;
  return activeDialogHandler->OnMessage(FromHwnd(dialog), message, wParam, lParam) ? TRUE : FALSE;
}

}  // namespace

WindowHandle Win32Platform::CreateWindowEx(Dword exStyle, const std::wstring& className,
                                           const std::wstring& windowName, Dword style, int x,
                                           int y, int width, int height) {
  const wchar_t* title = windowName.empty() ? nullptr : windowName.c_str();
  return FromHwnd(::CreateWindowExW(exStyle, className.c_str(), title, style, x, y, width, height,
                                    nullptr, nullptr, instance_, nullptr));
}

int Win32Platform::MessageBox(WindowHandle owner, const std::wstring& text,
                              const std::wstring& caption, Dword type) {
  return ::MessageBoxW(ToHwnd(owner), text.c_str(), caption.c_str(), type);
}

std::intptr_t Win32Platform::DialogBoxParam(int templateId, WindowHandle owner,
                                            DialogHandler* handler, std::intptr_t initParam) {
  DialogHandler* const outerHandler = activeDialogHandler;
  activeDialogHandler = handler;
  const INT_PTR result = ::DialogBoxParamW(instance_, MAKEINTRESOURCEW(templateId), ToHwnd(owner),
                                           ForwardDialogMessage, initParam);
  activeDialogHandler = outerHandler;
  return result;
}

bool Win32Platform::EndDialog(WindowHandle dialog, std::intptr_t result) {
  return ::EndDialog(ToHwnd(dialog), result) != FALSE;
}

WindowHandle Win32Platform::GetDlgItem(WindowHandle dialog, int controlId) {
  return FromHwnd(::GetDlgItem(ToHwnd(dialog), controlId));
}

bool Win32Platform::ShowWindow(WindowHandle window, int command) {
  return ::ShowWindow(ToHwnd(window), command) != FALSE;
}

bool Win32Platform::CheckDlgButton(WindowHandle dialog, int controlId, unsigned check) {
  return ::CheckDlgButton(ToHwnd(dialog), controlId, check) != FALSE;
}

unsigned Win32Platform::IsDlgButtonChecked(WindowHandle dialog, int controlId) {
  return ::IsDlgButtonChecked(ToHwnd(dialog), controlId);
}

std::wstring Win32Platform::GetDlgItemText(WindowHandle dialog, int controlId, int maxCount) {
  if (maxCount <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(maxCount), L'\0');
  const UINT copied = ::GetDlgItemTextW(ToHwnd(dialog), controlId, buffer.data(), maxCount);
  return std::wstring(buffer.data(), copied);
}

bool Win32Platform::SetDlgItemText(WindowHandle dialog, int controlId, const std::wstring& text) {
  return ::SetDlgItemTextW(ToHwnd(dialog), controlId, text.c_str()) != FALSE;
}

std::intptr_t Win32Platform::SendMessage(WindowHandle window, unsigned message,
                                         std::uintptr_t wParam, std::intptr_t lParam) {
  return ::SendMessageW(ToHwnd(window), message, wParam, lParam);
}

IconHandle Win32Platform::LoadOwnImage(int resourceId, unsigned type, int cx, int cy,
                                       unsigned flags) {
  return FromHandleOfImage(
      ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), type, cx, cy, flags));
}

bool Win32Platform::DestroyIcon(IconHandle icon) { return ::DestroyIcon(ToHicon(icon)) != FALSE; }

std::vector<std::uint8_t> Win32Platform::FindOwnResource(Word type, Word name, Word language) {
  const HRSRC found =
      ::FindResourceExW(nullptr, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(name), language);
  if (found == nullptr) return {};
  const HGLOBAL loaded = ::LoadResource(nullptr, found);
  const void* data = loaded == nullptr ? nullptr : ::LockResource(loaded);
  if (data == nullptr) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(bytes, bytes + ::SizeofResource(nullptr, found));
}

bool Win32Platform::PeekMessage(WindowMessage* message, WindowHandle window, unsigned filterMin,
                                unsigned filterMax, unsigned removeFlags) {
  MSG taken{};
  if (!::PeekMessageW(&taken, ToHwnd(window), filterMin, filterMax, removeFlags)) return false;
  *message = WindowMessage{FromHwnd(taken.hwnd), taken.message, taken.wParam, taken.lParam,
                           taken.time,           taken.pt.x,    taken.pt.y};
  return true;
}

std::intptr_t Win32Platform::DispatchMessage(const WindowMessage& message) {
  MSG dispatched{};
  dispatched.hwnd = ToHwnd(message.window);
  dispatched.message = message.message;
  dispatched.wParam = message.wParam;
  dispatched.lParam = message.lParam;
  dispatched.time = message.time;
  dispatched.pt.x = message.x;
  dispatched.pt.y = message.y;
  return ::DispatchMessageW(&dispatched);
}

}  // namespace boot
