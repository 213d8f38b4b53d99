#pragma once
// Helper-object registrations for the benchmarks, each with a class key, a name and a server:
// in the stand-in registry natively, in the real registry on Windows (a throwaway Wine prefix,
// never a machine someone uses).

#include <memory>
#include <string>

#include "catalogue/Environment.h"
#include "registry/RegistryFunctions.h"

// The registration key name of registration n: a GUID in braces.
std::string BenchGuid(int n);

class BenchRegistry {
 public:
  BenchRegistry();
  ~BenchRegistry();
  BenchRegistry(const BenchRegistry&) = delete;
  BenchRegistry& operator=(const BenchRegistry&) = delete;

  // Leaves exactly registrations 0 to count - 1 under the helper-object key.
  void Seed(int count);
  int Seeded() const { return seeded_; }
  // Puts registration n's key back after a removal deleted it.
  void Register(int n);
  // The registry the registrations are in, for the registry object to be handed.
  const RegistryFunctions& Functions() const;
  // The environment a removal expands REG_EXPAND_SZ server paths in.
  const EnvironmentFunctions& Environment() const;

 private:
  struct StandIn;
  std::unique_ptr<StandIn> standIn_;  // natively only
  int seeded_ = -1;
  int classes_ = 0;  // class keys 0 to classes_ - 1 exist; a removal never deletes them
};
