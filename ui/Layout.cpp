#include "ui/Layout.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace {

struct Token {
  enum class Kind { Text, Number, Word, Open, Close };
  Kind kind;
  std::string text;
  std::int32_t number = 0;
};

bool IsWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

bool IsWordPart(char c) { return IsWordStart(c) || (c >= '0' && c <= '9') || c == '.'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<Token> Tokenize(const std::string& line, int lineNumber) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  // "150px" or "\"a\"b" are typing errors, not two values.
  const auto requireSeparation = [&] {
    if (i < line.size() && (IsWordPart(line[i]) || line[i] == '"')) {
      RaiseLayoutError(lineNumber,
                       "a space must separate \"" + tokens.back().text + "\" from what follows");
    }
  };
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '{' || c == '}') {
      tokens.push_back({c == '{' ? Token::Kind::Open : Token::Kind::Close, std::string(1, c)});
      ++i;
    } else if (c == '"') {
      std::string text;
      ++i;
      for (;;) {
        if (i >= line.size()) RaiseLayoutError(lineNumber, "unterminated text");
        if (line[i] == '"') break;
        if (line[i] == '\\') {
          if (i + 1 >= line.size() || (line[i + 1] != '"' && line[i + 1] != '\\')) {
            RaiseLayoutError(lineNumber, "only \\\" and \\\\ may follow a backslash in a text");
          }
          ++i;
        }
        text += line[i++];
      }
      ++i;
      tokens.push_back({Token::Kind::Text, text});
      requireSeparation();
    } else if (IsDigit(c) || (c == '-' && i + 1 < line.size() && IsDigit(line[i + 1]))) {
      std::size_t end = i + 1;
      while (end < line.size() && IsDigit(line[end])) ++end;
      const std::string digits = line.substr(i, end - i);
      errno = 0;
      const long long value = std::strtoll(digits.c_str(), nullptr, 10);
      if (errno == ERANGE || value < std::numeric_limits<std::int32_t>::min() ||
          value > std::numeric_limits<std::int32_t>::max()) {
        RaiseLayoutError(lineNumber, "number out of range: " + digits);
      }
      tokens.push_back({Token::Kind::Number, digits, static_cast<std::int32_t>(value)});
      i = end;
      requireSeparation();
    } else if (IsWordStart(c)) {
      std::size_t end = i + 1;
      while (end < line.size() && IsWordPart(line[end])) ++end;
      tokens.push_back({Token::Kind::Word, line.substr(i, end - i)});
      i = end;
    } else {
      RaiseLayoutError(lineNumber, std::string("unexpected character '") + c + "'");
    }
  }
  return tokens;
}

LayoutValue ToValue(const Token& token, int lineNumber) {
  switch (token.kind) {
    case Token::Kind::Text:
      return {LayoutValue::Kind::Text, token.text, 0};
    case Token::Kind::Number:
      return {LayoutValue::Kind::Number, token.text, token.number};
    case Token::Kind::Word:
      return {LayoutValue::Kind::Word, token.text, 0};
    default:
      RaiseLayoutError(lineNumber, "a brace must stand on a component's line or alone");
  }
}

const LayoutValue& SingleValue(const LayoutProperty& property, LayoutValue::Kind kind,
                               const char* expected) {
  if (property.values.size() != 1 || property.values[0].kind != kind) {
    RaiseLayoutError(property.line, property.name + " takes " + expected);
  }
  return property.values[0];
}

}  // namespace

void RaiseLayoutError(int line, const std::string& message) {
  throw ELayoutError("Layout line " + std::to_string(line) + ": " + message);
}

LayoutComponent ParseLayout(const std::string& text) {
  LayoutComponent root;
  bool rootSeen = false;
  std::vector<LayoutComponent*> open;  // innermost last
  int lineNumber = 0;
  std::size_t lineStart = 0;
  while (lineStart <= text.size()) {
    std::size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    ++lineNumber;
    const std::vector<Token> tokens =
        Tokenize(text.substr(lineStart, lineEnd - lineStart), lineNumber);
    lineStart = lineEnd + 1;
    if (tokens.empty()) continue;

    const bool opensComponent = tokens.size() == 3 && tokens[0].kind == Token::Kind::Word &&
                                tokens[1].kind == Token::Kind::Word &&
                                tokens[2].kind == Token::Kind::Open;
    if (opensComponent) {
      LayoutComponent component;
      component.className = tokens[0].text;
      component.name = tokens[1].text;
      component.line = lineNumber;
      if (open.empty()) {
        if (rootSeen) RaiseLayoutError(lineNumber, "only one top-level component is allowed");
        rootSeen = true;
        root = component;
        open.push_back(&root);
      } else {
        open.back()->components.push_back(component);
        open.push_back(&open.back()->components.back());
      }
    } else if (tokens.size() == 1 && tokens[0].kind == Token::Kind::Close) {
      if (open.empty()) RaiseLayoutError(lineNumber, "\"}\" without a component to close");
      open.pop_back();
    } else if (tokens[0].kind == Token::Kind::Word && tokens.size() >= 2) {
      if (open.empty()) RaiseLayoutError(lineNumber, "property outside a component");
      LayoutProperty property;
      property.name = tokens[0].text;
      property.line = lineNumber;
      for (std::size_t i = 1; i < tokens.size(); ++i) {
        property.values.push_back(ToValue(tokens[i], lineNumber));
      }
      open.back()->properties.push_back(property);
    } else if (tokens[0].kind == Token::Kind::Word && tokens.size() == 1) {
      RaiseLayoutError(lineNumber, "property " + tokens[0].text + " has no value");
    } else {
      RaiseLayoutError(lineNumber, "expected \"Class Name {\", \"}\" or a property");
    }
  }
  if (!open.empty()) {
    RaiseLayoutError(open.back()->line, "component " + open.back()->name + " is not closed");
  }
  if (!rootSeen) RaiseLayoutError(lineNumber, "no component");
  return root;
}

std::string TextValue(const LayoutProperty& property) {
  return SingleValue(property, LayoutValue::Kind::Text, "one quoted text").text;
}

std::int32_t NumberValue(const LayoutProperty& property) {
  return SingleValue(property, LayoutValue::Kind::Number, "one number").number;
}

std::string WordValue(const LayoutProperty& property) {
  return SingleValue(property, LayoutValue::Kind::Word, "one word").text;
}

bool BooleanValue(const LayoutProperty& property) {
  const std::string word = SingleValue(property, LayoutValue::Kind::Word, "true or false").text;
  if (word != "true" && word != "false")
    RaiseLayoutError(property.line, property.name + " takes true or false");
  return word == "true";
}
