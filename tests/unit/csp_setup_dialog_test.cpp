#include "csp/csp_setup_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "csp/csp_setup_dialog_handler.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

constexpr int kNext = 140;
constexpr int kCancel = 2;
constexpr int kRussian = 1006;
constexpr int kEnglish = 1007;
constexpr int kKc1 = 1008;
constexpr int kKc2 = 1009;
constexpr int kKc3 = 1010;
constexpr int kOptions = 1015;
constexpr int kAllControls[] = {140, 2, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015};
constexpr IconHandle kSimulatedIcon = 0x1C0;

class CspSetupDialogTest : public ::testing::Test {
 protected:
  // Shows the dialog; the user does `actions`. Returns the exit code when the dialog ended
  // the process, or -1 when it returned.
  long long Show(std::function<void(sim::SimulatedDialog&)> actions) {
    windows.dialog.userActions = std::move(actions);
    try {
      ShowCspSetupDialog(context);
    } catch (const sim::SimulatedExit& exit) {
      return exit.exitCode;
    }
    return -1;
  }

  std::vector<int> VisibleControls() {
    std::vector<int> visible;
    for (int id : kAllControls) {
      if (windows.dialog.At(id).visible) visible.push_back(id);
    }
    return visible;
  }

  sim::SimulatedWindows windows;
  RunContext context{windows};
};

TEST_F(CspSetupDialogTest, DefaultsFollowTheSystemUiLanguage) {
  struct Case {
    Word uiLanguage;
    int checkedLanguage;
    const wchar_t* recordedLanguage;
  };
  const Case cases[] = {
      {0x0419, kRussian, L"rus*"},
      {0x0409, kEnglish, L"eng*"},
      {0x0819, kEnglish, L"eng*"},  // Russian (Moldova): another LANGID
  };
  for (const auto& c : cases) {
    sim::SimulatedWindows fresh;
    RunContext run(fresh);
    fresh.uiLanguage = c.uiLanguage;
    std::vector<unsigned> checked;
    fresh.dialog.userActions = [&](sim::SimulatedDialog& dialog) {
      for (int id : {kRussian, kEnglish, kKc1, kKc2, kKc3})
        checked.push_back(dialog.At(id).checked);
      dialog.Click(kNext);
    };
    ShowCspSetupDialog(run);
    std::vector<unsigned> expected = {c.checkedLanguage == kRussian ? 1u : 0u,
                                      c.checkedLanguage == kEnglish ? 1u : 0u, 1u, 0u, 0u};
    EXPECT_EQ(checked, expected) << c.uiLanguage;
    EXPECT_EQ(run.kcPattern, L"kc1*") << c.uiLanguage;
    EXPECT_EQ(run.langPattern, c.recordedLanguage) << c.uiLanguage;
  }
}

TEST_F(CspSetupDialogTest, ShownFromTemplate141WithoutOwnerOrParameter) {
  Show([](sim::SimulatedDialog& dialog) { dialog.Click(kNext); });
  EXPECT_EQ(windows.dialog.timesShown, 1);
  EXPECT_EQ(windows.dialog.templateId, 141);
  EXPECT_EQ(windows.dialog.owner, 0u);
  EXPECT_EQ(windows.dialog.initParam, 0);
  EXPECT_EQ(windows.dialog.endResult, 0);
  EXPECT_EQ(windows.dialog.handlerResults, std::vector<std::wstring>{L"command:140=TRUE"});
}

TEST_F(CspSetupDialogTest, IconIsLoadedAt32AndSetBigThenDestroyed) {
  Show([](sim::SimulatedDialog& dialog) { dialog.Click(kNext); });
  std::vector<std::wstring> iconEvents;
  std::copy_if(windows.events.begin(), windows.events.end(), std::back_inserter(iconEvents),
               [](const std::wstring& e) {
                 return e.find(L"icon") != std::wstring::npos || e.rfind(L"load-image", 0) == 0;
               });
  EXPECT_EQ(iconEvents,
            (std::vector<std::wstring>{L"load-image:100,1,32x32,0", L"destroy-icon:448"}));
  using IconSet = std::pair<std::uintptr_t, std::intptr_t>;
  EXPECT_EQ(windows.dialog.iconsSet,
            (std::vector<IconSet>{{1u, static_cast<std::intptr_t>(kSimulatedIcon)}}));
}

TEST_F(CspSetupDialogTest, OptionsButtonSwitchesBetweenTheTwoViews) {
  std::vector<std::vector<int>> visibleByView;
  std::vector<std::wstring> labels;
  Show([&](sim::SimulatedDialog& dialog) {
    visibleByView.push_back(VisibleControls());
    labels.push_back(dialog.At(kOptions).text);
    for (int i = 0; i < 2; ++i) {
      dialog.Click(kOptions);
      visibleByView.push_back(VisibleControls());
      labels.push_back(dialog.At(kOptions).text);
    }
    dialog.Click(kNext);
  });
  const std::vector<int> welcome = {140, 2, 1011, 1014, 1015};
  const std::vector<int> options = {140, 2, 1006, 1007, 1008, 1009, 1010, 1012, 1013, 1015};
  EXPECT_EQ(visibleByView, (std::vector<std::vector<int>>{welcome, options, welcome}));
  EXPECT_EQ(labels, (std::vector<std::wstring>{L"Опции", L"Скрыть", L"Опции"}));
  EXPECT_EQ(windows.dialog.handlerResults,
            (std::vector<std::wstring>{L"command:1015=FALSE", L"command:1015=FALSE",
                                       L"command:140=TRUE"}));
}

TEST_F(CspSetupDialogTest, ChoicesMadeInOptionsAreRecordedOnNext) {
  windows.uiLanguage = 0x0409;
  context.kcPattern = L"*2*";  // from -KC on the command line
  context.langPattern = L"*ru*";
  Show([](sim::SimulatedDialog& dialog) {
    dialog.Click(kOptions);
    dialog.Click(kKc3);
    dialog.Click(kRussian);
    dialog.Click(kOptions);  // back to the welcome view: the choices stay
    dialog.Click(kNext);
  });
  EXPECT_EQ(context.kcPattern, L"*2*kc3*");
  EXPECT_EQ(context.langPattern, L"*ru*rus*");
  EXPECT_EQ(windows.dialog.endResult, 0);
}

TEST_F(CspSetupDialogTest, CheckedButtonsAreRecordedInTheirFixedOrder) {
  // Checked behind the dialog's back, so that the test order shows in the texts.
  Show([](sim::SimulatedDialog& dialog) {
    for (int id : {kKc3, kKc1, kEnglish, kRussian}) dialog.At(id).checked = kBstChecked;
    dialog.Click(kNext);
  });
  EXPECT_EQ(context.kcPattern, L"kc1*kc3*");
  EXPECT_EQ(context.langPattern, L"rus*eng*");
}

TEST_F(CspSetupDialogTest, NothingIsRecordedBeforeNext) {
  Show([&](sim::SimulatedDialog& dialog) {
    dialog.Click(kOptions);
    dialog.Click(kKc2);
    EXPECT_EQ(context.kcPattern, L"");
    EXPECT_EQ(context.langPattern, L"");
    dialog.Click(kNext);
  });
  EXPECT_EQ(context.kcPattern, L"kc2*");
  EXPECT_EQ(context.langPattern, L"rus*");
}

TEST_F(CspSetupDialogTest, CancelAndEscapeEndTheDialogThenTheProcess) {
  const std::pair<const char*, std::function<void(sim::SimulatedDialog&)>> cases[] = {
      {"cancel button", [](sim::SimulatedDialog& d) { d.Click(kCancel); }},
      {"escape", [](sim::SimulatedDialog& d) { d.PressEscape(); }},
      {"cancel in the options view",
       [](sim::SimulatedDialog& d) {
         d.Click(kOptions);
         d.Click(kKc2);
         d.Click(kCancel);
       }},
  };
  for (const auto& [name, actions] : cases) {
    sim::SimulatedWindows fresh;
    RunContext run(fresh);
    fresh.dialog.userActions = actions;
    long long exitCode = -1;
    try {
      ShowCspSetupDialog(run);
    } catch (const sim::SimulatedExit& exit) {
      exitCode = exit.exitCode;
    }
    EXPECT_EQ(exitCode, 0) << name;
    // The dialog had ended when the process ended.
    EXPECT_EQ(fresh.dialog.endResult, 0) << name;
    EXPECT_EQ(fresh.events.back(), L"exit:0") << name;
    EXPECT_EQ(run.kcPattern, L"") << name;
    EXPECT_EQ(run.langPattern, L"") << name;
  }
}

TEST_F(CspSetupDialogTest, HandlerAnswersPerMessage) {
  CspSetupDialogHandler handler(context);
  const WindowHandle dialog = sim::SimulatedDialog::kHandle;
  EXPECT_TRUE(handler.OnMessage(dialog, kWmInitDialog, 0, 0));
  EXPECT_FALSE(handler.OnMessage(dialog, 0x000F /* WM_PAINT */, 0, 0));
  EXPECT_FALSE(handler.OnMessage(dialog, kWmCommand, kRussian, 0));
  EXPECT_FALSE(handler.OnMessage(dialog, kWmCommand, 1011, 0));
  EXPECT_EQ(windows.dialog.At(kOptions).text, L"Опции");
  // The control ID is the low word; the high word carries the notification code.
  EXPECT_FALSE(handler.OnMessage(dialog, kWmCommand, (1u << 16) | kOptions, 0));
  EXPECT_EQ(windows.dialog.At(kOptions).text, L"Скрыть");
  EXPECT_FALSE(handler.OnMessage(dialog, kWmDestroy, 0, 0));
  EXPECT_EQ(windows.events.back(), L"destroy-icon:448");
}

TEST_F(CspSetupDialogTest, MissingIconLeavesTheDialogWithoutAnIconOfItsOwn) {
  windows.iconPresent = false;
  Show([](sim::SimulatedDialog& dialog) { dialog.Click(kNext); });
  using IconSet = std::pair<std::uintptr_t, std::intptr_t>;
  EXPECT_EQ(windows.dialog.iconsSet, (std::vector<IconSet>{{1u, 0}}));
  EXPECT_EQ(windows.dialog.endResult, 0);
  EXPECT_EQ(context.kcPattern, L"kc1*");
}

}  // namespace
}  // namespace boot
