#include "app/TextRules.h"

#include <cstddef>

namespace {

// Length of the character starting at index: 2 for a lead byte with a byte after it. A trail
// byte may have any value, even a backslash or a lead byte's, so texts are walked from the
// start, never backwards.
std::size_t CharacterLength(const std::string& text, std::size_t index,
                            const LeadBytePredicate& isLeadByte) {
  const bool lead = isLeadByte(static_cast<unsigned char>(text[index]));
  return lead && index + 1 < text.size() ? 2 : 1;
}

}  // namespace

std::string ApplicationTitle(const std::string& moduleFileName, const LeadBytePredicate& isLeadByte,
                             const LowerCaseOperation& lowerCase) {
  std::size_t nameStart = 0;
  std::size_t firstDot = std::string::npos;
  for (std::size_t i = 0; i < moduleFileName.size();
       i += CharacterLength(moduleFileName, i, isLeadByte)) {
    if (moduleFileName[i] == '\\') {
      nameStart = i + 1;
      firstDot = std::string::npos;
    } else if (moduleFileName[i] == '.' && firstDot == std::string::npos) {
      firstDot = i;
    }
  }
  const std::size_t nameEnd = firstDot == std::string::npos ? moduleFileName.size() : firstDot;
  const std::string name = moduleFileName.substr(nameStart, nameEnd - nameStart);
  if (name.empty()) return name;
  const std::size_t first = CharacterLength(name, 0, isLeadByte);
  return name.substr(0, first) + lowerCase(name.substr(first));
}

std::string WithFullStop(const std::string& message, const LeadBytePredicate& isLeadByte) {
  if (message.empty()) return message;
  std::size_t last = 0;
  for (std::size_t i = 0; i < message.size(); i += CharacterLength(message, i, isLeadByte))
    last = i;
  if (static_cast<unsigned char>(message[last]) > static_cast<unsigned char>('.'))
    return message + '.';
  return message;
}
