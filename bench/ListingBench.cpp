// The catalogue against the registry alone: natively the stand-in, on Windows the real one.
// Rows go into an in-memory list, so only the registry's share of the time is measured.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>

#include "bench/Benchmarks.h"
#include "bench/FloorListing.h"
#include "catalogue/Listing.h"
#include "catalogue/Removal.h"
#include "tests/catalogue/MemoryRegistrationList.h"

namespace {

void Listing(benchmark::State& state, BenchRegistry& seed) {
  seed.Seed(int(state.range(0)));
  TRegistry registry(seed.Functions());
  for (auto _ : state) {
    MemoryRegistrationList rows;
    ListRegistrations(registry, rows);
    benchmark::DoNotOptimize(rows.rows.data());
    if (rows.Count() != state.range(0)) {
      state.SkipWithError("wrong row count");
      break;
    }
  }
}

void Floor(benchmark::State& state, BenchRegistry& seed) {
  seed.Seed(int(state.range(0)));
  for (auto _ : state) {
    MemoryRegistrationList rows;
    FloorListing(seed.Functions(), [&rows](const std::string& guid, const std::string& name,
                                           const std::string* server) {
      MemoryRow& row = rows.rows.emplace_back();
      row.Caption = name;
      row.SubItems.push_back(guid);
      if (server != nullptr) row.SubItems.push_back(*server);
    });
    benchmark::DoNotOptimize(rows.rows.data());
    if (rows.Count() != state.range(0)) {
      state.SkipWithError("wrong row count");
      break;
    }
  }
}

// Every 10th row selected, confirmed with Yes, the tool's start recorded instead of made.
void Removal(benchmark::State& state, BenchRegistry& seed) {
  const int count = int(state.range(0));
  seed.Seed(count);
  // A previous run of this benchmark removed the selected registrations.
  for (int n = 0; n < count; n += kSelectEvery) seed.Register(n);
  TRegistry registry(seed.Functions());
  MemoryRegistrationList listed;
  ListRegistrations(registry, listed);
  for (int row = 0; row < count; row += kSelectEvery) listed.rows[row].Selected = true;
  std::vector<std::string> started;
  for (auto _ : state) {
    state.PauseTiming();
    for (int n = 0; n < count; n += kSelectEvery) seed.Register(n);
    MemoryRegistrationList rows = listed;
    started.clear();
    state.ResumeTiming();
    RemoveSelected(
        registry, rows, [](const std::string&, const std::string&, unsigned) { return kAnswerYes; },
        [&started](const std::string& commandLine, int) { started.push_back(commandLine); },
        RegistrationTool, seed.Environment());
    if (rows.Count() != count - count / kSelectEvery) {
      state.SkipWithError("wrong rows left");
      break;  // an error ends the timing: the next round's PauseTiming would abort
    }
  }
  if (int(started.size()) != count / kSelectEvery) state.SkipWithError("wrong tool starts");
  state.SetComplexityN(count);
}

}  // namespace

void RegisterRegistryBenchmarks(BenchRegistry& seed, const std::vector<int>& sizes) {
  for (int size : sizes) {
    benchmark::RegisterBenchmark("registry_listing", Listing, std::ref(seed))
        ->Arg(size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("registry_floor", Floor, std::ref(seed))
        ->Arg(size)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("registry_removal", Removal, std::ref(seed))
      ->RangeMultiplier(10)
      ->Range(100, 10000)
      ->Unit(benchmark::kMillisecond)
      ->Complexity(benchmark::oN);
}
