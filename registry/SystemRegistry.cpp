// The registry the program uses when nobody hands it another one.
#include "registry/RegistryFunctions.h"

namespace {

// ntdll's own calls, looked up when first needed: ntdll is in every process, but NtDeleteKey is
// not among the functions a program links against by name.
template <typename Function>
Function NtdllFunction(const char* name) {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  // Through a function type without parameters, which casts to any other without a warning.
  using Untyped = void (*)();
  return ntdll == nullptr
             ? nullptr
             : reinterpret_cast<Function>(reinterpret_cast<Untyped>(GetProcAddress(ntdll, name)));
}

LONG WINAPI DeleteOpenKey(HKEY key) {
  using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE key);
  using NtStatusToErrorFunction = ULONG(WINAPI*)(LONG status);
  static const auto deleteKey = NtdllFunction<NtDeleteKeyFunction>("NtDeleteKey");
  static const auto statusToError = NtdllFunction<NtStatusToErrorFunction>("RtlNtStatusToDosError");
  if (deleteKey == nullptr || statusToError == nullptr) return ERROR_PROC_NOT_FOUND;
  const LONG status = deleteKey(key);
  return status == 0 ? ERROR_SUCCESS : static_cast<LONG>(statusToError(status));
}

}  // namespace

const RegistryFunctions& SystemRegistryFunctions() {
  static const RegistryFunctions functions{RegOpenKeyExA, RegCloseKey,      RegQueryInfoKeyA,
                                           RegEnumKeyExA, RegQueryValueExA, RegDeleteKeyA,
                                           DeleteOpenKey};
  return functions;
}
