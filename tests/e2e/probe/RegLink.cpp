// Makes a registry symbolic link for the end-to-end scripts, which Wine's reg.exe cannot:
// reglink KEY TARGET creates HKEY_LOCAL_MACHINE\KEY as a link to TARGET, a native path such as
// \Registry\Machine\SOFTWARE\Velloran Tests\Leaf. Volatile, as the links of a throwaway prefix may
// be. Runs in the program's own registry view.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: reglink KEY TARGET\n");
    return 2;
  }
  HKEY link = nullptr;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, nullptr,
                                REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr);
  if (status == ERROR_SUCCESS) {
    const std::string target = argv[2];
    const std::wstring wide(target.begin(), target.end());  // the scripts' targets are ASCII
    status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(wide.data()),
                            static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
    RegCloseKey(link);
  }
  if (status != ERROR_SUCCESS) std::fprintf(stderr, "reglink %s: error %ld\n", argv[1], status);
  return status == ERROR_SUCCESS ? 0 : 1;
}
