// Fuzz target over the stand-in registry: the input builds a helper-object registry and a run
// of listings and removals, and after every step the promises of the program must hold. A
// listing changes nothing; a removal deletes the whole tree of every row it reports gone (a link
// as the link, never its target) and nothing outside the selected rows' trees; it starts the
// registration tool exactly for the rows it reports gone whose machine registration names their
// server file, and perhaps for selected rows it kept, never for any other, with that file as COM
// would load it (a REG_EXPAND_SZ one expanded) unless the expansion is unsafe, never a file from
// the per-user classes; no key stays open but the registry object's current key. Each input runs
// on the stand-in as Wine 8's registry and as Windows' registry, and in environments where the
// generated server paths' %SystemRoot% expands to a folder, to a quote, to nothing or beyond the
// longest expansion, or is not set.
//
// Built for libFuzzer with VELLORAN_FUZZ (scripts/fuzz.sh); otherwise a replay of the inputs
// given on the command line (files or folders), as CTest runs it over tests/fuzz/corpus.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/Listing.h"
#include "tests/support/RandomRegistry.h"
#include "tests/support/StandInEnvironment.h"

namespace {

// Where per-user classes override the machine's: HKEY_CLASSES_ROOT shows them on Windows, and
// an elevated registration tool must never be handed what a user without elevation wrote.
const char kPerUserServer[] = "C:\\per-user\\";

// Per-user class keys for two in three of the generated class keys, one in two of them with a
// server of its own. Decided by position, not by the input's bytes, so that inputs kept in the
// corpus still build the registries they were kept for.
void AddPerUserClasses(const GeneratedRegistry& generated, RegistryBackend& backend) {
  const std::string machineClasses = "SOFTWARE\\Classes\\CLSID";
  int index = 0;
  for (const std::string& tree : generated.trees) {
    if (tree.size() <= machineClasses.size() || !IsWithin(tree, machineClasses)) continue;
    const std::string classKey = "Software\\Classes\\CLSID" + tree.substr(machineClasses.size());
    switch (index++ % 3) {
      case 0:
        backend.SetText(HKEY_CURRENT_USER, classKey + "\\InprocServer32", "",
                        kPerUserServer + std::to_string(index) + ".dll");
        break;
      case 1:
        backend.SetText(HKEY_CURRENT_USER, classKey, "", "per-user name");
        break;
    }
  }
}

// The machine's own class registration of a server, as the removal reads it before it starts
// the tool: the default value of the class's InprocServer32 key below
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes\CLSID, text up to its first NUL and its type; empty text
// of no type where the value is missing or holds no data, whatever its type. False where the
// value is no text, or where the removal could not read it: a path longer than Wine's ANSI
// functions open (260 characters), a link that names no key. Read after the removal, which only
// deletes: a file still named then was named when the removal read it.
bool MachineServer(const StandInRegistry& registry, const std::string& guid, TextValue& server) {
  const std::string path = "SOFTWARE\\Classes\\CLSID\\" + guid + "\\InprocServer32";
  if (guid.empty() || path.size() > 260) return false;
  std::vector<StandInRegistry::TreeKey> tree;
  try {
    tree = registry.Tree(HKEY_LOCAL_MACHINE, path);
  } catch (const std::invalid_argument&) {
    return false;
  }
  if (tree.empty()) return false;
  server = TextValue{};
  for (const StandInRegistry::TreeValue& value : tree.front().values) {
    if (!value.name.empty() || value.data.empty()) continue;
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return false;
    server.Text = value.data.substr(0, value.data.find('\0'));
    server.Type = value.type;
  }
  return true;
}

// The command line a removal of the row starts the tool with, if any: the row's server file as
// the machine registers it, expanded where stored as REG_EXPAND_SZ; none where it or its
// expansion holds a quote, and none where the expansion leaves nothing or would not fit.
bool ToolCommandOf(const StandInRegistry& registry, const StandInEnvironment& environment,
                   const std::vector<std::string>& subItems, std::string& command) {
  TextValue machine;
  if (subItems.size() < 2 || subItems[1].find('"') != std::string::npos ||
      !MachineServer(registry, subItems[0], machine) || machine.Text != subItems[1]) {
    return false;
  }
  std::string file = machine.Text;
  if (machine.Type == REG_EXPAND_SZ && !file.empty()) {
    if (file.size() >= kLargestExpansion) return false;
    file = environment.Expanded(file);
    if (file.empty() || file.size() >= kLargestExpansion || file.find('"') != std::string::npos) {
      return false;
    }
  }
  command = ToolCommandFor(file);
  return true;
}

bool SameRow(const MemoryRow& a, const MemoryRow& b) {
  return a.Caption == b.Caption && a.SubItems == b.SubItems;
}

void CheckRemoval(const MemoryRegistrationList& listed, const RemovalRun& run,
                  const MemoryRegistrationList& left, const std::vector<DumpEntry>& before,
                  const std::vector<DumpEntry>& after, const StandInRegistry& registry,
                  const StandInEnvironment& environment, std::vector<std::string>& problems) {
  for (const std::string& command : run.commands) {
    if (command.find(kPerUserServer) != std::string::npos) {
      problems.push_back("a per-user server handed to the tool: " + command);
    }
  }
  const std::size_t count = listed.rows.size(), leftCount = left.rows.size();
  std::vector<std::string> trees(count);
  std::vector<bool> mayGo(count);
  std::vector<std::string> goneTrees, selectedTrees;
  for (std::size_t row = 0; row < count; ++row) {
    const std::vector<std::string>& subItems = listed.rows[row].SubItems;
    if (!subItems.empty()) trees[row] = std::string(kHelperObjectKeyPath) + "\\" + subItems[0];
    mayGo[row] = run.answeredYes && run.selection[row] == '1' && !trees[row].empty();
    if (mayGo[row]) selectedTrees.push_back(trees[row]);
  }
  // The rows left must be the rows listed less some that could go; rows may repeat, so which
  // went is found by matching from the end: fits[row][kept] says whether listed rows from `row`
  // on can become the left rows from `kept` on.
  std::vector<std::vector<char>> fits(count + 1, std::vector<char>(leftCount + 1, 0));
  fits[count][leftCount] = 1;
  for (std::size_t row = count; row-- > 0;) {
    for (std::size_t kept = leftCount + 1; kept-- > 0;) {
      fits[row][kept] = (mayGo[row] && fits[row + 1][kept]) ||
                        (kept < leftCount && SameRow(listed.rows[row], left.rows[kept]) &&
                         fits[row + 1][kept + 1]);
    }
  }
  if (!fits[0][0]) {
    problems.push_back("the rows left are not the rows listed less selected ones");
    return;
  }
  // Every row gone whose machine registration names its file had the tool started with it; a
  // selected row kept may have had it too (a registration the walk could not delete whole); no
  // other command line may be there.
  std::multiset<std::string> started(run.commands.begin(), run.commands.end());
  std::vector<std::string> mayHaveStarted;
  for (std::size_t row = 0, kept = 0; row < count; ++row) {
    std::string command;
    const bool tool = ToolCommandOf(registry, environment, listed.rows[row].SubItems, command);
    if (kept < leftCount && SameRow(listed.rows[row], left.rows[kept]) && fits[row + 1][kept + 1]) {
      ++kept;
      if (tool && mayGo[row]) mayHaveStarted.push_back(command);
      continue;
    }
    goneTrees.push_back(trees[row]);
    if (!tool) continue;
    const auto found = started.find(command);
    if (found == started.end()) {
      problems.push_back("gone without the tool started as expected: " + Escaped(command));
    } else {
      started.erase(found);
    }
  }
  for (const std::string& command : mayHaveStarted) {
    const auto found = started.find(command);
    if (found != started.end()) started.erase(found);
  }
  for (const std::string& command : started) {
    problems.push_back("the tool started for no such row: " + Escaped(command));
  }

  std::multiset<std::string> existed;
  for (const DumpEntry& entry : before) existed.insert(entry.text);
  std::multiset<std::string> remains;
  for (const DumpEntry& entry : after) {
    remains.insert(entry.text);
    if (existed.count(entry.text) == 0) problems.push_back("changed or added: " + entry.text);
    for (const std::string& tree : goneTrees) {
      if (IsWithin(entry.path, tree))
        problems.push_back("its row went, still there: " + entry.text);
    }
  }
  for (const DumpEntry& entry : before) {
    if (remains.count(entry.text) != 0) continue;
    bool selected = false;
    for (const std::string& tree : selectedTrees) selected = selected || IsWithin(entry.path, tree);
    if (!selected) problems.push_back("deleted unselected: " + entry.text);
  }
}

// The environments a removal expands in, by what the generated server paths' %SystemRoot%
// becomes: a folder, a quote that would add arguments, nothing, more than any expansion may
// hold; the last leaves it unset.
constexpr int kEnvironments = 5;
void SetSystemRoot(StandInEnvironment& environment, int variant) {
  const std::string values[] = {"C:\\Windows", "C:\\x\" /i:evil /n \"C:\\y", "",
                                std::string(kLargestExpansion, 'w')};
  if (variant < 4) environment.Set("SystemRoot", values[variant]);
}

std::vector<std::string> ProblemsIn(const std::uint8_t* data, std::size_t size, BackendKind kind,
                                    int variant) {
  std::vector<std::string> problems;
  ByteChoices choices(data, size);
  std::unique_ptr<RegistryBackend> backend = MakeBackend(kind);
  StandInEnvironment environment;
  SetSystemRoot(environment, variant);
  const std::vector<std::string> everything{""};
  try {
    AddPerUserClasses(GenerateRegistry(choices, *backend, true), *backend);
    TRegistry registry(backend->Functions());
    MemoryRegistrationList rows;  // listings append to it, stale rows and all
    for (int step = 1; step <= 8 && !choices.Exhausted() && problems.empty(); ++step) {
      const std::vector<DumpEntry> before = Dump(*backend, everything);
      if (choices.OneIn(2)) {
        ListCatching(registry, rows);
        if (Dump(*backend, everything) != before) problems.push_back("a listing changed it");
      } else {
        const MemoryRegistrationList listed = rows;
        const RemovalRun run =
            RemoveRandomSelection(choices, registry, rows, StandInEnvironment::Functions());
        CheckRemoval(listed, run, rows, before, Dump(*backend, everything), *backend->StandIn(),
                     environment, problems);
      }
      const int open = backend->StandIn()->OpenHandleCount();
      if (open > (registry.CurrentKey() != nullptr ? 1 : 0)) {
        problems.push_back(std::to_string(open) + " key handles open");
      }
      if (!problems.empty()) problems.insert(problems.begin(), "step " + std::to_string(step));
    }
  } catch (const std::exception& error) {
    problems.push_back(std::string("unexpected error: ") + error.what());
  }
  return problems;
}

std::vector<std::string> Problems(const std::uint8_t* data, std::size_t size, BackendKind kind) {
  for (int variant = 0; variant < kEnvironments; ++variant) {
    std::vector<std::string> problems = ProblemsIn(data, size, kind, variant);
    if (problems.empty()) continue;
    problems.insert(problems.begin(), "environment " + std::to_string(variant));
    return problems;
  }
  return {};
}

const std::pair<BackendKind, const char*> kBehaviours[] = {
    {BackendKind::StandIn, "wine"}, {BackendKind::StandInAsWindows, "windows"}};

}  // namespace

#ifdef VELLORAN_FUZZ_REPLAY

#include <filesystem>
#include <fstream>
#include <iterator>

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int arg = 1; arg < argc; ++arg) {
    if (fs::is_directory(argv[arg])) {
      for (const fs::directory_entry& entry : fs::directory_iterator(argv[arg])) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else {
      inputs.push_back(argv[arg]);
    }
  }
  bool passed = !inputs.empty();
  for (const auto& [kind, name] : kBehaviours) {
    int failures = 0;
    for (const fs::path& input : inputs) {
      std::ifstream file(input, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
      std::vector<std::string> problems =
          Problems(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), kind);
      if (!file.is_open()) problems.push_back("cannot be read");
      if (problems.empty()) continue;
      ++failures;
      std::printf("%s (%s):\n", input.string().c_str(), name);
      for (const std::string& problem : problems) std::printf("  %s\n", problem.c_str());
    }
    std::printf("fuzz replay: %zu inputs, %d failures (%s)\n", inputs.size(), failures, name);
    passed = passed && failures == 0;
  }
  return passed ? 0 : 1;
}

#else

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const auto& [kind, name] : kBehaviours) {
    const std::vector<std::string> problems = Problems(data, size, kind);
    if (problems.empty()) continue;
    std::fprintf(stderr, "%s:\n", name);
    for (const std::string& problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}

#endif
