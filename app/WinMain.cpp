#include <windows.h>

#include "app/Application.h"
#include "app/Entry.h"
#include "ui/MainU.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return RunApplication(StartupShowCommand(), [] { Application.CreateForm(MainForm); });
}
