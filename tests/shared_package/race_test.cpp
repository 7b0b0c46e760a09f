// An attacker of another user swaps names while this process, as root, loads
// a package again and again: the file checked must be the file loaded, so
// the attacker's package never runs here, whichever moment the swap falls on.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "packages.hpp"
#include "zep00001/zep00001.hpp"

namespace {

namespace fs = std::filesystem;

// A user id of no one's, for the attacker alone.
constexpr uid_t kAttacker = 47613;
constexpr int kBinds = 4000;

const std::string kGood = packageFile("answering", "Zep00400");
const std::string kEvil = packageFile("second", "Zep00400");

// Swaps `a` and `b` until killed, as the attacker's user.
pid_t attackerSwapping(const std::string& a, const std::string& b) {
  const pid_t child = fork();
  if (child != 0) return child;
  if (setgroups(0, nullptr) != 0 || setgid(kAttacker) != 0 || setuid(kAttacker) != 0) _exit(2);
  for (;;) renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
}

struct Outcome {
  int loaded = 0;
  int refused = 0;
  int attackerRan = 0;
  // Refusals that gave the reason expected.
  int explained = 0;
  std::string lastRefusal;
};

// Loads and unloads Zep00400 kBinds times while `attacker` swaps.
Outcome bindWhileSwapping(pid_t attacker, const std::string& reason) {
  Outcome outcome;
  for (int i = 0; i < kBinds; ++i) {
    void* library = nullptr;
    try {
      library = LoadBPL_FOS("Zep00400");
    } catch (const std::runtime_error& refused) {
      ++outcome.refused;
      outcome.lastRefusal = refused.what();
      if (outcome.lastRefusal.find(reason) != std::string::npos) ++outcome.explained;
      continue;
    }
    auto answer =
        reinterpret_cast<const char* (*)()>(test_platform::findSymbol(library, "Teclado_OK"));
    if (std::string(answer()) == "answering/Zep00400:Teclado_OK") {
      ++outcome.loaded;
    } else {
      ++outcome.attackerRan;
    }
    UnLoadBPL("Zep00400");
  }
  kill(attacker, SIGKILL);
  waitpid(attacker, nullptr, 0);
  return outcome;
}

class Race : public PackagePathTest {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "an attacker of another user takes root to play";
    std::string pattern = testing::TempDir() + "zep-race-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    ASSERT_EQ(chmod(root_.c_str(), 0755), 0);
  }
  void TearDown() override {
    if (!root_.empty()) fs::remove_all(root_);
    PackagePathTest::TearDown();
  }
  // A copy of `from` at `to`, owned by `owner`.
  static void place(const std::string& from, const std::string& to, uid_t owner) {
    fs::copy_file(from, to);
    ASSERT_EQ(chown(to.c_str(), owner, owner), 0);
  }
  static void makeDirectory(const std::string& path, uid_t owner, mode_t mode) {
    ASSERT_EQ(mkdir(path.c_str(), mode), 0);
    ASSERT_EQ(chown(path.c_str(), owner, owner), 0);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  }
  std::string root_;
};

// The package directory is root's, but the directory above it is the
// attacker's, who swaps it with a directory of theirs.
TEST_F(Race, SwappingThePackageDirectoryThroughItsParentNeverRunsTheAttackersCode) {
  const std::string parent = root_ + "/open";
  makeDirectory(parent, kAttacker, 0755);
  makeDirectory(parent + "/packages", 0, 0755);
  makeDirectory(parent + "/theirs", kAttacker, 0755);
  place(kGood, parent + "/packages/libZep00400.so", 0);
  place(kEvil, parent + "/theirs/libZep00400.so", kAttacker);
  usePath(parent + "/packages");

  const Outcome outcome =
      bindWhileSwapping(attackerSwapping(parent + "/packages", parent + "/theirs"),
                        "which is owned by user " + std::to_string(kAttacker));
  EXPECT_EQ(outcome.attackerRan, 0);
  EXPECT_EQ(outcome.loaded + outcome.refused, kBinds);
  EXPECT_GT(outcome.loaded, 0);
  EXPECT_GT(outcome.explained, 0) << outcome.lastRefusal;
}

// A link in root's package directory leads into a directory every user can
// write, where the attacker swaps root's file with theirs.
TEST_F(Race, SwappingTheFileBehindALinkIntoAnOpenDirectoryNeverRunsTheAttackersCode) {
  const std::string open = root_ + "/open";
  makeDirectory(open, 0, 0777);
  makeDirectory(root_ + "/packages", 0, 0755);
  place(kGood, open + "/libZep00400.so", 0);
  place(kEvil, open + "/theirs.so", kAttacker);
  fs::create_symlink(open + "/libZep00400.so", root_ + "/packages/libZep00400.so");
  usePath(root_ + "/packages");

  const Outcome outcome = bindWhileSwapping(
      attackerSwapping(open + "/libZep00400.so", open + "/theirs.so"),
      ", in " + open + ", which every user can write and which has no sticky bit");
  EXPECT_EQ(outcome.attackerRan, 0);
  EXPECT_EQ(outcome.refused, kBinds);
  EXPECT_GT(outcome.explained, 0) << outcome.lastRefusal;
}

}  // namespace
