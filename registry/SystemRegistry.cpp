// The registry the program uses when nobody hands it another one.
#include "registry/RegistryFunctions.h"

#ifdef _WIN32

const RegistryFunctions& SystemRegistryFunctions() {
  static const RegistryFunctions functions{RegOpenKeyExA, RegCloseKey,      RegQueryInfoKeyA,
                                           RegEnumKeyExA, RegQueryValueExA, RegDeleteKeyA};
  return functions;
}

#else

#include "registry/StandInRegistry.h"

// Off Windows there is no system registry: the stand-in alive at the time of each call serves
// instead, and with none alive every call fails with ERROR_INVALID_HANDLE.
const RegistryFunctions& SystemRegistryFunctions() { return StandInRegistry::Functions(); }

#endif
