#pragma once
// Keyboard shortcuts of menu items: the virtual-key code in the low byte, the modifier keys in
// the high bits, so that a shortcut matches a key press only with the same modifiers.

#include <cstdint>
#include <string>

using TShortCut = std::uint16_t;

constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

TShortCut ShortCutOfKey(std::uint8_t virtualKey, bool shift, bool ctrl, bool alt);

// The text shown beside a menu item's caption ("Del", "Ctrl+F5"); raises Exception for a key
// that has no name here, so a layout cannot give a shortcut the menu would not show.
std::string ShortCutText(TShortCut shortCut);
