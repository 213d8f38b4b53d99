#pragma once
// A registry the contract suites run against: the stand-in everywhere, and under Windows or
// Wine also the system's own. Tests seed and inspect through it, never through TRegistry.

#include <memory>
#include <string>
#include <vector>

#include "registry/RegistryFunctions.h"
#include "tests/support/StandInRegistry.h"

// StandIn behaves as Wine 8's registry, StandInAsWindows as Windows' is documented to.
enum class BackendKind { StandIn, StandInAsWindows, System };

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  virtual const RegistryFunctions& Functions() const = 0;

  virtual void CreateKey(HKEY root, const std::string& path) = 0;
  virtual void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                        const std::string& data) = 0;
  // Text stored the way the system's tools store it: with its terminating NUL.
  void SetText(HKEY root, const std::string& path, const std::string& name, const std::string& text,
               DWORD type = REG_SZ) {
    SetValue(root, path, name, type, text + '\0');
  }
  // A symbolic link at `path` (which must not exist yet) naming `target`, a native path such as
  // \\Registry\\Machine\\SOFTWARE\\Velloran Tests\\Target. Links on the way are followed.
  virtual void CreateLink(HKEY root, const std::string& path, const std::string& target) = 0;
  // Follows links, as opening the key would.
  virtual bool KeyExists(HKEY root, const std::string& path) const = 0;
  // Removes the tree at `path`; links in it, and one at `path`, go as links, their targets kept.

  virtual void DeleteTree(HKEY root, const std::string& path) = 0;

  // The native path by which a link's target names HKEY_LOCAL_MACHINE\<path>. A 32-bit program
  // on 64-bit Windows sees HKLM\SOFTWARE redirected to SOFTWARE\Wow6432Node, which a link
  // must name; the system registry is asked where the key (or the nearest one above it) is.
  virtual std::string NativeMachinePath(const std::string& path) const {
    return "\\Registry\\Machine\\" + path;
  }

  // Handles open now: the stand-in's key handles, or all of the process's handles under Windows
  // (Wine's GetProcessHandleCount answers 0). Compared before and after, both show a leak.
  virtual int OpenHandleCount() const = 0;

  // The stand-in, for what only it can do (refuse access, inject faults, count calls);
  // null for the system registry, where tests needing it are skipped.
  virtual StandInRegistry* StandIn() { return nullptr; }
};

// A fresh backend. The system backend first removes the trees the suites write to
// (HKCU\Software\Velloran Tests, HKLM\SOFTWARE\Velloran Tests, the helper-object key, and the
// test class keys), so each test
// starts from a clean registry even inside one shared throwaway Wine prefix.
std::unique_ptr<RegistryBackend> MakeBackend(BackendKind kind);
std::vector<BackendKind> AvailableBackends();  // StandIn natively; StandIn and System on Windows
// The available ones and the stand-in as Windows: for what must be safe on both registries.
std::vector<BackendKind> SafetyBackends();
std::string BackendName(BackendKind kind);

#ifdef _WIN32
// A key of the system registry whose wide name may hold characters the ANSI code page lacks,
// which the 8-bit enumeration spells lossily. Only below the trees the suites own.
void CreateWideKey(HKEY root, const std::wstring& path);
#endif

// Where the suites may put keys a link names, outside every tree the program reads or writes.
extern const char kMachineTestsKey[];  // below HKEY_LOCAL_MACHINE
