// The form framework on a test form of its own: building from a layout, the show event, the
// routing of the context menu and its shortcut, and the list's answers to the control's
// searches and requests for text.
#include "ui/Form.h"

#include <gtest/gtest.h>

#include "app/Entry.h"
#include "tests/app/GuiTestSupport.h"
#include "ui/Centring.h"
#include "ui/ListView.h"
#include "ui/Menus.h"

namespace {

const char kLayout[] =
    "TTestForm TestForm {\n"
    "  Caption \"Test\"\n"
    "  Width 400\n"
    "  Height 300\n"
    "  Position poScreenCenter\n"
    "  OnShow FormShow\n"
    "  TListView lvItems {\n"
    "    Align alClient\n"
    "    ViewStyle vsReport\n"
    "    Column \"Item\" 100\n"
    "    MultiSelect true\n"
    "    PopupMenu pmItems\n"
    "  }\n"
    "  TPopupMenu pmItems {\n"
    "    TMenuItem miRun {\n"
    "      Caption \"&Run\"\n"
    "      ShortCut 46\n"
    "      OnClick miRunClick\n"
    "    }\n"
    "  }\n"
    "}\n";

class TTestForm : public TForm {
 public:
  TTestForm(TApplication& owner, const std::string& layout) : TForm(owner) {
    Build("TTestForm", layout,
          {{Field("lvItems", lvItems), Field("pmItems", pmItems), Field("miRun", miRun)},
           {{"FormShow",
             [this](TObject*) {
               ++shows;
               if (failShow) throw Exception("Show failed");
             }},
            {"miRunClick", [this](TObject*) {
               ++clicks;
               if (failClick) throw Exception("Handler failed");
             }}}});
  }

  TListView* lvItems = nullptr;
  TPopupMenu* pmItems = nullptr;
  TMenuItem* miRun = nullptr;
  int shows = 0;
  int clicks = 0;
  bool failShow = false;
  bool failClick = false;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

std::string BuildError(const std::string& layout) {
  try {
    TTestForm form(Application, layout);
  } catch (const Exception& error) {
    return error.Message();
  }
  return "no error";
}

class FormTest : public testing::Test {
 protected:
  void TearDown() override { PumpMessages(); }

  // A form with two rows, shown and focused as a user would find it.
  std::unique_ptr<TTestForm> ShownForm() {
    auto form = std::make_unique<TTestForm>(Application, kLayout);
    form->Show();
    SetForegroundWindow(form->Handle());
    form->lvItems->AddItem("first");
    form->lvItems->AddItem("second");
    SetFocus(form->lvItems->Handle());
    PumpMessages();
    return form;
  }
};

void Select(TListView& list, int item) {
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list.Handle(), LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
}

TEST_F(FormTest, UnknownClassPropertyOrHandlerIsAnErrorWhileTheFormIsBuilt) {
  EXPECT_EQ("Layout line 7: unknown class TButton",
            BuildError(Replaced(kLayout, "TListView lvItems", "TButton lvItems")));
  EXPECT_EQ("Layout line 11: TListView has no property MultiSelected",
            BuildError(Replaced(kLayout, "MultiSelect", "MultiSelected")));
  EXPECT_EQ("Layout line 18: no handler named miRunKlick",
            BuildError(Replaced(kLayout, "miRunClick", "miRunKlick")));
  EXPECT_EQ("Layout line 6: no handler named FormHide",
            BuildError(Replaced(kLayout, "FormShow", "FormHide")));
  EXPECT_EQ("Layout line 12: no popup menu named pmOther",
            BuildError(Replaced(kLayout, "PopupMenu pmItems", "PopupMenu pmOther")));
  EXPECT_EQ("Layout line 2: TTestForm has no property Align",
            BuildError(Replaced(kLayout, "Caption \"Test\"", "Align alClient")));
  EXPECT_EQ("The layout of TTestForm has no component miRun",
            BuildError(Replaced(kLayout, "miRun {", "miOther {")));
  EXPECT_EQ("Layout line 7: the field lvItems cannot hold a TPopupMenu",
            BuildError(Replaced(kLayout, "TListView lvItems", "TPopupMenu lvItems")));
  EXPECT_EQ("Layout line 1: the layout is for TOtherForm, not TTestForm",
            BuildError(Replaced(kLayout, "TTestForm TestForm", "TOtherForm TestForm")));
  EXPECT_EQ("Layout line 17: Shortcut 13 has no key name",
            BuildError(Replaced(kLayout, "ShortCut 46", "ShortCut 13")));
  // Nothing is left behind by a form that failed to build.
  EXPECT_EQ(nullptr, FindWindowA("TTestForm", nullptr));
}

TEST_F(FormTest, AnErrorWhileTheMainFormIsBuiltIsShownThenTheProgramEnds) {
  MessageBoxWatcher watcher(IDOK);
  bool reachedRun = false;
  EXPECT_EQ(0, RunApplication(SW_SHOWNORMAL, [&reachedRun] {
              TTestForm form(Application, Replaced(kLayout, "TListView", "TListBox"));
              reachedRun = true;
            }));
  EXPECT_FALSE(reachedRun);
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ("Layout line 7: unknown class TListBox.", watcher.Boxes()[0].text);
  EXPECT_EQ(Application.Title(), watcher.Boxes()[0].caption);
  EXPECT_TRUE(watcher.Boxes()[0].errorIcon);
}

TEST_F(FormTest, ShowHandlerRunsBeforeCentringAndDisplayOnlyTheFirstTimeCentres) {
  TTestForm form(Application, kLayout);
  bool visibleDuringShow = true;
  form.OnShow = [&](TObject*) { visibleDuringShow = IsWindowVisible(form.Handle()); };
  form.Show();
  EXPECT_FALSE(visibleDuringShow);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  const WindowOrigin centre =
      CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 400, 300);
  EXPECT_EQ(centre.left, WindowBounds(form.Handle()).left);
  EXPECT_EQ(centre.top, WindowBounds(form.Handle()).top);

  SetWindowPos(form.Handle(), nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(form.Handle(), SW_HIDE);
  form.Show();
  EXPECT_EQ(7, WindowBounds(form.Handle()).left);
  EXPECT_EQ(9, WindowBounds(form.Handle()).top);
}

TEST_F(FormTest, ShowHandlerErrorIsShownAndTheFormIsShownAllTheSame) {
  TTestForm form(Application, kLayout);
  form.failShow = true;
  MessageBoxWatcher watcher(IDOK);
  form.Show();
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ("Show failed.", watcher.Boxes()[0].text);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  EXPECT_EQ(1, form.shows);
}

TEST_F(FormTest, ShortcutReachesTheCommandOnlyWithoutModifiers) {
  auto form = ShownForm();
  ASSERT_EQ(form->lvItems->Handle(), GetFocus());
  PressKey(VK_DELETE, {VK_SHIFT});
  PressKey(VK_DELETE, {VK_CONTROL});
  PressKey(VK_DELETE, {VK_MENU});
  PressKey(VK_DELETE, {VK_SHIFT, VK_CONTROL});
  EXPECT_EQ(0, form->clicks);
  PressKey(VK_DELETE);
  EXPECT_EQ(1, form->clicks);
  // Also with no row selected: the command is always enabled.
  EXPECT_EQ(0, form->lvItems->SelectedCount());
}

TEST_F(FormTest, RightClickOpensTheMenuAtTheMousePosition) {
  auto form = ShownForm();
  RECT row;
  ASSERT_TRUE(form->lvItems->ItemRect(1, LVIR_LABEL, row));
  POINT click{row.left + 10, (row.top + row.bottom) / 2};
  ClientToScreen(form->lvItems->Handle(), &click);
  SetCursorPos(click.x, click.y);

  PopupMenuWatcher menus(WM_CHAR, 'r');
  INPUT buttons[2] = {};
  buttons[0].type = buttons[1].type = INPUT_MOUSE;
  buttons[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  buttons[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  SendInput(2, buttons, sizeof(INPUT));
  PumpMessages();

  ASSERT_EQ(1u, menus.Opened().size());
  EXPECT_EQ(click.x, menus.Opened()[0].x);
  EXPECT_EQ(click.y, menus.Opened()[0].y);
  EXPECT_EQ(1, form->clicks);
  // The list control's own right-click selection.
  EXPECT_EQ(LVIS_SELECTED, form->lvItems->ItemState(1, LVIS_SELECTED));
}

TEST_F(FormTest, ContextMenuKeyOpensTheMenuAtTheFirstSelectedRowAfterFocusingTheList) {
  auto form = ShownForm();
  Select(*form->lvItems, 1);
  SetFocus(form->Handle());
  SetFocus(nullptr);

  PopupMenuWatcher menus(WM_KEYDOWN, VK_ESCAPE);
  SendMessageA(form->lvItems->Handle(), WM_CONTEXTMENU,
               reinterpret_cast<WPARAM>(form->lvItems->Handle()), MAKELPARAM(-1, -1));
  PumpMessages();

  RECT row;
  ASSERT_TRUE(form->lvItems->ItemRect(1, LVIR_BOUNDS, row));
  POINT centre{(row.left + row.right) / 2, (row.top + row.bottom) / 2};
  ClientToScreen(form->lvItems->Handle(), &centre);
  ASSERT_EQ(1u, menus.Opened().size());
  EXPECT_EQ(centre.x, menus.Opened()[0].x);
  EXPECT_EQ(centre.y, menus.Opened()[0].y);
  EXPECT_EQ(form->lvItems->Handle(), menus.FocusWhenOpened());
  EXPECT_EQ(0, form->clicks);  // closed with Escape
}

TEST_F(FormTest, ContextMenuKeyWithoutSelectionOpensTheMenuAtTheTopLeftOfTheList) {
  auto form = ShownForm();
  PopupMenuWatcher menus(WM_CHAR, 'r');
  SendMessageA(form->lvItems->Handle(), WM_CONTEXTMENU,
               reinterpret_cast<WPARAM>(form->lvItems->Handle()), MAKELPARAM(-1, -1));
  PumpMessages();
  POINT origin{0, 0};
  ClientToScreen(form->lvItems->Handle(), &origin);
  ASSERT_EQ(1u, menus.Opened().size());
  EXPECT_EQ(origin.x, menus.Opened()[0].x);
  EXPECT_EQ(origin.y, menus.Opened()[0].y);
  EXPECT_EQ(1, form->clicks);
}

TEST_F(FormTest, ClickHandlerErrorsAreShownOnBothRoutes) {
  auto form = ShownForm();
  form->failClick = true;
  MessageBoxWatcher watcher(IDOK);
  PressKey(VK_DELETE);
  {
    PopupMenuWatcher menus(WM_CHAR, 'r');
    SendMessageA(form->lvItems->Handle(), WM_CONTEXTMENU,
                 reinterpret_cast<WPARAM>(form->lvItems->Handle()), MAKELPARAM(-1, -1));
    PumpMessages();
  }
  EXPECT_EQ(2, form->clicks);
  ASSERT_EQ(2u, watcher.Boxes().size());
  for (const ShownMessageBox& box : watcher.Boxes()) {
    EXPECT_EQ("Handler failed.", box.text);
    EXPECT_EQ(Application.Title(), box.caption);
    EXPECT_TRUE(box.errorIcon);
  }
}

// The list keeps its items' texts itself and the control only shows them, so the control's
// bookkeeping of each item has to stay with the right text.
TEST_F(FormTest, ADeletedRowTakesOnlyItsOwnSelectionAwayAndTheLaterRowsKeepTheirs) {
  auto form = ShownForm();
  TListView& list = *form->lvItems;
  list.AddItem("third");
  list.AddItem("fourth");
  Select(list, 1);
  Select(list, 3);

  ASSERT_TRUE(list.DeleteItem(1));
  PumpMessages();
  EXPECT_EQ(3, list.ItemCount());
  EXPECT_EQ(1, list.SelectedCount());
  EXPECT_EQ("fourth", list.ItemText(list.NextItem(-1, LVNI_SELECTED), 0));
  EXPECT_FALSE(list.DeleteItem(3));
  EXPECT_EQ("third", list.ItemText(1, 0));
}

TEST_F(FormTest, TypeAheadAndSubstringSearchesFindTheNextCaptionStartingWithTheText) {
  auto form = ShownForm();
  TListView& list = *form->lvItems;
  PressKey('S');
  EXPECT_EQ(1, list.NextItem(-1, LVNI_FOCUSED));

  // Vista's LVFI_SUBSTRING asks for the same prefix search as LVFI_PARTIAL.
  const auto find = [&list](const char* text) {
    LVFINDINFOA request{};
    request.flags = 0x0004;  // LVFI_SUBSTRING
    request.psz = text;
    return SendMessageA(list.Handle(), LVM_FINDITEMA, WPARAM(-1),
                        reinterpret_cast<LPARAM>(&request));
  };
  EXPECT_EQ(1, find("SEC"));
  EXPECT_EQ(-1, find("econd"));
}

// Shift-JIS (code page 932): 82 A0 is one character; so is 88 9F, whose trail byte is also a
// lead byte.
TEST(FittingTextLength, NeverEndsInTheLeadByteOfADoubleByteCharacter) {
  const std::string text = "ab\x82\xa0\x88\x9f\x88\x9f";
  EXPECT_EQ(2, FittingTextLength(text, 4, 932));
  EXPECT_EQ(4, FittingTextLength(text, 5, 932));
  EXPECT_EQ(6, FittingTextLength(text, 7, 932));
  EXPECT_EQ(6, FittingTextLength(text, 8, 932));
  EXPECT_EQ(8, FittingTextLength(text, 9, 932));
  EXPECT_EQ(0, FittingTextLength(text, 1, 932));
  EXPECT_EQ(3, FittingTextLength(text, 4, 1252));  // no double-byte characters there
}

}  // namespace
