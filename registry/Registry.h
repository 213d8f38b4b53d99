#pragma once
// TRegistry: a root key and at most one open current key. Relative paths resolve against the
// current key; opens and deletions report by result, value reads raise ERegistryException.

#include <cstdint>
#include <string>

#include "registry/Errors.h"
#include "registry/RegistryFunctions.h"
#include "registry/StringList.h"
#include "registry/UniqueHandle.h"

struct KeyInfo {
  std::int32_t NumSubKeys = 0;
  // Without the terminating NUL: characters, or on NT with a multi-byte ANSI code page the bytes
  // they may take there.
  std::int32_t MaxSubKeyLen = 0;
};

// What a value query reports: whether it succeeded, the value's type and its size in bytes.
struct ValueInfo {
  bool Success = false;
  DWORD Type = REG_NONE;
  std::int32_t Size = 0;
};

// What a value read reports: the value's type and the bytes it wrote.
struct ValueRead {
  DWORD Type = REG_NONE;
  std::int32_t Size = 0;
};

// A text value as ReadText reads it, with the type it is stored as: REG_SZ or REG_EXPAND_SZ, or
// REG_NONE for a value that is missing or holds no data.
struct TextValue {
  std::string Text;
  DWORD Type = REG_NONE;
};

// A key handle closed through the registry functions it was opened with.
struct RegistryKeyTraits {
  using Handle = HKEY;
  const RegistryFunctions* Functions = nullptr;
  void Close(HKEY key) const { Functions->CloseKey(key); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

class TRegistry {
 public:
#ifdef _WIN32
  TRegistry();  // the system's registry
#endif
  explicit TRegistry(const RegistryFunctions& functions);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  void SelectRoot(HKEY root);
  bool EnterKey(const std::string& path);
  void LeaveKey();
  // Opens a key as EnterKey would, without making it current: the caller closes it. Null when
  // the open leaves no handle.
  HKEY OpenKeyHandle(const std::string& path);
  // False, with every count 0, when the query fails.
  bool QueryKeyInfo(KeyInfo& info);
  void ListSubkeyNames(TStringList& list);
  ValueInfo QueryValueInfo(const std::string& name);
  // The size in bytes, or -1 when the query fails (a missing value, say).
  int ValueSize(const std::string& name);
  // Reads at most `size` bytes into `buffer`; raises ERegistryException when the read fails,
  // a value larger than the buffer included.
  ValueRead ReadValue(const std::string& name, void* buffer, int size);
  std::string ReadText(const std::string& name);
  // A text value of the key at `path`, opened as OpenKeyHandle opens it and read as ReadText
  // reads it; the current key stays as it is. False, with the value empty and nothing raised,
  // when the key does not open, the read fails or the value is no text.
  bool ReadTextOf(const std::string& path, const std::string& name, TextValue& value);
  // Deletes the key and everything below it, and nothing else: each key is opened as itself and
  // deleted through its own handle, so a symbolic link goes as a link and its target is never
  // touched. A link that cannot be deleted as itself stays, and with it every key above it. A
  // path naming the base key itself, or a subkey name that would act as a path, is refused and
  // the key left. True when the key itself was deleted.
  bool RemoveKeyTree(const std::string& path);
  // Whether the key is there at all, also when it cannot be opened: a key that refuses every
  // access, or a link whose target is missing, is there.
  bool KeyExists(const std::string& path);

  HKEY CurrentKey() const { return currentKey_; }
  HKEY RootKey() const { return rootKey_; }
  const std::string& CurrentPath() const { return currentPath_; }
  REGSAM Access() const { return access_; }

 private:
  HKEY BaseFor(bool relative) const;
  // Opens the key at `path`, relative or absolute, for use: with the access mask, links followed.
  bool OpenForUse(const std::string& path, HKEY& opened) const;
  bool QueryKeyInfoOf(HKEY key, KeyInfo& info) const;
  TextValue ReadTextValue(const std::string& name);
  bool IsLink(HKEY key) const;

  HKEY currentKey_ = nullptr;
  HKEY rootKey_ = nullptr;
  std::string currentPath_;
  REGSAM access_ = 0;
  const RegistryFunctions& functions_;
};

// A count or length the registry reported (unsigned), times `factor`, as the signed count the
// registry object keeps: saturated, never overflowing or negative.
std::int32_t SaturatedCount(DWORD reported, DWORD factor);

// Whether a subkey name holds a backslash of its own (not the trail byte of a double-byte
// character), so that the registry would take it for a path of several names.
bool ActsAsPath(const std::string& name);
