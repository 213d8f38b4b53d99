#include "app/TextRules.h"

#include <gtest/gtest.h>

namespace {

// Shift-JIS (code page 932): the lead bytes of its double-byte characters.
bool ShiftJisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
bool SingleByteCodePage(unsigned char) { return false; }

std::string AsciiLowerCase(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return lower;
}

std::string Title(const std::string& path, LeadBytePredicate lead = SingleByteCodePage) {
  return ApplicationTitle(path, lead, AsciiLowerCase);
}

TEST(ApplicationTitle, KeepsTheNameUpToItsFirstDotWithOnlyTheFirstCharacterUpperCase) {
  EXPECT_EQ("Helperlist", Title("C:\\Tools\\HelperList.old.exe"));
  EXPECT_EQ("Velloran", Title("C:\\Program Files\\VELLORAN.EXE"));
  EXPECT_EQ("velloran", Title("C:\\x.y\\velloran.exe"));  // a dot in a folder name is no cut
  EXPECT_EQ("Noextension", Title("\\\\server\\share\\NoExtension"));
  EXPECT_EQ("A", Title("A.exe"));
}

TEST(ApplicationTitle, IsEmptyWhenTheNameStartsWithADotOrThePathEndsInABackslash) {
  EXPECT_EQ("", Title("C:\\Tools\\.hidden.exe"));
  EXPECT_EQ("", Title("C:\\Tools\\"));
  EXPECT_EQ("", Title(""));
}

TEST(ApplicationTitle, DoesNotTakeATrailByteForABackslash) {
  // U+30BD (katakana "so") is 0x83 0x5C in Shift-JIS: its trail byte is a backslash.
  const std::string so = "\x83\x5C";
  EXPECT_EQ(so + "ft", Title("C:\\Tools\\" + so + "FT.exe", ShiftJisLeadByte));
  EXPECT_EQ("Tool", Title("C:\\" + so + "\\TOOL.exe", ShiftJisLeadByte));
}

TEST(ApplicationTitle, LowerCasesOnlyAfterAWholeFirstCharacter) {
  std::string seen;
  const std::string so = "\x83\x5C";
  ApplicationTitle("C:\\" + so + "AB.exe", ShiftJisLeadByte, [&seen](const std::string& text) {
    seen = text;
    return text;
  });
  EXPECT_EQ("AB", seen);
}

TEST(WithFullStop, AddsAFullStopAfterACharacterAboveTheFullStop) {
  EXPECT_EQ("Disk full.", WithFullStop("Disk full", SingleByteCodePage));
  EXPECT_EQ("Error 5.", WithFullStop("Error 5", SingleByteCodePage));
  EXPECT_EQ("Really?.", WithFullStop("Really?", SingleByteCodePage));
  EXPECT_EQ("Key:.", WithFullStop("Key:", SingleByteCodePage));
  EXPECT_EQ("/.", WithFullStop("/", SingleByteCodePage));
  EXPECT_EQ("Caf\xE9.", WithFullStop("Caf\xE9", SingleByteCodePage));  // unsigned order
}

TEST(WithFullStop, LeavesTextEndingAtOrBelowTheFullStopAlone) {
  EXPECT_EQ("Invalid data type for ''",
            WithFullStop("Invalid data type for ''", SingleByteCodePage));
  EXPECT_EQ("Done.", WithFullStop("Done.", SingleByteCodePage));
  EXPECT_EQ("Stop!", WithFullStop("Stop!", SingleByteCodePage));
  EXPECT_EQ("(see log)", WithFullStop("(see log)", SingleByteCodePage));
  EXPECT_EQ("a-", WithFullStop("a-", SingleByteCodePage));
  EXPECT_EQ("", WithFullStop("", SingleByteCodePage));
}

TEST(WithFullStop, LetsTheLeadByteOfAFinalDoubleByteCharacterDecide) {
  // U+3042 (hiragana "a") is 0x82 0xA0 in Shift-JIS.
  EXPECT_EQ("x\x82\xA0.", WithFullStop("x\x82\xA0", ShiftJisLeadByte));
  // A trail byte may equal a lead byte: "\x81\x81" is one character, so the text ends in "!".
  EXPECT_EQ("\x81\x81!", WithFullStop("\x81\x81!", ShiftJisLeadByte));
  // A lone lead byte at the very end is a character of its own.
  EXPECT_EQ("ab\x82.", WithFullStop("ab\x82", ShiftJisLeadByte));
}

}  // namespace
