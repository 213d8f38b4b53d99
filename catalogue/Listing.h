#pragma once

#include "catalogue/RegistrationList.h"
#include "registry/Registry.h"

// Below HKEY_LOCAL_MACHINE; each subkey is one helper object's registration key.
extern const char kHelperObjectKeyPath[];

// Appends one row per registration whose class key opens: name, GUID, server file.
// Lets the registry object's read errors pass out, keeping the rows made so far.
void ListRegistrations(TRegistry& registry, RegistrationList& rows);
