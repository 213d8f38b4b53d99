#include "registry/Registry.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char kFailedToGetData[] = "Failed to get data for '%s'";
const char kInvalidDataType[] = "Invalid data type for '%s'";
// The value by which a key opened as itself shows that it is a symbolic link.
const char kLinkValueName[] = "SymbolicLinkValue";

std::string Formatted(const char* pattern, const std::string& name) {
  const int length = std::snprintf(nullptr, 0, pattern, name.c_str());
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(&text[0], text.size(), pattern, name.c_str());
  text.resize(static_cast<size_t>(length));
  return text;
}

bool IsRelative(const std::string& path) { return path.empty() || path[0] != '\\'; }

std::string WithoutLeadingBackslash(const std::string& path) {
  return IsRelative(path) ? path : path.substr(1);
}

DWORD DecideNameBytesPerCharacter() {
#ifdef _WIN32
  // On NT the A functions report a subkey name's length in UTF-16 characters but spell the name
  // in the ANSI code page, where one character may take several bytes: two in a double-byte code
  // page, three in UTF-8, which Windows 10 and 11 allow as the ANSI code page. Name buffers get
  // room for the code page's longest character each.
  CPINFO info{};
  if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize <= 1) return 1;
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  const bool nt = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  return nt ? info.MaxCharSize : 1;
#else
  return 1;
#endif
}

const DWORD nameBytesPerCharacter = DecideNameBytesPerCharacter();

// No subkey name is longer than 255 UTF-16 characters, which no ANSI code page spells in more
// than 1020 bytes (4 for each, UTF-8's longest); a longer claim only makes the enumeration report
// ERROR_MORE_DATA for it.
constexpr std::int32_t kLongestNameBytes = 1024;

std::vector<char> NameBuffer(const KeyInfo& info) {
  return std::vector<char>(
      static_cast<std::size_t>(std::min(info.MaxSubKeyLen, kLongestNameBytes)) + 1);
}

}  // namespace

std::int32_t SaturatedCount(DWORD reported, DWORD factor) {
  constexpr std::uint64_t kMost = std::numeric_limits<std::int32_t>::max();
  // Two 32-bit factors never overflow 64 bits.
  const std::uint64_t length = static_cast<std::uint64_t>(reported) * factor;
  return static_cast<std::int32_t>(std::min(length, kMost));
}

bool ActsAsPath(const std::string& name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
#ifdef _WIN32
    if (IsDBCSLeadByte(static_cast<BYTE>(name[i])) && i + 1 < name.size()) {
      ++i;  // the trail byte may be 0x5C without being a backslash
      continue;
    }
#endif
    if (name[i] == '\\') return true;
  }
  return false;
}

#ifdef _WIN32
TRegistry::TRegistry() : TRegistry(SystemRegistryFunctions()) {}
#endif

TRegistry::TRegistry(const RegistryFunctions& functions) : functions_(functions) {
  SelectRoot(HKEY_CURRENT_USER);
  access_ = KEY_ALL_ACCESS;
}

TRegistry::~TRegistry() { LeaveKey(); }

void TRegistry::SelectRoot(HKEY root) {
  if (root == rootKey_) return;
  rootKey_ = root;
  LeaveKey();
}

void TRegistry::LeaveKey() {
  if (currentKey_ == nullptr) return;
  functions_.CloseKey(currentKey_);
  currentKey_ = nullptr;
  currentPath_.clear();
}

HKEY TRegistry::BaseFor(bool relative) const {
  return relative && currentKey_ != nullptr ? currentKey_ : rootKey_;
}

bool TRegistry::OpenForUse(const std::string& path, HKEY& opened) const {
  opened = nullptr;
  return functions_.OpenKeyEx(BaseFor(IsRelative(path)), WithoutLeadingBackslash(path).c_str(), 0,
                              access_, &opened) == ERROR_SUCCESS;
}

bool TRegistry::EnterKey(const std::string& path) {
  HKEY opened = nullptr;
  if (!OpenForUse(path, opened)) return false;
  const std::string subKey = WithoutLeadingBackslash(path);
  const std::string newPath =
      IsRelative(path) && currentKey_ != nullptr ? currentPath_ + '\\' + subKey : subKey;
  LeaveKey();
  currentKey_ = opened;
  currentPath_ = newPath;
  return true;
}

// The call's status is not tested: a failed open leaves the handle null.
HKEY TRegistry::OpenKeyHandle(const std::string& path) {
  HKEY opened = nullptr;
  static_cast<void>(OpenForUse(path, opened));
  return opened;
}

bool TRegistry::QueryKeyInfo(KeyInfo& info) { return QueryKeyInfoOf(currentKey_, info); }

bool TRegistry::QueryKeyInfoOf(HKEY key, KeyInfo& info) const {
  info = KeyInfo{};
  DWORD subKeys = 0, maxSubKeyLength = 0;
  // A failed call may have written anything to its outputs.
  if (functions_.QueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLength, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  info.NumSubKeys = SaturatedCount(subKeys, 1);
  info.MaxSubKeyLen = SaturatedCount(maxSubKeyLength, nameBytesPerCharacter);
  return true;
}

void TRegistry::ListSubkeyNames(TStringList& list) {
  list.Clear();
  KeyInfo info;
  if (!QueryKeyInfo(info)) return;
  std::vector<char> name = NameBuffer(info);
  for (std::int32_t index = 0; index < info.NumSubKeys; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    // A failed call leaves the buffer stale or empty; an empty name would later address the
    // helper-object key itself, so nothing is added for that index.
    if (functions_.EnumKeyEx(currentKey_, static_cast<DWORD>(index), name.data(), &length, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      continue;
    }
    list.Add(std::string(name.data()));
  }
}

ValueInfo TRegistry::QueryValueInfo(const std::string& name) {
  DWORD type = REG_NONE, size = 0;
  ValueInfo info;
  // A failed call may have written anything to its outputs.
  if (functions_.QueryValueEx(currentKey_, name.c_str(), nullptr, &type, nullptr, &size) ==
      ERROR_SUCCESS) {
    info = ValueInfo{true, type, static_cast<std::int32_t>(size)};
  }
  return info;
}

int TRegistry::ValueSize(const std::string& name) {
  const ValueInfo info = QueryValueInfo(name);
  return info.Success ? info.Size : -1;
}

ValueRead TRegistry::ReadValue(const std::string& name, void* buffer, int size) {
  DWORD type = REG_NONE;
  // A negative size offers no room at all, never a buffer of four gigabytes.
  DWORD length = size > 0 ? static_cast<DWORD>(size) : 0;
  if (functions_.QueryValueEx(currentKey_, name.c_str(), nullptr, &type,
                              static_cast<LPBYTE>(buffer), &length) != ERROR_SUCCESS) {
    throw ERegistryException(Formatted(kFailedToGetData, name));
  }
  return ValueRead{type, static_cast<std::int32_t>(length)};
}

std::string TRegistry::ReadText(const std::string& name) { return ReadTextValue(name).Text; }

// A missing or empty value is empty text, whatever its type.
TextValue TRegistry::ReadTextValue(const std::string& name) {
  const int size = ValueSize(name);
  if (size <= 0) return TextValue{};
  std::string text(static_cast<std::size_t>(size), '\0');
  const ValueRead read = ReadValue(name, &text[0], size);
  if (read.Type != REG_SZ && read.Type != REG_EXPAND_SZ) {
    throw ERegistryException(Formatted(kInvalidDataType, name));
  }
  // The value may have shrunk since its size was queried: only the bytes read are text.
  if (read.Size < size) text.resize(static_cast<std::size_t>(std::max(read.Size, 0)));
  return TextValue{text.substr(0, text.find('\0')), read.Type};
}

bool TRegistry::ReadTextOf(const std::string& path, const std::string& name, TextValue& value) {
  value = TextValue{};
  const HKEY key = OpenKeyHandle(path);
  if (key == nullptr) return false;
  // A registry object of its own reads the key as its current key, so this one's current key
  // never changes; it closes the key when it goes.
  TRegistry reader(functions_);
  reader.currentKey_ = key;
  try {
    value = reader.ReadTextValue(name);
    return true;
  } catch (const ERegistryException&) {
    return false;
  }
}

bool TRegistry::RemoveKeyTree(const std::string& path) {
  const bool relative = IsRelative(path);
  const std::string subKey = WithoutLeadingBackslash(path);
  // To the registry a path of nothing but backslashes names the base key itself: deleting it
  // would take the current key, or a whole root's subtree, with everything below it.
  if (subKey.find_first_not_of('\\') == std::string::npos) return false;

  // Depth first without recursion, so that no depth of tree can exhaust the stack: one level per
  // key on the way down, each owning its handle, so that every handle is closed on every path.
  struct Level {
    RegistryKey key;
    bool link;
    std::int32_t nextIndex;  // enumerated last to first, so deleting never shifts the rest
    std::vector<char> name;
  };
  std::vector<Level> levels;
  // REG_OPTION_OPEN_LINK: a link is opened as itself, and the walk never enters its target.
  const auto enter = [&](HKEY base, const char* name) {
    HKEY opened = nullptr;
    if (functions_.OpenKeyEx(base, name, REG_OPTION_OPEN_LINK, access_, &opened) != ERROR_SUCCESS) {
      return false;
    }
    RegistryKey key(opened, RegistryKeyTraits{&functions_});
    const bool link = IsLink(opened);
    KeyInfo info;
    const bool known = !link && QueryKeyInfoOf(opened, info);
    levels.push_back(
        Level{std::move(key), link, known ? info.NumSubKeys - 1 : -1, NameBuffer(info)});
    return true;
  };
  if (!enter(BaseFor(relative), subKey.c_str())) return false;

  LONG status = ERROR_SUCCESS;
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.nextIndex >= 0) {
      const DWORD index = static_cast<DWORD>(level.nextIndex--);
      DWORD length = static_cast<DWORD>(level.name.size());
      // A subkey whose enumeration fails, or whose name would act as a path (a name the ANSI
      // code page spells with a backslash), is left; so is the key above it, then.
      if (functions_.EnumKeyEx(level.key.Get(), index, level.name.data(), &length, nullptr, nullptr,
                               nullptr, nullptr) == ERROR_SUCCESS) {
        const std::string name(level.name.data());
        if (!name.empty() && !ActsAsPath(name)) enter(level.key.Get(), name.c_str());
      }
      continue;
    }
    // Through its own handle, never by a name: deleting by name from the parent would open the
    // name again and follow a link to its target. Windows does so even for "" below a link's own
    // handle, so a link goes only by the call that deletes the handle's key itself. NT refuses
    // a key that still has subkeys, hence depth first.
    status = level.link ? functions_.DeleteOpenKey(level.key.Get())
                        : functions_.DeleteKey(level.key.Get(), "");
    levels.pop_back();
  }
  return status == ERROR_SUCCESS;
}

// A key opened as itself is a link when it holds the link value, whatever its type; a probe that
// fails for any reason but "not found" cannot rule a link out.
bool TRegistry::IsLink(HKEY key) const {
  DWORD type = REG_NONE, size = 0;
  return functions_.QueryValueEx(key, kLinkValueName, nullptr, &type, nullptr, &size) !=
         ERROR_FILE_NOT_FOUND;
}

bool TRegistry::KeyExists(const std::string& path) {
  const bool relative = IsRelative(path);
  const std::string subKey = WithoutLeadingBackslash(path);
  HKEY key = nullptr;
  const LONG status = functions_.OpenKeyEx(BaseFor(relative), subKey.c_str(), REG_OPTION_OPEN_LINK,
                                           KEY_QUERY_VALUE, &key);
  if (status == ERROR_SUCCESS) functions_.CloseKey(key);
  // Anything but "not found" (a key the user may not open, say) counts as still there; below a
  // deleted key nothing is.
  return status != ERROR_FILE_NOT_FOUND && status != ERROR_KEY_DELETED;
}
