// The main window as a user sees it, over the real registry of the test's Wine prefix.
#include "ui/MainU.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "app/Entry.h"
#include "catalogue/Listing.h"
#include "tests/app/GuiTestSupport.h"
#include "ui/Centring.h"
#include "ui/ListViewRows.h"

namespace {

const std::string kHelperObjects = kHelperObjectKeyPath;

std::string TestGuid(int n) {
  char guid[64];
  wsprintfA(guid, "{5E1F0000-0000-4000-8000-0000000000%02X}", n);
  return guid;
}

// Seeds helper-object registrations in HKEY_LOCAL_MACHINE and class keys in
// HKEY_CLASSES_ROOT, and removes them again.
class RegistrySeed {
 public:
  RegistrySeed() { Clean(); }
  ~RegistrySeed() { Clean(); }

  void Register(const std::string& guid) {
    CreateKey(HKEY_LOCAL_MACHINE, kHelperObjects + "\\" + guid);
  }
  void AddClass(const std::string& guid, const std::string& name) {
    classes_.push_back(guid);
    SetDefault(HKEY_CLASSES_ROOT, "CLSID\\" + guid, REG_SZ, name + '\0');
  }
  void AddServer(const std::string& guid, const std::string& file, DWORD type = REG_SZ) {
    SetDefault(HKEY_CLASSES_ROOT, "CLSID\\" + guid + "\\InprocServer32", type, file + '\0');
  }
  void SetDefault(HKEY root, const std::string& path, DWORD type, const std::string& data) {
    const HKEY key = CreateKey(root, path);
    RegSetValueExA(key, "", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   DWORD(data.size()));
    RegCloseKey(key);
  }
  static bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  // The registration key names in the order the registry enumerates them.
  static std::vector<std::string> EnumeratedRegistrations() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHelperObjects.c_str(), 0, KEY_READ, &key)) return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
      names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
  }

 private:
  HKEY CreateKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    const LONG status =
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    EXPECT_EQ(ERROR_SUCCESS, status) << "creating " << path;
    if (root == HKEY_LOCAL_MACHINE) RegCloseKey(key);
    return root == HKEY_LOCAL_MACHINE ? nullptr : key;
  }
  void Clean() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kHelperObjects.c_str());
    for (const std::string& guid : classes_) {
      RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + guid).c_str());
    }
  }

  std::vector<std::string> classes_;
};

struct ShownRow {
  std::string name, guid, file;
  bool operator==(const ShownRow& other) const {
    return name == other.name && guid == other.guid && file == other.file;
  }
};

std::ostream& operator<<(std::ostream& out, const ShownRow& row) {
  return out << "{" << row.name << " | " << row.guid << " | " << row.file << "}";
}

class MainFormTest : public testing::Test {
 protected:
  void TearDown() override {
    Application.DestroyForms();
    PumpMessages();
  }

  TMainForm& Create() {
    Application.CreateForm(MainForm);
    return *MainForm;
  }
  TMainForm& CreateAndShow() {
    TMainForm& form = Create();
    Application.ShowMainForm(SW_SHOWNORMAL);
    SetForegroundWindow(form.Handle());
    PumpMessages();
    return form;
  }

  // The rows as the control hands them to a screen reader: asked of the list window, which
  // asks its owner for each text.
  static std::vector<ShownRow> Rows(const TListView& list) {
    const HWND handle = list.Handle();
    const auto text = [handle](int item, int column) {
      char buffer[512] = {};
      LVITEMA request{};
      request.iSubItem = column;
      request.pszText = buffer;
      request.cchTextMax = sizeof buffer;
      SendMessageA(handle, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&request));
      return std::string(request.pszText);
    };
    std::vector<ShownRow> rows;
    for (int i = 0; i < int(SendMessageA(handle, LVM_GETITEMCOUNT, 0, 0)); ++i) {
      rows.push_back({text(i, 0), text(i, 1), text(i, 2)});
    }
    return rows;
  }

  // Whether a shown list with rows paints: with its redraw off the control invalidates
  // nothing when asked to redraw its rows (and Windows also takes WS_VISIBLE off it).
  static bool Paints(const TListView& list) {
    const HWND handle = list.Handle();
    if ((GetWindowLongA(handle, GWL_STYLE) & WS_VISIBLE) == 0) return false;
    ValidateRect(handle, nullptr);
    SendMessageA(handle, LVM_REDRAWITEMS, 0, list.ItemCount() - 1);
    return GetUpdateRect(handle, nullptr, FALSE) != FALSE;
  }

  static void Select(const TListView& list, int item) {
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageA(list.Handle(), LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
  }

  RegistrySeed seed;
};

TEST_F(MainFormTest, OpensCentredWithItsCaptionAndOuterSizeOwnedByTheApplicationWindow) {
  TMainForm& form = CreateAndShow();
  EXPECT_EQ("Velloran", WindowText(form.Handle(), 255));
  const RECT bounds = WindowBounds(form.Handle());
  EXPECT_EQ(733, bounds.right - bounds.left);
  EXPECT_EQ(370, bounds.bottom - bounds.top);
  const WindowOrigin centre =
      CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 733, 370);
  EXPECT_EQ(centre.left, bounds.left);
  EXPECT_EQ(centre.top, bounds.top);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  EXPECT_FALSE(IsZoomed(form.Handle()));
  EXPECT_EQ(Application.Handle(), GetWindow(form.Handle(), GW_OWNER));
  EXPECT_TRUE(IsWindowVisible(Application.Handle()));
  EXPECT_EQ(Application.Title(), WindowText(Application.Handle(), 255));
  EXPECT_EQ(form.lvBHO->Handle(), GetFocus());
}

TEST_F(MainFormTest, ListShowsTheLayoutsColumnsFontAndStyles) {
  TMainForm& form = Create();
  const HWND list = form.lvBHO->Handle();
  const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  ASSERT_EQ(3, SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  const char* headings[] = {"Name", "GUID", "File name"};
  const int widths[] = {150, 250, 300};
  for (int i = 0; i < 3; ++i) {
    char text[64] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(headings[i], text);
    EXPECT_EQ(widths[i], column.cx);
  }
  const LONG style = GetWindowLongA(list, GWL_STYLE);
  EXPECT_EQ(LVS_REPORT, style & LVS_TYPEMASK);
  EXPECT_EQ(0, style & LVS_SINGLESEL);   // multi-select
  EXPECT_EQ(0, style & LVS_EDITLABELS);  // read-only
  EXPECT_EQ(LVS_EX_FULLROWSELECT,
            SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);

  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_STREQ("MS Sans Serif", font.lfFaceName);
  EXPECT_EQ(-12, font.lfHeight);
  EXPECT_EQ(ANSI_CHARSET, font.lfCharSet);
  EXPECT_EQ(FW_NORMAL, font.lfWeight);

  char item[64] = {};
  GetMenuStringA(form.pmBHO->Handle(), 0, item, sizeof item, MF_BYPOSITION);
  EXPECT_STREQ("&Remove\tDel", item);
  EXPECT_EQ(1, GetMenuItemCount(form.pmBHO->Handle()));
  EXPECT_EQ(46, form.miDelete->ShortCut());
}

TEST_F(MainFormTest, ListsTheSeededRegistrationsInEnumerationOrder) {
  // Seeded out of order; the rows follow the registry's own order.
  seed.Register(TestGuid(3));
  seed.AddClass(TestGuid(3), "Expanding helper");
  seed.AddServer(TestGuid(3), "%ProgramFiles%\\Helper\\expand.dll", REG_EXPAND_SZ);
  seed.Register(TestGuid(1));
  seed.AddClass(TestGuid(1), "Plain helper");
  seed.AddServer(TestGuid(1), "C:\\Helpers\\plain.dll");
  seed.Register(TestGuid(4));  // no class key: no row
  seed.Register(TestGuid(2));
  seed.AddClass(TestGuid(2), "No server");

  TMainForm& form = CreateAndShow();

  std::vector<ShownRow> expected;
  for (const std::string& guid : RegistrySeed::EnumeratedRegistrations()) {
    if (guid == TestGuid(1)) expected.push_back({"Plain helper", guid, "C:\\Helpers\\plain.dll"});
    if (guid == TestGuid(2)) expected.push_back({"No server", guid, ""});
    if (guid == TestGuid(3)) {
      expected.push_back({"Expanding helper", guid, "%ProgramFiles%\\Helper\\expand.dll"});
    }
  }
  ASSERT_EQ(3u, expected.size());
  EXPECT_EQ(expected, Rows(*form.lvBHO));
  ListViewRows rows(*form.lvBHO);
  for (int i = 0; i < rows.Count(); ++i) {
    EXPECT_EQ(rows.Caption(i) == "No server" ? 1 : 2, rows.SubItemCount(i)) << "row " << i;
  }
}

TEST_F(MainFormTest, DwordDefaultValueShowsTheErrorBoxAndKeepsTheEarlierRows) {
  for (int n = 1; n <= 4; ++n) {
    seed.Register(TestGuid(n));
    seed.AddClass(TestGuid(n), "Helper " + std::to_string(n));
  }
  seed.SetDefault(HKEY_CLASSES_ROOT, "CLSID\\" + TestGuid(3), REG_DWORD,
                  std::string("\x2a\0\0\0", 4));
  ASSERT_EQ(TestGuid(3), RegistrySeed::EnumeratedRegistrations()[2]);

  MessageBoxWatcher watcher(IDOK);
  bool formVisibleDuringBox = true;
  watcher.whileShown = [&](HWND) { formVisibleDuringBox = IsWindowVisible(MainForm->Handle()); };
  TMainForm& form = CreateAndShow();

  ASSERT_EQ(1u, watcher.Boxes().size());
  const ShownMessageBox& box = watcher.Boxes()[0];
  EXPECT_EQ("Invalid data type for ''", box.text);
  EXPECT_EQ(Application.Title(), box.caption);
  EXPECT_TRUE(box.errorIcon);
  EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
  EXPECT_FALSE(formVisibleDuringBox);

  // The row being filled stays, with what it had received: nothing.
  const std::vector<ShownRow> expected = {
      {"Helper 1", TestGuid(1), ""}, {"Helper 2", TestGuid(2), ""}, {"", "", ""}};
  EXPECT_EQ(expected, Rows(*form.lvBHO));
  // The row finished before the error keeps its sub-item count, so it can still be removed.
  EXPECT_EQ(1, ListViewRows(*form.lvBHO).SubItemCount(1));
  // The painting held for the fill comes back despite the error, so those rows are drawn.
  EXPECT_TRUE(Paints(*form.lvBHO));
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  const WindowOrigin centre =
      CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 733, 370);
  EXPECT_EQ(centre.left, WindowBounds(form.Handle()).left);
}

TEST_F(MainFormTest, DeleteAloneRunsTheRemoveCommandAndModifiedDeleteDoesNot) {
  seed.Register(TestGuid(1));
  seed.AddClass(TestGuid(1), "Helper");
  seed.AddServer(TestGuid(1), "C:\\Helpers\\helper.dll");
  TMainForm& form = CreateAndShow();
  ASSERT_EQ(form.lvBHO->Handle(), GetFocus());
  MessageBoxWatcher watcher(IDNO);

  PressKey(VK_DELETE);  // nothing selected: no question
  EXPECT_TRUE(watcher.Boxes().empty());

  Select(*form.lvBHO, 0);
  PressKey(VK_DELETE, {VK_SHIFT});
  PressKey(VK_DELETE, {VK_CONTROL});
  PressKey(VK_DELETE, {VK_MENU});
  EXPECT_TRUE(watcher.Boxes().empty());

  PressKey(VK_DELETE);
  ASSERT_EQ(1u, watcher.Boxes().size());
  EXPECT_EQ("Are you sure?", watcher.Boxes()[0].text);
  EXPECT_EQ("please confirm", watcher.Boxes()[0].caption);
  EXPECT_TRUE(watcher.Boxes()[0].questionIcon);
  EXPECT_EQ((std::vector<int>{IDYES, IDNO}), watcher.Boxes()[0].buttons);
  // Answered No: nothing changed.
  EXPECT_EQ(1, form.lvBHO->ItemCount());
  EXPECT_TRUE(RegistrySeed::KeyExists(HKEY_LOCAL_MACHINE, kHelperObjects + "\\" + TestGuid(1)));
}

TEST_F(MainFormTest, RemoveAnsweredYesDeletesTheSelectedRowAndItsRegistrationKey) {
  for (int n = 1; n <= 2; ++n) {
    seed.Register(TestGuid(n));
    seed.AddClass(TestGuid(n), "Helper " + std::to_string(n));
    seed.AddServer(TestGuid(n), "C:\\Helpers\\missing" + std::to_string(n) + ".dll");
  }
  TMainForm& form = CreateAndShow();
  const std::vector<ShownRow> before = Rows(*form.lvBHO);
  ASSERT_EQ(2u, before.size());
  Select(*form.lvBHO, 1);
  MessageBoxWatcher watcher(IDYES);
  bool listPaintsDuringQuestion = false;
  watcher.whileShown = [&](HWND) { listPaintsDuringQuestion = Paints(*form.lvBHO); };
  PressKey(VK_DELETE);

  EXPECT_EQ(1u, watcher.Boxes().size());
  EXPECT_TRUE(listPaintsDuringQuestion);
  EXPECT_TRUE(Paints(*form.lvBHO));
  EXPECT_EQ(std::vector<ShownRow>{before[0]}, Rows(*form.lvBHO));
  EXPECT_FALSE(RegistrySeed::KeyExists(HKEY_LOCAL_MACHINE, kHelperObjects + "\\" + before[1].guid));
  EXPECT_TRUE(RegistrySeed::KeyExists(HKEY_LOCAL_MACHINE, kHelperObjects + "\\" + before[0].guid));
}

TEST_F(MainFormTest, ResizingTheWindowResizesTheListAndKeepsTheColumnWidths) {
  TMainForm& form = CreateAndShow();
  SetWindowPos(form.Handle(), nullptr, 0, 0, 900, 520, SWP_NOMOVE | SWP_NOZORDER);
  RECT client, list;
  GetClientRect(form.Handle(), &client);
  GetWindowRect(form.lvBHO->Handle(), &list);
  MapWindowPoints(HWND_DESKTOP, form.Handle(), reinterpret_cast<POINT*>(&list), 2);
  EXPECT_EQ(0, list.left);
  EXPECT_EQ(0, list.top);
  EXPECT_EQ(client.right, list.right);
  EXPECT_EQ(client.bottom, list.bottom);
  EXPECT_GT(client.right, 733 - 20);
  EXPECT_EQ(150, SendMessageA(form.lvBHO->Handle(), LVM_GETCOLUMNWIDTH, 0, 0));
  EXPECT_EQ(300, SendMessageA(form.lvBHO->Handle(), LVM_GETCOLUMNWIDTH, 2, 0));
}

TEST_F(MainFormTest, MaximisedStartOpensTheWindowMaximisedAndListed) {
  seed.Register(TestGuid(1));
  seed.AddClass(TestGuid(1), "Helper");
  TMainForm& form = Create();
  Application.ShowMainForm(SW_SHOWMAXIMIZED);
  PumpMessages();
  EXPECT_TRUE(IsZoomed(form.Handle()));
  EXPECT_EQ(1, form.lvBHO->ItemCount());
  RECT client, list;
  GetClientRect(form.Handle(), &client);
  GetClientRect(form.lvBHO->Handle(), &list);
  EXPECT_GT(client.right, 733);
  EXPECT_EQ(client.right,
            WindowBounds(form.lvBHO->Handle()).right - WindowBounds(form.lvBHO->Handle()).left);
}

TEST_F(MainFormTest, MinimisedStartLeavesTheListUnfilledUntilTheFirstRestoreThenListsOnce) {
  seed.Register(TestGuid(1));
  seed.AddClass(TestGuid(1), "Helper");
  TMainForm& form = Create();
  Application.ShowMainForm(SW_SHOWMINNOACTIVE);
  PumpMessages();
  EXPECT_TRUE(IsIconic(Application.Handle()));
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
  EXPECT_EQ(0, form.lvBHO->ItemCount());

  SendMessageA(Application.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);  // the taskbar button
  PumpMessages();
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  EXPECT_FALSE(IsIconic(form.Handle()));
  EXPECT_FALSE(IsZoomed(form.Handle()));
  EXPECT_EQ(1, form.lvBHO->ItemCount());
  const WindowOrigin centre =
      CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 733, 370);
  EXPECT_EQ(centre.left, WindowBounds(form.Handle()).left);

  SendMessageA(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);  // the main form's button
  PumpMessages();
  EXPECT_TRUE(IsIconic(Application.Handle()));
  SendMessageA(Application.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  PumpMessages();
  EXPECT_EQ(1, form.lvBHO->ItemCount());
}

TEST_F(MainFormTest, ClosingTheMainWindowEndsTheRunAndDestroysIt) {
  HWND window = nullptr;
  EXPECT_EQ(0, RunApplication(SW_SHOWDEFAULT, [&window] {
              Application.CreateForm(MainForm);
              window = MainForm->Handle();
              PostMessageA(window, WM_CLOSE, 0, 0);
            }));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(nullptr, MainForm);
}

}  // namespace
