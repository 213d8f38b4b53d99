#pragma once
// Every error kind the program raises, in the bottom layer so that each layer may raise and
// catch them. Each carries one line of text; only the error display turns it into something the
// user sees.

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message), message_(message) {}
  // The text as it was built, counted: what() would hide anything from a NUL on.
  std::string Message() const { return message_; }

 private:
  std::string message_;
};

// A value the registry object could not read as asked.
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// A layout text that does not parse, or that names what its window lacks.
class ELayoutError : public Exception {
 public:
  using Exception::Exception;
};

// The silent error kind: dropped by the error handling without a message.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};
