// The default shared package loads no package that others than its owner
// could rewrite, and reads no unchanged file twice.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "packages.hpp"
#include "scratch_package.hpp"
#include "zep00001/zep00001.hpp"

namespace {

namespace fs = std::filesystem;

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

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
  EXPECT_HAS(error, "remedy: chown root " + file_);
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

}  // namespace
