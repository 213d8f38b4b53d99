// The registry object in a process whose ANSI code page is UTF-8, as Windows 10 and 11 allow
// (this executable's manifest asks for it): a character of a subkey name may take three bytes.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "registry/Registry.h"
#include "tests/support/RegistryBackend.h"

namespace {

TEST(Utf8CodePage, ListsAndRemovesANameOf255ThreeByteCharacters) {
  ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the code page the manifest asks for";
  const std::unique_ptr<RegistryBackend> backend = MakeBackend(BackendKind::System);
  const std::string names = "Software\\Velloran Tests\\Names";
  // 255 euro signs, the longest name there is: 765 bytes, more than twice its 255 characters.
  CreateWideKey(HKEY_CURRENT_USER,
                L"Software\\Velloran Tests\\Names\\" + std::wstring(255, L'\x20AC'));
  std::string euros;
  for (int i = 0; i < 255; ++i) euros += "\xE2\x82\xAC";

  TRegistry registry(backend->Functions());
  ASSERT_TRUE(registry.EnterKey(names));
  TStringList listed;
  registry.ListSubkeyNames(listed);
  ASSERT_EQ(listed.Count(), 1);
  EXPECT_EQ(listed[0], euros);
  registry.LeaveKey();
  EXPECT_TRUE(registry.RemoveKeyTree("\\" + names));
  EXPECT_FALSE(backend->KeyExists(HKEY_CURRENT_USER, names));
}

}  // namespace
