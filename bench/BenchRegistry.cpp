#include "bench/BenchRegistry.h"

#include <cstdio>
#include <cstdlib>

#include "catalogue/Listing.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "tests/support/StandInEnvironment.h"
#include "tests/support/StandInRegistry.h"
#endif

namespace {

const std::string kHelperObjects = kHelperObjectKeyPath;

std::string ClassPath(int n) { return "CLSID\\" + BenchGuid(n); }

std::string ServerFile(int n) {
  return "C:\\Program Files\\Helper " + std::to_string(n) + "\\helper.dll";
}

}  // namespace

std::string BenchGuid(int n) {
  char guid[64];
  std::snprintf(guid, sizeof guid, "{B0000000-0000-4000-8000-%012d}", n);
  return guid;
}

#ifdef _WIN32

struct BenchRegistry::StandIn {};

namespace {

HKEY CreateKey(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    std::exit(1);
  }
  return key;
}

void SetDefault(HKEY key, const std::string& text) {
  RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD(text.size() + 1));
}

}  // namespace

BenchRegistry::BenchRegistry() = default;
BenchRegistry::~BenchRegistry() = default;

void BenchRegistry::Seed(int count) {
  if (count == seeded_) return;
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kHelperObjects.c_str());
  const HKEY helper = CreateKey(HKEY_LOCAL_MACHINE, kHelperObjects);
  for (int n = 0; n < count; ++n) RegCloseKey(CreateKey(helper, BenchGuid(n)));
  RegCloseKey(helper);
  for (; classes_ < count; ++classes_) {
    const HKEY classKey = CreateKey(HKEY_CLASSES_ROOT, ClassPath(classes_));
    SetDefault(classKey, "Helper " + std::to_string(classes_));
    const HKEY server = CreateKey(classKey, "InprocServer32");
    SetDefault(server, ServerFile(classes_));
    RegCloseKey(server);
    RegCloseKey(classKey);
  }
  seeded_ = count;
}

void BenchRegistry::Register(int n) {
  RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, kHelperObjects + "\\" + BenchGuid(n)));
}

const RegistryFunctions& BenchRegistry::Functions() const { return SystemRegistryFunctions(); }

const EnvironmentFunctions& BenchRegistry::Environment() const {
  static const EnvironmentFunctions process{ExpandEnvironmentStringsA};
  return process;
}

#else

struct BenchRegistry::StandIn {
  StandInRegistry registry;
  StandInEnvironment environment;
};

BenchRegistry::BenchRegistry() : standIn_(new StandIn) {}
BenchRegistry::~BenchRegistry() = default;

void BenchRegistry::Seed(int count) {
  if (count == seeded_) return;
  StandInRegistry& registry = standIn_->registry;
  registry.DeleteTree(HKEY_LOCAL_MACHINE, kHelperObjects);
  registry.CreateKey(HKEY_LOCAL_MACHINE, kHelperObjects);
  for (int n = 0; n < count; ++n) Register(n);
  for (; classes_ < count; ++classes_) {
    registry.SetText(HKEY_CLASSES_ROOT, ClassPath(classes_), "",
                     "Helper " + std::to_string(classes_));
    registry.SetText(HKEY_CLASSES_ROOT, ClassPath(classes_) + "\\InprocServer32", "",
                     ServerFile(classes_));
  }
  seeded_ = count;
}

void BenchRegistry::Register(int n) {
  standIn_->registry.CreateKey(HKEY_LOCAL_MACHINE, kHelperObjects + "\\" + BenchGuid(n));
}

const RegistryFunctions& BenchRegistry::Functions() const { return StandInRegistry::Functions(); }

const EnvironmentFunctions& BenchRegistry::Environment() const {
  return StandInEnvironment::Functions();
}

#endif
