// Tests that go through the default shared package: where the tree's test
// packages are, pointing the package search at one of their directories,
// and whether a package file is still mapped.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "slots.hpp"
#include "test_platform.hpp"

inline const std::string kPackages = ZEP_TEST_PACKAGES;

using test_platform::isMapped;

// Each test starts with the answering packages on the package path.
class PackagePathTest : public ::testing::Test {
 protected:
  void SetUp() override { usePath(kPackages + "/answering"); }
  void TearDown() override { test_platform::unsetEnvironment("ZEP_PACKAGE_PATH"); }
  static void usePath(const std::string& path) {
    test_platform::setEnvironment("ZEP_PACKAGE_PATH", path);
  }
};

// Two loads of the answering package, then two unloads: the package stays
// mapped until the second.
inline void expectLoadsCounted(const std::string& package) {
  const std::string path = packageFile("answering", package);
  LoadBPL_FOS(package);
  LoadBPL_FOS(package);
  UnLoadBPL(package);
  EXPECT_TRUE(isMapped(path)) << package;
  UnLoadBPL(package);
  EXPECT_FALSE(isMapped(path)) << package;
}
