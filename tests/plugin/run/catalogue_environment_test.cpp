// The catalogue is built once per process from the machine of that moment: build it on a notebook
// that has every category, so that every test of this program sees all twelve.
#include <gtest/gtest.h>

#include "machine/machine.h"
#include "model/hardware_catalog.h"
#include "support/test_env.h"

namespace {

class FullCatalogue : public ::testing::Environment {
 public:
  void SetUp() override {
    auto loaded = host::machine::Machine::Instance().LoadFile(testenv::ResourcePath("machines/faulty-notebook.json"));
    ASSERT_TRUE(loaded) << loaded.error;
    ASSERT_EQ(zel::sysdiagnose::GetHardwareCatalog().Items().size(), 12u);
  }
};

[[maybe_unused]] ::testing::Environment* const kFullCatalogue = ::testing::AddGlobalTestEnvironment(new FullCatalogue);

}  // namespace
