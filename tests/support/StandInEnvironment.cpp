#include "tests/support/StandInEnvironment.h"

#include <algorithm>
#include <cctype>
#include <cstring>

bool StandInEnvironment::NameLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) <
           std::toupper(static_cast<unsigned char>(y));
  });
}

const EnvironmentFunctions& StandInEnvironment::Functions() {
  static const EnvironmentFunctions functions{&StandInEnvironment::Expand};
  return functions;
}

void StandInEnvironment::Set(const std::string& name, const std::string& value) {
  variables_[name] = value;
}

void StandInEnvironment::FailExpansions() { fail_ = true; }

std::string StandInEnvironment::Expanded(const std::string& text) const {
  std::string expanded;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('%', at);
    const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) {
      expanded += text.substr(at);
      break;
    }
    expanded += text.substr(at, open - at);
    const auto variable = variables_.find(text.substr(open + 1, close - open - 1));
    expanded +=
        variable == variables_.end() ? text.substr(open, close - open + 1) : variable->second;
    at = close + 1;
  }
  return expanded;
}

DWORD WINAPI StandInEnvironment::Expand(LPCSTR source, LPSTR destination, DWORD size) {
  const StandInEnvironment* active = Active();
  if (active == nullptr || active->fail_ || source == nullptr) return 0;
  const std::string expanded = active->Expanded(source);
  const DWORD stored = static_cast<DWORD>(expanded.size() + 1);
  if (destination == nullptr || size < stored + 1) return stored + 1;
  std::memcpy(destination, expanded.c_str(), stored);
  return stored;
}
