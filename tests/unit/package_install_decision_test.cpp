#include <gtest/gtest.h>

#include "package/install_decision.h"

namespace boot {
namespace {

struct DecisionRow {
  bool reinstall;
  int comparison;
  bool silent;
  InstallAction action;
};

TEST(DecideInstallTest, EveryRowOfTheDecisionTable) {
  using A = InstallAction;
  const DecisionRow rows[] = {
      {false, 0, true, A::kStopQuietly},   {false, 0, false, A::kAskReinstall},
      {true, 0, true, A::kProceed},        {true, 0, false, A::kProceed},
      {false, 1, true, A::kProceed},       {false, 1, false, A::kProceed},
      {true, 1, true, A::kProceed},        {true, 1, false, A::kProceed},
      {false, -1, false, A::kRefuseOlder}, {true, -1, false, A::kRefuseOlder},
      {false, -1, true, A::kProceed},      {true, -1, true, A::kProceed},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DecideInstall(row.reinstall, row.comparison, row.silent), row.action)
        << "reinstall " << row.reinstall << ", comparison " << row.comparison << ", silent "
        << row.silent;
  }
}

struct ArgumentsCase {
  const char* name;
  InstalledProduct product;
  const wchar_t* fragments;  // between the leading " /qb" and the user's text
};

const wchar_t kReinstall[] = L" REINSTALL=ALL REINSTALLMODE=vomus";

const ArgumentsCase kArgumentCases[] = {
    {"fresh install", {false, false, false}, L" ADDNPQUORL=1"},
    {"fresh install ignores the other facts", {false, true, true}, L" ADDNPQUORL=1"},
    {"same product code", {true, true, false}, kReinstall},
    {"same product code, feature absent",
     {true, true, true},
     L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3} REINSTALL=ALL REINSTALLMODE=vomus"},
    {"different product code", {true, false, false}, L""},
    {"different product code, feature absent", {true, false, true}, L" ADDLOCAL=ALL"},
};

// Where nobody can see, msiexec gets no interface at all: " /qn" stands for " /qb".
TEST(BuildPluginArgumentsTest, FragmentsPerCaseInFrontOfTheUserText) {
  for (const auto& c : kArgumentCases) {
    for (const std::wstring user :
         {L"", L" ALLUSERS=1 ", L" /QN ", L" D:/local ", L" TARGET=x/q ", L" X=\"a /qn\" "}) {
      for (bool unseen : {false, true}) {
        EXPECT_EQ(BuildPluginArguments(c.product, user, unseen),
                  (unseen ? L" /qn" : L" /qb") + (c.fragments + user))
            << c.name << " / user text \"" << std::string(user.begin(), user.end()) << "\"";
      }
    }
  }
}

TEST(BuildPluginArgumentsTest, AUserTokenStartingWithLowerCaseSlashQDropsTheBasicUi) {
  for (const auto& c : kArgumentCases) {
    for (const std::wstring user : {L" /qn ", L" /qb! ", L" /quiet ", L" \"/qb\" "}) {
      for (bool unseen : {false, true}) {
        EXPECT_EQ(BuildPluginArguments(c.product, user, unseen), c.fragments + user) << c.name;
      }
    }
  }
}

}  // namespace
}  // namespace boot
