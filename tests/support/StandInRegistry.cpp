// The stand-in registry: a tree of keys in memory behind the seven registry functions. Where
// Windows leaves a detail open, it does what Wine's registry does (the contract suite runs
// against both), including the odd parts: an empty subkey of a predefined root yields the root
// itself, deleted keys stay reachable through their open handles, and an out-handle is not
// always cleared on failure. Symbolic links behave as in Wine: every open follows them unless it
// asks for REG_OPTION_OPEN_LINK on the last name, and a delete acts on what its open reached.
// Where Windows is documented to differ, a stand-in made with Behaviour::Windows does as Windows
// does (the header lists each difference and its source).
#include "tests/support/StandInRegistry.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// The right RegDeleteKeyA asks for on the key it deletes (DELETE in the Windows headers).
constexpr REGSAM kDeleteRight = 0x00010000;
constexpr std::size_t kLongestName = 255;
// Wine converts an ANSI subkey path into a fixed buffer of 261 wide characters, NUL
// included; a longer path fails with ERROR_MORE_DATA before the out-handle is touched.
constexpr std::size_t kLongestPath = 260;
// Handles are never reused, not even across stand-ins, so a stale handle is always refused.
// They stay below 0x80000000, where RegCloseKey treats every value as predefined.
std::uintptr_t nextHandle = 0x1000;
const char kLinkValueName[] = "SymbolicLinkValue";
// Wine followed a chain of 20 links (tried); a loop made the open fail with
// ERROR_INVALID_PARAMETER.
constexpr int kMostLinksFollowed = 32;

// Stand-in names and link targets are ANSI text in code page 1252, the one of the test
// prefixes, where bytes 0x80 to 0x9F stand for characters scattered over Unicode.
unsigned Unicode(char c) {
  static const unsigned short kFrom80To9F[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  const unsigned byte = static_cast<unsigned char>(c);
  return byte >= 0x80 && byte <= 0x9F ? kFrom80To9F[byte - 0x80] : byte;
}

// Wine compares names as lower-cased UTF-16: letters beyond ASCII fold too ("\xC9" is "\xE9").
unsigned Collated(char c) {
  const unsigned code = Unicode(c);
  if ((code >= 'A' && code <= 'Z') || (code >= 0xC0 && code <= 0xDE && code != 0xD7)) {
    return code + 0x20;
  }
  if (code == 0x0160 || code == 0x0152 || code == 0x017D) return code + 1;  // Š Œ Ž
  return code == 0x0178 ? 0x00FF : code;                                    // Ÿ
}

// Names compare equal whatever their case, and Wine orders subkeys by their lower-cased names
// ("A_B" before "AB", as '_' is below 'b').
struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Collated(x) < Collated(y); });
  }
};

bool SameName(const std::string& a, const std::string& b) {
  return !NameLess()(a, b) && !NameLess()(b, a);
}

FILETIME Now() {
  using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
  constexpr std::uint64_t k1601To1970 = 116444736000000000ULL;
  const std::uint64_t ticks =
      static_cast<std::uint64_t>(
          std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
              .count()) +
      k1601To1970;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A link's target is stored as the system stores it: UTF-16 without a NUL.
std::string Widened(const std::string& text) {
  std::string wide;
  for (char c : text) {
    wide += static_cast<char>(Unicode(c) & 0xFF);
    wide += static_cast<char>(Unicode(c) >> 8);
  }
  return wide;
}

// False for a character the code page cannot spell: no stand-in name holds it.
bool Narrowed(const std::string& wide, std::string& text) {
  if (wide.size() % 2 != 0) return false;
  text.clear();
  for (std::size_t i = 0; i < wide.size(); i += 2) {
    const unsigned code = static_cast<unsigned char>(wide[i]) |
                          static_cast<unsigned>(static_cast<unsigned char>(wide[i + 1])) << 8;
    int byte = 0;
    while (byte < 256 && Unicode(static_cast<char>(byte)) != code) ++byte;
    if (byte == 256) return false;
    text += static_cast<char>(byte);
  }
  return true;
}

// The names of a path: runs of backslashes separate like one, and a trailing one is ignored.
std::vector<std::string> PathNames(const std::string& path) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

struct Value {
  DWORD type;
  std::string data;
};

struct Key {
  std::string name;
  Key* parent = nullptr;  // null for a root and for a deleted key
  std::map<std::string, std::shared_ptr<Key>, NameLess> subkeys;
  std::map<std::string, Value, NameLess> values;
  bool deleted = false;
  bool denyFullAccess = false;
  bool denyReading = false;
  bool link = false;  // a symbolic link: its SymbolicLinkValue names the key it stands for
  std::map<DWORD, LONG> enumFaults;  // by index: how enumerating the subkey there fails
  FILETIME lastWrite = Now();
};

// Seeding paths are checked strictly: a name the system would refuse or silently reshape is a
// mistake in the test, not something to model.
std::vector<std::string> SeedingNames(const std::string& path) {
  std::vector<std::string> names;
  if (path.empty()) return names;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find('\\', start);
    const std::string name = path.substr(start, end == std::string::npos ? end : end - start);
    if (name.empty() || name.size() > kLongestName || name.find('\0') != std::string::npos) {
      throw std::invalid_argument("not a registry key path: \"" + path + "\"");
    }
    names.push_back(name);
    if (end == std::string::npos) return names;
    start = end + 1;
  }
}

void MarkDeleted(Key& key) {
  key.deleted = true;
  key.parent = nullptr;
  for (auto& subkey : key.subkeys) MarkDeleted(*subkey.second);
  key.subkeys.clear();
}

}  // namespace

struct StandInRegistry::State {
  struct Handle {
    std::shared_ptr<Key> key;
    REGSAM access;
    // Windows: the path below HKEY_CLASSES_ROOT the key was opened by, which opens below it
    // merge again; empty for a key opened any other way.
    std::vector<std::string> classesPath;
  };
  std::shared_ptr<Key> currentUser = std::make_shared<Key>();
  std::shared_ptr<Key> localMachine = std::make_shared<Key>();
  std::shared_ptr<Key> users = std::make_shared<Key>();
  // HKLM\SOFTWARE\Classes, which HKEY_CLASSES_ROOT shows (as in Wine, without a per-user part).
  std::shared_ptr<Key> classes;
  std::map<std::uintptr_t, Handle> handles;
  CallCounts calls;
  std::vector<std::string> unexpectedCalls;
  std::function<void()> afterSizeQuery;
  bool scribble = false;
  bool openKeyDeletion = true;
  Behaviour behaviour = Behaviour::Wine8;

  State() { classes = Child(*Child(*localMachine, "SOFTWARE"), "Classes"); }

  static State* Active() {
    StandInRegistry* active = StandInRegistry::Active();
    return active == nullptr ? nullptr : active->state_.get();
  }

  static std::shared_ptr<Key> Child(Key& parent, const std::string& name) {
    auto found = parent.subkeys.find(name);
    if (found != parent.subkeys.end()) return found->second;
    auto child = std::make_shared<Key>();
    child->name = name;
    child->parent = &parent;
    parent.subkeys.emplace(name, child);
    parent.lastWrite = Now();
    return child;
  }

  std::shared_ptr<Key> Root(HKEY root) const {
    if (root == HKEY_CLASSES_ROOT) return classes;
    if (root == HKEY_CURRENT_USER) return currentUser;
    if (root == HKEY_LOCAL_MACHINE) return localMachine;
    if (root == HKEY_USERS) return users;
    return nullptr;
  }

  bool IsRootOrClasses(const Key& key) const {
    return &key == currentUser.get() || &key == localMachine.get() || &key == users.get() ||
           &key == classes.get();
  }

  LONG Resolve(HKEY key, std::shared_ptr<Key>& node, REGSAM& access) const {
    if (std::shared_ptr<Key> root = Root(key)) {
      node = root;
      access = KEY_ALL_ACCESS;
      return ERROR_SUCCESS;
    }
    auto found = handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (found == handles.end()) return ERROR_INVALID_HANDLE;
    node = found->second.key;
    access = found->second.access;
    return ERROR_SUCCESS;
  }

  // A handle's key for an operation that needs `right` on the handle.
  LONG Use(HKEY key, REGSAM right, std::shared_ptr<Key>& node) const {
    REGSAM granted = 0;
    LONG status = Resolve(key, node, granted);
    if (status != ERROR_SUCCESS) return status;
    if ((granted & right) != right) return ERROR_ACCESS_DENIED;
    return node->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
  }

  // Replaces a link by the key its target names, \Registry\Machine\... or \Registry\User\...
  LONG FollowLinks(std::shared_ptr<Key>& node, int& followed) const {
    while (node->link) {
      if (++followed > kMostLinksFollowed) return ERROR_INVALID_PARAMETER;
      auto value = node->values.find(kLinkValueName);
      std::string target;
      if (value == node->values.end() || value->second.type != REG_LINK ||
          !Narrowed(value->second.data, target) || target.empty() || target[0] != '\\') {
        return ERROR_FILE_NOT_FOUND;
      }
      std::vector<std::string> names = PathNames(target);
      if (names.size() < 2 || !SameName(names[0], "Registry")) return ERROR_FILE_NOT_FOUND;
      if (SameName(names[1], "Machine")) {
        node = localMachine;
      } else if (SameName(names[1], "User")) {
        node = users;
      } else {
        return ERROR_FILE_NOT_FOUND;
      }
      names.erase(names.begin(), names.begin() + 2);
      const LONG status = Descend(node, names, false, followed);
      if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
  }

  // Wine follows a link met on the way, the one a relative path starts from included, and the
  // last one unless asked to open the link itself. An empty path reaches the key it starts from.
  LONG Descend(std::shared_ptr<Key>& node, const std::vector<std::string>& names, bool openLink,
               int& followed) const {
    for (const std::string& name : names) {
      const LONG status = FollowLinks(node, followed);
      if (status != ERROR_SUCCESS) return status;
      auto found = node->subkeys.find(name);
      if (found == node->subkeys.end()) return ERROR_FILE_NOT_FOUND;
      node = found->second;
    }
    // Windows follows a link reached by an empty name too; Wine 8 stops at the link.
    const bool stop = openLink || (names.empty() && behaviour == Behaviour::Wine8);
    return stop ? ERROR_SUCCESS : FollowLinks(node, followed);
  }

  // Windows: whether `base` is HKEY_CLASSES_ROOT or a key opened through it, and its path there.
  bool MergesClasses(HKEY base, std::vector<std::string>& below) const {
    if (behaviour != Behaviour::Windows) return false;
    if (base == HKEY_CLASSES_ROOT) {
      below.clear();
      return true;
    }
    auto found = handles.find(reinterpret_cast<std::uintptr_t>(base));
    if (found == handles.end() || found->second.classesPath.empty()) return false;
    below = found->second.classesPath;
    return true;
  }

  std::shared_ptr<Key> UserClasses() const {
    auto software = currentUser->subkeys.find("Software");
    if (software == currentUser->subkeys.end()) return nullptr;
    auto found = software->second->subkeys.find("Classes");
    return found == software->second->subkeys.end() ? nullptr : found->second;
  }

  // The key below `base` that RegOpenKeyExA would open. No right is needed on `base` itself.
  // Runs of backslashes separate like one, and a trailing one is ignored, as in Wine.
  // `classesPath`, when given, receives the path below HKEY_CLASSES_ROOT of a merged open.
  LONG Walk(HKEY base, const std::string& path, std::shared_ptr<Key>& node, bool openLink = false,
            std::vector<std::string>* classesPath = nullptr) const {
    REGSAM unused = 0;
    LONG status = Resolve(base, node, unused);
    if (status != ERROR_SUCCESS) return status;
    if (node->deleted) return ERROR_KEY_DELETED;
    if (!path.empty() && path[0] == '\\') return ERROR_BAD_PATHNAME;
    int followed = 0;
    const std::vector<std::string> names = PathNames(path);
    std::vector<std::string> below;
    if (!MergesClasses(base, below)) return Descend(node, names, openLink, followed);
    below.insert(below.end(), names.begin(), names.end());
    if (classesPath != nullptr) *classesPath = below;
    std::shared_ptr<Key> user = UserClasses();
    if (user != nullptr && Descend(user, below, openLink, followed) == ERROR_SUCCESS) {
      node = user;
      return ERROR_SUCCESS;
    }
    node = classes;
    followed = 0;
    return Descend(node, below, openLink, followed);
  }

  // RegOpenKeyExA without the handle: what it finds and whether `access` is granted there.
  LONG Open(HKEY base, LPCSTR subKey, REGSAM access, std::shared_ptr<Key>& node,
            bool openLink = false, std::vector<std::string>* classesPath = nullptr) const {
    if (base == nullptr) return ERROR_INVALID_HANDLE;
    std::string path = subKey == nullptr ? "" : subKey;
    // Windows (and Wine) accept one leading backslash below HKEY_CLASSES_ROOT only.
    if (base == HKEY_CLASSES_ROOT && !path.empty() && path[0] == '\\') path.erase(0, 1);
    if (path.size() > kLongestPath) return ERROR_MORE_DATA;
    LONG status = Walk(base, path, node, openLink, classesPath);
    if (status != ERROR_SUCCESS) return status;
    if (node->denyReading || (node->denyFullAccess && (access & ~KEY_READ) != 0)) {
      return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
  }

  // Links are followed as RegCreateKeyExA follows them, the last one only when `followLast`.
  std::shared_ptr<Key> SeedingKey(HKEY root, const std::string& path, bool create,
                                  bool followLast = true) const {
    std::shared_ptr<Key> node = Root(root);
    if (node == nullptr) throw std::invalid_argument("not a predefined root key");
    int followed = 0;
    const auto follow = [&] {
      if (FollowLinks(node, followed) != ERROR_SUCCESS) {
        throw std::invalid_argument("a link on \"" + path + "\" names no key");
      }
    };
    for (const std::string& name : SeedingNames(path)) {
      follow();
      if (create) {
        node = Child(*node, name);
        continue;
      }
      auto found = node->subkeys.find(name);
      if (found == node->subkeys.end()) return nullptr;
      node = found->second;
    }
    if (followLast) follow();
    return node;
  }

  void Detach(const std::shared_ptr<Key>& key) {
    Key* parent = key->parent;
    parent->subkeys.erase(key->name);
    parent->lastWrite = Now();
    MarkDeleted(*key);
  }

  static LONG WINAPI OpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM access,
                               PHKEY result) {
    State* state = Active();
    if (state != nullptr) ++state->calls.OpenKeyEx;
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    if (state == nullptr) {
      *result = nullptr;
      return ERROR_INVALID_HANDLE;
    }
    // RegOpenKeyEx takes 0 or REG_OPTION_OPEN_LINK; anything else is a mistake of the caller's.
    if (options != 0 && options != REG_OPTION_OPEN_LINK) {
      state->unexpectedCalls.push_back("RegOpenKeyExA with options " + std::to_string(options));
      *result = nullptr;
      return ERROR_INVALID_PARAMETER;
    }
    // A predefined root opened with no subkey is handed back itself, not a new handle.
    if ((subKey == nullptr || *subKey == '\0') && state->Root(key) != nullptr) {
      *result = key;
      return ERROR_SUCCESS;
    }
    std::shared_ptr<Key> node;
    std::vector<std::string> classesPath;
    const LONG status =
        state->Open(key, subKey, access, node, (options & REG_OPTION_OPEN_LINK) != 0, &classesPath);
    // Wine fails these two before it clears the out-handle: a null base and an overlong path.
    if (key == nullptr || status == ERROR_MORE_DATA) return status;
    *result = nullptr;
    if (status != ERROR_SUCCESS) return status;
    const std::uintptr_t handle = nextHandle;
    nextHandle += 4;
    state->handles.emplace(handle, Handle{node, access, std::move(classesPath)});
    *result = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
  }

  static LONG WINAPI CloseKey(HKEY key) {
    State* state = Active();
    if (state == nullptr) return ERROR_INVALID_HANDLE;
    ++state->calls.CloseKey;
    if (key == nullptr) {
      state->unexpectedCalls.push_back("RegCloseKey of the null handle");
      return ERROR_INVALID_HANDLE;
    }
    if (reinterpret_cast<std::uintptr_t>(key) >= 0x80000000u) return ERROR_SUCCESS;
    return state->handles.erase(reinterpret_cast<std::uintptr_t>(key)) == 1 ? ERROR_SUCCESS
                                                                            : ERROR_INVALID_HANDLE;
  }

  static LONG WINAPI QueryInfoKey(HKEY key, LPSTR className, LPDWORD classLength, LPDWORD reserved,
                                  LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                                  LPDWORD values, LPDWORD maxValueNameLength,
                                  LPDWORD maxValueLength, LPDWORD securityDescriptorLength,
                                  PFILETIME lastWriteTime) {
    State* state = Active();
    if (state == nullptr) return ERROR_INVALID_HANDLE;
    ++state->calls.QueryInfoKey;
    if (reserved != nullptr || (className != nullptr && classLength == nullptr)) {
      return ERROR_INVALID_PARAMETER;
    }
    std::shared_ptr<Key> node;
    // Wine asks no right of the handle for this query.
    const LONG status = state->Use(key, 0, node);
    if (status != ERROR_SUCCESS) return status;
    // Stand-in keys have no class: an empty one needs room for its NUL only.
    if (className != nullptr && *classLength == 0) return ERROR_MORE_DATA;
    if (className != nullptr) className[0] = '\0';
    if (classLength != nullptr) *classLength = 0;
    DWORD longestSubkey = 0;
    for (const auto& subkey : node->subkeys) {
      longestSubkey = std::max(longestSubkey, static_cast<DWORD>(subkey.first.size()));
    }
    DWORD longestValueName = 0;
    DWORD largestData = 0;
    for (const auto& value : node->values) {
      longestValueName = std::max(longestValueName, static_cast<DWORD>(value.first.size()));
      // The system stores text as UTF-16: two bytes for each ANSI character.
      const std::size_t stored = value.second.data.size() * (IsText(value.second.type) ? 2 : 1);
      largestData = std::max(largestData, static_cast<DWORD>(stored));
    }
    if (subKeys != nullptr) *subKeys = static_cast<DWORD>(node->subkeys.size());
    if (maxSubKeyLength != nullptr) *maxSubKeyLength = longestSubkey;
    if (maxClassLength != nullptr) *maxClassLength = 0;
    if (values != nullptr) *values = static_cast<DWORD>(node->values.size());
    if (maxValueNameLength != nullptr) *maxValueNameLength = longestValueName;
    if (maxValueLength != nullptr) *maxValueLength = largestData;
    if (securityDescriptorLength != nullptr) *securityDescriptorLength = 0;
    if (lastWriteTime != nullptr) *lastWriteTime = node->lastWrite;
    return ERROR_SUCCESS;
  }

  static LONG WINAPI EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength,
                               LPDWORD reserved, LPSTR className, LPDWORD classLength,
                               PFILETIME lastWriteTime) {
    State* state = Active();
    if (state == nullptr) return ERROR_INVALID_HANDLE;
    ++state->calls.EnumKeyEx;
    // Wine would crash on a missing name buffer or length; refusing is the safe reading.
    if (reserved != nullptr || name == nullptr || nameLength == nullptr) {
      return ERROR_INVALID_PARAMETER;
    }
    std::shared_ptr<Key> node;
    const LONG status = state->Use(key, KEY_ENUMERATE_SUB_KEYS, node);
    if (status != ERROR_SUCCESS) return status;
    const auto fault = node->enumFaults.find(index);
    if (fault != node->enumFaults.end()) return fault->second;
    if (index >= node->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const auto& subkey = *std::next(node->subkeys.begin(), index);
    if (lastWriteTime != nullptr) *lastWriteTime = subkey.second->lastWrite;
    // The NUL must fit too; on failure the length is left as it was, not set to what is needed.
    const std::string& found = subkey.first;
    if (found.size() >= *nameLength ||
        (className != nullptr && classLength != nullptr && *classLength == 0)) {
      return ERROR_MORE_DATA;
    }
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameLength = static_cast<DWORD>(found.size());
    if (classLength != nullptr) {
      if (className != nullptr) className[0] = '\0';
      *classLength = 0;
    }
    return ERROR_SUCCESS;
  }

  LONG ReadValue(HKEY key, LPCSTR valueName, LPDWORD type, LPBYTE data, LPDWORD dataLength) const {
    std::shared_ptr<Key> node;
    const LONG status = Use(key, KEY_QUERY_VALUE, node);
    if (status != ERROR_SUCCESS) return status;
    auto found = node->values.find(valueName == nullptr ? "" : valueName);
    if (found == node->values.end()) return ERROR_FILE_NOT_FOUND;
    const Value& value = found->second;
    const DWORD size = static_cast<DWORD>(value.data.size());
    LONG result = ERROR_SUCCESS;
    if (data != nullptr && size > *dataLength) {
      result = ERROR_MORE_DATA;  // the buffer is left alone
    } else if (data != nullptr && scribble) {
      std::memcpy(data, value.data.data(), size);
      std::memset(data + size, 'Z', *dataLength - size);
    } else if (data != nullptr) {
      std::memcpy(data, value.data.data(), size);
      // Like NT, text stored without its NUL gets one when the buffer has room for it; the
      // size reported stays that of the data.
      if (IsText(value.type) && size > 0 && size < *dataLength && data[size - 1] != 0) {
        data[size] = 0;
      }
    }
    if (type != nullptr) *type = value.type;
    if (dataLength != nullptr) *dataLength = size;
    return result;
  }

  static LONG WINAPI QueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                  LPBYTE data, LPDWORD dataLength) {
    State* state = Active();
    if (state != nullptr) ++state->calls.QueryValueEx;
    if ((data != nullptr && dataLength == nullptr) || reserved != nullptr) {
      return ERROR_INVALID_PARAMETER;
    }
    // Wine clears both out-arguments first, so a failed size query reports type 0, size 0.
    const bool sizeOnly = data == nullptr && dataLength != nullptr;
    if (sizeOnly) *dataLength = 0;
    if (type != nullptr) *type = REG_NONE;
    if (state == nullptr) return ERROR_INVALID_HANDLE;
    const LONG status = state->ReadValue(key, valueName, type, data, dataLength);
    if (sizeOnly && state->afterSizeQuery) {
      std::function<void()> action = std::exchange(state->afterSizeQuery, nullptr);
      action();
    }
    return status;
  }

  static LONG WINAPI DeleteKey(HKEY key, LPCSTR subKey) {
    State* state = Active();
    if (state == nullptr) return ERROR_INVALID_HANDLE;
    ++state->calls.DeleteKey;
    if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
    // The key is opened for deletion on its own, so the rights of `key` do not matter. That open
    // follows a link named last: a link goes only through a handle to the link itself and "".
    std::shared_ptr<Key> node;
    const LONG status = state->Open(key, subKey, kDeleteRight, node);
    if (status != ERROR_SUCCESS) return status;
    // NT refuses to delete a key that still has subkeys, and the roots are never deleted.
    if (state->IsRootOrClasses(*node) || !node->subkeys.empty()) return ERROR_ACCESS_DENIED;
    // Handles still open on the key stay valid; everything but closing them fails from now on.
    state->Detach(node);
    return ERROR_SUCCESS;
  }

  // NtDeleteKey: the handle's own key, a link opened as itself included; it needs DELETE on the
  // handle. A predefined root is no handle to it; a key deleted already deletes again (Wine and
  // Windows alike: the header says where Windows does so).
  static LONG WINAPI DeleteOpenKey(HKEY key) {
    State* state = Active();
    if (state == nullptr) return ERROR_INVALID_HANDLE;
    ++state->calls.DeleteOpenKey;
    if (!state->openKeyDeletion) return ERROR_PROC_NOT_FOUND;
    if (state->Root(key) != nullptr) return ERROR_INVALID_HANDLE;
    std::shared_ptr<Key> node;
    const LONG status = state->Use(key, kDeleteRight, node);
    if (status == ERROR_KEY_DELETED) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    if (state->IsRootOrClasses(*node) || !node->subkeys.empty()) return ERROR_ACCESS_DENIED;
    state->Detach(node);
    return ERROR_SUCCESS;
  }
};

StandInRegistry::StandInRegistry(Behaviour behaviour) : state_(std::make_unique<State>()) {
  state_->behaviour = behaviour;
}

StandInRegistry::~StandInRegistry() = default;

const RegistryFunctions& StandInRegistry::Functions() {
  static const RegistryFunctions functions{
      &State::OpenKeyEx,    &State::CloseKey,  &State::QueryInfoKey, &State::EnumKeyEx,
      &State::QueryValueEx, &State::DeleteKey, &State::DeleteOpenKey};
  return functions;
}

void StandInRegistry::CreateKey(HKEY root, const std::string& path) {
  state_->SeedingKey(root, path, true);
}

void StandInRegistry::SetValue(HKEY root, const std::string& path, const std::string& name,
                               DWORD type, const std::string& data) {
  std::shared_ptr<Key> key = state_->SeedingKey(root, path, true);
  auto found = key->values.find(name);
  if (found == key->values.end()) {
    key->values.emplace(name, Value{type, data});
  } else {
    found->second = Value{type, data};  // keeps the name as first written
  }
  key->lastWrite = Now();
}

void StandInRegistry::SetText(HKEY root, const std::string& path, const std::string& name,
                              const std::string& text, DWORD type) {
  SetValue(root, path, name, type, text + '\0');
}

void StandInRegistry::CreateLink(HKEY root, const std::string& path, const std::string& target) {
  std::vector<std::string> names = SeedingNames(path);
  if (names.empty()) throw std::invalid_argument("CreateLink needs a key below the root");
  const std::string name = names.back();
  const std::string parentPath = path.substr(0, path.size() - name.size());
  std::shared_ptr<Key> parent = state_->SeedingKey(
      root, parentPath.empty() ? "" : parentPath.substr(0, parentPath.size() - 1), true);
  if (parent->subkeys.count(name) == 1) {
    throw std::invalid_argument("\"" + path + "\" exists already");
  }
  std::shared_ptr<Key> link = State::Child(*parent, name);
  link->link = true;
  link->values.emplace(kLinkValueName, Value{REG_LINK, Widened(target)});
}

void StandInRegistry::DeleteValue(HKEY root, const std::string& path, const std::string& name) {
  if (std::shared_ptr<Key> key = state_->SeedingKey(root, path, false)) {
    if (key->values.erase(name) == 1) key->lastWrite = Now();
  }
}

bool StandInRegistry::KeyExists(HKEY root, const std::string& path) const {
  std::shared_ptr<Key> node;
  return state_->Walk(root, path, node) == ERROR_SUCCESS;
}

bool StandInRegistry::ValueExists(HKEY root, const std::string& path,
                                  const std::string& name) const {
  std::shared_ptr<Key> node;
  return state_->Walk(root, path, node) == ERROR_SUCCESS && node->values.count(name) == 1;
}

void StandInRegistry::DeleteTree(HKEY root, const std::string& path) {
  if (path.empty()) throw std::invalid_argument("DeleteTree needs a key below the root");
  std::shared_ptr<Key> key = state_->SeedingKey(root, path, false, false);
  if (key == nullptr) return;
  for (const Key* below = state_->classes.get(); below != nullptr; below = below->parent) {
    if (below == key.get()) {
      throw std::invalid_argument("\"" + path + "\" holds what HKEY_CLASSES_ROOT shows");
    }
  }
  state_->Detach(key);
}

int StandInRegistry::OpenHandleCount() const { return static_cast<int>(state_->handles.size()); }

void StandInRegistry::DenyFullAccess(HKEY root, const std::string& path, bool evenReading) {
  std::shared_ptr<Key> key = state_->SeedingKey(root, path, false, false);
  if (key == nullptr) throw std::invalid_argument("no key \"" + path + "\" to deny access to");
  key->denyFullAccess = true;
  key->denyReading = evenReading;
}

void StandInRegistry::FailEnumeration(HKEY root, const std::string& path, DWORD index,
                                      LONG status) {
  std::shared_ptr<Key> key = state_->SeedingKey(root, path, false, false);
  if (key == nullptr) throw std::invalid_argument("no key \"" + path + "\" to enumerate");
  if (status == ERROR_SUCCESS) {
    key->enumFaults.erase(index);
  } else {
    key->enumFaults[index] = status;
  }
}

void StandInRegistry::ScribbleBeyondReads() { state_->scribble = true; }

void StandInRegistry::WithoutOpenKeyDeletion() { state_->openKeyDeletion = false; }

void StandInRegistry::AfterNextSizeQuery(std::function<void()> action) {
  state_->afterSizeQuery = std::move(action);
}

const StandInRegistry::CallCounts& StandInRegistry::Calls() const { return state_->calls; }

std::vector<std::string> StandInRegistry::TakeUnexpectedCalls() {
  return std::exchange(state_->unexpectedCalls, {});
}

void StandInRegistry::ResetCalls() { state_->calls = CallCounts{}; }

std::vector<StandInRegistry::TreeKey> StandInRegistry::Tree(HKEY root,
                                                            const std::string& path) const {
  std::vector<TreeKey> tree;
  const std::function<void(const Key&, const std::string&)> add = [&](const Key& key,
                                                                      const std::string& below) {
    TreeKey entry{below, {}};
    for (const auto& value : key.values) {
      entry.values.push_back(TreeValue{value.first, value.second.type, value.second.data});
    }
    tree.push_back(std::move(entry));
    for (const auto& subkey : key.subkeys) {
      add(*subkey.second, below.empty() ? subkey.first : below + '\\' + subkey.first);
    }
  };
  if (std::shared_ptr<Key> top = state_->SeedingKey(root, path, false, false)) add(*top, "");
  return tree;
}
