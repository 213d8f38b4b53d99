#include "catalogue/Environment.h"

#include <algorithm>
#include <vector>

bool ExpandEnvironment(const EnvironmentFunctions& environment, const std::string& text,
                       std::string& expanded) {
  expanded.clear();
  std::vector<char> buffer;
  DWORD needed = environment.ExpandEnvironmentStrings(text.c_str(), nullptr, 0);
  // A second try only for an environment that grew between the calls.
  for (int attempt = 0; attempt < 2; ++attempt) {
    // The ANSI call may ask for one byte beyond the NUL, as its documentation warns.
    if (needed == 0 || needed > kLargestExpansion + 1) return false;
    buffer.assign(needed + 1, '\0');
    needed = environment.ExpandEnvironmentStrings(text.c_str(), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()));
    if (needed == 0 || needed > buffer.size()) continue;
    // The count is the call's own; only the NUL it wrote says where the text ends.
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    if (end == buffer.end() ||
        static_cast<std::size_t>(end - buffer.begin()) >= kLargestExpansion) {
      return false;
    }
    expanded.assign(buffer.begin(), end);
    return true;
  }
  return false;
}
