// The default shared package explains a failed load from the file itself,
// and keeps what it said before: the package, each file tried, the loader's
// own reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "images.hpp"
#include "packages.hpp"
#include "zep00001/zep00001.hpp"

namespace {

std::string loadError(const std::string& package) {
  try {
    LoadBPL_FOS(package);
    UnLoadBPL(package);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  ADD_FAILURE() << "loaded " << package;
  return {};
}

// Each test gets a package directory of its own for the files it makes.
class LoadFailure : public PackagePathTest {
 protected:
  void SetUp() override {
    directory_ = testing::TempDir() + "zep-diagnostics-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
    usePath(directory_);
  }
  void TearDown() override {
    PackagePathTest::TearDown();
    std::filesystem::remove_all(directory_);
  }
  // Writes lib<package>.so with these bytes and gives its load error.
  std::string errorFor(const std::string& package, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(directory_ + "/lib" + package + ".so", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return loadError(package);
  }
  std::string directory_;
};

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

TEST_F(LoadFailure, AnotherMachineOrWordSizeIsNamedFromTheHeader) {
  std::vector<std::uint8_t> bytes = fileBytes(kPackages + "/answering/libZEP00200.so");
  put(bytes, 18, 183, 2);
  std::string error = errorFor("ZEP00200", bytes);
  EXPECT_HAS(error, "\"ZEP00200\"");
  EXPECT_HAS(error, directory_ + "/libZEP00200.so: is a 64-bit AArch64 library; this process is " +
                        zep::object::describeTarget(zep::object::processTarget()) +
                        " (the loader says: ");

  usePath(kPackages + "/foreign");
  if (!std::filesystem::exists(kPackages + "/foreign/libZEP00101.so"))
    GTEST_SKIP() << "no 32-bit package";
  error = loadError("ZEP00101");
  EXPECT_HAS(error, "libZEP00101.so: is a 32-bit x86 library; this process is 64-bit x86-64");
  EXPECT_HAS(error, "wrong ELF class");
}

TEST_F(LoadFailure, AFileThatIsNoLibraryIsSaidWhatItIs) {
  usePath(kPackages + "/broken");
  std::string error = loadError("ZEP00300");
  EXPECT_HAS(error,
             "libZEP00300.so: is no library: it is a text file beginning \"This is the "
             "printer driver's installation guide,...\"");
  EXPECT_HAS(error, "invalid ELF header");

  usePath(directory_);
  EXPECT_HAS(errorFor("ZEP00301", {}), "libZEP00301.so: is no library: it is an empty file");
  EXPECT_HAS(errorFor("ZEP00302", peImage(0x8664, 64, {"StartImpFiscal"}, {})),
             "libZEP00302.so: is a Windows DLL (64-bit x86-64), not an ELF shared library");
  std::vector<std::uint8_t> archive = {'!', '<', 'a', 'r', 'c', 'h', '>', '\n', 0, 0};
  EXPECT_HAS(errorFor("ZEP00303", archive), "it is a static library archive");
}

TEST_F(LoadFailure, AProgramOrObjectIsNoSharedLibrary) {
  // This test program is a position-independent executable, as Debian builds them.
  std::vector<std::uint8_t> program = fileBytes("/proc/self/exe");
  if (zep::object::readImage(program).kind ==
      zep::object::ImageKind::PositionIndependentExecutable) {
    EXPECT_HAS(errorFor("ZEP00304", program),
               "is a position-independent program, not a shared library");
  }
  std::vector<std::uint8_t> object = fileBytes(kPackages + "/answering/libZEP00200.so");
  put(object, 16, 1, 2);
  EXPECT_HAS(errorFor("ZEP00305", object),
             "is an object file that was never linked into a shared library");
}

// glibc maps such a file past its end and the process dies of SIGBUS, so
// the shared package refuses it before the loader sees it.
TEST_F(LoadFailure, ACutShortFileIsRefusedBeforeLoading) {
  std::vector<std::uint8_t> bytes = fileBytes(kPackages + "/answering/libZEP00600.so");
  bytes.resize(bytes.size() / 2);
  std::string error = errorFor("ZEP00600", bytes);
  EXPECT_HAS(error, "libZEP00600.so: is damaged: the file is cut short: its contents run to byte ");
  EXPECT_HAS(error, "but the file has only " + std::to_string(bytes.size()) + " bytes");
  EXPECT_FALSE(isMapped(directory_ + "/libZEP00600.so"));
}

TEST_F(LoadFailure, AMissingDependencyIsNamed) {
  usePath(kPackages + "/broken");
  std::string error = loadError("ZEP01000");
  EXPECT_HAS(error,
             "libZEP01000.so: needs libzep_absent_dependency.so, which the loader finds "
             "nowhere on its search path (the loader says: libzep_absent_dependency.so: ");
}

TEST_F(LoadFailure, EveryFileTriedIsStillListed) {
  usePath(directory_ + ":" + kPackages + "/broken");
  std::string error = loadError("ZEP01000");
  EXPECT_HAS(error, directory_ + "/libZEP01000.so: no such file\n  " + kPackages +
                        "/broken/libZEP01000.so: needs libzep_absent_dependency.so");
}

}  // namespace
