// Listing the helper-object registrations, against every backend.
#include <gtest/gtest.h>

#include "catalogue/Listing.h"
#include "tests/catalogue/CatalogueTest.h"

namespace {

const std::string kGuid1 = "{10000000-0000-4000-8000-00000000A001}";
const std::string kGuid2 = "{20000000-0000-4000-8000-00000000A002}";
const std::string kGuid3 = "{30000000-0000-4000-8000-00000000A003}";
const std::string kGuid4 = "{40000000-0000-4000-8000-00000000A004}";
const std::string kGuid5 = "{50000000-0000-4000-8000-00000000A005}";
const std::string kGuid6 = "{60000000-0000-4000-8000-00000000A006}";

class Listing : public CatalogueTest {
 protected:
  void ExpectNoKeyOpenBelow(HKEY root) const {
    EXPECT_EQ(registry->RootKey(), root);
    EXPECT_EQ(registry->CurrentKey(), nullptr);
    EXPECT_EQ(registry->CurrentPath(), "");
  }
};

TEST_P(Listing, AMissingOrEmptyHelperObjectKeyListsNothing) {
  ListRegistrations(*registry, rows);
  EXPECT_EQ(rows.Count(), 0);
  ExpectNoKeyOpenBelow(HKEY_LOCAL_MACHINE);

  backend->CreateKey(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath);
  ListRegistrations(*registry, rows);
  EXPECT_EQ(rows.Count(), 0);
  ExpectNoKeyOpenBelow(HKEY_CLASSES_ROOT);
}

TEST_P(Listing, MakesOneRowPerRegistrationWithAClassKeyInEnumerationOrder) {
  // The registry enumerates case-insensitively: "{ab" comes before "{AC".
  const std::string upperGuid = "{AC000000-0000-4000-8000-00000000A00C}";
  const std::string lowerGuid = "{ab000000-0000-4000-8000-00000000a00b}";
  AddHelperObject(upperGuid, "Upper Case Helper", "C:\\upper.dll");
  AddHelperObject(kGuid3, "Third Toolbar", "C:\\Program Files\\Third\\third.dll");
  AddRegistrationKey(kGuid2);  // no class key: no row, and the rest is still listed
  AddHelperObject(lowerGuid, "Lower Case Helper", "C:\\lower.dll");
  AddHelperObject(kGuid1, "First Helper", "C:\\x\\a.dll");

  ListRegistrations(*registry, rows);
  ASSERT_EQ(rows.Count(), 4);
  EXPECT_EQ(rows.rows[0].Caption, "First Helper");
  EXPECT_EQ(rows.rows[0].SubItems, (std::vector<std::string>{kGuid1, "C:\\x\\a.dll"}));
  EXPECT_EQ(rows.rows[1].Caption, "Third Toolbar");
  EXPECT_EQ(rows.rows[2].Caption, "Lower Case Helper");
  EXPECT_EQ(rows.rows[2].SubItems[0], lowerGuid) << "the name exactly as enumerated";
  EXPECT_EQ(rows.rows[3].SubItems[0], upperGuid);
  for (const MemoryRow& row : rows.rows) EXPECT_FALSE(row.Selected);
  ExpectNoKeyOpenBelow(HKEY_CLASSES_ROOT);
}

TEST_P(Listing, ShowsWhatIsMissingAsEmptyOrAbsentColumns) {
  AddRegistrationKey(kGuid1);  // class key without a default value, server key complete
  backend->SetText(HKEY_CLASSES_ROOT, ServerKey(kGuid1), "", "C:\\nameless.dll");
  AddRegistrationKey(kGuid2);  // no InprocServer32: a single sub-item
  backend->SetText(HKEY_CLASSES_ROOT, ClassKey(kGuid2), "", "No Server");
  AddRegistrationKey(kGuid3);  // InprocServer32 without a default value: an empty second one
  backend->SetText(HKEY_CLASSES_ROOT, ClassKey(kGuid3), "", "Empty Server");
  backend->CreateKey(HKEY_CLASSES_ROOT, ServerKey(kGuid3));
  AddRegistrationKey(kGuid4);  // unexpanded environment reference, and a NUL inside the name
  backend->SetValue(HKEY_CLASSES_ROOT, ClassKey(kGuid4), "", REG_SZ,
                    std::string("Visible\0Hidden\0", 15));
  backend->SetText(HKEY_CLASSES_ROOT, ServerKey(kGuid4), "", "%ProgramFiles%\\Acme\\bho.dll",
                   REG_EXPAND_SZ);

  ListRegistrations(*registry, rows);
  ASSERT_EQ(rows.Count(), 4);
  EXPECT_EQ(rows.rows[0].Caption, "");
  EXPECT_EQ(rows.rows[0].SubItems, (std::vector<std::string>{kGuid1, "C:\\nameless.dll"}));
  EXPECT_EQ(rows.rows[1].SubItems, (std::vector<std::string>{kGuid2}));
  EXPECT_EQ(rows.rows[2].SubItems, (std::vector<std::string>{kGuid3, ""}));
  EXPECT_EQ(rows.rows[3].Caption, "Visible");
  EXPECT_EQ(rows.rows[3].SubItems[1], "%ProgramFiles%\\Acme\\bho.dll");
}

TEST_P(Listing, AppendsToRowsAlreadyThere) {
  AddHelperObject(kGuid1, "First Helper", "C:\\a.dll");
  rows.rows.push_back(MemoryRow{"kept", {"{kept}"}, true});
  ListRegistrations(*registry, rows);
  ASSERT_EQ(rows.Count(), 2);
  EXPECT_EQ(rows.rows[0].Caption, "kept");
  EXPECT_EQ(rows.rows[1].Caption, "First Helper");
}

TEST_P(Listing, StopsAtANameThatIsNotTextKeepingTheRowsSoFar) {
  AddHelperObject(kGuid1, "First Helper", "C:\\a.dll");
  AddRegistrationKey(kGuid2);
  backend->SetValue(HKEY_CLASSES_ROOT, ClassKey(kGuid2), "", REG_DWORD,
                    std::string("\x2a\0\0\0", 4));
  AddHelperObject(kGuid3, "Never Reached", "C:\\c.dll");

  try {
    ListRegistrations(*registry, rows);
    FAIL() << "no error raised";
  } catch (const ERegistryException& error) {
    EXPECT_EQ(error.Message(), "Invalid data type for ''");
  }
  ASSERT_EQ(rows.Count(), 2);
  EXPECT_EQ(rows.rows[0].SubItems.size(), 2u);
  EXPECT_EQ(rows.rows[1].Caption, "");
  EXPECT_TRUE(rows.rows[1].SubItems.empty()) << "the row being filled keeps what it had";
  EXPECT_EQ(registry->CurrentPath(), ClassKey(kGuid2)) << "the key being read stays open";
}

TEST_P(Listing, StopsAtAServerFileThatIsNotTextWithTheRowsNameAndGuidKept) {
  AddRegistrationKey(kGuid1);
  backend->SetText(HKEY_CLASSES_ROOT, ClassKey(kGuid1), "", "Binary Server");
  backend->SetValue(HKEY_CLASSES_ROOT, ServerKey(kGuid1), "", REG_BINARY, "\x01\x02\x03");
  EXPECT_THROW(ListRegistrations(*registry, rows), ERegistryException);
  ASSERT_EQ(rows.Count(), 1);
  EXPECT_EQ(rows.rows[0].Caption, "Binary Server");
  EXPECT_EQ(rows.rows[0].SubItems, (std::vector<std::string>{kGuid1}));
  EXPECT_EQ(registry->CurrentPath(), ServerKey(kGuid1));
}

TEST_P(Listing, StopsWhenANameCannotBeReadAfterItsSizeWasTaken) {
  SKIP_UNLESS_STAND_IN();
  AddHelperObject(kGuid1, "Vanishing Name", "C:\\a.dll");
  StandInRegistry& standIn = *backend->StandIn();
  standIn.AfterNextSizeQuery([&] { standIn.DeleteValue(HKEY_CLASSES_ROOT, ClassKey(kGuid1), ""); });
  try {
    ListRegistrations(*registry, rows);
    FAIL() << "no error raised";
  } catch (const ERegistryException& error) {
    EXPECT_EQ(error.Message(), "Failed to get data for ''");
  }
  EXPECT_EQ(rows.Count(), 1);
}

TEST_P(Listing, SkipsWhatTheUserMayNotOpenWithFullAccess) {
  SKIP_UNLESS_STAND_IN();
  AddHelperObject(kGuid1, "Locked Class", "C:\\a.dll");
  AddHelperObject(kGuid2, "Open Class", "C:\\b.dll");
  AddHelperObject(kGuid3, "Locked Server", "C:\\c.dll");
  backend->StandIn()->DenyFullAccess(HKEY_CLASSES_ROOT, ClassKey(kGuid1));
  backend->StandIn()->DenyFullAccess(HKEY_CLASSES_ROOT, ServerKey(kGuid3));

  ListRegistrations(*registry, rows);
  ASSERT_EQ(rows.Count(), 2);
  EXPECT_EQ(rows.rows[0].Caption, "Open Class");
  EXPECT_EQ(rows.rows[1].SubItems, (std::vector<std::string>{kGuid3}));

  rows.rows.clear();
  backend->StandIn()->DenyFullAccess(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath);
  ListRegistrations(*registry, rows);
  EXPECT_EQ(rows.Count(), 0) << "no rights to the helper-object key: an empty list";
  ExpectNoKeyOpenBelow(HKEY_LOCAL_MACHINE);
}

TEST_P(Listing, AFailedEnumerationNeverListsTheClassesKeyItself) {
  SKIP_UNLESS_STAND_IN();
  AddHelperObject(kGuid1, "One", "C:\\1.dll");
  AddHelperObject(kGuid2, "Two", "C:\\2.dll");
  AddHelperObject(kGuid3, "Three", "C:\\3.dll");
  backend->SetText(HKEY_CLASSES_ROOT, "CLSID", "", "the CLSID key's own default");
  // The first name: the buffer still holds nothing then, which would make "CLSID\\" the path.
  backend->StandIn()->FailEnumeration(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath, 0, ERROR_MORE_DATA);

  ListRegistrations(*registry, rows);
  ASSERT_EQ(rows.Count(), 2);
  EXPECT_EQ(rows.rows[0].SubItems[0], kGuid2);
  EXPECT_EQ(rows.rows[1].SubItems[0], kGuid3);
}

TEST_P(Listing, ClosesEveryKeyItOpened) {
  AddHelperObject(kGuid1, "One", "C:\\1.dll");
  AddRegistrationKey(kGuid5);
  backend->SetText(HKEY_CLASSES_ROOT, ClassKey(kGuid6), "", "Unregistered class");
  const int before = backend->OpenHandleCount();
  ListRegistrations(*registry, rows);
  EXPECT_EQ(rows.Count(), 1);
  EXPECT_EQ(backend->OpenHandleCount(), before);
}

}  // namespace

INSTANTIATE_FOR_EVERY_BACKEND(Listing);
