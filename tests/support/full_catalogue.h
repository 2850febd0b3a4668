#pragma once
// Include in one test source of a program whose tests need the whole catalogue. The catalogue is
// built once per process from the machine of that moment: this builds it on a notebook with
// every category, so that the program's tests see all twelve.
#include <gtest/gtest.h>

#include "machine/machine.h"
#include "model/hardware_catalog.h"
#include "support/test_env.h"

namespace testenv {

class FullCatalogue : public ::testing::Environment {
 public:
  void SetUp() override {
    auto loaded = host::machine::Machine::Instance().LoadFile(ResourcePath("machines/faulty-notebook.json"));
    ASSERT_TRUE(loaded) << loaded.error;
    ASSERT_EQ(zel::sysdiagnose::GetHardwareCatalog().Items().size(), 12u);
  }
};

inline ::testing::Environment* const kFullCatalogue = ::testing::AddGlobalTestEnvironment(new FullCatalogue);

}  // namespace testenv
