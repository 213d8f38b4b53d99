#pragma once
// Move-only owners for the Win32 handles the shell creates (UniqueHandle, from the bottom layer):
// each closes its handle with the one function that frees that kind. Windows themselves are owned
// by their TWindowTarget, because the window procedure needs a stable object address.

#include <windows.h>

#include "registry/UniqueHandle.h"

struct MenuTraits {
  using Handle = HMENU;
  static void Close(HMENU menu) { DestroyMenu(menu); }
};
using MenuHandle = UniqueHandle<MenuTraits>;

struct FontTraits {
  using Handle = HFONT;
  static void Close(HFONT font) { DeleteObject(font); }
};
using FontHandle = UniqueHandle<FontTraits>;

struct HookTraits {
  using Handle = HHOOK;
  static void Close(HHOOK hook) { UnhookWindowsHookEx(hook); }
};
using HookHandle = UniqueHandle<HookTraits>;

// A registered window class, unregistered again by atom from the module that registered it.
struct WindowClassTraits {
  using Handle = ATOM;
  static void Close(ATOM atom) { UnregisterClassA(MAKEINTATOM(atom), GetModuleHandleA(nullptr)); }
};
using WindowClassHandle = UniqueHandle<WindowClassTraits>;
