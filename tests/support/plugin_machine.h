// Plug-in packages, installed products and event look-ups for the package tests.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "support/simulated_windows.h"

namespace boot::sim {

constexpr const wchar_t* kPluginUpgradeCode = L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
constexpr const wchar_t* kNewProductCode = L"{11111111-2222-3333-4444-555555555555}";
constexpr const wchar_t* kOtherProductCode = L"{99999999-8888-7777-6666-555555555555}";
constexpr const wchar_t* kPluginName = L"Stalver Browser plug-in";
constexpr int kInstallStateLocal = 3;
// 2027-03-01 09:05:03 UTC, the moment of the example log names.
constexpr std::time_t kMarchFirst2027 = 1803891903;

// A package file at `path` with the plug-in's upgrade code.
void AddPluginPackageFile(SimulatedWindows& windows, const std::wstring& path,
                          const std::wstring& version = L"2.0.0.0",
                          const std::wstring& productCode = kNewProductCode);

// An installed product of the plug-in family, its NPQUORL feature in `featureState`.
void AddInstalledPlugin(SimulatedWindows& windows, const std::wstring& productCode,
                        const std::wstring& version, int featureState = kInstallStateLocal);

// The run showed exactly one box: the error `messageId` of the package steps, under the
// caption "Ошибка", owned by `owner`. Reported as test failures.
void ExpectOnlyPackageErrorBox(const SimulatedWindows& windows, int messageId, WindowHandle owner);

// The catalogue text with this number.
std::wstring Text(int messageId);

// The events that begin with `prefix`, in order, and the position of the first one
// (events.size() when there is none).
std::vector<std::wstring> EventsWith(const SimulatedWindows& windows, const std::wstring& prefix);
std::size_t FirstEventWith(const SimulatedWindows& windows, const std::wstring& prefix);

}  // namespace boot::sim
