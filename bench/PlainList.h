#pragma once
// A report list view with the main window's columns, as a window without the program's code
// would hold it: the control keeps the items and their texts itself.

#include <windows.h>

HWND CreatePlainList(HWND parent, int width, int height);

// A shown top-level window of the main window's size, filled by a plain list; returns the list.
HWND CreatePlainListWindow();
