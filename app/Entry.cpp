#include "app/Entry.h"

#include <windows.h>

#include "app/Application.h"

int StartupShowCommand() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

int RunApplication(int showCommand, const std::function<void()>& createForms) {
  try {
    createForms();
    Application.Run(showCommand);
  } catch (const Exception& error) {
    Application.ShowException(error);
  } catch (...) {
    Application.ShowException(Exception(""));
  }
  Application.DestroyForms();
  return 0;
}
