// The stand-in against Wine's registry: the same random registry goes into both, the same
// listings and removals run on both, and everything they show must agree. Where they differ the
// real registry is right. VELLORAN_DIFFERENTIAL_SEEDS sets how many registries (200 by default),
// VELLORAN_DIFFERENTIAL_FIRST_SEED the first seed (0 by default).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/RandomRegistry.h"
#include "tests/support/StandInEnvironment.h"

namespace {

std::uint64_t FromEnvironment(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

void Record(std::vector<std::string>& transcript, const std::string& heading,
            const MemoryRegistrationList& rows) {
  transcript.push_back(heading + ": " + std::to_string(rows.Count()) + " rows");
  for (const MemoryRow& row : rows.rows) {
    std::string line = "  " + Escaped(row.Caption);
    for (const std::string& subItem : row.SubItems) line += " | " + Escaped(subItem);
    transcript.push_back(line);
  }
}

void Record(std::vector<std::string>& transcript, const std::vector<DumpEntry>& dump) {
  for (const DumpEntry& entry : dump) transcript.push_back("  " + entry.text);
}

// Everything one backend shows for one seed: the registry as seeded, and after each listing and
// removal the rows, the error, the command lines started and the registry again. Both expand
// server paths in one environment: the registries are compared, not the environments.
std::vector<std::string> Transcript(std::uint64_t seed, BackendKind kind) {
  std::vector<std::string> transcript;
  StandInEnvironment environment;
  environment.Set("SystemRoot", "C:\\windows");
  std::unique_ptr<RegistryBackend> backend = MakeBackend(kind);
  SeededChoices choices(seed);
  const GeneratedRegistry generated = GenerateRegistry(choices, *backend, false);
  transcript.push_back("seeded:");
  Record(transcript, Dump(*backend, generated.trees));

  TRegistry registry(backend->Functions());
  for (unsigned round = 1 + choices.Below(2); round > 0; --round) {
    MemoryRegistrationList rows;
    const std::string error = ListCatching(registry, rows);
    Record(transcript, "listed" + (error.empty() ? "" : " until \"" + error + "\""), rows);
    const RemovalRun run =
        RemoveRandomSelection(choices, registry, rows, StandInEnvironment::Functions());
    transcript.push_back("selected " + run.selection + (run.answeredYes ? ", Yes" : ", No"));
    for (const std::string& command : run.commands) transcript.push_back("started " + command);
    Record(transcript, "left", rows);
    Record(transcript, Dump(*backend, generated.trees));
  }
  return transcript;
}

TEST(Differential, StandInAgreesWithTheSystemRegistryOnRandomRegistries) {
  const std::uint64_t first = FromEnvironment("VELLORAN_DIFFERENTIAL_FIRST_SEED", 0);
  const std::uint64_t count = FromEnvironment("VELLORAN_DIFFERENTIAL_SEEDS", 200);
  int mismatches = 0;
  for (std::uint64_t seed = first; seed < first + count; ++seed) {
    const std::vector<std::string> standIn = Transcript(seed, BackendKind::StandIn);
    const std::vector<std::string> system = Transcript(seed, BackendKind::System);
    if (standIn == system) continue;
    std::size_t line = 0;
    while (line < standIn.size() && line < system.size() && standIn[line] == system[line]) ++line;
    if (++mismatches <= 5) {
      ADD_FAILURE() << "seed " << seed << " differs at line " << line
                    << "\n  stand-in: " << (line < standIn.size() ? standIn[line] : "(ends)")
                    << "\n  system:   " << (line < system.size() ? system[line] : "(ends)");
    }
  }
  std::printf("differential: %llu registries, %d mismatches\n",
              static_cast<unsigned long long>(count), mismatches);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
