// The registry object against every backend: the stand-in, and under Wine the real registry.
#include <gtest/gtest.h>

#include <new>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "registry/Registry.h"
#include "tests/support/BackendTest.h"

namespace {

const std::string kScratch = "Software\\Velloran Tests";

class RegistryObject : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    backend->CreateKey(HKEY_CURRENT_USER, kScratch + "\\X\\A");
    backend->CreateKey(HKEY_CURRENT_USER, kScratch + "\\A");
  }
  std::string Scratch(const std::string& below) const { return kScratch + "\\" + below; }
};

TEST_P(RegistryObject, StartsAtCurrentUserWithFullAccessAndNoKey) {
  EXPECT_EQ(registry->RootKey(), HKEY_CURRENT_USER);
  EXPECT_EQ(registry->Access(), static_cast<REGSAM>(0x000F003F));
  EXPECT_EQ(registry->CurrentKey(), nullptr);
  EXPECT_EQ(registry->CurrentPath(), "");
}

TEST_P(RegistryObject, ResolvesRelativePathsBelowTheCurrentKeyAndAbsoluteOnesBelowTheRoot) {
  ASSERT_TRUE(registry->EnterKey(kScratch));
  ASSERT_TRUE(registry->EnterKey("X"));
  EXPECT_EQ(registry->CurrentPath(), Scratch("X"));
  ASSERT_TRUE(registry->EnterKey("A"));
  EXPECT_EQ(registry->CurrentPath(), Scratch("X\\A"));

  ASSERT_TRUE(registry->EnterKey("\\" + Scratch("A")));
  EXPECT_EQ(registry->CurrentPath(), Scratch("A"));
  // A relative path with no key open resolves against the root.
  registry->LeaveKey();
  ASSERT_TRUE(registry->EnterKey(Scratch("X")));
  EXPECT_EQ(registry->CurrentPath(), Scratch("X"));
}

TEST_P(RegistryObject, FailedOpenLeavesTheCurrentKeyAndPathAsTheyWere) {
  ASSERT_TRUE(registry->EnterKey(Scratch("X")));
  const HKEY before = registry->CurrentKey();
  EXPECT_FALSE(registry->EnterKey("Missing"));
  EXPECT_FALSE(registry->EnterKey("\\" + Scratch("Missing")));
  EXPECT_EQ(registry->CurrentKey(), before);
  EXPECT_EQ(registry->CurrentPath(), Scratch("X"));
  // The key is still usable: a relative open below it works.
  EXPECT_TRUE(registry->EnterKey("A"));
}

TEST_P(RegistryObject, SelectRootKeepsTheKeyForTheSameRootAndClosesItForAnother) {
  ASSERT_TRUE(registry->EnterKey(Scratch("X")));
  registry->SelectRoot(HKEY_CURRENT_USER);
  EXPECT_NE(registry->CurrentKey(), nullptr);
  EXPECT_EQ(registry->CurrentPath(), Scratch("X"));

  registry->SelectRoot(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(registry->RootKey(), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(registry->CurrentKey(), nullptr);
  EXPECT_EQ(registry->CurrentPath(), "");
  EXPECT_FALSE(registry->EnterKey(Scratch("X"))) << "resolved against the new root";
}

TEST_P(RegistryObject, HandleOpensAndRawReadsReportFailureAndNeverMoveTheCurrentKey) {
  backend->SetText(HKEY_CURRENT_USER, Scratch("X\\A"), "Where", "below X");
  backend->SetValue(HKEY_CURRENT_USER, Scratch("X"), "Count", REG_DWORD,
                    std::string("\x2a\0\0\0", 4));
  backend->SetValue(HKEY_CURRENT_USER, Scratch("X"), "NoNul", REG_SZ, "abc");
  backend->SetValue(HKEY_CURRENT_USER, Scratch("X"), "OneByte", REG_BINARY, "\x01");
  ASSERT_TRUE(registry->EnterKey(Scratch("X")));
  const HKEY current = registry->CurrentKey();

  // Relative below the current key, absolute below the root, as EnterKey resolves them.
  for (const std::string& path : {std::string("A"), "\\" + Scratch("A")}) {
    const HKEY handle = registry->OpenKeyHandle(path);
    ASSERT_NE(handle, nullptr) << path;
    EXPECT_NE(handle, current);
    EXPECT_EQ(
        backend->Functions().QueryValueEx(handle, "Where", nullptr, nullptr, nullptr, nullptr),
        path == "A" ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND)
        << path;
    EXPECT_EQ(backend->Functions().CloseKey(handle), ERROR_SUCCESS);
  }
  EXPECT_EQ(registry->OpenKeyHandle("Missing"), nullptr);

  const ValueInfo count = registry->QueryValueInfo("Count");
  EXPECT_TRUE(count.Success);
  EXPECT_EQ(count.Type, REG_DWORD);
  EXPECT_EQ(count.Size, 4);
  EXPECT_FALSE(registry->QueryValueInfo("Missing").Success);
  EXPECT_EQ(registry->ValueSize("NoNul"), 3);
  EXPECT_EQ(registry->ValueSize("Missing"), -1);

  std::string buffer(8, '@');
  const ValueRead read = registry->ReadValue("Count", &buffer[0], 8);
  EXPECT_EQ(read.Type, REG_DWORD);
  EXPECT_EQ(read.Size, 4);
  EXPECT_EQ(buffer.substr(0, 4), std::string("\x2a\0\0\0", 4));
  // A missing value fails, and so does one larger than the buffer; a size of 0 or less offers
  // no room at all, never a byte (or four gigabytes) the buffer does not have.
  for (const auto& [name, size] :
       {std::pair<std::string, int>{"Missing", 2}, {"NoNul", 2}, {"OneByte", 0}, {"OneByte", -1}}) {
    buffer.assign(8, '@');
    try {
      registry->ReadValue(name, &buffer[0], size);
      ADD_FAILURE() << "no error raised for " << name << " into " << size << " bytes";
    } catch (const ERegistryException& error) {
      // The whole text as built: a NUL left at its end would show here.
      EXPECT_EQ(error.Message(), "Failed to get data for '" + name + "'");
    }
    EXPECT_EQ(buffer, std::string(8, '@')) << name << " into " << size << " bytes";
  }
  EXPECT_EQ(registry->CurrentKey(), current);
  EXPECT_EQ(registry->CurrentPath(), Scratch("X"));
}

TEST_P(RegistryObject, ReadsTextValuesAsStoredUpToTheFirstNul) {
  const std::string key = Scratch("Values");
  backend->SetText(HKEY_CURRENT_USER, key, "", "Default text");
  backend->SetText(HKEY_CURRENT_USER, key, "Empty", "");
  backend->SetText(HKEY_CURRENT_USER, key, "Expand", "%ProgramFiles%\\x.dll", REG_EXPAND_SZ);
  backend->SetValue(HKEY_CURRENT_USER, key, "NoNul", REG_SZ, "abc");
  backend->SetValue(HKEY_CURRENT_USER, key, "EmbeddedNul", REG_SZ, std::string("ab\0cd\0", 6));
  backend->SetValue(HKEY_CURRENT_USER, key, "ZeroBytes", REG_SZ, "");
  ASSERT_TRUE(registry->EnterKey(key));

  EXPECT_EQ(registry->ReadText(""), "Default text");
  EXPECT_EQ(registry->ReadText("Empty"), "");
  EXPECT_EQ(registry->ReadText("Expand"), "%ProgramFiles%\\x.dll") << "must stay unexpanded";
  EXPECT_EQ(registry->ReadText("NoNul"), "abc");
  EXPECT_EQ(registry->ReadText("EmbeddedNul"), "ab");
  EXPECT_EQ(registry->ReadText("ZeroBytes"), "");
  EXPECT_EQ(registry->ReadText("Missing"), "") << "a missing value is not an error";
}

TEST_P(RegistryObject, ReadTextOfReadsAnotherKeysTextWithItsTypeAndFailsClosed) {
  const std::string key = Scratch("Server");
  backend->SetText(HKEY_CURRENT_USER, key, "", "%ProgramFiles%\\x.dll", REG_EXPAND_SZ);
  backend->SetValue(HKEY_CURRENT_USER, key, "Count", REG_DWORD, std::string("\x2a\0\0\0", 4));
  ASSERT_TRUE(registry->EnterKey(Scratch("X")));
  TextValue value;
  ASSERT_TRUE(registry->ReadTextOf("\\" + key, "", value));
  EXPECT_EQ(value.Text, "%ProgramFiles%\\x.dll");
  EXPECT_EQ(value.Type, REG_EXPAND_SZ);
  ASSERT_TRUE(registry->ReadTextOf("A", "Missing", value));
  EXPECT_EQ(value.Text, "");
  // A key that does not open and a value that is no text read as nothing, and fail: the caller
  // must never act on what an earlier read left.
  for (const auto& [path, name] :
       {std::pair<std::string, std::string>{"Missing", ""}, {"\\" + key, "Count"}}) {
    value = TextValue{"stale", REG_SZ};
    EXPECT_FALSE(registry->ReadTextOf(path, name, value)) << path << " " << name;
    EXPECT_EQ(value.Text, "") << path << " " << name;
    EXPECT_EQ(value.Type, REG_NONE) << path << " " << name;
  }
  EXPECT_EQ(registry->CurrentPath(), Scratch("X"));
}

TEST_P(RegistryObject, RaisesForValuesThatAreNotTextUnlessTheyAreEmpty) {
  const std::string key = Scratch("Values");
  backend->SetValue(HKEY_CURRENT_USER, key, "Count", REG_DWORD, std::string("\x2a\0\0\0", 4));
  backend->SetValue(HKEY_CURRENT_USER, key, "", REG_BINARY, "\x01\x02");
  backend->SetValue(HKEY_CURRENT_USER, key, "NoBytes", REG_BINARY, "");
  ASSERT_TRUE(registry->EnterKey(key));
  EXPECT_EQ(registry->ReadText("NoBytes"), "") << "empty whatever its type, as empty text is";
  try {
    registry->ReadText("Count");
    FAIL() << "no error raised";
  } catch (const ERegistryException& error) {
    EXPECT_EQ(error.Message(), "Invalid data type for 'Count'");
  }
  EXPECT_THROW(registry->ReadText(""), ERegistryException);
  EXPECT_EQ(registry->CurrentPath(), key) << "a raise leaves the object as it was";
}

TEST_P(RegistryObject, ReadTextTakesOnlyTheBytesReadAndRaisesWhenTheValueGrowsOrVanishes) {
  SKIP_UNLESS_STAND_IN();
  const std::string key = Scratch("Values");
  backend->SetText(HKEY_CURRENT_USER, key, "Path", "short");
  ASSERT_TRUE(registry->EnterKey(key));
  StandInRegistry& standIn = *backend->StandIn();

  standIn.AfterNextSizeQuery(
      [&] { standIn.SetText(HKEY_CURRENT_USER, key, "Path", "a much longer text"); });
  EXPECT_THROW(registry->ReadText("Path"), ERegistryException);

  // Only the bytes read are the value: what follows them in the buffer is undefined.
  standIn.ScribbleBeyondReads();
  standIn.AfterNextSizeQuery(
      [&] { standIn.SetValue(HKEY_CURRENT_USER, key, "Path", REG_SZ, "x"); });
  EXPECT_EQ(registry->ReadText("Path"), "x") << "a value that shrank is read as it is now";

  standIn.AfterNextSizeQuery([&] { standIn.DeleteValue(HKEY_CURRENT_USER, key, "Path"); });
  try {
    registry->ReadText("Path");
    FAIL() << "no error raised";
  } catch (const ERegistryException& error) {
    EXPECT_EQ(error.Message(), "Failed to get data for 'Path'");
  }

  backend->SetText(HKEY_CURRENT_USER, key, "Path", "short");
  standIn.AfterNextSizeQuery([&] { standIn.SetValue(HKEY_CURRENT_USER, key, "Path", REG_SZ, ""); });
  EXPECT_EQ(registry->ReadText("Path"), "") << "so is one that shrank to nothing";
}

// A query that fails after writing to every output, as a failed call may.
LONG WINAPI ScribblingQueryInfoKey(HKEY, LPSTR, LPDWORD, LPDWORD, LPDWORD subKeys,
                                   LPDWORD maxSubKeyLength, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                                   LPDWORD, PFILETIME) {
  for (LPDWORD out : {subKeys, maxSubKeyLength}) {
    if (out != nullptr) *out = 0xFFFFFFFF;
  }
  return ERROR_INVALID_HANDLE;
}

TEST_P(RegistryObject, QueryKeyInfoMeasuresNamesUndoubledInASingleByteCodePageAndZeroOnFailure) {
#ifdef _WIN32
  ASSERT_EQ(GetACP(), 1252u) << "the test prefix's code page, which the lengths below assume";
#endif
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Info\\Short"));
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Info\\" + std::string(255, 'n')));
  ASSERT_TRUE(registry->EnterKey(Scratch("Info")));
  KeyInfo info;
  ASSERT_TRUE(registry->QueryKeyInfo(info));
  EXPECT_EQ(info.NumSubKeys, 2);
  EXPECT_EQ(info.MaxSubKeyLen, 255);

  registry->LeaveKey();
  EXPECT_FALSE(registry->QueryKeyInfo(info));
  EXPECT_EQ(info.NumSubKeys, 0);
  EXPECT_EQ(info.MaxSubKeyLen, 0);
  RegistryFunctions scribbling = backend->Functions();
  scribbling.QueryInfoKey = &ScribblingQueryInfoKey;
  TRegistry scribbled(scribbling);
  ASSERT_TRUE(scribbled.EnterKey(Scratch("Info")));
  EXPECT_FALSE(scribbled.QueryKeyInfo(info));
  EXPECT_EQ(info.NumSubKeys, 0);
  EXPECT_EQ(info.MaxSubKeyLen, 0);
}

TEST_P(RegistryObject, ListsSubkeyNamesInEnumerationOrderReplacingTheListsContents) {
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("List\\beta"));
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("List\\Alpha"));
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("List\\{A0B1C2D3-0000-4000-8000-000000000001}"));
  ASSERT_TRUE(registry->EnterKey(Scratch("List")));
  TStringList names;
  names.Add("stale");
  registry->ListSubkeyNames(names);
  ASSERT_EQ(names.Count(), 3);
  EXPECT_EQ(names[0], "Alpha");
  EXPECT_EQ(names[1], "beta");
  EXPECT_EQ(names[2], "{A0B1C2D3-0000-4000-8000-000000000001}");

  ASSERT_TRUE(registry->EnterKey("Alpha"));
  registry->ListSubkeyNames(names);
  EXPECT_EQ(names.Count(), 0);
}

TEST_P(RegistryObject, ListingAKeyWithoutSubkeysMakesNoEnumerationCall) {
  SKIP_UNLESS_STAND_IN();
  ASSERT_TRUE(registry->EnterKey(Scratch("A")));
  backend->StandIn()->ResetCalls();
  TStringList names;
  registry->ListSubkeyNames(names);
  EXPECT_EQ(backend->StandIn()->Calls().EnumKeyEx, 0);
  EXPECT_TRUE(registry->RemoveKeyTree("\\" + Scratch("A")));
  EXPECT_EQ(backend->StandIn()->Calls().EnumKeyEx, 0);
}

TEST_P(RegistryObject, AFailedEnumerationAddsNoName) {
  SKIP_UNLESS_STAND_IN();
  for (const char* name : {"One", "Two", "Three"}) {
    backend->CreateKey(HKEY_CURRENT_USER, Scratch(std::string("List\\") + name));
  }
  ASSERT_TRUE(registry->EnterKey(Scratch("List")));
  backend->StandIn()->FailEnumeration(HKEY_CURRENT_USER, Scratch("List"), 1, ERROR_NO_MORE_ITEMS);
  TStringList names;
  registry->ListSubkeyNames(names);
  ASSERT_EQ(names.Count(), 2) << "no empty or stale name for the failed index";
  EXPECT_EQ(names[0], "One");
  EXPECT_EQ(names[1], "Two");
}

TEST_P(RegistryObject, RemoveKeyTreeDeletesEveryBranchBelowTheCurrentKeyOrTheRoot) {
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Tree\\B\\C\\D"));
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Tree\\B\\E"));
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Tree\\F"));
  backend->SetText(HKEY_CURRENT_USER, Scratch("Tree\\B\\C"), "v", "x");
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("TreeSibling"));
  ASSERT_TRUE(registry->EnterKey(kScratch));

  EXPECT_TRUE(registry->RemoveKeyTree("Tree"));
  EXPECT_FALSE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Tree")));
  EXPECT_TRUE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("TreeSibling")));

  registry->LeaveKey();
  EXPECT_TRUE(registry->RemoveKeyTree("\\" + Scratch("X")));
  EXPECT_FALSE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("X")));
}

TEST_P(RegistryObject, RemoveKeyTreeOfAMissingKeyReturnsFalseAndRaisesNothing) {
  ASSERT_TRUE(registry->EnterKey(kScratch));
  EXPECT_FALSE(registry->RemoveKeyTree("Missing"));
  EXPECT_FALSE(registry->RemoveKeyTree("\\" + Scratch("Missing\\Deeper")));
  EXPECT_EQ(registry->CurrentPath(), kScratch);
}

TEST_P(RegistryObject, RemoveKeyTreeNeverTakesAPathToItsBaseForAKeyBelowIt) {
  ASSERT_TRUE(registry->EnterKey(kScratch));
  for (const char* base : {"", "\\", "\\\\", "\\\\\\"}) {
    EXPECT_FALSE(registry->RemoveKeyTree(base)) << '"' << base << '"';
  }
  EXPECT_TRUE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("X\\A")));
  EXPECT_TRUE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("A")));
  registry->LeaveKey();
  EXPECT_FALSE(registry->RemoveKeyTree(""));
  EXPECT_TRUE(backend->KeyExists(HKEY_CURRENT_USER, kScratch));
  // Below HKEY_CLASSES_ROOT the registry drops one leading backslash, so "\\\\" is the root
  // itself. Only the stand-in: where this fault is back, a Wine prefix would lose every class.
  if (backend->StandIn() != nullptr) {
    backend->CreateKey(HKEY_CLASSES_ROOT, "CLSID\\{5E11A000-0000-4000-8000-0000000000C1}");
    registry->SelectRoot(HKEY_CLASSES_ROOT);
    EXPECT_FALSE(registry->RemoveKeyTree("\\\\"));
    EXPECT_TRUE(
        backend->KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{5E11A000-0000-4000-8000-0000000000C1}"));
  }
}

TEST_P(RegistryObject, RemoveKeyTreeDeletesLinksAsLinksAndNeverWhatTheyName) {
  const std::string vendor = std::string(kMachineTestsKey) + "\\Vendor";
  const std::string vendorPath = backend->NativeMachinePath(kMachineTestsKey) + "\\Vendor";
  backend->CreateKey(HKEY_LOCAL_MACHINE, vendor + "\\Settings\\Deep");
  backend->CreateKey(HKEY_LOCAL_MACHINE, vendor + "\\Leaf");
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Tree\\Settings"), vendorPath + "\\Settings");
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Tree\\B\\Leaf"), vendorPath + "\\Leaf");
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Linked"), vendorPath);
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Dangling"), vendorPath + "\\Missing");
  ASSERT_TRUE(registry->EnterKey(kScratch));

  EXPECT_TRUE(registry->RemoveKeyTree("Tree"));
  EXPECT_TRUE(registry->RemoveKeyTree("Linked")) << "a registration key that is itself a link";
  EXPECT_TRUE(registry->RemoveKeyTree("Dangling"));
  for (const char* gone : {"Tree", "Linked", "Dangling"}) {
    EXPECT_FALSE(registry->KeyExists(gone)) << gone;
  }
  EXPECT_TRUE(backend->KeyExists(HKEY_LOCAL_MACHINE, vendor + "\\Settings\\Deep"));
  EXPECT_TRUE(backend->KeyExists(HKEY_LOCAL_MACHINE, vendor + "\\Leaf"));
}

TEST_P(RegistryObject, RemoveKeyTreeNeverTakesANameSpelledWithABackslashForAPath) {
#ifdef _WIN32
  if (backend->StandIn() != nullptr) GTEST_SKIP() << "needs the system's ANSI spelling of names";
  // The enumeration spells a full-width backslash as '\\': opened, "a\\b" would go through the
  // link "a" and reach a key outside the tree.
  const std::string vendor = std::string(kMachineTestsKey) + "\\Vendor";
  backend->CreateKey(HKEY_LOCAL_MACHINE, vendor + "\\b");
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Tree\\a"),
                      backend->NativeMachinePath(kMachineTestsKey) + "\\Vendor");
  CreateWideKey(HKEY_CURRENT_USER,
                L"Software\\Velloran Tests\\Tree\\a\xff3c"
                L"b");
  ASSERT_TRUE(registry->EnterKey(Scratch("Tree")));
  TStringList names;
  registry->ListSubkeyNames(names);
  ASSERT_EQ(names.Count(), 2);
  ASSERT_EQ(names[1], "a\\b");

  EXPECT_FALSE(registry->RemoveKeyTree("\\" + Scratch("Tree"))) << "the oddly named key is left";
  EXPECT_TRUE(backend->KeyExists(HKEY_LOCAL_MACHINE, vendor + "\\b"));
#else
  GTEST_SKIP() << "needs the system's ANSI spelling of names";
#endif
}

TEST_P(RegistryObject, KeyExistsAlsoForAKeyThatRefusesEveryOpen) {
  ASSERT_TRUE(registry->EnterKey(kScratch));
  EXPECT_TRUE(registry->KeyExists("X"));
  EXPECT_FALSE(registry->KeyExists("Missing"));
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Dangling"),
                      backend->NativeMachinePath(kMachineTestsKey) + "\\Missing");
  EXPECT_TRUE(registry->KeyExists("Dangling")) << "a link is there whatever it names";
  if (backend->StandIn() != nullptr) {
    backend->StandIn()->DenyFullAccess(HKEY_CURRENT_USER, Scratch("A"), true);
    EXPECT_FALSE(registry->EnterKey("A"));
    EXPECT_TRUE(registry->KeyExists("A"));
  }
}

TEST_P(RegistryObject, ClosesEveryHandleItOpened) {
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Tree\\B\\C"));
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Tree\\Link"),
                      backend->NativeMachinePath(kMachineTestsKey));
  const int before = backend->OpenHandleCount();
  ASSERT_TRUE(registry->EnterKey(kScratch));
  ASSERT_TRUE(registry->EnterKey("X"));
  EXPECT_TRUE(registry->KeyExists("A"));
  ASSERT_TRUE(registry->EnterKey("\\" + kScratch));
  TStringList names;
  registry->ListSubkeyNames(names);
  EXPECT_TRUE(registry->RemoveKeyTree("Tree"));
  registry.reset();
  EXPECT_EQ(backend->OpenHandleCount(), before);
}

TEST_P(RegistryObject, RemoveKeyTreeDeletesATree512LevelsDeep) {
  std::string deep = Scratch("Deep");
  for (int level = 0; level < 512; ++level) deep += "\\L";
  backend->CreateKey(HKEY_CURRENT_USER, deep);
  const int before = backend->OpenHandleCount();
  ASSERT_TRUE(registry->EnterKey(kScratch));
  EXPECT_TRUE(registry->RemoveKeyTree("Deep"));
  EXPECT_FALSE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Deep")));
  registry->LeaveKey();
  EXPECT_EQ(backend->OpenHandleCount(), before);
}

// A table whose enumeration throws, as a failed allocation would inside the tree walk.
int enumCallsBeforeThrow = 0;
LONG WINAPI ThrowingEnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD length, LPDWORD reserved,
                              LPSTR className, LPDWORD classLength, PFILETIME written) {
  if (--enumCallsBeforeThrow < 0) throw std::bad_alloc();
  return StandInRegistry::Functions().EnumKeyEx(key, index, name, length, reserved, className,
                                                classLength, written);
}

TEST_P(RegistryObject, RemoveKeyTreeClosesItsHandlesWhenSomethingThrows) {
  SKIP_UNLESS_STAND_IN();
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Tree\\B\\C\\D"));
  RegistryFunctions throwing = StandInRegistry::Functions();
  throwing.EnumKeyEx = &ThrowingEnumKeyEx;
  TRegistry walker(throwing);
  ASSERT_TRUE(walker.EnterKey(kScratch));
  const int before = backend->OpenHandleCount();
  enumCallsBeforeThrow = 2;  // thrown three levels down
  EXPECT_THROW(walker.RemoveKeyTree("Tree"), std::bad_alloc);
  EXPECT_EQ(backend->OpenHandleCount(), before);
  EXPECT_TRUE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Tree\\B\\C\\D")));
}

TEST(RegistryNames, LengthsDoubleWithoutOverflowAndABackslashAnywhereMakesAPath) {
  EXPECT_EQ(SaturatedCount(255, 1), 255);
  EXPECT_EQ(SaturatedCount(255, 2), 510);
  EXPECT_EQ(SaturatedCount(0x7FFFFFFFu, 2), 0x7FFFFFFF);
  EXPECT_EQ(SaturatedCount(0x40000000u, 4), 0x7FFFFFFF);
  EXPECT_EQ(SaturatedCount(0xFFFFFFFFu, 1), 0x7FFFFFFF) << "never negative";
  EXPECT_EQ(SaturatedCount(0xFFFFFFFFu, 0xFFFFFFFFu), 0x7FFFFFFF);
  for (const char* path : {"a\\b", "\\ab", "ab\\", "\\"}) EXPECT_TRUE(ActsAsPath(path)) << path;
  for (const char* name : {"", "ab", "{5E11A000-0000-4000-8000-0000000000C1}"}) {
    EXPECT_FALSE(ActsAsPath(name)) << name;
  }
}

}  // namespace

INSTANTIATE_FOR_EVERY_BACKEND(RegistryObject);
