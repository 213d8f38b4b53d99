#pragma once
// What any listing has to ask the registry, and nothing more: open the helper-object key, ask
// its size, enumerate it, close it; then per registration open the class key, read its default
// value, open its server key, read that key's default value and close both. One read per value
// into a buffer that is usually large enough. The registry object's own listing is measured
// against this.

#include <cstring>
#include <string>
#include <vector>

#include "catalogue/Listing.h"
#include "registry/RegistryFunctions.h"

namespace floor_listing {

// With sizeFirst, each value's size is asked before its data is read, as the registry object
// does to size its buffer exactly.
inline void ReadDefault(const RegistryFunctions& registry, HKEY key, std::string& text,
                        bool sizeFirst) {
  char buffer[520];
  if (sizeFirst) {
    DWORD size = 0;
    if (registry.QueryValueEx(key, "", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
      text.clear();
      return;
    }
  }
  DWORD type = 0;
  DWORD size = sizeof buffer;
  LONG status =
      registry.QueryValueEx(key, "", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  if (status == ERROR_MORE_DATA) {
    std::vector<char> large(size);
    status = registry.QueryValueEx(key, "", nullptr, &type, reinterpret_cast<BYTE*>(large.data()),
                                   &size);
    text.assign(large.data(), status == ERROR_SUCCESS ? strnlen(large.data(), size) : 0);
    return;
  }
  text.assign(buffer, status == ERROR_SUCCESS ? strnlen(buffer, size) : 0);
}

}  // namespace floor_listing

// Calls addRow(guid, name, server) for each registration whose class key opens; server is
// null when the class has no server key.
template <class AddRow>
void FloorListing(const RegistryFunctions& registry, AddRow&& addRow, bool sizeFirst = false) {
  HKEY helper = nullptr;
  if (registry.OpenKeyEx(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath, 0, KEY_ALL_ACCESS, &helper) !=
      ERROR_SUCCESS) {
    return;
  }
  DWORD count = 0;
  DWORD longest = 0;
  registry.QueryInfoKey(helper, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr);
  std::vector<std::string> guids;
  guids.reserve(count);
  std::vector<char> name(longest + 1);
  for (DWORD i = 0; i < count; ++i) {
    DWORD length = DWORD(name.size());
    if (registry.EnumKeyEx(helper, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
      guids.emplace_back(name.data(), length);
    }
  }
  registry.CloseKey(helper);

  std::string caption;
  std::string server;
  for (const std::string& guid : guids) {
    HKEY classKey = nullptr;
    if (registry.OpenKeyEx(HKEY_CLASSES_ROOT, ("CLSID\\" + guid).c_str(), 0, KEY_ALL_ACCESS,
                           &classKey) != ERROR_SUCCESS) {
      continue;
    }
    floor_listing::ReadDefault(registry, classKey, caption, sizeFirst);
    HKEY serverKey = nullptr;
    const bool hasServer = registry.OpenKeyEx(classKey, "InprocServer32", 0, KEY_ALL_ACCESS,
                                              &serverKey) == ERROR_SUCCESS;
    if (hasServer) {
      floor_listing::ReadDefault(registry, serverKey, server, sizeFirst);
      registry.CloseKey(serverKey);
    }
    registry.CloseKey(classKey);
    addRow(guid, caption, hasServer ? &server : nullptr);
  }
}
