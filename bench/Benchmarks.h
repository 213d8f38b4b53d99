#pragma once

#include <string>
#include <vector>

#include "bench/BenchRegistry.h"

// The listing against the registry alone, its floor beside it, and the removal's scaling.
void RegisterRegistryBenchmarks(BenchRegistry& seed, const std::vector<int>& sizes);

#ifdef _WIN32
// Creates and shows the main window, then registers the listing into its list view against
// the floor, and the removal from it.
void RegisterListViewBenchmarks(BenchRegistry& seed, const std::vector<int>& sizes);
#endif

// Every 10th row is selected for a removal, so 1,000 of 10,000.
constexpr int kSelectEvery = 10;
inline std::string RegistrationTool() { return "C:\\Windows\\system32\\regsvr32.exe"; }
