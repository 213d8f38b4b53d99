#include "registry/Registry.h"

#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char kFailedToGetData[] = "Failed to get data for '%s'";
const char kInvalidDataType[] = "Invalid data type for '%s'";

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

bool DecideDoubleLengthNames() {
#ifdef _WIN32
  // On NT with a double-byte ANSI code page a subkey name's character count is not its byte
  // count in the A functions, so name buffers get twice the reported length.
  CPINFO info{};
  const bool doubleByte = GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  const bool nt = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  return doubleByte && nt;
#else
  return false;
#endif
}

const bool doubleLengthNames = DecideDoubleLengthNames();

}  // namespace

bool RegistryNamesNeedDoubleLength() { return doubleLengthNames; }

TRegistry::TRegistry() : TRegistry(SystemRegistryFunctions()) {}

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

bool TRegistry::EnterKey(const std::string& path) {
  const bool relative = IsRelative(path);
  const std::string subKey = WithoutLeadingBackslash(path);
  HKEY opened = nullptr;
  if (functions_.OpenKeyEx(BaseFor(relative), subKey.c_str(), 0, access_, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  const std::string newPath =
      relative && currentKey_ != nullptr ? currentPath_ + '\\' + subKey : subKey;
  LeaveKey();
  currentKey_ = opened;
  currentPath_ = newPath;
  return true;
}

HKEY TRegistry::OpenKeyHandle(const std::string& path) {
  const bool relative = IsRelative(path);
  const std::string subKey = WithoutLeadingBackslash(path);
  HKEY opened = nullptr;
  functions_.OpenKeyEx(BaseFor(relative), subKey.c_str(), 0, access_, &opened);
  return opened;
}

bool TRegistry::QueryKeyInfo(KeyInfo& info) {
  info = KeyInfo{};
  DWORD subKeys = 0, maxSubKeyLength = 0, values = 0, maxValueNameLength = 0, maxValueLength = 0;
  const LONG status = functions_.QueryInfoKey(
      currentKey_, nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLength, nullptr, &values,
      &maxValueNameLength, &maxValueLength, nullptr, &info.FileTime);
  info.NumSubKeys = static_cast<std::int32_t>(subKeys);
  info.MaxSubKeyLen = static_cast<std::int32_t>(maxSubKeyLength);
  info.NumValues = static_cast<std::int32_t>(values);
  info.MaxValueLen = static_cast<std::int32_t>(maxValueNameLength);
  info.MaxDataLen = static_cast<std::int32_t>(maxValueLength);
  if (RegistryNamesNeedDoubleLength()) info.MaxSubKeyLen *= 2;
  return status == ERROR_SUCCESS;
}

void TRegistry::ListSubkeyNames(TStringList& list) {
  list.Clear();
  KeyInfo info;
  if (!QueryKeyInfo(info)) return;
  std::vector<char> name(static_cast<size_t>(info.MaxSubKeyLen) + 1);
  for (std::int32_t index = 0; index < info.NumSubKeys; ++index) {
    DWORD length = static_cast<DWORD>(info.MaxSubKeyLen) + 1;
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
  ValueInfo info;
  DWORD type = REG_NONE, size = 0;
  info.Found = functions_.QueryValueEx(currentKey_, name.c_str(), nullptr, &type, nullptr, &size) ==
               ERROR_SUCCESS;
  info.Type = type;
  info.Size = static_cast<std::int32_t>(size);
  return info;
}

int TRegistry::ValueSize(const std::string& name) {
  const ValueInfo info = QueryValueInfo(name);
  return info.Found ? info.Size : -1;
}

ValueRead TRegistry::ReadValue(const std::string& name, void* buffer, int size) {
  DWORD type = REG_NONE;
  DWORD length = static_cast<DWORD>(size);
  if (functions_.QueryValueEx(currentKey_, name.c_str(), nullptr, &type,
                              static_cast<LPBYTE>(buffer), &length) != ERROR_SUCCESS) {
    throw ERegistryException(Formatted(kFailedToGetData, name));
  }
  return ValueRead{type, static_cast<std::int32_t>(length)};
}

std::string TRegistry::ReadText(const std::string& name) {
  const int size = ValueSize(name);
  if (size <= 0) return std::string();
  std::string text(static_cast<size_t>(size), '\0');
  const ValueRead read = ReadValue(name, &text[0], size);
  if (read.Type != REG_SZ && read.Type != REG_EXPAND_SZ) {
    throw ERegistryException(Formatted(kInvalidDataType, name));
  }
  // The value may have shrunk since its size was queried: only the bytes read are text.
  if (read.Size >= 0 && read.Size < size) text.resize(static_cast<size_t>(read.Size));
  return text.substr(0, text.find('\0'));
}

bool TRegistry::RemoveKeyTree(const std::string& path) {
  const bool relative = IsRelative(path);
  const std::string subKey = WithoutLeadingBackslash(path);
  // To the registry an empty name means the base key itself: deleting "" would take the
  // current key, or a whole root's subtree, with everything below it.
  if (subKey.empty()) return false;
  const HKEY remembered = currentKey_;
  const HKEY key = OpenKeyHandle(path);
  if (key != nullptr) {
    currentKey_ = key;
    KeyInfo info;
    if (QueryKeyInfo(info)) {
      std::vector<char> name(static_cast<size_t>(info.MaxSubKeyLen) + 1);
      // Last to first, so deleting a subkey never shifts the indices still to come.
      for (std::int32_t index = info.NumSubKeys - 1; index >= 0; --index) {
        DWORD length = static_cast<DWORD>(info.MaxSubKeyLen) + 1;
        if (functions_.EnumKeyEx(key, static_cast<DWORD>(index), name.data(), &length, nullptr,
                                 nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
          RemoveKeyTree(std::string(name.data()));
        }
      }
    }
    currentKey_ = remembered;
    functions_.CloseKey(key);
  }
  // NT refuses to delete a key that still has subkeys, hence the depth-first walk above.
  return functions_.DeleteKey(BaseFor(relative), subKey.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const std::string& path) {
  const bool relative = IsRelative(path);
  const std::string subKey = WithoutLeadingBackslash(path);
  HKEY key = nullptr;
  const LONG status =
      functions_.OpenKeyEx(BaseFor(relative), subKey.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (status == ERROR_SUCCESS) functions_.CloseKey(key);
  // Anything but "not found" (a key the user may not open, say) counts as still there.
  return status != ERROR_FILE_NOT_FOUND;
}
