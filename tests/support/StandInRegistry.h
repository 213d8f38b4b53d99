#pragma once
// An in-memory registry written from the Win32 registry contract, for running the registry
// object and the catalogue without Windows (and, under Wine, beside the real registry).
// Only one stand-in is active at a time: its function table routes to the active instance.
//
// Each stand-in behaves as Wine 8's registry does (the differential test holds it to that), or,
// chosen when it is made, as Windows' registry is documented to behave where the two differ:
// - An open without REG_OPTION_OPEN_LINK follows a link even for an empty subkey name, so
//   RegDeleteKeyA(link, "") reaches the link's target: deleted when it has no subkeys, refused
//   when it has some. Microsoft's RegDeleteKeyEx reference ("opens the subkey with the DELETE
//   access right", with no way to ask for the link itself); ReactOS advapi32 RegDeleteKeyExW
//   (NtOpenKey relative to the handle without OBJ_OPENLINK, then NtDeleteKey) and its kernel's
//   parse routine (a link opened without OBJ_OPENLINK is reparsed to its target); the current
//   public Wine server's open_key. Wine 8 opens the link itself for an empty name.
// - HKEY_CLASSES_ROOT merges HKEY_CURRENT_USER\Software\Classes over
//   HKEY_LOCAL_MACHINE\SOFTWARE\Classes: a path opened through it, or below a key opened
//   through it, is the per-user key where that exists and the machine's otherwise. Microsoft,
//   "Merged View of HKEY_CLASSES_ROOT" (elevated processes included; only COM activation skips
//   per-user classes there). Wine 8 shows the machine's classes alone. Only opens merge: the key
//   an open chose enumerates and reads as itself.
// NtDeleteKey, the seam's handle deletion, acts on the handle's own key in both, and in both a
// second NtDeleteKey of a key deleted already succeeds. Wine's does (the contract suite holds it
// to that), and so does Windows' kernel as publicly documented: ReactOS ntoskrnl/config/ntapi.c
// (NtDeleteKey checks only the handle's DELETE right, then calls CmDeleteKey) and cmapi.c
// (CmDeleteKey answers STATUS_SUCCESS for a key already marked deleted, "Don't do it twice");
// Microsoft's ZwDeleteKey page names no status for it: the deleted key's handles become unusable
// for anything else but must still be closed.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registry/RegistryFunctions.h"
#include "tests/support/ActiveStandIn.h"

class StandInRegistry : public ActiveStandIn<StandInRegistry> {
 public:
  struct CallCounts {
    int OpenKeyEx = 0;
    int CloseKey = 0;
    int QueryInfoKey = 0;
    int EnumKeyEx = 0;
    int QueryValueEx = 0;
    int DeleteKey = 0;
    int DeleteOpenKey = 0;
  };

  enum class Behaviour { Wine8, Windows };

  // Empty but for the predefined roots; becomes the active stand-in.
  explicit StandInRegistry(Behaviour behaviour = Behaviour::Wine8);
  ~StandInRegistry();

  // The seven functions, bound to whichever stand-in is active when they are called.
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
  // From now on RegEnumKeyExA fails with `status` at `index` of the key at `path`, through any
  // handle to it, as a subkey the user may not see would; ERROR_SUCCESS mends it again.
  void FailEnumeration(HKEY root, const std::string& path, DWORD index, LONG status);
  // Runs once, right after the next RegQueryValueExA call that asked for the size only.
  void AfterNextSizeQuery(std::function<void()> action);
  // From now on a read leaves the bytes after the data undefined, as the registry may (Windows'
  // ANSI functions use the caller's buffer as scratch): no NUL is added, filler is written.
  void ScribbleBeyondReads();
  // From now on DeleteOpenKey fails with ERROR_PROC_NOT_FOUND, as where ntdll lacks NtDeleteKey.
  void WithoutOpenKeyDeletion();
  const CallCounts& Calls() const;
  void ResetCalls();
  // Calls no correct caller makes, which the stand-in refuses and notes: a close of the null
  // handle, an open with options the documentation does not offer. Returned and forgotten.
  std::vector<std::string> TakeUnexpectedCalls();

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
};
