#include <gtest/gtest.h>

#include "run/messages.h"
#include "support/simulated_windows.h"
#include "support/string_table.h"

namespace boot {
namespace {

class MessageCatalogueTest : public ::testing::Test {
 protected:
  sim::SimulatedWindows windows;
  RunContext context{windows};
};

TEST_F(MessageCatalogueTest, LoadsEveryCatalogueEntryExactly) {
  for (const auto& [id, text] : sim::CatalogueTexts()) {
    EXPECT_EQ(LoadMessage(context, static_cast<Word>(id)), text) << "message " << id;
  }
  EXPECT_EQ(sim::CatalogueTexts().size(), 51u);
}

TEST_F(MessageCatalogueTest, FirstAndLastEntriesOfABlock) {
  EXPECT_EQ(LoadMessage(context, 143), L"Опции");  // position 15 of block 9
  EXPECT_EQ(LoadMessage(context, 144), L"Невозможно узнать значение переменной окружения.");
  EXPECT_EQ(LoadMessage(context, 112), L"Ошибка при обновлении quorlcom.msi.");  // position 0
}

TEST_F(MessageCatalogueTest, GapsAndIdsOutsideTheCatalogueAreEmpty) {
  for (Word id : {0, 1, 100, 115, 123, 124, 125, 126, 127, 132, 140, 141, 161, 176, 0xFFFF}) {
    EXPECT_EQ(LoadMessage(context, id), L"") << "message " << id;
  }
}

TEST_F(MessageCatalogueTest, LineFeedsAreLoneAndExact) {
  auto count = [](const std::wstring& text, wchar_t c) {
    return std::count(text.begin(), text.end(), c);
  };
  EXPECT_EQ(count(LoadMessage(context, 107), L'\n'), 2);
  EXPECT_EQ(count(LoadMessage(context, 109), L'\n'), 1);
  EXPECT_EQ(count(LoadMessage(context, 158), L'\n'), 2);
  EXPECT_EQ(count(LoadMessage(context, 107), L'\r'), 0);
  EXPECT_EQ(LoadMessage(context, 120), LoadMessage(context, 121));
  EXPECT_EQ(LoadMessage(context, 111),
            L"Не удалось произвести перезагрузку.\nПерезагрузите компьютер вручную.");
}

TEST_F(MessageCatalogueTest, AsksForTheNeutralLanguage) {
  // The simulated resources answer only the neutral language, as the loader's own choice.
  EXPECT_EQ(LoadMessage(context, 104), L"Сталвер ЭЦП Browser plug-in");
}

struct DamagedBlock {
  const char* name;
  std::vector<std::uint8_t> bytes;
  unsigned position;
};

TEST(StringTableWalkTest, DamagedOrTruncatedBlocksYieldNothing) {
  auto full = sim::EncodeBlock({{0, L"AB"}, {15, L"Z"}});
  std::vector<std::uint8_t> cutInText(full.begin(), full.begin() + 4);  // length 2, one unit
  std::vector<std::uint8_t> cutBeforeLast(full.begin(), full.end() - 4);
  std::vector<std::uint8_t> hugeLength = {0xFF, 0xFF, 'A', 0};
  std::vector<std::uint8_t> oddSize = {0x01};
  const DamagedBlock cases[] = {
      {"empty block", {}, 0},
      {"one byte", oddSize, 0},
      {"text cut short", cutInText, 0},
      {"last entry cut off", cutBeforeLast, 15},
      {"length beyond the block", hugeLength, 0},
      {"skip beyond the block", hugeLength, 1},
  };
  for (const auto& c : cases) {
    std::wstring text = L"untouched";
    EXPECT_FALSE(ReadStringTableEntry(c.bytes, c.position, &text)) << c.name;
    EXPECT_EQ(text, L"untouched") << c.name;
  }
  std::wstring text;
  ASSERT_TRUE(ReadStringTableEntry(full, 15, &text));
  EXPECT_EQ(text, L"Z");
}

TEST_F(MessageCatalogueTest, DamagedResourceGivesAnEmptyText) {
  windows.stringTableOverrides[10] = {0x05, 0x00, 0x41};
  EXPECT_EQ(LoadMessage(context, 144), L"");
}

TEST(FillPlaceholdersTest, FillsInOrder) {
  EXPECT_EQ(FillPlaceholders(L"Будет %s %s до версии %s.", {L"P", L"1.0", L"2.0"}),
            L"Будет P 1.0 до версии 2.0.");
}

}  // namespace
}  // namespace boot
