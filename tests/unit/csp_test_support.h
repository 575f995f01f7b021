// What the CSP tests share: the names the simulated Windows gives the CSP log and program.
#pragma once

#include "run/box_styles.h"
#include "support/simulated_windows.h"

namespace boot::csp_test {

// %TMP% and the simulated clock (2027-03-01 09:05:03) name the CSP log.
constexpr const wchar_t* kLogPath = L"C:\\Temp\\csp_2027-03-01-09-05-03.log";
constexpr const wchar_t* kLogTimestamp = L"2027-03-01-09-05-03";
// The program started, by its full path beside the bootstrapper; its command line keeps the
// relative one.
constexpr const wchar_t* kSetupProgram = L"C:\\Setup\\csp\\Setup.exe";
constexpr const wchar_t* kFailureText = L"В процессе установки Сталвер CSP возникла ошибка";
constexpr const wchar_t* kCspCaption = L"Установка Сталвер";

}  // namespace boot::csp_test
