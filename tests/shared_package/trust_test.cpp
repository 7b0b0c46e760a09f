// The default shared package loads no package that others than its owner
// could rewrite, and reads no unchanged file twice.
#include "shared_package/trust.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "access_list.hpp"
#include "packages.hpp"
#include "scratch_package.hpp"
#include "shared_package/package_search.hpp"
#include "zep00001/zep00001.hpp"

namespace {

namespace fs = std::filesystem;

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

// Which package a keyboard terminal's load reached.
std::string answer(void* library) {
  return reinterpret_cast<const char* (*)()>(test_platform::findSymbol(library, "Teclado_OK"))();
}

class Trust : public PackagePathTest {
 protected:
  void SetUp() override { usePath(scratch_.directory); }
  std::string loadError() {
    try {
      LoadBPL_FOS("Zep00400");
      UnLoadBPL("Zep00400");
    } catch (const std::runtime_error& error) {
      return error.what();
    }
    return "loaded";
  }
  ScratchPackage scratch_{"Zep00400"};
  const std::string& directory_ = scratch_.directory;
  const std::string& file_ = scratch_.file;
};

TEST_F(Trust, AFileEveryUserCanWriteIsRefused) {
  fs::permissions(file_, fs::perms::others_write, fs::perm_options::add);
  std::string error = loadError();
  EXPECT_HAS(error, file_ + ": is writable by every user");
  EXPECT_HAS(error, "remedy: chmod o-w " + file_);
}

TEST_F(Trust, AFileOfAnotherUserIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file away takes root";
  ASSERT_EQ(chown(file_.c_str(), 1, static_cast<gid_t>(-1)), 0);
  std::string error = loadError();
  EXPECT_HAS(error, file_ + ": is owned by user 1, neither root nor the user this process runs as");
  // chown would leave that user a descriptor opened for writing before.
  EXPECT_HAS(error,
             "remedy: as root, once its contents are trusted, replace it with a copy made "
             "by root: cp " +
                 file_ + " " + file_ + ".root && mv -f " + file_ + ".root " + file_);
  EXPECT_EQ(error.find("chown"), std::string::npos) << error;
}

TEST_F(Trust, ADirectoryEveryUserCanWriteIsRefusedUnlessSticky) {
  fs::permissions(directory_, fs::perms::all);
  std::string error = loadError();
  EXPECT_HAS(error, file_ + ": is in " + directory_ +
                        ", which every user can write and which has no sticky bit");
  EXPECT_HAS(error, "remedy: chmod o-w " + directory_);

  fs::permissions(directory_, fs::perms::sticky_bit, fs::perm_options::add);
  EXPECT_EQ(loadError(), "loaded");
}

TEST_F(Trust, WhatItsGroupCanWriteLoads) {
  fs::permissions(file_, fs::perms::group_write, fs::perm_options::add);
  fs::permissions(directory_, fs::perms::group_write, fs::perm_options::add);
  EXPECT_EQ(loadError(), "loaded");
}

TEST_F(Trust, AFileChangedSinceItsLoadIsCheckedAgain) {
  // Older than the clock tick of its first check, so that check is kept.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(loadError(), "loaded");
  fs::resize_file(file_, fs::file_size(file_) / 2);
  EXPECT_HAS(loadError(), file_ + ": is damaged: the file is cut short");
}

TEST_F(Trust, ADirectoryOfAnotherUserIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a directory away takes root";
  ASSERT_EQ(chown(directory_.c_str(), 1, static_cast<gid_t>(-1)), 0);
  std::string error = loadError();
  EXPECT_HAS(error, file_ + ": is in " + directory_ + ", which is owned by user 1");
  EXPECT_HAS(error, "remedy: as root, replace it with a directory made by root");
  EXPECT_HAS(error, "mkdir " + directory_ + ".root && cp -R " + directory_ + "/. " + directory_ +
                        ".root && mv " + directory_ + " " + directory_ + ".old && mv " +
                        directory_ + ".root " + directory_);
  EXPECT_EQ(error.find("chown"), std::string::npos) << error;
}

TEST_F(Trust, WhatAnAccessListLetsAnotherUserWriteIsRefused) {
  if (!giveAccess(directory_, false) || !giveAccess(file_, false))
    GTEST_SKIP() << "no access lists here";
  EXPECT_EQ(loadError(), "loaded");

  giveAccess(directory_, true);
  std::string error = loadError();
  EXPECT_HAS(error, file_ + ": is in " + directory_ +
                        ", which is writable by user 47614 through its access list");
  EXPECT_HAS(error, "remedy: setfacl -x u:47614 " + directory_);

  giveAccess(directory_, false);
  giveAccess(file_, true);
  error = loadError();
  EXPECT_HAS(error, file_ + ": is writable by user 47614 through its access list");
  // That user may hold it open for writing already: it is replaced.
  EXPECT_HAS(error, "remedy: as root, once its contents are trusted, replace it");
}

// Each refusal names the real file and a remedy acting on it, never on the
// link, which chown and chmod would follow.
TEST_F(Trust, ALinkIsJudgedByTheFileAndDirectoryItLeadsTo) {
  ScratchPackage real{"Zep00400"};
  fs::remove(file_);
  fs::create_symlink(real.file, file_);
  EXPECT_EQ(loadError(), "loaded");

  fs::permissions(real.directory, fs::perms::all);
  fs::permissions(real.file, fs::perms::others_write, fs::perm_options::add);
  std::string error = loadError();
  EXPECT_HAS(error, file_ + ": leads to " + real.file + ", which is writable by every user");
  EXPECT_HAS(error, "remedy: chmod o-w " + real.file);
  EXPECT_HAS(error, file_ + ": leads to " + real.file + ", in " + real.directory +
                        ", which every user can write");
  EXPECT_TRUE(error.ends_with("remedy: chmod o-w " + real.directory)) << error;
  EXPECT_EQ(error.find("o-w " + file_), std::string::npos) << error;
}

// A library the package needs, found beside it through RUNPATH $ORIGIN, is
// checked as the package is, before the package is loaded.
TEST_F(Trust, ADependencyBesideThePackageIsCheckedAsThePackageIs) {
  const std::string needed = "libzep_beside_dependency.so";
  fs::remove(file_);
  const std::string file = directory_ + "/" + packageFileName("ZEP01000");
  fs::copy_file(packageFile("beside", "ZEP01000"), file);
  fs::copy_file(kPackages + "/beside/" + needed, directory_ + "/" + needed);
  auto load = [] {
    try {
      LoadBPL_FOS("ZEP01000");
      UnLoadBPL("ZEP01000");
    } catch (const std::runtime_error& error) {
      return std::string(error.what());
    }
    return std::string("loaded");
  };
  EXPECT_EQ(load(), "loaded");
  fs::permissions(directory_ + "/" + needed, fs::perms::others_write, fs::perm_options::add);
  const std::string error = load();
  EXPECT_HAS(error, file + ": needs " + needed + ", which the loader would take from " +
                        directory_ + "/" + needed + ", and which is writable by every user");
  EXPECT_HAS(error, "remedy: chmod o-w " + directory_ + "/" + needed);
  EXPECT_FALSE(isMapped(directory_ + "/" + needed));
}

// glibc follows the dynamic segment wherever its address points, and dies
// there: the package is refused before the loader sees it.
TEST_F(Trust, ADynamicSegmentOutsideTheFileIsRefusedBeforeTheLoader) {
  std::fstream file(file_, std::ios::in | std::ios::out | std::ios::binary);
  auto field = [&](std::streamoff at, int width) {
    std::uint64_t value = 0;
    file.seekg(at);
    file.read(reinterpret_cast<char*>(&value), width);
    return value;
  };
  const std::uint64_t headers = field(32, 8);
  const std::uint64_t count = field(56, 2);
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::streamoff header = static_cast<std::streamoff>(headers + 56 * i);
    if (field(header, 4) != 2) continue;
    const std::uint64_t far = 0x7fff0000;
    file.seekp(header + 16);
    file.write(reinterpret_cast<const char*>(&far), 8);
  }
  file.close();
  EXPECT_HAS(loadError(), file_ +
                              ": is damaged: the dynamic section lies outside the file's "
                              "loadable segments");
}

// glibc takes a name it has loaded before for the same library: two
// packages of one file name in two directories each keep their own entries.
TEST_F(Trust, PackagesOfOneNameInTwoDirectoriesKeepTheirOwnEntries) {
  auto answer = [](void* library) {
    return std::string(
        reinterpret_cast<const char* (*)()>(test_platform::findSymbol(library, "Teclado_OK"))());
  };
  usePath(kPackages + "/answering");
  void* first = LoadBPL_FOS("Zep00400");
  UnLoadBPL("Zep00400");
  usePath(kPackages + "/second");
  void* second = LoadBPL_FOS("Zep00400");
  EXPECT_EQ(answer(second), "second/Zep00400:Teclado_OK");
  usePath(kPackages + "/answering");
  first = LoadBPL_FOS("Zep00400");
  EXPECT_NE(first, second);
  EXPECT_EQ(answer(first), "answering/Zep00400:Teclado_OK");
  EXPECT_EQ(answer(second), "second/Zep00400:Teclado_OK");
  UnLoadBPL("Zep00400");
  UnLoadBPL("Zep00400");
  EXPECT_FALSE(isMapped(packageFile("answering", "Zep00400")));
  EXPECT_FALSE(isMapped(packageFile("second", "Zep00400")));
}

// A package that stays mapped after its unload keeps the descriptor of its
// directory, so the name it was loaded under never comes to mean another.
TEST_F(Trust, APackageThatStaysMappedKeepsItsNameToItself) {
  usePath(kPackages + "/nodelete");
  LoadBPL_FOS("Zep00400");
  UnLoadBPL("Zep00400");
  ASSERT_TRUE(isMapped(packageFile("nodelete", "Zep00400")));
  usePath(kPackages + "/second");
  EXPECT_EQ(answer(LoadBPL_FOS("Zep00400")), "second/Zep00400:Teclado_OK");
  UnLoadBPL("Zep00400");
}

// "no such file" only where there is none.
TEST_F(Trust, WhatStandsInTheFilesPlaceIsNamed) {
  fs::remove(file_);
  auto said = [&] { return loadError(); };
  fs::create_directory(file_);
  EXPECT_HAS(said(), file_ + ": is a directory, not a library file");
  fs::remove(file_);
  ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
  EXPECT_HAS(said(), file_ + ": is a FIFO (named pipe), not a library file");
  fs::remove(file_);
  fs::create_symlink("/dev/null", file_);
  EXPECT_HAS(said(), file_ + ": is a device, not a library file");
  fs::remove(file_);
  fs::create_symlink(directory_ + "/nowhere", file_);
  EXPECT_HAS(said(), file_ + ": is a link to a file that does not exist");
  fs::remove(file_);
  EXPECT_HAS(said(), file_ + ": no such file");
  const std::string deep = directory_ + "/" + std::string(4200, 'd');
  usePath(deep);
  EXPECT_HAS(said(), ": the name is too long for the system");
}

// A file system may keep whole seconds: a change time within a second of
// the check may hide a later change.
TEST(CheckedFiles, ACheckStandsOnlyForAFileChangedASecondBeforeIt) {
  zep::platform::FileStatus::Identity identity;
  identity.changed = {1000, 0};
  EXPECT_FALSE(zep::shared_package::checkStands(identity, {1000, 999'999'999}));
  EXPECT_TRUE(zep::shared_package::checkStands(identity, {1001, 0}));
  identity.changed = {1000, 500'000'000};
  EXPECT_FALSE(zep::shared_package::checkStands(identity, {1001, 0}));
}

}  // namespace
