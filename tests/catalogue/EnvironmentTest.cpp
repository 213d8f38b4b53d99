// Expanding environment references, against the stand-in environment and, under Wine, the
// process's own: the same expansions and sizes from both, and the limits the removal relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "catalogue/Environment.h"
#include "tests/support/StandInEnvironment.h"

namespace {

enum class EnvironmentKind { StandIn, Process };

class Expansion : public testing::TestWithParam<EnvironmentKind> {
 protected:
  void TearDown() override {
#ifdef _WIN32
    for (const std::string& name : set_) SetEnvironmentVariableA(name.c_str(), nullptr);
#endif
  }
  void Set(const std::string& name, const std::string& value) {
    if (GetParam() == EnvironmentKind::StandIn) {
      standIn_.Set(name, value);
      return;
    }
#ifdef _WIN32
    ASSERT_TRUE(SetEnvironmentVariableA(name.c_str(), value.c_str())) << name;
    set_.push_back(name);
#endif
  }
  const EnvironmentFunctions& Functions() const {
#ifdef _WIN32
    static const EnvironmentFunctions process{ExpandEnvironmentStringsA};
    if (GetParam() == EnvironmentKind::Process) return process;
#endif
    return StandInEnvironment::Functions();
  }
  std::string Expanded(const std::string& text) const {
    std::string expanded = "stale";
    EXPECT_TRUE(ExpandEnvironment(Functions(), text, expanded)) << text;
    return expanded;
  }

  StandInEnvironment standIn_;
  std::vector<std::string> set_;
};

TEST_P(Expansion, ReplacesVariablesWhateverTheirCaseAndLeavesOtherReferencesAsWritten) {
  Set("VelloranTestDir", "C:\\Dir");
  EXPECT_EQ(Expanded("%velloranTESTdir%\\a.dll"), "C:\\Dir\\a.dll");
  EXPECT_EQ(Expanded("%VelloranUnset%\\a.dll"), "%VelloranUnset%\\a.dll");
  // An unknown reference's closing % never opens the next one.
  EXPECT_EQ(Expanded("%VelloranUnset%VelloranTestDir%"), "%VelloranUnset%VelloranTestDir%");
  EXPECT_EQ(Expanded("%VelloranUnset%%VelloranTestDir%"), "%VelloranUnset%C:\\Dir");
  EXPECT_EQ(Expanded("100% %%"), "100% %%");
  EXPECT_EQ(Expanded(""), "");

  // The call answers with the room the text needs, its NUL included, when it is not given it.
  const std::string text = "%VelloranTestDir%\\a.dll";
  const DWORD needed = Functions().ExpandEnvironmentStrings(text.c_str(), nullptr, 0);
  EXPECT_GE(needed, sizeof "C:\\Dir\\a.dll");
  std::string small(4, '@');
  EXPECT_GT(Functions().ExpandEnvironmentStrings(text.c_str(), &small[0], 4), 4u);
}

TEST_P(Expansion, RefusesAnExpansionBeyondTheLargestEnvironmentVariableOrOneThatFails) {
  // Wine's call writes such an expansion cut short and reports the size of the whole.
  const std::string value(13000, 'v');
  Set("VelloranTestBig", value);
  const std::string fits(kLargestExpansion - 1 - value.size(), 'f');
  std::string expanded;
  ASSERT_TRUE(ExpandEnvironment(Functions(), "%VelloranTestBig%" + fits, expanded));
  EXPECT_TRUE(expanded == value + fits) << "its NUL just fits; got " << expanded.size();
  for (const std::string& text :
       {"%VelloranTestBig%" + fits + "x", std::string(kLargestExpansion, 's')}) {
    expanded = "stale";
    EXPECT_FALSE(ExpandEnvironment(Functions(), text, expanded)) << text.size();
    EXPECT_EQ(expanded, "");
  }

  if (GetParam() == EnvironmentKind::StandIn) {
    standIn_.FailExpansions();
    expanded = "stale";
    EXPECT_FALSE(ExpandEnvironment(Functions(), "plain", expanded));
    EXPECT_EQ(expanded, "");
  }
}

std::vector<EnvironmentKind> Kinds() {
#ifdef _WIN32
  return {EnvironmentKind::StandIn, EnvironmentKind::Process};
#else
  return {EnvironmentKind::StandIn};
#endif
}

INSTANTIATE_TEST_SUITE_P(Environments, Expansion, testing::ValuesIn(Kinds()),
                         [](const testing::TestParamInfo<EnvironmentKind>& info) {
                           return info.param == EnvironmentKind::StandIn ? "StandIn" : "Process";
                         });

}  // namespace
