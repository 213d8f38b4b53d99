#pragma once
// The Win32 types and constants the portable core uses. On Windows they are the SDK's own;
// elsewhere they are declared here with the same values, so the core compiles unchanged.

#ifdef _WIN32
// The registry's part of the SDK only: the core never sees the user-interface headers.
#include <windef.h>
#include <winbase.h>
#include <winreg.h>
#else
#include <cstdint>

using LONG = std::int32_t;
using DWORD = std::uint32_t;
using LPDWORD = DWORD*;
using BYTE = unsigned char;
using LPBYTE = BYTE*;
using REGSAM = DWORD;
using LPCSTR = const char*;
using LPSTR = char*;
struct HKEY__ {
  int unused;
};
using HKEY = HKEY__*;
using PHKEY = HKEY*;
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;

#define WINAPI

// The predefined roots are sign-extended 32-bit values, as in the Windows headers.
#define VELLORAN_PREDEFINED_KEY(value) \
  (reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value))))
#define HKEY_CLASSES_ROOT VELLORAN_PREDEFINED_KEY(0x80000000u)
#define HKEY_CURRENT_USER VELLORAN_PREDEFINED_KEY(0x80000001u)
#define HKEY_LOCAL_MACHINE VELLORAN_PREDEFINED_KEY(0x80000002u)
#define HKEY_USERS VELLORAN_PREDEFINED_KEY(0x80000003u)

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_PROC_NOT_FOUND = 127;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_KEY_DELETED = 1018;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;

// RegOpenKeyExA's option to open a symbolic link key itself instead of the key it names.
constexpr DWORD REG_OPTION_OPEN_LINK = 0x0008;
#endif
