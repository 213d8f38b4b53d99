#pragma once
// Random helper-object registries, shared by the differential test (stand-in against the real
// registry) and the fuzz target: one generator, fed by a seed or by the fuzzer's bytes, the two
// catalogue steps as both drive them, and a dump of whole trees, values and links included.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/Removal.h"
#include "tests/catalogue/MemoryRegistrationList.h"
#include "tests/support/RegistryBackend.h"

// Where the generator's decisions come from.
class Choices {
 public:
  virtual ~Choices() = default;
  virtual unsigned Below(unsigned count) = 0;  // 0 to count - 1; 0 when count is 0
  bool OneIn(unsigned count) { return Below(count) == 0; }
};

class SeededChoices final : public Choices {
 public:
  explicit SeededChoices(std::uint64_t seed) : state_(seed) {}
  unsigned Below(unsigned count) override;

 private:
  std::uint64_t state_;
};

// Every decision takes the next byte; once they run out, every decision is 0.
class ByteChoices final : public Choices {
 public:
  ByteChoices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  unsigned Below(unsigned count) override;
  bool Exhausted() const { return size_ == 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

struct GeneratedRegistry {
  // The trees it wrote, as paths below HKEY_LOCAL_MACHINE: the helper-object key first, then
  // each class key and link target, once each whatever the case of its name.
  std::vector<std::string> trees;
};

// Registration and class keys with random names, their defaults of every type, deep
// registration trees and links. With `denyAccess` (the stand-in only) some keys refuse full
// access.
GeneratedRegistry GenerateRegistry(Choices& choices, RegistryBackend& backend, bool denyAccess);

// One entry per key and per value of the trees (paths below HKEY_LOCAL_MACHINE, "" for all of
// it), in enumeration order; links are not followed.
struct DumpEntry {
  std::string path;  // of the key, below HKEY_LOCAL_MACHINE
  std::string text;  // the whole line: path, and the value's name, type and data
  bool operator==(const DumpEntry& other) const { return text == other.text; }
};
std::vector<DumpEntry> Dump(RegistryBackend& backend, const std::vector<std::string>& trees);

// Whether `path` is `top` or lies below it, names compared as the registry compares them.
bool IsWithin(const std::string& path, const std::string& top);

// The listing; returns the message of the error that stopped it, empty when it ended normally.
std::string ListCatching(TRegistry& registry, MemoryRegistrationList& rows);

struct RemovalRun {
  std::string selection;  // "1" or "0" per row, as selected
  bool answeredYes = false;
  std::vector<std::string> commands;  // the command lines started, in order
};
// Selects rows at random and removes them with a random answer, server paths expanded in
// `environment`.
RemovalRun RemoveRandomSelection(Choices& choices, TRegistry& registry,
                                 MemoryRegistrationList& rows,
                                 const EnvironmentFunctions& environment);
// The command line those removals start the registration tool with for a server file.
std::string ToolCommandFor(const std::string& serverFile);

std::string Escaped(const std::string& text);
