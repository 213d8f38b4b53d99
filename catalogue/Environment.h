#pragma once
// The one seam between the catalogue and the process's environment: the call that expands
// environment references. The program hands in kernel32's own; tests and benchmarks an
// in-memory environment's, so the same code runs off Windows too.

#include <string>

#include "registry/Win32Types.h"

struct EnvironmentFunctions {
  DWORD(WINAPI* ExpandEnvironmentStrings)(LPCSTR source, LPSTR destination, DWORD size);
};

// The largest environment variable Windows allows, in characters, its NUL included: no
// expansion a process can hold is longer.
constexpr DWORD kLargestExpansion = 32767;

// `text` with each %NAME% of a variable of the environment replaced by its value, as COM would
// expand a REG_EXPAND_SZ server path in this process. False, with `expanded` empty, when the
// expansion fails or would not fit within kLargestExpansion.
bool ExpandEnvironment(const EnvironmentFunctions& environment, const std::string& text,
                       std::string& expanded);
