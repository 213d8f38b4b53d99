#include "ui/Layout.h"

#include <gtest/gtest.h>

#include "ui/Centring.h"
#include "ui/ShortCut.h"

namespace {

std::string ErrorOf(const std::string& text) {
  try {
    ParseLayout(text);
  } catch (const ELayoutError& error) {
    return error.Message();
  }
  return "no error";
}

TEST(ParseLayout, ReadsNestedComponentsWithTheirPropertiesInOrder) {
  const LayoutComponent root = ParseLayout(
      "# a comment\n"
      "TMainForm MainForm {\n"
      "  Caption \"Vel \\\"lo\\\\ran\"   # trailing comment\n"
      "  Font.Height -12\n"
      "\n"
      "  TListView lvBHO {\r\n"
      "    Column \"File name\" 300\n"
      "    Column \"#1\" 0\n"
      "  }\n"
      "  TPopupMenu pmBHO {\n"
      "    TMenuItem miDelete {\n"
      "      OnClick miDeleteClick\n"
      "    }\n"
      "  }\n"
      "}\n");
  EXPECT_EQ("TMainForm", root.className);
  EXPECT_EQ("MainForm", root.name);
  EXPECT_EQ(2, root.line);
  ASSERT_EQ(2u, root.properties.size());
  EXPECT_EQ("Vel \"lo\\ran", TextValue(root.properties[0]));
  EXPECT_EQ("Font.Height", root.properties[1].name);
  EXPECT_EQ(-12, NumberValue(root.properties[1]));

  ASSERT_EQ(2u, root.components.size());
  const LayoutComponent& list = root.components[0];
  EXPECT_EQ("TListView", list.className);
  ASSERT_EQ(2u, list.properties.size());
  ASSERT_EQ(2u, list.properties[0].values.size());
  EXPECT_EQ(LayoutValue::Kind::Text, list.properties[0].values[0].kind);
  EXPECT_EQ("File name", list.properties[0].values[0].text);
  EXPECT_EQ(300, list.properties[0].values[1].number);
  EXPECT_EQ("#1", list.properties[1].values[0].text);
  EXPECT_EQ(7, list.properties[0].line);

  const LayoutComponent& menu = root.components[1];
  ASSERT_EQ(1u, menu.components.size());
  EXPECT_EQ("miDelete", menu.components[0].name);
  EXPECT_EQ("miDeleteClick", WordValue(menu.components[0].properties[0]));
}

TEST(ParseLayout, NamesTheLineOfEveryFormError) {
  EXPECT_EQ("Layout line 2: unterminated text", ErrorOf("TForm F {\n Caption \"abc\n}"));
  EXPECT_EQ("Layout line 2: only \\\" and \\\\ may follow a backslash in a text",
            ErrorOf("TForm F {\n Caption \"a\\n\"\n}"));
  EXPECT_EQ("Layout line 2: unexpected character '='", ErrorOf("TForm F {\n Width = 3\n}"));
  EXPECT_EQ("Layout line 2: property Width has no value", ErrorOf("TForm F {\n Width\n}"));
  EXPECT_EQ("Layout line 1: component F is not closed", ErrorOf("TForm F {\n Width 3\n"));
  EXPECT_EQ("Layout line 3: \"}\" without a component to close", ErrorOf("TForm F {\n}\n}"));
  EXPECT_EQ("Layout line 3: only one top-level component is allowed",
            ErrorOf("TForm F {\n}\nTForm G {\n}"));
  EXPECT_EQ("Layout line 1: property outside a component", ErrorOf("Width 3\n"));
  EXPECT_EQ("Layout line 1: no component", ErrorOf("# nothing but a comment"));
  EXPECT_EQ("Layout line 2: expected \"Class Name {\", \"}\" or a property",
            ErrorOf("TForm F {\n 3 Width\n}"));
  EXPECT_EQ("Layout line 2: a brace must stand on a component's line or alone",
            ErrorOf("TForm F {\n TListView {\n}\n}"));
  EXPECT_EQ("Layout line 2: number out of range: 99999999999",
            ErrorOf("TForm F {\n Width 99999999999\n}"));
  EXPECT_EQ("Layout line 2: a space must separate \"150\" from what follows",
            ErrorOf("TForm F {\n Width 150px\n}"));
}

TEST(LayoutValues, RaiseForTheWrongKindOrNumberOfValues) {
  const LayoutComponent root = ParseLayout(
      "TForm F {\n Width \"wide\"\n Caption Velloran\n Scaled yes\n Left 1 2\n Top -3\n}\n");
  const auto& p = root.properties;
  EXPECT_THROW(NumberValue(p[0]), ELayoutError);
  EXPECT_THROW(TextValue(p[1]), ELayoutError);
  EXPECT_EQ("Velloran", WordValue(p[1]));
  EXPECT_THROW(BooleanValue(p[2]), ELayoutError);
  EXPECT_THROW(NumberValue(p[3]), ELayoutError);
  EXPECT_EQ(-3, NumberValue(p[4]));
  try {
    NumberValue(p[0]);
  } catch (const ELayoutError& error) {
    EXPECT_EQ("Layout line 2: Width takes one number", error.Message());
  }
}

TEST(CentredOrigin, HalvesTheSpareRoomAndNeverGoesNegative) {
  EXPECT_EQ(145, CentredOrigin(1024, 768, 733, 370).left);  // 291 / 2, truncated
  EXPECT_EQ(199, CentredOrigin(1024, 768, 733, 370).top);
  EXPECT_EQ(0, CentredOrigin(640, 480, 733, 370).left);  // -93 / 2
  EXPECT_EQ(55, CentredOrigin(640, 480, 733, 370).top);
  EXPECT_EQ(0, CentredOrigin(640, 300, 733, 370).top);
  EXPECT_EQ(0, CentredOrigin(733, 370, 733, 370).left);
  EXPECT_EQ(0, CentredOrigin(734, 371, 733, 370).left);
}

TEST(ShortCut, MatchesOnlyWithTheSameModifiersAndShowsTheKeyName) {
  EXPECT_EQ(46, ShortCutOfKey(0x2E, false, false, false));
  EXPECT_NE(46, ShortCutOfKey(0x2E, true, false, false));
  EXPECT_NE(46, ShortCutOfKey(0x2E, false, true, false));
  EXPECT_NE(46, ShortCutOfKey(0x2E, false, false, true));
  EXPECT_EQ("Del", ShortCutText(46));
  EXPECT_EQ("Shift+Ctrl+Del", ShortCutText(ShortCutOfKey(0x2E, true, true, false)));
  EXPECT_EQ("Alt+F4", ShortCutText(ShortCutOfKey(0x73, false, false, true)));
  EXPECT_EQ("Ctrl+R", ShortCutText(ShortCutOfKey('R', false, true, false)));
  EXPECT_THROW(ShortCutText(0x0D), Exception);    // no name for Enter here
  EXPECT_THROW(ShortCutText(0x012E), Exception);  // bits that are no modifier
}

}  // namespace
