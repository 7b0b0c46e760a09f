// The shared package's own directory when the program takes the address of
// LoadBPL_FOS. This program is built without position independence, so that
// address is its own PLT entry, and every library that asks for the address
// of LoadBPL_FOS by name, the shared package included, is given that entry.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "packages.hpp"
#include "slots.hpp"
#include "test_platform.hpp"
#include "zep00001/zep00001.hpp"

namespace {

class OwnDirectory : public PackagePathTest {};

TEST_F(OwnDirectory, IsTheSharedPackagesEvenWhenTheProgramHoldsTheAddressOfLoadBPL_FOS) {
  void* (*volatile load)(const std::string&) = &LoadBPL_FOS;
  // The address the program holds lies in the program itself.
  ASSERT_EQ(test_platform::libraryFileOf(reinterpret_cast<const void*>(load)),
            test_platform::libraryFileOf(reinterpret_cast<const void*>(&kPackages)));
  test_platform::unsetEnvironment("ZEP_PACKAGE_PATH");
  std::string error;
  try {
    load("ZEP09999");
    ADD_FAILURE() << "loaded ZEP09999";
  } catch (const std::runtime_error& failure) {
    error = failure.what();
  }
  EXPECT_NE(error.find(std::string(ZEP_SHARED_PACKAGE_DIR) + "/" + packageFileName("ZEP09999") +
                       ": no such file"),
            std::string::npos)
      << error;
}

}  // namespace
