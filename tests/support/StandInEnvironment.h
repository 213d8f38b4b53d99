#pragma once
// An environment in memory behind the expansion call, written from its contract, for running
// the removal without Windows (and, under Wine, beside the process's own environment).
//
// As documented for ExpandEnvironmentStringsA: a name is matched whatever its case, and a
// reference to a name not in the environment stays as written; the answer is the size the text
// needs, its NUL included, and the text is written only where it fits. Where it fits is where
// the ANSI call's page says it "should": "the string length, plus terminating null character,
// plus one", as Wine 10 asks (Wine 8 asks no byte more). As in Wine (the contract suite holds
// them together), the text goes on after an unknown reference's closing %, and an unclosed % is
// text.

#include <map>
#include <string>

#include "catalogue/Environment.h"
#include "tests/support/ActiveStandIn.h"

// Empty when made; the one made last serves the function table.
class StandInEnvironment : public ActiveStandIn<StandInEnvironment> {
 public:
  static const EnvironmentFunctions& Functions();

  void Set(const std::string& name, const std::string& value);
  // From now on every expansion fails, as one that runs out of memory does.
  void FailExpansions();
  // The expansion with room enough, as a test's own reckoning of what the call gives.
  std::string Expanded(const std::string& text) const;

 private:
  struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  static DWORD WINAPI Expand(LPCSTR source, LPSTR destination, DWORD size);

  std::map<std::string, std::string, NameLess> variables_;
  bool fail_ = false;
};
