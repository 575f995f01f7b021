#include <gtest/gtest.h>

#include "package/source_hash.h"
#include "support/plugin_machine.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

TEST(SourceHashTest, DeletesTheFileNamedAfterTheProductCode) {
  sim::SimulatedWindows windows;
  RunContext context(windows);
  windows.AddFile(L"C:\\Windows\\installer\\SourceHash" + std::wstring(sim::kNewProductCode));
  DeleteSourceHash(context, sim::kNewProductCode);
  EXPECT_EQ(sim::EventsWith(windows, L"delete-file:"),
            std::vector<std::wstring>{L"delete-file:C:\\Windows\\installer\\SourceHash" +
                                      std::wstring(sim::kNewProductCode)});
  EXPECT_FALSE(windows.PathExists(L"C:\\Windows\\installer\\SourceHash" +
                                  std::wstring(sim::kNewProductCode)));
  DeleteSourceHash(context, sim::kNewProductCode);  // already gone: ignored
  windows.environment.erase(L"WINDIR");
  DeleteSourceHash(context, sim::kOtherProductCode);
  EXPECT_EQ(sim::EventsWith(windows, L"delete-file:").back(),
            L"delete-file:\\installer\\SourceHash" + std::wstring(sim::kOtherProductCode));
}

TEST(SourceHashTest, OnlyAGuidInBracesNamesAFile) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"{11111111-2222-3333-4444-555555555555}", true},
      {L"{abcdef01-ABCD-ef01-2345-6789abcdefAB}", true},
      {L"", false},
      {L"11111111-2222-3333-4444-555555555555", false},
      {L"{11111111-2222-3333-4444-55555555555}", false},
      {L"{11111111-2222-3333-4444-5555555555555}", false},
      {L"{11111111-2222-3333-4444_555555555555}", false},
      {L"{1111111G-2222-3333-4444-555555555555}", false},
      {L"{..\\..\\..\\system32\\drivers\\etc\\hosts}", false},
      {L"(11111111-2222-3333-4444-555555555555)", false},
  };
  sim::SimulatedWindows windows;
  RunContext context(windows);
  for (const auto& [code, form] : cases) {
    EXPECT_EQ(IsProductCodeForm(code), form) << std::wstring(code).size();
    windows.events.clear();
    DeleteSourceHash(context, code);
    EXPECT_EQ(windows.events.size(), form ? 1u : 0u);
  }
}

}  // namespace
}  // namespace boot
