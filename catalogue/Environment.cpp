#include "catalogue/Environment.h"

#include <algorithm>
#include <vector>

bool ExpandEnvironment(const EnvironmentFunctions& environment, const std::string& text,
                       std::string& expanded) {
  expanded.clear();
  // No longer text can name a file, and Wine's call does not take it: Wine 8 reads it as empty,
  // Wine 10's faults.
  if (text.size() >= kLargestExpansion) return false;
  std::vector<char> buffer;
  DWORD needed = environment.ExpandEnvironmentStrings(text.c_str(), nullptr, 0);
  // A second try only for an environment that grew between the calls.
  for (int attempt = 0; attempt < 2; ++attempt) {
    // The ANSI call may ask for one byte beyond the NUL (Wine 10's does, as its documentation
    // says); beyond the limit Wine writes a text cut short.
    if (needed == 0 || needed > kLargestExpansion + 1) return false;
    buffer.assign(needed + 1, '\0');
    needed = environment.ExpandEnvironmentStrings(text.c_str(), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()));
    if (needed == 0 || needed > buffer.size()) continue;
    // Only the NUL the call wrote says where the text ends; one written short of the size the
    // call reports was cut (Wine's reports the whole text's size, another file's name).
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    const auto length = static_cast<std::size_t>(end - buffer.begin());
    if (end == buffer.end() || length + 1 < needed || length >= kLargestExpansion) return false;
    expanded.assign(buffer.begin(), end);
    return true;
  }
  return false;
}
