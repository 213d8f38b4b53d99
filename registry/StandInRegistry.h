#pragma once
// An in-memory registry written from the Win32 registry contract, for running the registry
// object and the catalogue without Windows (and, under Wine, beside the real registry).
// Only one stand-in is active at a time: its function table routes to the active instance.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registry/RegistryFunctions.h"

class StandInRegistry {
 public:
  struct CallCounts {
    int OpenKeyEx = 0;
    int CloseKey = 0;
    int QueryInfoKey = 0;
    int EnumKeyEx = 0;
    int QueryValueEx = 0;
    int DeleteKey = 0;
  };

  StandInRegistry();  // empty but for the predefined roots; becomes the active stand-in
  ~StandInRegistry();
  StandInRegistry(const StandInRegistry&) = delete;
  StandInRegistry& operator=(const StandInRegistry&) = delete;

  // The six functions, bound to whichever stand-in is active when they are called.
  static const RegistryFunctions& Functions();

  // Seeding and inspection; paths are backslash-separated below a predefined root.
  void CreateKey(HKEY root, const std::string& path);
  void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                const std::string& data);
  void SetText(HKEY root, const std::string& path, const std::string& name, const std::string& text,
               DWORD type = REG_SZ);  // stores text with its terminating NUL
  void DeleteValue(HKEY root, const std::string& path, const std::string& name);
  // A symbolic link key at `path` naming `target`, a native path such as
  // \Registry\Machine\Software\X, stored as the link's SymbolicLinkValue (REG_LINK, UTF-16).
  // Links on the way to `path` are followed; the link itself must not exist yet.
  void CreateLink(HKEY root, const std::string& path, const std::string& target);
  // Follows links, as opening the path would.
  bool KeyExists(HKEY root, const std::string& path) const;
  bool ValueExists(HKEY root, const std::string& path, const std::string& name) const;
  void DeleteTree(HKEY root, const std::string& path);  // a link at `path` goes as a link
  int OpenHandleCount() const;

  // Stands for a user without rights: opening the key with KEY_ALL_ACCESS is refused; with
  // `evenReading`, every open of it is.
  void DenyFullAccess(HKEY root, const std::string& path, bool evenReading = false);

  // Fault injection and call counting.
  void FailEnumCall(int nthFromNow, LONG status);  // 1 = the next RegEnumKeyExA call
  // Runs once, right after the next RegQueryValueExA call that asked for the size only.
  void AfterNextSizeQuery(std::function<void()> action);
  // From now on a read leaves the bytes after the data undefined, as the registry may (Windows'
  // ANSI functions use the caller's buffer as scratch): no NUL is added, filler is written.
  void ScribbleBeyondReads();
  const CallCounts& Calls() const;
  void ResetCalls();

  // A whole tree, for tests that compare registries: each key in enumeration order with its
  // path below the tree's top (empty for the top) and its values; a link is a key of its own,
  // never followed. Empty when the top is missing.
  struct TreeValue {
    std::string name;
    DWORD type;
    std::string data;
  };
  struct TreeKey {
    std::string path;
    std::vector<TreeValue> values;
  };
  std::vector<TreeKey> Tree(HKEY root, const std::string& path) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  StandInRegistry* previous_;
};
