#pragma once
// The shell's text rules, free of Windows so they build and are tested natively. Texts are in
// the ANSI code page, which may be a double-byte one: the caller says which bytes lead a
// two-byte character (IsDBCSLeadByte on Windows).

#include <functional>
#include <string>

using LeadBytePredicate = std::function<bool(unsigned char)>;
// Lower-cases a text in the ANSI code page (CharLowerA on Windows).
using LowerCaseOperation = std::function<std::string(const std::string&)>;

// The application title from the executable's full file name (already in the ANSI code page):
// what follows the last backslash, cut at its first ".", every character after the first
// lower-cased. "C:\Tools\HelperList.old.exe" gives "Helperlist".
std::string ApplicationTitle(const std::string& moduleFileName, const LeadBytePredicate& isLeadByte,
                             const LowerCaseOperation& lowerCase);

// The error box's text: a full stop is added when the last character is above "." in unsigned
// byte order; for a final double-byte character its lead byte decides.
std::string WithFullStop(const std::string& message, const LeadBytePredicate& isLeadByte);
