#pragma once
// The error kinds the program raises. Each carries one line of text; only the error display
// turns it into something the user sees.

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};
