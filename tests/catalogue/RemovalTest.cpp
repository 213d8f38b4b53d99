// Removing the selected registrations, against every backend, with a recording confirmation
// and a recording process start instead of the message box and the registration tool.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "catalogue/Listing.h"
#include "catalogue/Removal.h"
#include "tests/catalogue/CatalogueTest.h"
#include "tests/support/StandInEnvironment.h"

namespace {

const std::string kTool = "C:\\windows\\system32\\regsvr32.exe";
const std::string kGuid1 = "{10000000-0000-4000-8000-00000000B001}";
const std::string kGuid2 = "{20000000-0000-4000-8000-00000000B002}";
const std::string kGuid3 = "{30000000-0000-4000-8000-00000000B003}";

struct Question {
  std::string Text, Caption;
  unsigned Style;
};

class Removal : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    AddHelperObject(kGuid1, "First Helper", "C:\\x\\a.dll");
    AddHelperObject(kGuid2, "Second Helper", "C:\\x\\b.dll");
    AddHelperObject(kGuid3, "Third Helper", "C:\\x\\c.dll");
    ListRegistrations(*registry, rows);
    ASSERT_EQ(rows.Count(), 3);
    handlesBefore = backend->OpenHandleCount();
  }

  void Remove() {
    RemoveSelected(
        *registry, rows,
        [this](const std::string& text, const std::string& caption, unsigned style) {
          questions.push_back({text, caption, style});
          return answer;
        },
        [this](const std::string& commandLine, int show) {
          commands.push_back(commandLine);
          shows.push_back(show);
          if (startProcessAction) startProcessAction();
        },
        [this] {
          if (toolLookupFails) throw Exception("Cannot find the system directory");
          return kTool;
        },
        StandInEnvironment::Functions());
  }
  static std::string CommandFor(const std::string& file) {
    return "\"" + kTool + "\" /s -u \"" + file + "\"";
  }
  void Select(int row) { rows.rows.at(row).Selected = true; }
  std::vector<std::string> Guids() const {
    std::vector<std::string> guids;
    for (const MemoryRow& row : rows.rows) guids.push_back(row.SubItems.at(0));
    return guids;
  }
  void ExpectLeftWithNoKeyOpen() const {
    EXPECT_EQ(registry->RootKey(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(registry->CurrentKey(), nullptr);
    EXPECT_EQ(registry->CurrentPath(), "");
    EXPECT_EQ(backend->OpenHandleCount(), handlesBefore) << "a key handle was left open";
  }
  void ExpectClassKeysKept() const {
    for (const std::string& guid : {kGuid1, kGuid2, kGuid3}) {
      EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, ServerKey(guid))) << guid;
    }
  }

  int handlesBefore = 0;
  int answer = kAnswerYes;
  std::vector<Question> questions;
  std::vector<std::string> commands;
  std::vector<int> shows;
  std::function<void()> startProcessAction;
  bool toolLookupFails = false;
  StandInEnvironment environment;
};

TEST_P(Removal, RemovesOnlySelectedRegistrationsFromTheBottomUpAfterOneQuestion) {
  Select(0);
  Select(2);
  Remove();

  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].Text, "Are you sure?");
  EXPECT_EQ(questions[0].Caption, "please confirm");
  EXPECT_EQ(questions[0].Style, 0x24u);
  EXPECT_EQ(commands,
            (std::vector<std::string>{CommandFor("C:\\x\\c.dll"), CommandFor("C:\\x\\a.dll")}));
  EXPECT_EQ(shows, (std::vector<int>{0, 0})) << "the tool runs hidden";
  EXPECT_EQ(Guids(), (std::vector<std::string>{kGuid2}));

  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid1)));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2)));
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid3)));
  // Class keys are the registration tool's business, never the program's.
  for (const std::string& guid : {kGuid1, kGuid2, kGuid3}) {
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, ServerKey(guid))) << guid;
  }
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath));
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, ChangesNothingWhenTheAnswerIsNo) {
  Select(1);
  answer = 7;              // IDNO
  toolLookupFails = true;  // never looked up: no tool is started
  Remove();
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(Guids(), (std::vector<std::string>{kGuid1, kGuid2, kGuid3}));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2)));
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, AsksNothingWithoutASelectionOrWithoutAHelperObjectKey) {
  toolLookupFails = true;  // never looked up: no tool is started
  Remove();
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(rows.Count(), 3);
  ExpectLeftWithNoKeyOpen();

  Select(0);
  backend->DeleteTree(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath);
  Remove();
  EXPECT_TRUE(questions.empty());
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(rows.Count(), 3);
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, DoesNothingForAUserWithoutRightsToTheHelperObjectKey) {
  SKIP_UNLESS_STAND_IN();
  Select(0);
  backend->StandIn()->DenyFullAccess(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath);
  Remove();
  EXPECT_TRUE(questions.empty());
  EXPECT_TRUE(commands.empty());
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid1)));
  EXPECT_EQ(rows.Count(), 3);
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, DeletesTheRegistrationKeyWithEverythingBelowIt) {
  backend->CreateKey(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\Settings\\Deeper");
  backend->SetText(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\Settings", "NoExplorer", "1");
  Select(1);
  Remove();
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2)));
  EXPECT_EQ(Guids(), (std::vector<std::string>{kGuid1, kGuid3}));
}

TEST_P(Removal, StartsTheToolWithEmptyQuotesOnlyWhereTheMachineRegistersAnEmptyServerFile) {
  backend->SetValue(HKEY_CLASSES_ROOT, ServerKey(kGuid2), "", REG_SZ, "");
  rows.rows.clear();
  ListRegistrations(*registry, rows);
  ASSERT_EQ(rows.rows.at(1).SubItems.at(1), "");
  // A server key gone since the listing names no file at all, not even an empty one.
  rows.rows.at(0).SubItems.at(1) = "";
  backend->DeleteTree(HKEY_CLASSES_ROOT, ServerKey(kGuid1));
  Select(0);
  Select(1);
  Remove();
  EXPECT_EQ(commands, (std::vector<std::string>{"\"" + kTool + "\" /s -u \"\""}));
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid1)));
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2)));
  EXPECT_EQ(rows.Count(), 1);
}

TEST_P(Removal, NeverHandsTheToolAServerFileHoldingAQuote) {
  rows.rows[0].SubItems[1] = "C:\\x\\a.dll\" \"C:\\victim.dll";
  Select(0);
  Remove();
  EXPECT_TRUE(commands.empty());
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid1)));
  EXPECT_EQ(Guids(), (std::vector<std::string>{kGuid2, kGuid3}));
}

TEST_P(Removal, RemovesARegistrationWithoutServerKeyWithoutStartingTheTool) {
  rows.rows[2].SubItems.resize(1);
  Select(2);
  Remove();
  EXPECT_TRUE(commands.empty());
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid3)));
  EXPECT_EQ(rows.Count(), 2);
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, LeavesARowWithoutAGuidOrWithAPathForOneButRemovesAnyOtherPrintableName) {
  const std::string printable = "Old Helper ~1";  // both ends of printable ASCII
  AddRegistrationKey(printable);
  backend->CreateKey(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid3) + "\\Settings");
  rows.rows[0].SubItems.clear();  // a row the listing left unfinished
  rows.rows[1].SubItems[0] = "";
  rows.rows[2].SubItems[0] = kGuid3 + "\\Settings";
  for (const char* path : {"\\", "\\\\"}) rows.rows.push_back(MemoryRow{"", {path, "C:\\p.dll"}});
  rows.rows.push_back(MemoryRow{"", {printable}});
  for (int row = 0; row < rows.Count(); ++row) Select(row);
  Remove();
  EXPECT_TRUE(commands.empty()) << "nothing to unregister without a registration";
  EXPECT_EQ(rows.Count(), 5) << "the rows stay but the last";
  for (const std::string& guid : {kGuid1, kGuid2, kGuid3 + "\\Settings"}) {
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(guid))) << guid;
  }
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(printable)));
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, NeverHandsTheToolAServerFileFromThePerUserClasses) {
  // Windows shows a user's own classes over the machine's in HKEY_CLASSES_ROOT, and any program
  // of the user may write them; the tool, started elevated, would load whatever they name.
  const std::string userClasses = "Software\\Classes\\";
  backend->SetText(HKEY_CURRENT_USER, userClasses + ServerKey(kGuid1), "", "C:\\user\\evil.dll");
  // A per-user class key without a server of its own: the machine's shows through.
  backend->SetText(HKEY_CURRENT_USER, userClasses + ClassKey(kGuid2), "", "Renamed");
  rows.rows.clear();
  ListRegistrations(*registry, rows);
  const bool merged = GetParam() == BackendKind::StandInAsWindows;
  ASSERT_EQ(rows.rows.at(0).SubItems.at(1), merged ? "C:\\user\\evil.dll" : "C:\\x\\a.dll");
  for (int row = 0; row < 3; ++row) Select(row);
  Remove();

  std::vector<std::string> expected{CommandFor("C:\\x\\c.dll"), CommandFor("C:\\x\\b.dll")};
  if (!merged) expected.push_back(CommandFor("C:\\x\\a.dll"));
  EXPECT_EQ(commands, expected);
  EXPECT_EQ(rows.Count(), 0) << "the registrations go all the same";
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid1)));
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, AnErrorMidwayLeavesNoKeyOpenAndTheNextRemovalWorks) {
  Select(1);
  Select(2);
  // The last row, visited first, starts no tool; the tool's lookup still fails before it is
  // touched, so that a batch never stops half-way.
  rows.rows[2].SubItems.resize(1);
  toolLookupFails = true;
  EXPECT_THROW(Remove(), Exception);
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(rows.Count(), 3);
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid3)));
  ExpectLeftWithNoKeyOpen();
  toolLookupFails = false;
  rows.refusedDelete = 1;
  EXPECT_THROW(Remove(), std::runtime_error);
  ExpectLeftWithNoKeyOpen();
  rows.refusedDelete = -1;
  Remove();
  EXPECT_EQ(questions.size(), 3u);
  EXPECT_EQ(Guids(), (std::vector<std::string>{kGuid1}));
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2)));
}

TEST_P(Removal, HandsTheToolTheServerFileAsCOMWouldLoadItAndNoneWhoseExpansionIsUnsafe) {
  // The user's own environment, which an elevated program inherits: any of it may be set.
  environment.Set("ProgramFiles", "C:\\Program Files");
  environment.Set("Quote", "C:\\x\" /i:evil /n \"C:\\y");
  environment.Set("Empty", "");
  environment.Set("Long", std::string(kLargestExpansion, 'L'));
  const std::string kGuid4 = "{40000000-0000-4000-8000-00000000B004}";
  const std::string kGuid5 = "{50000000-0000-4000-8000-00000000B005}";
  const std::string kGuid6 = "{60000000-0000-4000-8000-00000000B006}";
  AddHelperObject(kGuid4, "Fourth Helper", "");
  AddHelperObject(kGuid5, "Fifth Helper", "");
  AddHelperObject(kGuid6, "Sixth Helper", "");
  // COM expands REG_EXPAND_SZ; REG_SZ is a file name, % and all.
  const std::pair<std::string, DWORD> servers[] = {{"%programfiles%\\a.dll", REG_EXPAND_SZ},
                                                   {"%ProgramFiles%\\b.dll", REG_SZ},
                                                   {"%Quote%", REG_EXPAND_SZ},
                                                   {"%Empty%", REG_EXPAND_SZ},
                                                   {"%Long%", REG_EXPAND_SZ},
                                                   {"%Unset%\\f.dll", REG_EXPAND_SZ}};
  const std::string guids[] = {kGuid1, kGuid2, kGuid3, kGuid4, kGuid5, kGuid6};
  for (int i = 0; i < 6; ++i) {
    backend->SetText(HKEY_CLASSES_ROOT, ServerKey(guids[i]), "", servers[i].first,
                     servers[i].second);
  }
  rows.rows.clear();
  ListRegistrations(*registry, rows);
  ASSERT_EQ(rows.Count(), 6);
  EXPECT_EQ(rows.rows[0].SubItems.at(1), "%programfiles%\\a.dll") << "shown as stored";
  for (int row = 0; row < 6; ++row) Select(row);
  Remove();
  EXPECT_EQ(commands, (std::vector<std::string>{CommandFor("%Unset%\\f.dll"),
                                                CommandFor("%ProgramFiles%\\b.dll"),
                                                CommandFor("C:\\Program Files\\a.dll")}));
  EXPECT_EQ(rows.Count(), 0) << "a registration goes whether or not its tool could start";
  for (const std::string& guid : guids) {
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(guid))) << guid;
  }

  // An expansion that fails starts no tool either.
  AddRegistrationKey(kGuid1);
  rows.rows.push_back(MemoryRow{"", {kGuid1, "%programfiles%\\a.dll"}, true});
  environment.FailExpansions();
  commands.clear();
  Remove();
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(rows.Count(), 0);
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid1)));
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, RemovesTheRowOfARegistrationThatIsAlreadyGoneUnlessItMayStillBeListed) {
  backend->DeleteTree(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid1));
  Select(0);
  if (StandInRegistry* standIn = backend->StandIn()) {
    // The helper-object key is listed again to see whether the gone name was spelled lossily;
    // where that listing fails (here from the tool of the row below on), the key may still be
    // there under another spelling.
    Select(2);
    startProcessAction = [standIn] {
      standIn->FailEnumeration(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath, 0, ERROR_NO_MORE_ITEMS);
    };
    Remove();
    EXPECT_EQ(commands, std::vector<std::string>{CommandFor("C:\\x\\c.dll")});
    EXPECT_EQ(Guids(), (std::vector<std::string>{kGuid1, kGuid2}));
    standIn->FailEnumeration(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath, 0, ERROR_SUCCESS);
    startProcessAction = nullptr;
    commands.clear();
  }
  Remove();
  EXPECT_EQ(commands, std::vector<std::string>{CommandFor("C:\\x\\a.dll")});
  const std::vector<std::string> left{kGuid2, kGuid3};
  EXPECT_EQ(Guids(), backend->StandIn() != nullptr ? std::vector<std::string>{kGuid2} : left);
}

TEST_P(Removal, DeletesLinksInOrAsARegistrationButNeverWhatTheyName) {
  const std::string vendor = std::string(kMachineTestsKey) + "\\Vendor";
  const std::string vendorPath = backend->NativeMachinePath(kMachineTestsKey) + "\\Vendor";
  backend->CreateKey(HKEY_LOCAL_MACHINE, vendor + "\\Settings\\Deep");
  backend->CreateKey(HKEY_LOCAL_MACHINE, vendor + "\\Leaf");
  backend->CreateLink(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid1) + "\\Settings",
                      vendorPath + "\\Settings");
  backend->CreateLink(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\Leaf",
                      vendorPath + "\\Leaf");
  backend->DeleteTree(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid3));
  backend->CreateLink(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid3), vendorPath);
  bool deletedWhileHeld = false;
  if (StandInRegistry* standIn = backend->StandIn()) {
    // Its tool deletes the link while the walk holds it, just before the walk deletes it too.
    startProcessAction = [this, standIn, &deletedWhileHeld] {
      if (commands.size() > 1) return;
      standIn->AfterNextSizeQuery([this, &deletedWhileHeld] {
        backend->DeleteTree(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid3));
        deletedWhileHeld = true;
      });
    };
  }
  for (int row = 0; row < 3; ++row) Select(row);
  Remove();
  EXPECT_EQ(deletedWhileHeld, backend->StandIn() != nullptr);

  EXPECT_EQ(rows.Count(), 0);
  ASSERT_TRUE(registry->EnterKey(kHelperObjectKeyPath));
  TStringList left;
  registry->ListSubkeyNames(left);
  EXPECT_EQ(left.Count(), 0) << "first left: " << (left.Count() > 0 ? left[0] : "");
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, vendor + "\\Settings\\Deep"));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, vendor + "\\Leaf"));
}

// An enumeration that lists the second registration's key under another key's name, as the 8-bit
// enumeration lists two keys whose names differ only where the ANSI code page cannot.
std::string secondListedAs;
LONG WINAPI ListingSecondAs(HKEY key, DWORD index, LPSTR name, LPDWORD length, LPDWORD reserved,
                            LPSTR className, LPDWORD classLength, PFILETIME written) {
  const LONG status = StandInRegistry::Functions().EnumKeyEx(key, index, name, length, reserved,
                                                             className, classLength, written);
  if (status == ERROR_SUCCESS && kGuid2 == name) {
    secondListedAs.copy(name, secondListedAs.size());
    name[secondListedAs.size()] = '\0';
    *length = static_cast<DWORD>(secondListedAs.size());
  }
  return status;
}

TEST_P(Removal, LeavesARegistrationWhoseListedNameMayOpenAnotherKeyOrNone) {
  if (backend->StandIn() != nullptr) {
    static const RegistryFunctions listedAlike = [] {
      RegistryFunctions functions = StandInRegistry::Functions();
      functions.EnumKeyEx = &ListingSecondAs;
      return functions;
    }();
    registry = std::make_unique<TRegistry>(listedAlike);
    // Listed alike whatever the case of any letter, the first and last of the alphabet too.
    const std::string plain = "AZ Helper";
    AddRegistrationKey(plain);
    rows.rows.push_back(MemoryRow{"", {plain, "C:\\x\\az.dll"}});
    for (const auto& [listedAs, row] :
         {std::pair<std::string, int>{kGuid1, 0}, {"aZ Helper", 3}, {"Az Helper", 3}}) {
      SCOPED_TRACE(listedAs);
      secondListedAs = listedAs;
      for (MemoryRow& each : rows.rows) each.Selected = false;
      Select(row);
      Remove();
      EXPECT_TRUE(commands.empty());
      ASSERT_EQ(rows.Count(), 4) << "every row stays";
      EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(rows.rows[row].SubItems[0])));
    }
    return;
  }
#ifdef _WIN32
  // In code page 1252 a dotless i is listed as 'i', so its name opens the plain "...I}" key; an a
  // with a macron is listed as 'a', whose name opens nothing.
  const std::string stem = "{40000000-0000-4000-8000-00000000B00";
  const std::wstring wideStem =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
      L"Browser Helper Objects\\{40000000-0000-4000-8000-00000000B00";
  CreateWideKey(HKEY_LOCAL_MACHINE, wideStem + L"\x0131}");
  CreateWideKey(HKEY_LOCAL_MACHINE, wideStem + L"\x0101}");
  AddHelperObject(stem + "I}", "Plain", "C:\\x\\plain.dll");
  backend->SetText(HKEY_CLASSES_ROOT, ClassKey(stem + "a}"), "", "Macron");
  rows.rows.clear();
  ListRegistrations(*registry, rows);
  std::vector<std::string> odd;
  for (int row = 0; row < rows.Count(); ++row) {
    if (rows.rows[row].SubItems[0].compare(0, stem.size(), stem) == 0) {
      odd.push_back(rows.rows[row].SubItems[0]);
      Select(row);
    }
  }
  const std::vector<std::string> listedAs{stem + "I}", stem + "a}", stem + "i}"};
  ASSERT_EQ(odd, listedAs) << "as tried under Wine";
  Remove();

  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(rows.Count(), 6) << "every row stays";
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(stem + "I}")));
  for (const wchar_t* last : {L"\x0131}", L"\x0101}"}) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (wideStem + last).c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
#endif
}

TEST_P(Removal, KeepsTheRowOfARegistrationThatCouldNotBeDeleted) {
  SKIP_UNLESS_STAND_IN();
  // A key deep down that the user may not open hides its own subkey from the tree walk, so
  // neither it nor any key above it can be deleted; its siblings can.
  const std::string locked = RegistrationKey(kGuid2) + "\\A\\B\\C\\Locked";
  backend->CreateKey(HKEY_LOCAL_MACHINE, locked + "\\Inner");
  backend->CreateKey(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\A\\B\\Sibling");
  backend->StandIn()->DenyFullAccess(HKEY_LOCAL_MACHINE, locked);
  // A link where the system offers no way to delete a link itself: it stays, and so does its
  // registration.
  const std::string target = std::string(kMachineTestsKey) + "\\Leaf";
  backend->CreateKey(HKEY_LOCAL_MACHINE, target);
  backend->CreateLink(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid3) + "\\A\\Link",
                      backend->NativeMachinePath(target));
  backend->StandIn()->WithoutOpenKeyDeletion();
  for (int row = 0; row < 3; ++row) Select(row);
  Remove();
  EXPECT_EQ(commands.size(), 3u) << "the tool is still started";
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, locked + "\\Inner"));
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\A\\B\\Sibling"));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, target));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid3) + "\\A"));
  EXPECT_EQ(Guids(), (std::vector<std::string>{kGuid2, kGuid3}));
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, AFailedEnumerationLeavesWhatItMayHaveHidden) {
  SKIP_UNLESS_STAND_IN();
  StandInRegistry& standIn = *backend->StandIn();
  backend->CreateKey(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\A\\Deep");
  backend->CreateKey(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\B");
  Select(1);
  // Listing the helper-object key: a name that went missing might be one spelled like another,
  // so nothing is removed.
  standIn.FailEnumeration(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath, 1, ERROR_NO_MORE_ITEMS);
  Remove();
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(rows.Count(), 3);
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\B"));
  standIn.FailEnumeration(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath, 1, ERROR_SUCCESS);

  // In the tree walk: B goes, A is skipped, so its parent stays.
  standIn.FailEnumeration(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2), 0, ERROR_NO_MORE_ITEMS);
  Remove();
  EXPECT_EQ(commands.size(), 1u);
  EXPECT_EQ(rows.Count(), 3) << "the registration is still there";
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\B"));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(kGuid2) + "\\A\\Deep"));
  ExpectClassKeysKept();
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, TheHelperObjectKeyDeletedMidwayTakesOnlyItsOwnTree) {
  // As a registration tool started for the first row might do, on either registry.
  startProcessAction = [this] {
    if (commands.size() == 1) backend->DeleteTree(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath);
  };
  for (int row = 0; row < 3; ++row) Select(row);
  Remove();
  EXPECT_EQ(commands.size(), 3u);
  EXPECT_EQ(rows.Count(), 0) << "every registration is gone";
  ExpectClassKeysKept();
  ExpectLeftWithNoKeyOpen();
}

TEST_P(Removal, ListsAndRemovesTenThousandRegistrations) {
  if (backend->StandIn() == nullptr) {
    GTEST_SKIP() << "seeding 40,000 keys into a Wine prefix takes too long for CI";
  }
  const int count = 10000;
  const auto guid = [](int i) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-0000-4000-8000-0000000C0000}", i);
    return std::string(text);
  };
  for (int i = 0; i < count; ++i) AddHelperObject(guid(i), "Many", "C:\\many.dll");
  rows.rows.clear();
  ListRegistrations(*registry, rows);
  ASSERT_EQ(rows.Count(), count + 3);
  for (int row = 0; row < rows.Count(); row += 2) Select(row);
  Remove();
  EXPECT_EQ(static_cast<int>(commands.size()), (count + 4) / 2);
  EXPECT_EQ(rows.Count(), (count + 3) / 2);
  for (const MemoryRow& row : rows.rows) {
    ASSERT_TRUE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(row.SubItems[0]))) << row.SubItems[0];
  }
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, RegistrationKey(guid(0))));
  ExpectLeftWithNoKeyOpen();
}

}  // namespace

INSTANTIATE_FOR_EVERY_BACKEND_AND_WINDOWS(Removal);
