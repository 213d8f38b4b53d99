#include "bench/PlainList.h"

#include <commctrl.h>

HWND CreatePlainList(HWND parent, int width, int height) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  const HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT, 0, 0, width,
                                    height, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  const char* headings[] = {"Name", "GUID", "File name"};
  const int widths[] = {150, 250, 300};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(headings[i]);
    column.cx = widths[i];
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  return list;
}

HWND CreatePlainListWindow() {
  static const ATOM windowClass = [] {
    WNDCLASSA plain{};
    plain.lpfnWndProc = DefWindowProcA;
    plain.hInstance = GetModuleHandleA(nullptr);
    plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    plain.lpszClassName = "PlainListWindow";
    return RegisterClassA(&plain);
  }();
  const HWND window =
      CreateWindowExA(0, MAKEINTATOM(windowClass), "Plain list", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                      0, 0, 733, 370, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  RECT client;
  GetClientRect(window, &client);
  return CreatePlainList(window, client.right, client.bottom);
}
