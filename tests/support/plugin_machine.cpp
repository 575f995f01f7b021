#include "support/plugin_machine.h"

#include <gtest/gtest.h>

#include "run/box_styles.h"
#include "support/string_table.h"

namespace boot::sim {

void AddPluginPackageFile(SimulatedWindows& windows, const std::wstring& path,
                          const std::wstring& version, const std::wstring& productCode) {
  windows.AddFile(path);
  windows.packages[path].properties = {
      {L"ProductCode", productCode},
      {L"UpgradeCode", kPluginUpgradeCode},
      {L"ProductName", kPluginName},
      {L"ProductVersion", version},
  };
}

void AddInstalledPlugin(SimulatedWindows& windows, const std::wstring& productCode,
                        const std::wstring& version, int featureState) {
  SimulatedProduct product;
  product.productCode = productCode;
  product.upgradeCode = kPluginUpgradeCode;
  product.versionString = version;
  product.features[L"NPQUORL"] = featureState;
  windows.products.push_back(product);
}

std::wstring Text(int messageId) { return CatalogueTexts().at(messageId); }

std::vector<std::wstring> EventsWith(const SimulatedWindows& windows, const std::wstring& prefix) {
  std::vector<std::wstring> found;
  for (const auto& event : windows.events) {
    if (event.compare(0, prefix.size(), prefix) == 0) found.push_back(event);
  }
  return found;
}

std::size_t FirstEventWith(const SimulatedWindows& windows, const std::wstring& prefix) {
  for (std::size_t index = 0; index < windows.events.size(); ++index) {
    if (windows.events[index].compare(0, prefix.size(), prefix) == 0) return index;
  }
  return windows.events.size();
}

void ExpectOnlyPackageErrorBox(const SimulatedWindows& windows, int messageId, WindowHandle owner) {
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].owner, owner);
  EXPECT_EQ(windows.boxes[0].text, Text(messageId));
  EXPECT_EQ(windows.boxes[0].caption, L"Ошибка");
  EXPECT_EQ(windows.boxes[0].style, kErrorBox);
}

}  // namespace boot::sim
