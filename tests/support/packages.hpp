// Tests that go through the default shared package: where the tree's test
// packages are, pointing the package search at one of their directories,
// and whether a package file is still mapped.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

inline const std::string kPackages = ZEP_TEST_PACKAGES;

inline bool isMapped(const std::string& path) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (library != nullptr) dlclose(library);
  return library != nullptr;
}

// Each test starts with the answering packages on the package path.
class PackagePathTest : public ::testing::Test {
 protected:
  void SetUp() override { usePath(kPackages + "/answering"); }
  void TearDown() override { unsetenv("ZEP_PACKAGE_PATH"); }
  static void usePath(const std::string& path) { setenv("ZEP_PACKAGE_PATH", path.c_str(), 1); }
};
