#pragma once
// The window layout format: a window and its components, each with its class, its name and its
// property values, compiled into the program as an RCDATA resource named after the window class.
//
//   # comment
//   TMainForm MainForm {
//     Caption "Velloran"
//     Width 733
//     TListView lvBHO {
//       Column "Name" 150
//     }
//   }
//
// One item per line: "Class Name {" opens a component, "}" closes it, anything else is a
// property: its name and one or more values (a quoted text, a whole number or a word). A text
// may hold \" and \\; it is taken byte for byte, in the ANSI code page. A property may be given
// more than once (a list view's columns). Parsing checks only the form; which classes and
// properties exist is for the window that applies the layout to decide.

#include <cstdint>
#include <string>
#include <vector>

#include "registry/Errors.h"

struct LayoutValue {
  enum class Kind { Text, Number, Word };
  Kind kind = Kind::Word;
  std::string text;         // the text or the word
  std::int32_t number = 0;  // for Kind::Number
};

struct LayoutProperty {
  std::string name;
  std::vector<LayoutValue> values;
  int line = 0;
};

struct LayoutComponent {
  std::string className;
  std::string name;
  int line = 0;
  std::vector<LayoutProperty> properties;
  std::vector<LayoutComponent> components;
};

// The one top-level component of a layout text; raises ELayoutError naming the line at fault.
LayoutComponent ParseLayout(const std::string& text);

// A property's single value of the expected kind; raise ELayoutError otherwise.
std::string TextValue(const LayoutProperty& property);
std::int32_t NumberValue(const LayoutProperty& property);
std::string WordValue(const LayoutProperty& property);
bool BooleanValue(const LayoutProperty& property);  // the words true and false

// An error about a property, naming its line: "Layout line 7: ...".
[[noreturn]] void RaiseLayoutError(int line, const std::string& message);
