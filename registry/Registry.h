#pragma once
// TRegistry: a root key and at most one open current key. Relative paths resolve against the
// current key; opens and deletions report by result, value reads raise ERegistryException.

#include <cstdint>
#include <string>

#include "registry/Exception.h"
#include "registry/RegistryFunctions.h"
#include "registry/StringList.h"

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

struct KeyInfo {
  std::int32_t NumSubKeys = 0;
  std::int32_t MaxSubKeyLen = 0;  // characters, without the terminating NUL
  std::int32_t NumValues = 0;
  std::int32_t MaxValueLen = 0;
  std::int32_t MaxDataLen = 0;
  FILETIME FileTime{};
};

struct ValueInfo {
  bool Found = false;
  DWORD Type = REG_NONE;
  std::int32_t Size = 0;
};

struct ValueRead {
  DWORD Type = REG_NONE;
  std::int32_t Size = 0;
};

class TRegistry {
 public:
  TRegistry();  // the platform's registry
  explicit TRegistry(const RegistryFunctions& functions);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  void SelectRoot(HKEY root);
  bool EnterKey(const std::string& path);
  void LeaveKey();
  HKEY OpenKeyHandle(const std::string& path);
  bool QueryKeyInfo(KeyInfo& info);
  void ListSubkeyNames(TStringList& list);
  ValueInfo QueryValueInfo(const std::string& name);
  int ValueSize(const std::string& name);
  ValueRead ReadValue(const std::string& name, void* buffer, int size);
  std::string ReadText(const std::string& name);
  bool RemoveKeyTree(const std::string& path);
  // Whether the key is there at all, also when it cannot be opened with full access.
  bool KeyExists(const std::string& path);

  HKEY CurrentKey() const { return currentKey_; }
  HKEY RootKey() const { return rootKey_; }
  const std::string& CurrentPath() const { return currentPath_; }
  REGSAM Access() const { return access_; }

 private:
  HKEY BaseFor(bool relative) const;

  HKEY currentKey_ = nullptr;
  HKEY rootKey_ = nullptr;
  std::string currentPath_;
  REGSAM access_ = 0;
  const RegistryFunctions& functions_;
};

// Whether the machine's ANSI code page is a double-byte one on an NT platform, in which case
// the registry's longest-subkey-name length is doubled to size name buffers. Decided once.
bool RegistryNamesNeedDoubleLength();
