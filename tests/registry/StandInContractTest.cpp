// The seven registry functions as the program calls them, against every backend: what holds for
// Wine's registry must hold for the stand-in. Output buffers are pre-filled with sentinels so
// that a write where none belongs shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/BackendTest.h"

namespace {

const std::string kScratch = "Software\\Velloran Tests\\Contract";
const std::string kClass1 = "{5E11A000-0000-4000-8000-0000000000C1}";
const std::string kClass2 = "{5E11A000-0000-4000-8000-0000000000C2}";
constexpr char kSentinel = '@';
constexpr DWORD kDwordSentinel = 0x5EED5EED;
const HKEY kHandleSentinel = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x5EED5EE0));

std::string Filled(std::size_t size) { return std::string(size, kSentinel); }
LPBYTE Bytes(std::string& buffer) { return reinterpret_cast<LPBYTE>(&buffer[0]); }

// A key opened for the length of a test and closed at its end.
class OpenedKey {
 public:
  OpenedKey(const RegistryFunctions& functions, HKEY base, const std::string& path,
            REGSAM access = KEY_ALL_ACCESS)
      : functions_(functions) {
    status_ = functions.OpenKeyEx(base, path.c_str(), 0, access, &key_);
  }
  ~OpenedKey() {
    if (status_ == ERROR_SUCCESS) {
      EXPECT_EQ(functions_.CloseKey(key_), ERROR_SUCCESS);
    }
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;

  LONG Status() const { return status_; }
  operator HKEY() const { return key_; }

 private:
  const RegistryFunctions& functions_;
  HKEY key_ = nullptr;
  LONG status_;
};

class RegistryContract : public testing::TestWithParam<BackendKind> {
 protected:
  void SetUp() override {
    backend = MakeBackend(GetParam());
    backend->CreateKey(HKEY_CURRENT_USER, kScratch);
  }
  void TearDown() override {
    if (backend->StandIn() != nullptr) {
      EXPECT_EQ(backend->StandIn()->OpenHandleCount(), 0) << "a handle was left open";
    }
    backend.reset();
  }

  const RegistryFunctions& Reg() const { return backend->Functions(); }
  static std::string Scratch(const std::string& below) { return kScratch + "\\" + below; }

  std::vector<std::string> SubkeyNames(HKEY key) const {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD length = sizeof name;
      const LONG status =
          Reg().EnumKeyEx(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) return names;
      if (status != ERROR_SUCCESS) {
        ADD_FAILURE() << "RegEnumKeyExA at " << index << " gave " << status;
        return names;
      }
      names.emplace_back(name, length);
    }
  }

  std::unique_ptr<RegistryBackend> backend;
};

TEST_P(RegistryContract, PredefinedRootsOpenAsThemselvesAndCloseWithoutError) {
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
    SCOPED_TRACE(testing::Message() << "root " << root);
    for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
      HKEY opened = kHandleSentinel;
      EXPECT_EQ(Reg().OpenKeyEx(root, empty, 0, KEY_ALL_ACCESS, &opened), ERROR_SUCCESS);
      EXPECT_EQ(opened, root) << "no subkey: the root itself, not a new handle";
    }
    EXPECT_EQ(Reg().QueryInfoKey(root, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(Reg().CloseKey(root), ERROR_SUCCESS);
  }
  DWORD subkeys = kDwordSentinel;
  EXPECT_EQ(Reg().QueryInfoKey(HKEY_LOCAL_MACHINE, nullptr, nullptr, nullptr, &subkeys, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_GE(subkeys, 1u) << "HKLM holds at least SOFTWARE";
}

TEST_P(RegistryContract, NamesAreCaseInsensitiveAndKeepTheirFirstSpelling) {
  backend->SetText(HKEY_CURRENT_USER, Scratch("MixedCase"), "ValueName", "v");
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("MIXEDCASE\\Child"));
  OpenedKey scratch(Reg(), HKEY_CURRENT_USER, kScratch);
  ASSERT_EQ(scratch.Status(), ERROR_SUCCESS);
  EXPECT_EQ(SubkeyNames(scratch), std::vector<std::string>{"MixedCase"});

  OpenedKey lower(Reg(), HKEY_CURRENT_USER, "software\\velloran tests\\contract\\mixedcase");
  ASSERT_EQ(lower.Status(), ERROR_SUCCESS);
  EXPECT_EQ(SubkeyNames(lower), std::vector<std::string>{"Child"});
  DWORD size = kDwordSentinel;
  EXPECT_EQ(Reg().QueryValueEx(lower, "VALUENAME", nullptr, nullptr, nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
}

TEST_P(RegistryContract, EnumeratesSubkeysInLowerCasedOrder) {
  for (const char* name : {"B", "Ab_", "a^", "A~", "AB", "a", "A[", "a`", "A_B"}) {
    backend->CreateKey(HKEY_CURRENT_USER, Scratch(std::string("Order\\") + name));
  }
  OpenedKey order(Reg(), HKEY_CURRENT_USER, Scratch("Order"));
  ASSERT_EQ(order.Status(), ERROR_SUCCESS);
  // Lower-cased, '[' '^' '_' '`' all sort below 'b'; upper-cased they would sort above 'B'.
  EXPECT_EQ(SubkeyNames(order),
            (std::vector<std::string>{"a", "A[", "a^", "A_B", "a`", "AB", "Ab_", "A~", "B"}));
}

TEST_P(RegistryContract, SubkeyNamesHoldUpTo255CharactersAndNoEmptyOrSplitName) {
  const std::string longest(255, 'n');
  backend->CreateKey(HKEY_CURRENT_USER, Scratch(longest));
  OpenedKey scratch(Reg(), HKEY_CURRENT_USER, kScratch);
  ASSERT_EQ(scratch.Status(), ERROR_SUCCESS);
  DWORD maxLength = kDwordSentinel;
  EXPECT_EQ(Reg().QueryInfoKey(scratch, nullptr, nullptr, nullptr, nullptr, &maxLength, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(maxLength, 255u);
  EXPECT_EQ(SubkeyNames(scratch), std::vector<std::string>{longest});
  // Its full path is too long for one ANSI call; relative to its parent it opens.
  OpenedKey relative(Reg(), scratch, longest);
  EXPECT_EQ(relative.Status(), ERROR_SUCCESS);
  OpenedKey absolute(Reg(), HKEY_CURRENT_USER, Scratch(longest));
  EXPECT_EQ(absolute.Status(), ERROR_MORE_DATA);

  // A backslash always separates two names, so no name can hold one.
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Outer\\Inner"));
  EXPECT_TRUE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Outer")));
  for (const std::string& bad : {Scratch(std::string(256, 'n')), Scratch("Empty\\\\Inside"),
                                 "\\" + kScratch, Scratch("Trailing\\")}) {
    SCOPED_TRACE(bad.substr(0, 60));
    EXPECT_THROW(backend->CreateKey(HKEY_CURRENT_USER, bad), std::invalid_argument);
  }
}

TEST_P(RegistryContract, OpeningAnEmptySubkeyGivesASecondHandleToTheSameKey) {
  backend->SetText(HKEY_CURRENT_USER, Scratch("Same"), "v", "x");
  OpenedKey first(Reg(), HKEY_CURRENT_USER, Scratch("Same"));
  ASSERT_EQ(first.Status(), ERROR_SUCCESS);
  for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
    HKEY second = kHandleSentinel;
    ASSERT_EQ(Reg().OpenKeyEx(first, empty, 0, KEY_ALL_ACCESS, &second), ERROR_SUCCESS);
    EXPECT_NE(second, static_cast<HKEY>(first));
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(Reg().QueryValueEx(second, "v", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(Reg().CloseKey(second), ERROR_SUCCESS);
  }
  EXPECT_EQ(Reg().QueryValueEx(first, "v", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS)
      << "closing the second handle leaves the first open";
}

TEST_P(RegistryContract, PathsMayEndInBackslashesButNeverStartWithOne) {
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Parent\\Child"));
  for (const std::string& path :
       {Scratch("Parent\\Child\\"), Scratch("Parent\\\\Child"), Scratch("Parent\\Child\\\\")}) {
    OpenedKey key(Reg(), HKEY_CURRENT_USER, path);
    EXPECT_EQ(key.Status(), ERROR_SUCCESS) << path;
  }
  HKEY opened = kHandleSentinel;
  EXPECT_EQ(Reg().OpenKeyEx(HKEY_CURRENT_USER, ("\\" + kScratch).c_str(), 0, KEY_READ, &opened),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(opened, nullptr);

  // Below HKEY_CLASSES_ROOT, and only there, one leading backslash is dropped.
  backend->CreateKey(HKEY_CLASSES_ROOT, "CLSID\\" + kClass1);
  OpenedKey classKey(Reg(), HKEY_CLASSES_ROOT, "\\CLSID\\" + kClass1);
  EXPECT_EQ(classKey.Status(), ERROR_SUCCESS);
  opened = kHandleSentinel;
  EXPECT_EQ(
      Reg().OpenKeyEx(HKEY_CLASSES_ROOT, ("\\\\CLSID\\" + kClass1).c_str(), 0, KEY_READ, &opened),
      ERROR_BAD_PATHNAME);
  EXPECT_EQ(opened, nullptr);
}

TEST_P(RegistryContract, AFailedOpenClearsTheHandleUnlessTheBaseIsNullOrThePathTooLong) {
  struct Case {
    HKEY base;
    std::string path;
    LONG status;
  };
  const HKEY unknown = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x0BADF00C));
  const std::string longest = Scratch(std::string(260 - kScratch.size() - 1, 'p'));
  for (const Case& failure :
       {Case{HKEY_CURRENT_USER, Scratch("Missing"), ERROR_FILE_NOT_FOUND},
        Case{HKEY_CURRENT_USER, Scratch("Missing\\Deeper"), ERROR_FILE_NOT_FOUND},
        Case{unknown, "Software", ERROR_INVALID_HANDLE},
        Case{HKEY_CURRENT_USER, longest, ERROR_FILE_NOT_FOUND}}) {
    SCOPED_TRACE(failure.path.substr(0, 60));
    HKEY opened = kHandleSentinel;
    EXPECT_EQ(Reg().OpenKeyEx(failure.base, failure.path.c_str(), 0, KEY_READ, &opened),
              failure.status);
    EXPECT_EQ(opened, nullptr);
  }
  // Wine converts the path into a buffer of 260 characters before it clears the out-handle.
  HKEY opened = kHandleSentinel;
  EXPECT_EQ(Reg().OpenKeyEx(HKEY_CURRENT_USER, (longest + "p").c_str(), 0, KEY_READ, &opened),
            ERROR_MORE_DATA);
  EXPECT_EQ(opened, kHandleSentinel);
  EXPECT_EQ(Reg().DeleteKey(HKEY_CURRENT_USER, (longest + "p").c_str()), ERROR_MORE_DATA);
  EXPECT_EQ(Reg().OpenKeyEx(nullptr, "Software", 0, KEY_READ, &opened), ERROR_INVALID_HANDLE);
  EXPECT_EQ(opened, kHandleSentinel);
}

TEST_P(RegistryContract, AHandleAllowsOnlyWhatItWasOpenedFor) {
  backend->SetText(HKEY_CURRENT_USER, Scratch("Rights\\Sub"), "", "x");
  char name[16];
  DWORD length = sizeof name;
  OpenedKey enumerateOnly(Reg(), HKEY_CURRENT_USER, Scratch("Rights"), KEY_ENUMERATE_SUB_KEYS);
  ASSERT_EQ(enumerateOnly.Status(), ERROR_SUCCESS);
  EXPECT_EQ(Reg().EnumKeyEx(enumerateOnly, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(Reg().QueryValueEx(enumerateOnly, "", nullptr, nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(Reg().QueryInfoKey(enumerateOnly, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "Wine asks no right for the key's information";

  OpenedKey queryOnly(Reg(), HKEY_CURRENT_USER, Scratch("Rights\\Sub"), KEY_QUERY_VALUE);
  ASSERT_EQ(queryOnly.Status(), ERROR_SUCCESS);
  length = sizeof name;
  EXPECT_EQ(Reg().EnumKeyEx(queryOnly, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(Reg().QueryValueEx(queryOnly, "", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_P(RegistryContract, AKeyDeniedFullAccessOpensOnlyForReading) {
  SKIP_UNLESS_STAND_IN();
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Locked"));
  backend->StandIn()->DenyFullAccess(HKEY_CURRENT_USER, Scratch("Locked"));
  HKEY opened = kHandleSentinel;
  EXPECT_EQ(
      Reg().OpenKeyEx(HKEY_CURRENT_USER, Scratch("Locked").c_str(), 0, KEY_ALL_ACCESS, &opened),
      ERROR_ACCESS_DENIED);
  EXPECT_EQ(opened, nullptr);
  EXPECT_EQ(Reg().DeleteKey(HKEY_CURRENT_USER, Scratch("Locked").c_str()), ERROR_ACCESS_DENIED);
  OpenedKey reading(Reg(), HKEY_CURRENT_USER, Scratch("Locked"), KEY_READ);
  EXPECT_EQ(reading.Status(), ERROR_SUCCESS);
  EXPECT_THROW(backend->StandIn()->DenyFullAccess(HKEY_CURRENT_USER, Scratch("Missing")),
               std::invalid_argument);
}

TEST_P(RegistryContract, QueryInfoKeyCountsSubkeysAndValuesAndMeasuresTheirNames) {
  for (const char* name : {"a", "Bcd", "LongestName"}) {
    backend->CreateKey(HKEY_CURRENT_USER, Scratch(std::string("Info\\") + name));
  }
  backend->SetText(HKEY_CURRENT_USER, Scratch("Info"), "abc", "hello");
  backend->SetValue(HKEY_CURRENT_USER, Scratch("Info"), "d", REG_DWORD, std::string(4, '\0'));
  OpenedKey info(Reg(), HKEY_CURRENT_USER, Scratch("Info"));
  ASSERT_EQ(info.Status(), ERROR_SUCCESS);

  std::string className = Filled(4);
  DWORD classLength = 4, subkeys = kDwordSentinel, maxSubkey = kDwordSentinel,
        maxClass = kDwordSentinel, values = kDwordSentinel, maxValueName = kDwordSentinel,
        maxData = kDwordSentinel;
  FILETIME written{kDwordSentinel, kDwordSentinel};
  ASSERT_EQ(Reg().QueryInfoKey(info, &className[0], &classLength, nullptr, &subkeys, &maxSubkey,
                               &maxClass, &values, &maxValueName, &maxData, nullptr, &written),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 3u);
  EXPECT_EQ(maxSubkey, 11u) << "\"LongestName\" without its NUL";
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxValueName, 3u);
  EXPECT_EQ(maxData, 12u) << "\"hello\" and its NUL as UTF-16";
  EXPECT_EQ(classLength, 0u);
  EXPECT_EQ(maxClass, 0u);
  EXPECT_EQ(className, std::string("\0@@@", 4));
  EXPECT_NE(written.dwHighDateTime, kDwordSentinel);

  EXPECT_EQ(Reg().QueryInfoKey(info, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "every out-argument is optional";
  EXPECT_EQ(Reg().QueryInfoKey(info, &className[0], nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER)
      << "a class buffer needs its length";

  // The longest name is measured anew, not remembered from the longest there ever was.
  ASSERT_EQ(Reg().DeleteKey(info, "LongestName"), ERROR_SUCCESS);
  EXPECT_EQ(Reg().QueryInfoKey(info, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 2u);
  EXPECT_EQ(maxSubkey, 3u);

  OpenedKey empty(Reg(), info, "a");
  ASSERT_EQ(empty.Status(), ERROR_SUCCESS);
  FILETIME emptyWritten{};
  EXPECT_EQ(Reg().QueryInfoKey(empty, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr,
                               &values, nullptr, nullptr, nullptr, &emptyWritten),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 0u);
  EXPECT_EQ(maxSubkey, 0u);
  EXPECT_EQ(values, 0u);
  // Enumeration reports the same time of last write as the key itself.
  char name[8];
  DWORD length = sizeof name;
  FILETIME enumerated{kDwordSentinel, kDwordSentinel};
  ASSERT_EQ(Reg().EnumKeyEx(info, 0, name, &length, nullptr, nullptr, nullptr, &enumerated),
            ERROR_SUCCESS);
  EXPECT_EQ(enumerated.dwLowDateTime, emptyWritten.dwLowDateTime);
  EXPECT_EQ(enumerated.dwHighDateTime, emptyWritten.dwHighDateTime);
}

TEST_P(RegistryContract, EnumKeyExNeedsRoomForTheNulAndTouchesNothingOtherwise) {
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Enum\\a"));
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Enum\\Bcd"));
  OpenedKey key(Reg(), HKEY_CURRENT_USER, Scratch("Enum"));
  ASSERT_EQ(key.Status(), ERROR_SUCCESS);

  for (DWORD tooShort : {0u, 3u}) {
    std::string buffer = Filled(8);
    DWORD length = tooShort;
    EXPECT_EQ(Reg().EnumKeyEx(key, 1, &buffer[0], &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(length, tooShort) << "the length is not set to what would be needed";
    EXPECT_EQ(buffer, Filled(8));
  }
  std::string buffer = Filled(8);
  DWORD length = 4;
  ASSERT_EQ(Reg().EnumKeyEx(key, 1, &buffer[0], &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(length, 3u) << "the name's length without its NUL";
  EXPECT_EQ(buffer, std::string("Bcd\0@@@@", 8));

  buffer = Filled(8);
  length = 8;
  EXPECT_EQ(Reg().EnumKeyEx(key, 2, &buffer[0], &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(buffer, Filled(8));
  DWORD reserved = 0;
  EXPECT_EQ(Reg().EnumKeyEx(key, 0, &buffer[0], &length, &reserved, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST_P(RegistryContract, QueryValueExReportsTypeAndSizeAndReadsEachTypeExactly) {
  struct Case {
    const char* name;
    DWORD type;
    std::string data;
  };
  const std::vector<Case> cases{{"Text", REG_SZ, std::string("C:\\x.dll\0", 9)},
                                {"Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\y.dll\0", 19)},
                                {"Number", REG_DWORD, std::string("\x2a\0\0\0", 4)},
                                {"Bytes", REG_BINARY, std::string("\0\x01\xfe\xff", 4)}};
  for (const Case& value : cases) {
    backend->SetValue(HKEY_CURRENT_USER, Scratch("Values"), value.name, value.type, value.data);
  }
  OpenedKey key(Reg(), HKEY_CURRENT_USER, Scratch("Values"));
  ASSERT_EQ(key.Status(), ERROR_SUCCESS);
  for (const Case& value : cases) {
    SCOPED_TRACE(value.name);
    const DWORD size = static_cast<DWORD>(value.data.size());
    DWORD type = kDwordSentinel, length = kDwordSentinel;
    ASSERT_EQ(Reg().QueryValueEx(key, value.name, nullptr, &type, nullptr, &length), ERROR_SUCCESS);
    EXPECT_EQ(type, value.type);
    EXPECT_EQ(length, size);

    std::string buffer = Filled(size + 4);
    type = kDwordSentinel;
    length = size;
    ASSERT_EQ(Reg().QueryValueEx(key, value.name, nullptr, &type, Bytes(buffer), &length),
              ERROR_SUCCESS);
    EXPECT_EQ(type, value.type);
    EXPECT_EQ(length, size);
    EXPECT_EQ(buffer, value.data + Filled(4));

    // One byte short: nothing is written but the type and the size needed.
    buffer = Filled(size + 4);
    type = kDwordSentinel;
    length = size - 1;
    EXPECT_EQ(Reg().QueryValueEx(key, value.name, nullptr, &type, Bytes(buffer), &length),
              ERROR_MORE_DATA);
    EXPECT_EQ(type, value.type);
    EXPECT_EQ(length, size);
    EXPECT_EQ(buffer, Filled(size + 4));
  }
}

TEST_P(RegistryContract, TextWithoutItsNulGetsOneWhenTheBufferHasRoom) {
  struct Case {
    const char* name;
    DWORD type;
    std::string data;
    std::string readIntoEight;
  };
  const std::vector<Case> cases{
      {"NoNul", REG_SZ, "abc", std::string("abc\0@@@@", 8)},
      {"ExpandNoNul", REG_EXPAND_SZ, "%a%", std::string("%a%\0@@@@", 8)},
      {"Terminated", REG_SZ, std::string("abc\0", 4), std::string("abc\0@@@@", 8)},
      {"EmbeddedNul", REG_SZ, std::string("a\0b", 3), std::string("a\0b\0@@@@", 8)},
      {"BytesNoNul", REG_BINARY, "abc", "abc@@@@@"},
      {"ZeroBytes", REG_SZ, "", "@@@@@@@@"}};
  for (const Case& value : cases) {
    backend->SetValue(HKEY_CURRENT_USER, Scratch("Text"), value.name, value.type, value.data);
  }
  OpenedKey key(Reg(), HKEY_CURRENT_USER, Scratch("Text"));
  ASSERT_EQ(key.Status(), ERROR_SUCCESS);
  for (const Case& value : cases) {
    SCOPED_TRACE(value.name);
    const DWORD size = static_cast<DWORD>(value.data.size());
    std::string buffer = Filled(8);
    DWORD length = 8;
    ASSERT_EQ(Reg().QueryValueEx(key, value.name, nullptr, nullptr, Bytes(buffer), &length),
              ERROR_SUCCESS);
    EXPECT_EQ(length, size) << "the size read is the data's, without the NUL added";
    EXPECT_EQ(buffer, value.readIntoEight);

    // Read into exactly the size queried, as the program does: no room, no NUL.
    buffer = Filled(8);
    length = size;
    ASSERT_EQ(Reg().QueryValueEx(key, value.name, nullptr, nullptr, Bytes(buffer), &length),
              ERROR_SUCCESS);
    EXPECT_EQ(buffer, value.data + Filled(8 - size));
  }
}

TEST_P(RegistryContract, AMissingValueIsNotFoundAndTheDefaultValueMayBeMissing) {
  OpenedKey key(Reg(), HKEY_CURRENT_USER, kScratch);
  ASSERT_EQ(key.Status(), ERROR_SUCCESS);
  for (const char* name : {"Missing", "", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(name == nullptr ? "(null)" : name);
    DWORD type = kDwordSentinel, length = kDwordSentinel;
    EXPECT_EQ(Reg().QueryValueEx(key, name, nullptr, &type, nullptr, &length),
              ERROR_FILE_NOT_FOUND);
    // Wine clears the type, and the size when no buffer was given.
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(length, 0u);
    std::string buffer = Filled(4);
    type = kDwordSentinel;
    length = 4;
    EXPECT_EQ(Reg().QueryValueEx(key, name, nullptr, &type, Bytes(buffer), &length),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(buffer, Filled(4));
  }
  EXPECT_EQ(Reg().QueryValueEx(key, "Missing", nullptr, nullptr, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);

  backend->SetText(HKEY_CURRENT_USER, kScratch, "", "default");
  for (const char* name : {"", static_cast<const char*>(nullptr)}) {
    DWORD length = kDwordSentinel;
    EXPECT_EQ(Reg().QueryValueEx(key, name, nullptr, nullptr, nullptr, &length), ERROR_SUCCESS);
    EXPECT_EQ(length, 8u);
  }
  std::string buffer = Filled(8);
  DWORD length = 8, reserved = 0;
  EXPECT_EQ(Reg().QueryValueEx(key, "", nullptr, nullptr, Bytes(buffer), nullptr),
            ERROR_INVALID_PARAMETER)
      << "a buffer needs its size";
  EXPECT_EQ(Reg().QueryValueEx(key, "", &reserved, nullptr, nullptr, &length),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(buffer, Filled(8));
}

TEST_P(RegistryContract, DeleteKeyRemovesOnlyAKeyWithoutSubkeys) {
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Parent\\Child"));
  OpenedKey scratch(Reg(), HKEY_CURRENT_USER, kScratch);
  ASSERT_EQ(scratch.Status(), ERROR_SUCCESS);
  EXPECT_EQ(Reg().DeleteKey(scratch, "Parent"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Parent\\Child")));
  EXPECT_EQ(Reg().DeleteKey(scratch, "Parent\\Child\\"), ERROR_SUCCESS);
  EXPECT_EQ(Reg().DeleteKey(scratch, "parent"), ERROR_SUCCESS);
  EXPECT_FALSE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Parent")));

  EXPECT_EQ(Reg().DeleteKey(scratch, "Parent"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Reg().DeleteKey(scratch, "Missing\\Deeper"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Reg().DeleteKey(scratch, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Reg().DeleteKey(scratch, "\\Parent"), ERROR_BAD_PATHNAME);
}

TEST_P(RegistryContract, DeletingAnEmptySubkeyDeletesTheKeyWhateverTheHandlesRights) {
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Self"));
  HKEY self = nullptr;
  ASSERT_EQ(Reg().OpenKeyEx(HKEY_CURRENT_USER, Scratch("Self").c_str(), 0, KEY_READ, &self),
            ERROR_SUCCESS);
  EXPECT_EQ(Reg().DeleteKey(self, ""), ERROR_SUCCESS);
  EXPECT_FALSE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Self")));
  EXPECT_EQ(Reg().CloseKey(self), ERROR_SUCCESS);
}

TEST_P(RegistryContract, AKeyDeletedWhileOpenStaysDeletedForItsHandles) {
  backend->SetText(HKEY_CURRENT_USER, Scratch("Doomed"), "v", "x");
  HKEY doomed = nullptr;
  ASSERT_EQ(
      Reg().OpenKeyEx(HKEY_CURRENT_USER, Scratch("Doomed").c_str(), 0, KEY_ALL_ACCESS, &doomed),
      ERROR_SUCCESS);
  ASSERT_EQ(Reg().DeleteKey(HKEY_CURRENT_USER, Scratch("Doomed").c_str()), ERROR_SUCCESS)
      << "an open handle does not keep a key from being deleted";
  // Even a new key of the same name is not the one the handle refers to.
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Doomed\\New"));

  char name[8];
  DWORD length = sizeof name;
  EXPECT_EQ(Reg().QueryValueEx(doomed, "v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(Reg().EnumKeyEx(doomed, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(Reg().QueryInfoKey(doomed, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  for (const char* below : {"", "New"}) {
    HKEY opened = kHandleSentinel;
    EXPECT_EQ(Reg().OpenKeyEx(doomed, below, 0, KEY_READ, &opened), ERROR_KEY_DELETED) << below;
    EXPECT_EQ(opened, nullptr);
  }
  EXPECT_EQ(Reg().DeleteKey(doomed, ""), ERROR_KEY_DELETED);
  EXPECT_TRUE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Doomed\\New")));

  EXPECT_EQ(Reg().CloseKey(doomed), ERROR_SUCCESS);
  EXPECT_EQ(Reg().CloseKey(doomed), ERROR_INVALID_HANDLE) << "closed twice";
}

TEST_P(RegistryContract, OpensFollowLinksUnlessAskedForTheLinkItself) {
  const std::string target = std::string(kMachineTestsKey) + "\\Target";
  const std::string targetPath = backend->NativeMachinePath(kMachineTestsKey) + "\\Target";
  backend->SetText(HKEY_LOCAL_MACHINE, target + "\\Sub", "v", "x");
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Link"), targetPath);
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Dangling"), targetPath + "\\Missing");
  const std::string loop = std::string(kMachineTestsKey) + "\\Loop";
  backend->CreateLink(HKEY_LOCAL_MACHINE, loop,
                      backend->NativeMachinePath(kMachineTestsKey) + "\\Loop");
  EXPECT_TRUE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Link\\Sub")));
  EXPECT_THROW(backend->CreateLink(HKEY_CURRENT_USER, Scratch("Link"), targetPath),
               std::invalid_argument);

  OpenedKey followed(Reg(), HKEY_CURRENT_USER, Scratch("Link"));
  ASSERT_EQ(followed.Status(), ERROR_SUCCESS);
  EXPECT_EQ(SubkeyNames(followed), std::vector<std::string>{"Sub"});

  HKEY link = kHandleSentinel;
  ASSERT_EQ(Reg().OpenKeyEx(HKEY_CURRENT_USER, Scratch("Link").c_str(), REG_OPTION_OPEN_LINK,
                            KEY_ALL_ACCESS, &link),
            ERROR_SUCCESS);
  OpenedKey linkItself(Reg(), link, "");  // an empty path reaches the link, not its target
  ASSERT_EQ(Reg().CloseKey(link), ERROR_SUCCESS);
  ASSERT_EQ(linkItself.Status(), ERROR_SUCCESS);
  DWORD subkeys = kDwordSentinel, maxSubkey = kDwordSentinel, values = kDwordSentinel,
        maxValueName = kDwordSentinel, maxData = kDwordSentinel;
  ASSERT_EQ(Reg().QueryInfoKey(linkItself, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr,
                               &values, &maxValueName, &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 0u) << "a link has no subkeys of its own";
  EXPECT_EQ(maxSubkey, 0u);
  EXPECT_EQ(values, 1u);
  EXPECT_EQ(maxValueName, 17u) << "SymbolicLinkValue";
  EXPECT_EQ(maxData, 2 * targetPath.size()) << "UTF-16 without a NUL";
  EXPECT_EQ(SubkeyNames(linkItself), std::vector<std::string>{});
  std::string buffer = Filled(2 * targetPath.size() + 2);
  DWORD type = kDwordSentinel, length = static_cast<DWORD>(buffer.size());
  ASSERT_EQ(
      Reg().QueryValueEx(linkItself, "SymbolicLinkValue", nullptr, &type, Bytes(buffer), &length),
      ERROR_SUCCESS);
  EXPECT_EQ(type, REG_LINK);
  std::string wide;
  for (char c : targetPath) wide += std::string{c, '\0'};
  EXPECT_EQ(buffer.substr(0, length), wide);
  // A path that goes on below a link follows it, also from a handle to the link itself.
  OpenedKey below(Reg(), linkItself, "Sub");
  EXPECT_EQ(below.Status(), ERROR_SUCCESS);
  OpenedKey belowLink(Reg(), HKEY_CURRENT_USER, Scratch("Link\\Sub"), KEY_ALL_ACCESS);
  EXPECT_EQ(belowLink.Status(), ERROR_SUCCESS);

  struct Broken {
    HKEY root;
    std::string path;
    LONG status;
  };
  for (const Broken& broken : {Broken{HKEY_CURRENT_USER, Scratch("Dangling"), ERROR_FILE_NOT_FOUND},
                               Broken{HKEY_LOCAL_MACHINE, loop, ERROR_INVALID_PARAMETER}}) {
    SCOPED_TRACE(broken.path);
    HKEY opened = kHandleSentinel;
    EXPECT_EQ(Reg().OpenKeyEx(broken.root, broken.path.c_str(), 0, KEY_READ, &opened),
              broken.status);
    EXPECT_EQ(opened, nullptr);
    ASSERT_EQ(
        Reg().OpenKeyEx(broken.root, broken.path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &opened),
        ERROR_SUCCESS);
    EXPECT_EQ(Reg().CloseKey(opened), ERROR_SUCCESS);
  }
}

TEST_P(RegistryContract, ADeleteActsOnWhatItsOpenReached) {
  const std::string target = std::string(kMachineTestsKey) + "\\Target";
  const std::string targetPath = backend->NativeMachinePath(kMachineTestsKey) + "\\Target";
  backend->CreateKey(HKEY_LOCAL_MACHINE, target + "\\Sub");
  backend->CreateKey(HKEY_LOCAL_MACHINE, target + "\\Leaf");
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Link"), targetPath);
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("LeafLink"), targetPath + "\\Leaf");
  backend->CreateLink(HKEY_CURRENT_USER, Scratch("Tree\\Inner\\Link"), targetPath);
  OpenedKey scratch(Reg(), HKEY_CURRENT_USER, kScratch);
  ASSERT_EQ(scratch.Status(), ERROR_SUCCESS);

  // By name, the delete reaches the target: refused while it has subkeys, done once it has none.
  EXPECT_EQ(Reg().DeleteKey(scratch, "Link"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(backend->KeyExists(HKEY_LOCAL_MACHINE, target + "\\Sub"));
  EXPECT_EQ(Reg().DeleteKey(scratch, "LeafLink"), ERROR_SUCCESS);
  EXPECT_FALSE(backend->KeyExists(HKEY_LOCAL_MACHINE, target + "\\Leaf")) << "the target went";
  HKEY link = kHandleSentinel;
  ASSERT_EQ(Reg().OpenKeyEx(scratch, "LeafLink", REG_OPTION_OPEN_LINK, KEY_READ, &link),
            ERROR_SUCCESS)
      << "while the link stayed";

  // Through a handle to the link itself, the empty name deletes the link alone (on Wine 8).
  EXPECT_EQ(Reg().DeleteKey(link, ""), ERROR_SUCCESS);
  EXPECT_EQ(Reg().CloseKey(link), ERROR_SUCCESS);
  // Deleting the handle's own key takes a link as the link, on Windows too; a key with
  // subkeys is refused, and one deleted already goes again without complaint, as on Windows.
  ASSERT_EQ(Reg().OpenKeyEx(scratch, "Link", REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &link),
            ERROR_SUCCESS);
  EXPECT_EQ(Reg().DeleteOpenKey(link), ERROR_SUCCESS);
  EXPECT_EQ(Reg().DeleteOpenKey(link), ERROR_SUCCESS);
  EXPECT_EQ(Reg().CloseKey(link), ERROR_SUCCESS);
  EXPECT_EQ(SubkeyNames(scratch), std::vector<std::string>{"Tree"});
  EXPECT_TRUE(backend->KeyExists(HKEY_LOCAL_MACHINE, target + "\\Sub"));
  {
    OpenedKey parent(Reg(), HKEY_LOCAL_MACHINE, target);
    EXPECT_EQ(Reg().DeleteOpenKey(parent), ERROR_ACCESS_DENIED);
  }

  // The backends' own tree removal takes links as links too.
  backend->DeleteTree(HKEY_CURRENT_USER, Scratch("Tree"));
  EXPECT_FALSE(backend->KeyExists(HKEY_CURRENT_USER, Scratch("Tree")));
  EXPECT_TRUE(backend->KeyExists(HKEY_LOCAL_MACHINE, target + "\\Sub"));
}

// Where Windows is documented to differ from Wine 8, which only the stand-in can stand for.
TEST(StandInAsWindows, FollowsALinkReachedByAnEmptyNameAndMergesPerUserClasses) {
  StandInRegistry registry(StandInRegistry::Behaviour::Windows);
  const RegistryFunctions& reg = StandInRegistry::Functions();
  registry.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Target\\Sub\\Deeper");
  registry.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Target\\Leaf");
  registry.CreateLink(HKEY_CURRENT_USER, "Link", "\\Registry\\Machine\\SOFTWARE\\Target\\Sub");
  registry.CreateLink(HKEY_CURRENT_USER, "LeafLink", "\\Registry\\Machine\\SOFTWARE\\Target\\Leaf");
  for (const char* name : {"Link", "LeafLink"}) {
    HKEY link = nullptr;
    ASSERT_EQ(reg.OpenKeyEx(HKEY_CURRENT_USER, name, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &link),
              ERROR_SUCCESS);
    const LONG deleted = reg.DeleteKey(link, "");
    EXPECT_EQ(reg.CloseKey(link), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKeyEx(HKEY_CURRENT_USER, name, REG_OPTION_OPEN_LINK, KEY_READ, &link),
              ERROR_SUCCESS)
        << name << ": the link stays";
    EXPECT_EQ(reg.CloseKey(link), ERROR_SUCCESS);
    if (std::string(name) == "Link") {
      EXPECT_EQ(deleted, ERROR_ACCESS_DENIED) << "the target has subkeys";
    } else {
      EXPECT_EQ(deleted, ERROR_SUCCESS);
      EXPECT_FALSE(registry.KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Target\\Leaf"));
    }
  }
  // The link's own handle deletes it as the link, and deletes it again without complaint.
  HKEY link = nullptr;
  ASSERT_EQ(reg.OpenKeyEx(HKEY_CURRENT_USER, "Link", REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &link),
            ERROR_SUCCESS);
  EXPECT_EQ(reg.DeleteOpenKey(link), ERROR_SUCCESS);
  EXPECT_EQ(reg.DeleteOpenKey(link), ERROR_SUCCESS);
  EXPECT_EQ(reg.CloseKey(link), ERROR_SUCCESS);
  EXPECT_TRUE(registry.KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Target\\Sub\\Deeper"));

  const std::string classKey = "CLSID\\" + kClass1;
  registry.SetText(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "", "machine.dll");
  registry.SetText(HKEY_CURRENT_USER, "Software\\Classes\\" + classKey, "", "per-user");
  const auto read = [&](const std::string& path) {
    HKEY key = nullptr, server = nullptr;
    char text[16] = "";
    DWORD size = sizeof text;
    EXPECT_EQ(reg.OpenKeyEx(HKEY_CLASSES_ROOT, classKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKeyEx(key, path.c_str(), 0, KEY_READ, &server), ERROR_SUCCESS);
    reg.QueryValueEx(server, "", nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size);
    reg.CloseKey(server);
    reg.CloseKey(key);
    return std::string(text);
  };
  EXPECT_EQ(read(""), "per-user");
  EXPECT_EQ(read("InprocServer32"), "machine.dll") << "the machine's shows where the user has none";
  registry.SetText(HKEY_CURRENT_USER, "Software\\Classes\\" + classKey + "\\InprocServer32", "",
                   "user.dll");
  EXPECT_EQ(read("InprocServer32"), "user.dll");
  EXPECT_EQ(registry.OpenHandleCount(), 0);
}

TEST_P(RegistryContract, CloseKeyRefusesUnknownHandles) {
  EXPECT_EQ(Reg().CloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Reg().CloseKey(reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x0BADF00C))),
            ERROR_INVALID_HANDLE);
  // The registry object never closes the null handle, nor opens with options it may not give:
  // the stand-in notes both, and the suites over the registry object fail on what it noted.
  if (StandInRegistry* standIn = backend->StandIn()) {
    HKEY opened = kHandleSentinel;
    EXPECT_EQ(Reg().OpenKeyEx(HKEY_CURRENT_USER, "Software", 1, KEY_READ, &opened),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(standIn->TakeUnexpectedCalls(),
              (std::vector<std::string>{"RegCloseKey of the null handle",
                                        "RegOpenKeyExA with options 1"}));
  }
}

TEST_P(RegistryContract, ClassesRootShowsTheMachinesClassesKey) {
  const std::string machineClasses = "SOFTWARE\\Classes\\CLSID\\";
  backend->SetText(HKEY_LOCAL_MACHINE, machineClasses + kClass1, "", "Seeded below HKLM");
  backend->SetText(HKEY_CLASSES_ROOT, "CLSID\\" + kClass2 + "\\InprocServer32", "", "C:\\b.dll");
  EXPECT_TRUE(
      backend->KeyExists(HKEY_LOCAL_MACHINE, machineClasses + kClass2 + "\\InprocServer32"));

  std::string lowerCase = kClass1;
  std::transform(lowerCase.begin(), lowerCase.end(), lowerCase.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  OpenedKey classKey(Reg(), HKEY_CLASSES_ROOT, "clsid\\" + lowerCase);
  ASSERT_EQ(classKey.Status(), ERROR_SUCCESS);
  std::string buffer = Filled(18);
  DWORD length = 18;
  ASSERT_EQ(Reg().QueryValueEx(classKey, "", nullptr, nullptr, Bytes(buffer), &length),
            ERROR_SUCCESS);
  EXPECT_EQ(buffer, std::string("Seeded below HKLM\0", 18));

  OpenedKey classes(Reg(), HKEY_CLASSES_ROOT, "CLSID");
  ASSERT_EQ(classes.Status(), ERROR_SUCCESS);
  const std::vector<std::string> names = SubkeyNames(classes);
  for (const std::string& guid : {kClass1, kClass2}) {
    EXPECT_NE(std::find(names.begin(), names.end(), guid), names.end()) << guid;
  }

  EXPECT_EQ(Reg().DeleteKey(HKEY_CLASSES_ROOT, ("CLSID\\" + kClass2 + "\\InprocServer32").c_str()),
            ERROR_SUCCESS);
  EXPECT_FALSE(
      backend->KeyExists(HKEY_LOCAL_MACHINE, machineClasses + kClass2 + "\\InprocServer32"));
  EXPECT_TRUE(backend->KeyExists(HKEY_LOCAL_MACHINE, machineClasses + kClass2));
}

TEST_P(RegistryContract, FailEnumerationFailsOnlyTheKeyAndIndexNamedUntilMended) {
  SKIP_UNLESS_STAND_IN();
  for (const char* name : {"Faults\\a", "Faults\\b", "Faults\\c", "Other\\a", "Other\\b"}) {
    backend->CreateKey(HKEY_CURRENT_USER, Scratch(name));
  }
  StandInRegistry& standIn = *backend->StandIn();
  standIn.FailEnumeration(HKEY_CURRENT_USER, Scratch("Faults"), 1, ERROR_ACCESS_DENIED);
  // Opened by another spelling: the key fails, whichever handle reaches it.
  OpenedKey faults(Reg(), HKEY_CURRENT_USER, Scratch("FAULTS"));
  OpenedKey other(Reg(), HKEY_CURRENT_USER, Scratch("Other"));
  ASSERT_EQ(faults.Status(), ERROR_SUCCESS);
  ASSERT_EQ(other.Status(), ERROR_SUCCESS);
  const auto enumerated = [&](HKEY key, DWORD index, LONG status, const std::string& name) {
    std::string buffer = Filled(4);
    DWORD length = 4;
    EXPECT_EQ(Reg().EnumKeyEx(key, index, &buffer[0], &length, nullptr, nullptr, nullptr, nullptr),
              status)
        << "index " << index;
    EXPECT_EQ(buffer, status == ERROR_SUCCESS ? name + std::string("\0@@", 3) : Filled(4));
  };
  enumerated(faults, 1, ERROR_ACCESS_DENIED, "");
  enumerated(faults, 1, ERROR_ACCESS_DENIED, "");
  enumerated(faults, 0, ERROR_SUCCESS, "a");
  enumerated(faults, 2, ERROR_SUCCESS, "c");
  enumerated(other, 1, ERROR_SUCCESS, "b");
  standIn.FailEnumeration(HKEY_CURRENT_USER, Scratch("Faults"), 1, ERROR_SUCCESS);
  enumerated(faults, 1, ERROR_SUCCESS, "b");
  EXPECT_THROW(standIn.FailEnumeration(HKEY_CURRENT_USER, Scratch("Missing"), 0, ERROR_MORE_DATA),
               std::invalid_argument);
}

TEST_P(RegistryContract, AfterNextSizeQueryActsOnceBetweenTheSizeQueryAndTheRead) {
  SKIP_UNLESS_STAND_IN();
  StandInRegistry& standIn = *backend->StandIn();
  standIn.SetText(HKEY_CURRENT_USER, kScratch, "Path", "short");
  OpenedKey key(Reg(), HKEY_CURRENT_USER, kScratch);
  ASSERT_EQ(key.Status(), ERROR_SUCCESS);
  int runs = 0;
  standIn.AfterNextSizeQuery([&] {
    ++runs;
    standIn.SetText(HKEY_CURRENT_USER, kScratch, "Path", "a much longer text");
  });
  std::string buffer = Filled(32);
  DWORD length = 32;
  ASSERT_EQ(Reg().QueryValueEx(key, "Path", nullptr, nullptr, Bytes(buffer), &length),
            ERROR_SUCCESS);
  EXPECT_EQ(runs, 0) << "a read with a buffer is no size query";

  length = kDwordSentinel;
  ASSERT_EQ(Reg().QueryValueEx(key, "Path", nullptr, nullptr, nullptr, &length), ERROR_SUCCESS);
  EXPECT_EQ(length, 6u) << "the size from before the change";
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(Reg().QueryValueEx(key, "Path", nullptr, nullptr, Bytes(buffer), &length),
            ERROR_MORE_DATA);
  EXPECT_EQ(length, 19u);
  EXPECT_EQ(Reg().QueryValueEx(key, "Path", nullptr, nullptr, nullptr, &length), ERROR_SUCCESS);
  EXPECT_EQ(runs, 1) << "the action runs once";

  standIn.AfterNextSizeQuery([&] { standIn.DeleteValue(HKEY_CURRENT_USER, kScratch, "Path"); });
  ASSERT_EQ(Reg().QueryValueEx(key, "Path", nullptr, nullptr, nullptr, &length), ERROR_SUCCESS);
  EXPECT_FALSE(standIn.ValueExists(HKEY_CURRENT_USER, kScratch, "Path"));
  EXPECT_EQ(Reg().QueryValueEx(key, "Path", nullptr, nullptr, Bytes(buffer), &length),
            ERROR_FILE_NOT_FOUND);
}

TEST_P(RegistryContract, CallsAndOpenHandlesAreCounted) {
  SKIP_UNLESS_STAND_IN();
  StandInRegistry& standIn = *backend->StandIn();
  backend->CreateKey(HKEY_CURRENT_USER, Scratch("Counted\\Sub"));
  standIn.ResetCalls();
  HKEY key = nullptr;
  ASSERT_EQ(Reg().OpenKeyEx(HKEY_CURRENT_USER, Scratch("Counted").c_str(), 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(standIn.OpenHandleCount(), 1);
  HKEY root = nullptr, missing = nullptr;
  ASSERT_EQ(Reg().OpenKeyEx(HKEY_LOCAL_MACHINE, "", 0, KEY_ALL_ACCESS, &root), ERROR_SUCCESS);
  EXPECT_EQ(Reg().OpenKeyEx(key, "Missing", 0, KEY_ALL_ACCESS, &missing), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(standIn.OpenHandleCount(), 1) << "neither a root nor a failed open makes a handle";
  char name[8];
  DWORD length = sizeof name;
  EXPECT_EQ(Reg().EnumKeyEx(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(Reg().QueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(Reg().QueryValueEx(key, "", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Reg().DeleteKey(key, "Sub"), ERROR_SUCCESS);
  EXPECT_EQ(Reg().CloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(standIn.OpenHandleCount(), 0);

  const StandInRegistry::CallCounts& calls = standIn.Calls();
  EXPECT_EQ(calls.OpenKeyEx, 3);
  EXPECT_EQ(calls.CloseKey, 1);
  EXPECT_EQ(calls.QueryInfoKey, 1);
  EXPECT_EQ(calls.EnumKeyEx, 1);
  EXPECT_EQ(calls.QueryValueEx, 1);
  EXPECT_EQ(calls.DeleteKey, 1);
  standIn.ResetCalls();
  EXPECT_EQ(standIn.Calls().OpenKeyEx + standIn.Calls().DeleteKey, 0);
}

TEST_P(RegistryContract, TheStandInRefusesToDeleteWhatItsRootsStandOn) {
  SKIP_UNLESS_STAND_IN();
  StandInRegistry& standIn = *backend->StandIn();
  EXPECT_THROW(standIn.DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE"), std::invalid_argument);
  EXPECT_THROW(standIn.DeleteTree(HKEY_CURRENT_USER, ""), std::invalid_argument);
  EXPECT_EQ(Reg().DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes"), ERROR_ACCESS_DENIED)
      << "even while it has no subkeys";
  EXPECT_EQ(Reg().DeleteKey(HKEY_USERS, ""), ERROR_ACCESS_DENIED);
}

// The table of functions follows whichever stand-in was made last and is still alive.
TEST(StandInRegistryFunctions, ServeTheActiveStandInAndFailWithoutOne) {
  const RegistryFunctions& functions = StandInRegistry::Functions();
  HKEY opened = kHandleSentinel;
  EXPECT_EQ(functions.OpenKeyEx(HKEY_CURRENT_USER, "", 0, KEY_READ, &opened), ERROR_INVALID_HANDLE);
  EXPECT_EQ(opened, nullptr);
  EXPECT_EQ(functions.CloseKey(HKEY_CURRENT_USER), ERROR_INVALID_HANDLE);
  EXPECT_EQ(functions.DeleteKey(HKEY_CURRENT_USER, "x"), ERROR_INVALID_HANDLE);

  auto outer = std::make_unique<StandInRegistry>();
  outer->CreateKey(HKEY_CURRENT_USER, "Outer");
  auto inner = std::make_unique<StandInRegistry>();
  EXPECT_EQ(functions.OpenKeyEx(HKEY_CURRENT_USER, "Outer", 0, KEY_READ, &opened),
            ERROR_FILE_NOT_FOUND);
  inner.reset();
  ASSERT_EQ(functions.OpenKeyEx(HKEY_CURRENT_USER, "Outer", 0, KEY_READ, &opened), ERROR_SUCCESS);
  EXPECT_EQ(functions.CloseKey(opened), ERROR_SUCCESS);

  // Destroyed out of order, the older one drops out without disturbing the newer.
  auto newer = std::make_unique<StandInRegistry>();
  newer->CreateKey(HKEY_CURRENT_USER, "Newer");
  outer.reset();
  EXPECT_EQ(functions.QueryInfoKey(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(functions.OpenKeyEx(HKEY_CURRENT_USER, "Newer", 0, KEY_READ, &opened), ERROR_SUCCESS);
  EXPECT_EQ(functions.CloseKey(opened), ERROR_SUCCESS);
  newer.reset();
  EXPECT_EQ(functions.QueryInfoKey(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE);
}

}  // namespace

INSTANTIATE_FOR_EVERY_BACKEND(RegistryContract);
