// A test that drives the built module through its exports: the module
// loaded as a host loads it, and the registry pointing at an install
// directory of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/platform.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "tools/PluginModule.h"

namespace ombrels::testing {

class LoadedModule : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto plugin = wdxhost::LoadPlugin(OMBRELS_MODULE_PATH, error);
    ASSERT_TRUE(plugin) << error;
    plugin_ = std::move(*plugin);
    registry_.Set(platform::RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", "",
                  install_.path().string() + '\0');
  }

  TestRegistry registry_;
  TempDir install_;
  wdxhost::Plugin plugin_;
};

}  // namespace ombrels::testing
