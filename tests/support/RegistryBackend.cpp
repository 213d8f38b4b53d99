// The registries the contract suites run against. The system backend writes only below the
// trees the suites own and removes them again, so Wine's own keys are never touched.
#include "tests/support/RegistryBackend.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#include <winternl.h>

#include <string.h>

#include <algorithm>
#include <set>
#endif

const char kMachineTestsKey[] = "SOFTWARE\\Velloran Tests";

namespace {

class StandInBackend final : public RegistryBackend {
 public:
  explicit StandInBackend(StandInRegistry::Behaviour behaviour) : registry_(behaviour) {}
  const RegistryFunctions& Functions() const override { return StandInRegistry::Functions(); }
  void CreateKey(HKEY root, const std::string& path) override { registry_.CreateKey(root, path); }
  void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                const std::string& data) override {
    registry_.SetValue(root, path, name, type, data);
  }
  void CreateLink(HKEY root, const std::string& path, const std::string& target) override {
    registry_.CreateLink(root, path, target);
  }
  bool KeyExists(HKEY root, const std::string& path) const override {
    return registry_.KeyExists(root, path);
  }
  void DeleteTree(HKEY root, const std::string& path) override { registry_.DeleteTree(root, path); }
  int OpenHandleCount() const override { return registry_.OpenHandleCount(); }
  StandInRegistry* StandIn() override { return &registry_; }

 private:
  StandInRegistry registry_;
};

#ifdef _WIN32

const char kTestsKey[] = "Software\\Velloran Tests";  // below HKEY_CURRENT_USER
// One value per class key a backend created, written before the key itself: a run that died
// before cleaning up still has its class keys removed by the next backend.
const char kClassKeyRecord[] = "Software\\Velloran Test Class Keys";  // below HKEY_CURRENT_USER
const char kHelperObjectKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char kClassIdKey[] = "SOFTWARE\\Classes\\CLSID";  // below HKLM; HKEY_CLASSES_ROOT shows it
// Per-user classes, below HKCU: Windows shows them in HKEY_CLASSES_ROOT over the machine's.
const char kUserClassIdKey[] = "Software\\Classes\\CLSID";

// As the registry folds names: every letter of the ANSI code page, not only ASCII ones.
std::wstring Folded(const std::string& name) {
  std::wstring wide(name.size(), L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, name.data(),
                                                           static_cast<int>(name.size()), &wide[0],
                                                           static_cast<int>(name.size()))));
  CharLowerBuffW(&wide[0], static_cast<DWORD>(wide.size()));
  return wide;
}

struct CaseInsensitiveLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return Folded(a) < Folded(b);
  }
};

// The names of a seeding path, checked as strictly as the stand-in checks them.
std::vector<std::string> Names(const std::string& path) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find('\\', start);
    const std::string name = path.substr(start, end == std::string::npos ? end : end - start);
    if (name.empty() || name.size() > 255 || name.find('\0') != std::string::npos) {
      throw std::invalid_argument("not a registry key path: \"" + path + "\"");
    }
    names.push_back(name);
    if (end == std::string::npos) return names;
    start = end + 1;
  }
}

bool StartsWith(const std::vector<std::string>& names, const std::string& path) {
  const std::vector<std::string> prefix = Names(path);
  if (names.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (_stricmp(names[i].c_str(), prefix[i].c_str()) != 0) return false;
  }
  return true;
}

std::string RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "HKCR";
  if (root == HKEY_CURRENT_USER) return "HKCU";
  if (root == HKEY_LOCAL_MACHINE) return "HKLM";
  return "?";
}

void Check(LONG status, const char* call, HKEY root, const std::string& path) {
  if (status != ERROR_SUCCESS) {
    throw std::runtime_error(std::string(call) + "(" + RootName(root) + "\\" + path +
                             ") failed with " + std::to_string(status));
  }
}

void CloseUnlessRoot(HKEY key, HKEY root) {
  if (key != root) RegCloseKey(key);
}

// Keys are opened and created one name at a time: Wine refuses an ANSI path longer than 260
// characters in one call, and a key with a long name may lie deeper than that.
LONG OpenPath(HKEY root, const std::vector<std::string>& names, bool create, HKEY& key) {
  key = root;
  for (const std::string& name : names) {
    HKEY next = nullptr;
    const LONG status = create ? RegCreateKeyExA(key, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &next, nullptr)
                               : RegOpenKeyExA(key, name.c_str(), 0, KEY_ALL_ACCESS, &next);
    CloseUnlessRoot(key, root);
    key = status == ERROR_SUCCESS ? next : nullptr;
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

// Deletes the key and everything below it. Not RegDeleteTreeA: it descends into links and
// deletes their targets' trees. Each key is opened as itself (a link as the link) and deleted
// through its own handle; wide names, as a tree may hold names the ANSI code page cannot spell.
LONG DeleteOpenedTree(HKEY key) {
  for (;;) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    HKEY child = nullptr;
    LONG status = RegOpenKeyExW(key, name, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &child);
    if (status == ERROR_SUCCESS) {
      status = DeleteOpenedTree(child);
      RegCloseKey(child);
    }
    if (status != ERROR_SUCCESS) return status;
  }
  return RegDeleteKeyA(key, "");
}

// A tree may be missing: then there is nothing to remove.
LONG RemoveTreeStatus(HKEY root, const std::string& path) {
  std::vector<std::string> names = Names(path);
  const std::string last = names.back();
  names.pop_back();
  HKEY parent = nullptr;
  LONG status = OpenPath(root, names, false, parent);
  if (status == ERROR_SUCCESS) {
    HKEY key = nullptr;
    status = RegOpenKeyExA(parent, last.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key);
    CloseUnlessRoot(parent, root);
    if (status == ERROR_SUCCESS) {
      status = DeleteOpenedTree(key);
      RegCloseKey(key);
    }
  }
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

void RemoveTree(HKEY root, const std::string& path) {
  Check(RemoveTreeStatus(root, path), "RemoveTree", root, path);
}

// SystemHandleInformation: every handle of every process, one entry each.
struct HandleEntry {
  ULONG ProcessId;
  BYTE ObjectType;
  BYTE Flags;
  USHORT Value;
  PVOID Object;
  ACCESS_MASK Access;
};
struct HandleTable {
  ULONG Count;
  HandleEntry Entries[1];
};

int ProcessHandleCount() {
  constexpr ULONG kInfoLengthMismatch = 0xC0000004;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    ULONG needed = 0;
    const NTSTATUS status =
        NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer.data(),
                                 static_cast<ULONG>(buffer.size()), &needed);
    if (static_cast<ULONG>(status) == kInfoLengthMismatch) {
      buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed));
      continue;
    }
    if (status != 0) throw std::runtime_error("NtQuerySystemInformation failed");
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    int count = 0;
    for (ULONG i = 0; i < table->Count; ++i) {
      if (table->Entries[i].ProcessId == GetCurrentProcessId()) ++count;
    }
    return count;
  }
}

class SystemBackend final : public RegistryBackend {
 public:
  SystemBackend() {
    RemoveRecordedClassKeys();
    RemoveTree(HKEY_CURRENT_USER, kTestsKey);
    RemoveTree(HKEY_LOCAL_MACHINE, kHelperObjectKey);
    RemoveTree(HKEY_LOCAL_MACHINE, kMachineTestsKey);
  }

  ~SystemBackend() override {
    // Later suites in the same prefix (the program's own among them) must not see our keys.
    for (const std::string& name : classKeys_) RemoveClassKeys(name, RemoveTreeStatus);
    RemoveTreeStatus(HKEY_CURRENT_USER, kClassKeyRecord);
    RemoveTreeStatus(HKEY_CURRENT_USER, kTestsKey);
    RemoveTreeStatus(HKEY_LOCAL_MACHINE, kHelperObjectKey);
    RemoveTreeStatus(HKEY_LOCAL_MACHINE, kMachineTestsKey);
  }

  const RegistryFunctions& Functions() const override { return SystemRegistryFunctions(); }
  int OpenHandleCount() const override { return ProcessHandleCount(); }

  std::string NativeMachinePath(const std::string& path) const override {
    using QueryKey = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto queryKey = reinterpret_cast<QueryKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
    // The key itself, a link as the link: a chain of links must stay a chain.
    HKEY key = HKEY_LOCAL_MACHINE;
    for (const std::string& name : Names(path)) {
      HKEY next = nullptr;
      const LONG status =
          RegOpenKeyExA(key, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &next);
      CloseUnlessRoot(key, HKEY_LOCAL_MACHINE);
      key = status == ERROR_SUCCESS ? next : nullptr;
      if (key == nullptr) break;
    }
    if (key == nullptr) {
      const std::size_t last = path.rfind('\\');
      if (last == std::string::npos) return RegistryBackend::NativeMachinePath(path);
      return NativeMachinePath(path.substr(0, last)) + path.substr(last);
    }
    std::vector<ULONG> name(1024);  // KEY_NAME_INFORMATION: the length in bytes, then the name
    ULONG size = 0;
    const LONG status = queryKey(key, 3 /* KeyNameInformation */, name.data(),
                                 static_cast<ULONG>(name.size() * sizeof(ULONG)), &size);
    RegCloseKey(key);
    if (status != 0) throw std::runtime_error("NtQueryKey failed on HKLM\\" + path);
    // In the ANSI code page, as CreateLink takes it.
    const int length = static_cast<int>(name[0] / sizeof(wchar_t));
    const auto* wide = reinterpret_cast<const wchar_t*>(&name[1]);
    std::string narrow(static_cast<std::size_t>(length) * 2, '\0');
    narrow.resize(static_cast<std::size_t>(WideCharToMultiByte(
        CP_ACP, 0, wide, length, &narrow[0], static_cast<int>(narrow.size()), nullptr, nullptr)));
    return narrow;
  }

  void CreateKey(HKEY root, const std::string& path) override {
    CloseUnlessRoot(CreatePath(root, path), root);
  }

  void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                const std::string& data) override {
    const HKEY key = CreatePath(root, path);
    // RegSetValueExA takes a text whose next byte is a NUL as one whose NUL was forgotten and
    // stores one more byte; a non-NUL byte after the data keeps text stored exactly as given.
    const std::string guarded = data + 'x';
    const LONG status =
        RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                       static_cast<DWORD>(data.size()));
    CloseUnlessRoot(key, root);
    Check(status, "RegSetValueExA", root, path + "\\" + name);
  }

  void CreateLink(HKEY root, const std::string& path, const std::string& target) override {
    std::vector<std::string> names = Names(path);
    const std::string classKey = OwnedClassKey(root, path);
    if (!classKey.empty()) Claim(classKey);
    const std::string name = names.back();
    names.pop_back();
    HKEY parent = nullptr;
    Check(OpenPath(root, names, true, parent), "RegCreateKeyExA", root, path);
    HKEY link = nullptr;
    DWORD disposition = 0;
    // Wine keeps links only while its server runs unless they are volatile; ours go with the
    // prefix anyway.
    LONG status = RegCreateKeyExA(parent, name.c_str(), 0, nullptr,
                                  REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, &disposition);
    CloseUnlessRoot(parent, root);
    if (status == ERROR_ALREADY_EXISTS ||
        (status == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY)) {
      if (status == ERROR_SUCCESS) RegCloseKey(link);
      throw std::invalid_argument("\"" + path + "\" exists already");
    }
    Check(status, "RegCreateKeyExA(REG_OPTION_CREATE_LINK)", root, path);
    // In the ANSI code page, as the names the target's keys were created with.
    std::wstring wide(target.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, target.data(), static_cast<int>(target.size()), &wide[0],
                            static_cast<int>(target.size()))));
    status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(wide.data()),
                            static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    Check(status, "RegSetValueExW(SymbolicLinkValue)", root, path);
  }

  // As forgiving as RegOpenKeyExA: runs of backslashes and a trailing one are allowed.
  bool KeyExists(HKEY root, const std::string& path) const override {
    if (!path.empty() && path[0] == '\\') return false;
    std::vector<std::string> names;
    for (std::size_t start = 0; start < path.size();) {
      const std::size_t end = std::min(path.find('\\', start), path.size());
      if (end > start) names.push_back(path.substr(start, end - start));
      start = end + 1;
    }
    HKEY key = nullptr;
    if (OpenPath(root, names, false, key) != ERROR_SUCCESS) return false;
    CloseUnlessRoot(key, root);
    return true;
  }

  void DeleteTree(HKEY root, const std::string& path) override {
    const std::string classKey = OwnedClassKey(root, path);
    if (!classKey.empty() && classKeys_.count(classKey) == 0) {
      throw std::invalid_argument("refusing to delete a class key no test created: " + path);
    }
    RemoveTree(root, path);
  }

 private:
  // The class key's name for a path below "CLSID\<name>", empty for a path in the other trees
  // the suites own; any other path is refused.
  static std::string OwnedClassKey(HKEY root, const std::string& path) {
    std::vector<std::string> names = Names(path);
    if (root == HKEY_CLASSES_ROOT) {
      names.insert(names.begin(), {"SOFTWARE", "Classes"});
      root = HKEY_LOCAL_MACHINE;
    }
    if (root == HKEY_CURRENT_USER && StartsWith(names, kTestsKey)) return "";
    if (root == HKEY_LOCAL_MACHINE && StartsWith(names, kHelperObjectKey)) return "";
    if (root == HKEY_LOCAL_MACHINE && StartsWith(names, kMachineTestsKey)) return "";
    if (root == HKEY_LOCAL_MACHINE && StartsWith(names, kClassIdKey) && names.size() > 3) {
      return names[3];
    }
    if (root == HKEY_CURRENT_USER && StartsWith(names, kUserClassIdKey) && names.size() > 3) {
      return names[3];
    }
    throw std::invalid_argument("outside the keys the tests may write to: " + RootName(root) +
                                "\\" + path);
  }

  HKEY CreatePath(HKEY root, const std::string& path) {
    const std::string classKey = OwnedClassKey(root, path);
    if (!classKey.empty()) Claim(classKey);
    HKEY key = nullptr;
    Check(OpenPath(root, Names(path), true, key), "RegCreateKeyExA", root, path);
    return key;
  }

  // Records a class key before creating it, so that it is always removed again; one that is
  // already there belongs to the prefix and is never written to.
  void Claim(const std::string& name) {
    if (classKeys_.count(name) == 1) return;
    const std::string path = std::string(kClassIdKey) + "\\" + name;
    const std::string userPath = std::string(kUserClassIdKey) + "\\" + name;
    if (KeyExists(HKEY_LOCAL_MACHINE, path) || KeyExists(HKEY_CURRENT_USER, userPath)) {
      throw std::invalid_argument("the class key belongs to the prefix: " + name);
    }
    HKEY record = nullptr;
    Check(RegCreateKeyExA(HKEY_CURRENT_USER, kClassKeyRecord, 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &record, nullptr),
          "RegCreateKeyExA", HKEY_CURRENT_USER, kClassKeyRecord);
    const LONG status =
        RegSetValueExA(record, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(record);
    Check(status, "RegSetValueExA", HKEY_CURRENT_USER, std::string(kClassKeyRecord) + "\\" + name);
    classKeys_.insert(name);
  }

  static void RemoveRecordedClassKeys() {
    HKEY record = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kClassKeyRecord, 0, KEY_READ, &record) != ERROR_SUCCESS) {
      return;
    }
    std::vector<std::string> names;
    char name[256];
    DWORD length = sizeof name;
    for (DWORD index = 0; RegEnumValueA(record, index, name, &length, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
         ++index, length = sizeof name) {
      names.emplace_back(name, length);
    }
    RegCloseKey(record);
    for (const std::string& recorded : names) RemoveClassKeys(recorded, RemoveTree);
    RemoveTree(HKEY_CURRENT_USER, kClassKeyRecord);
  }

  // The machine's class key of that name and the per-user one.
  template <typename Remove>
  static void RemoveClassKeys(const std::string& name, Remove remove) {
    remove(HKEY_LOCAL_MACHINE, std::string(kClassIdKey) + "\\" + name);
    remove(HKEY_CURRENT_USER, std::string(kUserClassIdKey) + "\\" + name);
  }

  std::set<std::string, CaseInsensitiveLess> classKeys_;
};

#endif

}  // namespace

std::unique_ptr<RegistryBackend> MakeBackend(BackendKind kind) {
  switch (kind) {
    case BackendKind::StandIn:
      return std::make_unique<StandInBackend>(StandInRegistry::Behaviour::Wine8);
    case BackendKind::StandInAsWindows:
      return std::make_unique<StandInBackend>(StandInRegistry::Behaviour::Windows);
    case BackendKind::System:
#ifdef _WIN32
      return std::make_unique<SystemBackend>();
#else
      break;
#endif
  }
  throw std::invalid_argument("no such registry here: " + BackendName(kind));
}

#ifdef _WIN32
void CreateWideKey(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  Check(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        "RegCreateKeyExW", root, "(wide path)");
  RegCloseKey(key);
}
#endif

std::vector<BackendKind> AvailableBackends() {
#ifdef _WIN32
  return {BackendKind::StandIn, BackendKind::System};
#else
  return {BackendKind::StandIn};
#endif
}

std::vector<BackendKind> SafetyBackends() {
  std::vector<BackendKind> kinds = AvailableBackends();
  kinds.push_back(BackendKind::StandInAsWindows);
  return kinds;
}

std::string BackendName(BackendKind kind) {
  switch (kind) {
    case BackendKind::StandIn:
      return "StandIn";
    case BackendKind::StandInAsWindows:
      return "StandInAsWindows";
    case BackendKind::System:
      break;
  }
  return "System";
}
