#pragma once

#include <functional>
#include <string>

#include "catalogue/Environment.h"
#include "catalogue/RegistrationList.h"
#include "registry/Registry.h"

// The confirmation's message-box style (MB_YESNO | MB_ICONQUESTION), its Yes answer (IDYES)
// and the hidden show command (SW_HIDE), as the user-interface functions take them.
constexpr unsigned kConfirmStyle = 0x24;
constexpr int kAnswerYes = 6;
constexpr int kShowHidden = 0;

// Shows a modal question and returns the code of the button pressed (IDYES, IDNO, ...).
using ConfirmOperation =
    std::function<int(const std::string& text, const std::string& caption, unsigned style)>;
// Starts a process and returns at once; the program neither tests nor awaits it.
using StartProcessOperation = std::function<void(const std::string& commandLine, int show)>;
// The registration tool's full path; raises when it cannot be found. Asked once per removal,
// after the Yes and before any registration is touched, so that a lookup that fails changes
// nothing.
using ToolPathOperation = std::function<std::string()>;

// After one confirmation, unregisters each selected row's server with the registration tool,
// deletes its registration key and removes the row. A server path the machine stores as
// REG_EXPAND_SZ is expanded in `environment` first, as COM expands it: the tool expands nothing.
void RemoveSelected(TRegistry& registry, RegistrationList& rows, const ConfirmOperation& confirm,
                    const StartProcessOperation& startProcess,
                    const ToolPathOperation& registrationTool,
                    const EnvironmentFunctions& environment);
