// Runs the benchmarks over a registry this program seeds itself: the stand-in natively, the
// registry of the (throwaway) Wine prefix on Windows.
#include <benchmark/benchmark.h>

#include "bench/Benchmarks.h"

#ifdef _WIN32
#include "app/Application.h"
#endif

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  BenchRegistry seed;
  const std::vector<int> sizes{10, 100, 1000, 10000};
  RegisterRegistryBenchmarks(seed, sizes);
#ifdef _WIN32
  RegisterListViewBenchmarks(seed, sizes);
#endif
  benchmark::RunSpecifiedBenchmarks();
#ifdef _WIN32
  Application.DestroyForms();
#endif
  seed.Seed(0);
  benchmark::Shutdown();
  return 0;
}
