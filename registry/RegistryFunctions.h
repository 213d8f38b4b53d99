#pragma once
// The one seam between the registry object and a registry: the seven functions it calls.
// On Windows the system table holds advapi32's functions and ntdll's NtDeleteKey; tests and
// benchmarks hand the registry object an in-memory registry's table, so the same code runs
// against either, off Windows too.

#include "registry/Win32Types.h"

struct RegistryFunctions {
  LONG(WINAPI* OpenKeyEx)(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
  LONG(WINAPI* CloseKey)(HKEY key);
  LONG(WINAPI* QueryInfoKey)
  (HKEY key, LPSTR className, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
   LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
   LPDWORD maxValueLength, LPDWORD securityDescriptorLength, PFILETIME lastWriteTime);
  LONG(WINAPI* EnumKeyEx)
  (HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR className,
   LPDWORD classLength, PFILETIME lastWriteTime);
  LONG(WINAPI* QueryValueEx)
  (HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataLength);
  LONG(WINAPI* DeleteKey)(HKEY key, LPCSTR subKey);
  // Deletes the very key the handle refers to, a symbolic link opened as itself included.
  // RegDeleteKeyA cannot: Windows opens the name it is given again, even "", and that open
  // follows a link to its target. ERROR_PROC_NOT_FOUND where the system offers no such call.
  LONG(WINAPI* DeleteOpenKey)(HKEY key);
};

#ifdef _WIN32
const RegistryFunctions& SystemRegistryFunctions();
#endif
