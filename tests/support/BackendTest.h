#pragma once
// Base fixture of the contract suites: each test gets a fresh backend and a registry object
// over it, and runs once per available backend.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "registry/Registry.h"
#include "tests/support/RegistryBackend.h"

class BackendTest : public testing::TestWithParam<BackendKind> {
 protected:
  void SetUp() override {
    backend = MakeBackend(GetParam());
    registry = std::make_unique<TRegistry>(backend->Functions());
  }
  void TearDown() override {
    registry.reset();  // closes its key while the backend is still there
    if (StandInRegistry* standIn = backend->StandIn()) {
      const std::vector<std::string> unexpected = standIn->TakeUnexpectedCalls();
      EXPECT_TRUE(unexpected.empty()) << "first unexpected call: " << unexpected.front();
    }
    backend.reset();
  }

  std::unique_ptr<RegistryBackend> backend;
  std::unique_ptr<TRegistry> registry;
};

#define SKIP_UNLESS_STAND_IN()                    \
  if (backend->StandIn() == nullptr)              \
  GTEST_SKIP() << "needs the stand-in registry: " \
                  "the system registry of a prefix cannot refuse access or fail on demand"

#define INSTANTIATE_FOR_BACKENDS(Suite, kinds)   \
  INSTANTIATE_TEST_SUITE_P(                      \
      Backends, Suite, testing::ValuesIn(kinds), \
      [](const testing::TestParamInfo<BackendKind>& info) { return BackendName(info.param); })
#define INSTANTIATE_FOR_EVERY_BACKEND(Suite) INSTANTIATE_FOR_BACKENDS(Suite, AvailableBackends())
// Suites whose promises must hold on Windows' registry too, not only on Wine's.
#define INSTANTIATE_FOR_EVERY_BACKEND_AND_WINDOWS(Suite) \
  INSTANTIATE_FOR_BACKENDS(Suite, SafetyBackends())
