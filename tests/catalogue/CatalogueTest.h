#pragma once
// Seeding helpers shared by the listing and removal suites.

#include <string>

#include "catalogue/Listing.h"
#include "tests/catalogue/MemoryRegistrationList.h"
#include "tests/support/BackendTest.h"

class CatalogueTest : public BackendTest {
 protected:
  static std::string RegistrationKey(const std::string& guid) {
    return std::string(kHelperObjectKeyPath) + "\\" + guid;
  }
  static std::string ClassKey(const std::string& guid) { return "CLSID\\" + guid; }
  static std::string ServerKey(const std::string& guid) {
    return ClassKey(guid) + "\\InprocServer32";
  }

  void AddRegistrationKey(const std::string& guid) {
    backend->CreateKey(HKEY_LOCAL_MACHINE, RegistrationKey(guid));
  }
  // A complete registration: registration key, class key with its name, server key with its file.
  void AddHelperObject(const std::string& guid, const std::string& name, const std::string& file) {
    AddRegistrationKey(guid);
    backend->SetText(HKEY_CLASSES_ROOT, ClassKey(guid), "", name);
    backend->SetText(HKEY_CLASSES_ROOT, ServerKey(guid), "", file);
  }
  bool Exists(HKEY root, const std::string& path) const { return backend->KeyExists(root, path); }

  MemoryRegistrationList rows;
};
