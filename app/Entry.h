#pragma once
// The program entry's work, apart from WinMain itself so that tests can run it.

#include <functional>

// The process's start-up show command: the show value of its start-up information when that
// information carries one, otherwise SW_SHOWDEFAULT.
int StartupShowCommand();

// Creates the forms, runs the application, and shows any error that escapes them; then
// destroys the forms. Returns 0 in every case.
int RunApplication(int showCommand, const std::function<void()>& createForms);
