#include "ui/ShortCut.h"

#include "registry/Errors.h"

namespace {

// Virtual-key codes, as in the Windows headers.
constexpr std::uint8_t kFirstFunctionKey = 0x70;  // VK_F1
constexpr std::uint8_t kLastFunctionKey = 0x7B;   // VK_F12

std::string KeyName(std::uint8_t key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, char(key));
  if (key >= kFirstFunctionKey && key <= kLastFunctionKey) {
    return "F" + std::to_string(key - kFirstFunctionKey + 1);
  }
  switch (key) {
    case 0x2D:  // VK_INSERT
      return "Ins";
    case 0x2E:  // VK_DELETE
      return "Del";
    default:
      throw Exception("Shortcut " + std::to_string(key) + " has no key name");
  }
}

}  // namespace

TShortCut ShortCutOfKey(std::uint8_t virtualKey, bool shift, bool ctrl, bool alt) {
  return static_cast<TShortCut>(virtualKey | (shift ? scShift : 0) | (ctrl ? scCtrl : 0) |
                                (alt ? scAlt : 0));
}

std::string ShortCutText(TShortCut shortCut) {
  if ((shortCut & 0x1F00) != 0)
    throw Exception("Shortcut " + std::to_string(shortCut) + " is invalid");
  std::string text;
  if (shortCut & scShift) text += "Shift+";
  if (shortCut & scCtrl) text += "Ctrl+";
  if (shortCut & scAlt) text += "Alt+";
  return text + KeyName(static_cast<std::uint8_t>(shortCut & 0xFF));
}
