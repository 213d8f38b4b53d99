#include "tests/support/RandomRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "catalogue/Listing.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char kClassIds[] = "SOFTWARE\\Classes\\CLSID\\";  // below HKEY_LOCAL_MACHINE
const char kTool[] = "C:\\windows\\system32\\regsvr32.exe";
constexpr int kAnswerNo = 7;

// As the registry folds names in code page 1252: ASCII letters, À-Þ, Š Œ Ž and Ÿ.
char Folded(char c) {
  const unsigned byte = static_cast<unsigned char>(c);
  if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) {
    return static_cast<char>(byte + 0x20);
  }
  if (byte == 0x8A || byte == 0x8C || byte == 0x8E) return static_cast<char>(byte + 0x10);
  return byte == 0x9F ? static_cast<char>(0xFF) : c;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

std::string Guid(Choices& choices) {
  static const char kDigits[] = "0123456789abcdef";
  std::string guid = "{";
  for (int group : {8, 4, 4, 4, 12}) {
    if (guid.size() > 1) guid += '-';
    for (int i = 0; i < group; ++i) {
      const char digit = kDigits[choices.Below(16)];
      guid += choices.OneIn(2) ? static_cast<char>(std::toupper(digit)) : digit;
    }
  }
  return guid + '}';
}

// Printable ASCII, now and then with characters beyond it, but never the backslash, which
// separates names; mostly short, sometimes as long as the registry allows.
std::string Name(Choices& choices) {
  const std::size_t length = choices.OneIn(6) ? 200 + choices.Below(56) : 1 + choices.Below(12);
  const bool beyondAscii = choices.OneIn(8);
  std::string name;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = static_cast<char>(beyondAscii && choices.OneIn(3) ? 0x80 + choices.Below(128)
                                                                     : ' ' + choices.Below(95));
    name += c == '\\' ? '_' : c;
  }
  return name;
}

// Letters change case, in the ANSI code page of the test prefixes (1252) too.
std::string CaseVariant(Choices& choices, std::string name) {
  for (char& c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!choices.OneIn(3)) continue;
    if (std::isalpha(u)) {
      c = static_cast<char>(std::isupper(u) ? std::tolower(u) : std::toupper(u));
    } else if (u >= 0xC0 && u != 0xD7 && u != 0xF7 && u != 0xDF && u != 0xFF) {
      c = static_cast<char>(u ^ 0x20);  // À-Þ and à-þ
    } else if (u == 0x8A || u == 0x8C || u == 0x8E || u == 0x9A || u == 0x9C || u == 0x9E) {
      c = static_cast<char>(u ^ 0x10);  // Š Œ Ž and š œ ž
    }
  }
  return name;
}

// What a server path or a display name may look like, with or without its NUL.
std::string Text(Choices& choices) {
  std::string text;
  switch (choices.Below(6)) {
    case 0:
      break;
    case 1:
      text = "%SystemRoot%\\System32\\" + Name(choices) + ".dll";
      break;
    case 2:
      text = "C:\\Program Files\\" + Name(choices) + "\\helper.dll";
      break;
    case 3:
      text = "C:\\x\\\"quoted\".dll";
      break;
    case 4:
      text = Name(choices) + '\0' + Name(choices);
      break;
    default:
      text = Name(choices);
  }
  return choices.OneIn(3) ? text : text + '\0';
}

DWORD Type(Choices& choices) {
  // Mostly text, so that most listings run to their end; REG_NONE to REG_QWORD otherwise.
  if (!choices.OneIn(12)) return choices.OneIn(3) ? REG_EXPAND_SZ : REG_SZ;
  return choices.Below(12);
}

std::string Data(Choices& choices, DWORD type) {
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) return Text(choices);
  std::string data(type == REG_DWORD && !choices.OneIn(4) ? 4 : choices.Below(13), '\0');
  for (char& c : data) c = static_cast<char>(choices.Below(256));
  return data;
}

class Generator {
 public:
  Generator(Choices& choices, RegistryBackend& backend, bool denyAccess)
      : choices_(choices), backend_(backend), denyAccess_(denyAccess) {}

  GeneratedRegistry Run() {
    backend_.CreateKey(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath);
    AddTree(kHelperObjectKeyPath);
    AddTree(kMachineTestsKey);
    targets_ = {kHelperObjectKeyPath, kMachineTestsKey, std::string(kMachineTestsKey) + "\\none"};
    for (unsigned count = choices_.Below(3); count > 0; --count) AddLinkTarget();
    for (unsigned count = choices_.Below(8); count > 0; --count) AddRegistration();
    if (denyAccess_ && choices_.OneIn(8)) {
      backend_.StandIn()->DenyFullAccess(HKEY_LOCAL_MACHINE, kHelperObjectKeyPath);
    }
    return std::move(registry_);
  }

 private:
  void AddTree(const std::string& path) {
    for (const std::string& tree : registry_.trees) {
      if (SameName(tree, path)) return;
    }
    registry_.trees.push_back(path);
  }

  // Whether writing to the path would write through a link, to the link's target.
  bool ThroughLink(const std::string& path) const {
    for (const std::string& link : links_) {
      if (IsWithin(path, link)) return true;
    }
    return false;
  }

  // A key that links may name, outside the trees the program reads: a class key's look-alike.
  void AddLinkTarget() {
    const std::string target = std::string(kMachineTestsKey) + "\\" + Name(choices_);
    Default(HKEY_LOCAL_MACHINE, target);
    if (!choices_.OneIn(3)) Default(HKEY_LOCAL_MACHINE, target + "\\InprocServer32");
    targets_.push_back(target);
  }

  // A link to one of the keys made so far, another link, a missing key or, rarely, itself.
  bool AddLink(HKEY root, const std::string& path) {
    const std::string machinePath = root == HKEY_CLASSES_ROOT ? "SOFTWARE\\Classes\\" + path : path;
    const std::string target =
        choices_.OneIn(16) ? machinePath
                           : targets_[choices_.Below(static_cast<unsigned>(targets_.size()))];
    try {
      backend_.CreateLink(root, path, backend_.NativeMachinePath(target));
    } catch (const std::invalid_argument&) {
      return false;  // a key of that name is there already
    }
    links_.push_back(machinePath);
    targets_.push_back(machinePath);
    return true;
  }

  std::string RegistrationName() {
    if (!names_.empty() && choices_.OneIn(8)) {
      return CaseVariant(choices_, names_[choices_.Below(static_cast<unsigned>(names_.size()))]);
    }
    std::string name = Guid(choices_);
    if (choices_.OneIn(4)) {
      name = Name(choices_);
    } else if (choices_.OneIn(8)) {
      name = name.substr(1, name.size() - 2);  // without its braces
    }
    names_.push_back(name);
    return name;
  }

  void MaybeDeny(HKEY root, const std::string& path) {
    if (denyAccess_ && choices_.OneIn(12)) backend_.StandIn()->DenyFullAccess(root, path);
  }

  // A default value of any type, an empty one, or none.
  void Default(HKEY root, const std::string& path) {
    backend_.CreateKey(root, path);
    if (choices_.OneIn(5)) return;
    const DWORD type = Type(choices_);
    backend_.SetValue(root, path, "", type, choices_.OneIn(8) ? "" : Data(choices_, type));
  }

  void Values(HKEY root, const std::string& path) {
    for (unsigned count = choices_.Below(3); count > 0; --count) {
      const DWORD type = choices_.Below(12);
      backend_.SetValue(root, path, choices_.OneIn(3) ? "" : Name(choices_), type,
                        Data(choices_, type));
    }
  }

  // Subkeys below a registration key: a few levels, links among them, now and then one long
  // chain.
  void Subtree(const std::string& path, int depth) {
    if (depth > 0 && choices_.OneIn(16)) {
      std::string chain = path;
      for (unsigned level = 20 + choices_.Below(40); level > 0; --level) {
        chain += "\\" + (choices_.OneIn(8) ? Name(choices_) : std::string("d"));
        if (ThroughLink(chain)) return;
        backend_.CreateKey(HKEY_LOCAL_MACHINE, chain);
      }
      Values(HKEY_LOCAL_MACHINE, chain);
      MaybeDeny(HKEY_LOCAL_MACHINE, chain);
      return;
    }
    for (unsigned count = depth > 2 ? 0 : choices_.Below(3); count > 0; --count) {
      const std::string subkey = path + "\\" + Name(choices_);
      if (ThroughLink(subkey)) continue;
      if (choices_.OneIn(4)) {
        AddLink(HKEY_LOCAL_MACHINE, subkey);
        continue;
      }
      backend_.CreateKey(HKEY_LOCAL_MACHINE, subkey);
      Values(HKEY_LOCAL_MACHINE, subkey);
      Subtree(subkey, depth + 1);
      MaybeDeny(HKEY_LOCAL_MACHINE, subkey);
    }
  }

  void AddRegistration() {
    const std::string name = RegistrationName();
    const std::string key = std::string(kHelperObjectKeyPath) + "\\" + name;
    // Nothing is written through a link: that would write to its target.
    if (ThroughLink(key) || (choices_.OneIn(10) && AddLink(HKEY_LOCAL_MACHINE, key))) return;
    backend_.CreateKey(HKEY_LOCAL_MACHINE, key);
    targets_.push_back(key);
    Values(HKEY_LOCAL_MACHINE, key);
    if (choices_.OneIn(2)) Subtree(key, 0);
    MaybeDeny(HKEY_LOCAL_MACHINE, key);
    if (choices_.OneIn(6)) return;  // no class key

    // The class key is found whatever the case of its name; the listing follows a link.
    const std::string classKey = "CLSID\\" + CaseVariant(choices_, name);
    AddTree(kClassIds + classKey.substr(6));
    if (ThroughLink("SOFTWARE\\Classes\\" + classKey) ||
        (choices_.OneIn(6) && AddLink(HKEY_CLASSES_ROOT, classKey))) {
      return;
    }
    Default(HKEY_CLASSES_ROOT, classKey);
    targets_.push_back("SOFTWARE\\Classes\\" + classKey);
    MaybeDeny(HKEY_CLASSES_ROOT, classKey);
    if (choices_.OneIn(5)) return;  // no server key
    Default(HKEY_CLASSES_ROOT, classKey + "\\" + CaseVariant(choices_, "InprocServer32"));
  }

  Choices& choices_;
  RegistryBackend& backend_;
  const bool denyAccess_;
  std::vector<std::string> names_;
  std::vector<std::string> targets_;  // below HKEY_LOCAL_MACHINE
  std::vector<std::string> links_;    // below HKEY_LOCAL_MACHINE
  GeneratedRegistry registry_;
};

void AddLines(const std::string& tree, const std::vector<StandInRegistry::TreeKey>& keys,
              std::vector<DumpEntry>& dump) {
  for (const StandInRegistry::TreeKey& key : keys) {
    const std::string path = key.path.empty() ? tree
                             : tree.empty()   ? key.path
                                              : tree + "\\" + key.path;
    dump.push_back(DumpEntry{path, Escaped(path)});
    for (const StandInRegistry::TreeValue& value : key.values) {
      // Where a 32-bit program's links point depends on the view (NativeMachinePath).
      const bool link = value.type == REG_LINK && value.name == "SymbolicLinkValue";
      dump.push_back(DumpEntry{path, Escaped(path) + " : " + Escaped(value.name) + " = " +
                                         std::to_string(value.type) + " " +
                                         (link ? "(target)" : Escaped(value.data))});
    }
  }
}

#ifdef _WIN32

// The system registry's tree, read with the wide functions so that nothing is converted on the
// way but the text itself, which the stand-in keeps in the ANSI code page.
std::string Narrow(const wchar_t* text, std::size_t length) {
  if (length == 0) return std::string();
  const int size =
      WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &narrow[0], size, nullptr,
                      nullptr);
  return narrow;
}

void SystemTree(HKEY key, const std::string& below, std::vector<StandInRegistry::TreeKey>& tree) {
  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestValueName = 0, largestData = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                   &longestValueName, &largestData, nullptr, nullptr);
  StandInRegistry::TreeKey entry{below, {}};
  std::vector<wchar_t> name(std::max(longestSubkey, longestValueName) + 1);
  std::vector<BYTE> data(largestData + 2);
  for (DWORD index = 0; index < values; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size()), size = largestData, type = 0;
    if (RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS) {
      entry.values.push_back({"<unreadable>", 0, ""});
      continue;
    }
    const bool wide = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    entry.values.push_back({Narrow(name.data(), nameLength), type,
                            wide ? Narrow(reinterpret_cast<const wchar_t*>(data.data()), size / 2)
                                 : std::string(reinterpret_cast<const char*>(data.data()), size)});
  }
  tree.push_back(std::move(entry));
  for (DWORD index = 0; index < subkeys; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      tree.push_back({below + "\\<unreadable>", {}});
      continue;
    }
    const std::string subkey = Narrow(name.data(), nameLength);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(key, name.data(), REG_OPTION_OPEN_LINK, KEY_READ, &opened) != ERROR_SUCCESS) {
      tree.push_back({below + "\\<unopenable>", {}});
      continue;
    }
    SystemTree(opened, below.empty() ? subkey : below + "\\" + subkey, tree);
    RegCloseKey(opened);
  }
}

// The key below HKEY_LOCAL_MACHINE itself, a link as the link; null when it is missing. One name
// at a time: Wine refuses an ANSI path longer than 260 characters in one call.
HKEY OpenMachineKey(const std::string& path) {
  HKEY key = HKEY_LOCAL_MACHINE;
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    HKEY next = nullptr;
    const LONG status = RegOpenKeyExA(key, path.substr(start, end - start).c_str(),
                                      REG_OPTION_OPEN_LINK, KEY_READ, &next);
    if (key != HKEY_LOCAL_MACHINE) RegCloseKey(key);
    if (status != ERROR_SUCCESS) return nullptr;
    key = next;
    start = end + 1;
  }
  return key;
}

std::vector<StandInRegistry::TreeKey> SystemTree(const std::string& path) {
  std::vector<StandInRegistry::TreeKey> tree;
  if (HKEY key = OpenMachineKey(path)) {
    SystemTree(key, "", tree);
    if (key != HKEY_LOCAL_MACHINE) RegCloseKey(key);
  }
  return tree;
}

#endif

}  // namespace

unsigned SeededChoices::Below(unsigned count) {
  // SplitMix64: the same numbers from the same seed on every compiler and platform.
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return count == 0 ? 0 : static_cast<unsigned>(z % count);
}

unsigned ByteChoices::Below(unsigned count) {
  if (count <= 1 || size_ == 0) return 0;
  unsigned value = *data_++;
  --size_;
  if (count > 256 && size_ > 0) {
    value = value << 8 | *data_++;
    --size_;
  }
  return value % count;
}

GeneratedRegistry GenerateRegistry(Choices& choices, RegistryBackend& backend, bool denyAccess) {
  return Generator(choices, backend, denyAccess).Run();
}

std::vector<DumpEntry> Dump(RegistryBackend& backend, const std::vector<std::string>& trees) {
  std::vector<DumpEntry> dump;
  for (const std::string& tree : trees) {
    if (StandInRegistry* standIn = backend.StandIn()) {
      AddLines(tree, standIn->Tree(HKEY_LOCAL_MACHINE, tree), dump);
    } else {
#ifdef _WIN32
      AddLines(tree, SystemTree(tree), dump);
#endif
    }
  }
  return dump;
}

bool IsWithin(const std::string& path, const std::string& top) {
  return path.size() >= top.size() && SameName(path.substr(0, top.size()), top) &&
         (path.size() == top.size() || path[top.size()] == '\\');
}

std::string ListCatching(TRegistry& registry, MemoryRegistrationList& rows) {
  try {
    ListRegistrations(registry, rows);
  } catch (const ERegistryException& error) {
    return error.what();
  }
  return std::string();
}

RemovalRun RemoveRandomSelection(Choices& choices, TRegistry& registry,
                                 MemoryRegistrationList& rows,
                                 const EnvironmentFunctions& environment) {
  RemovalRun run;
  for (MemoryRow& row : rows.rows) {
    row.Selected = choices.OneIn(2);
    run.selection += row.Selected ? '1' : '0';
  }
  run.answeredYes = !choices.OneIn(4);
  RemoveSelected(
      registry, rows,
      [&run](const std::string&, const std::string&, unsigned) {
        return run.answeredYes ? kAnswerYes : kAnswerNo;
      },
      [&run](const std::string& commandLine, int) { run.commands.push_back(commandLine); },
      [] { return std::string(kTool); }, environment);
  return run;
}

std::string ToolCommandFor(const std::string& serverFile) {
  return "\"" + std::string(kTool) + "\" /s -u \"" + serverFile + '"';
}

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c >= ' ' && c <= '~') {
      escaped += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
      escaped += hex;
    }
  }
  return escaped;
}
