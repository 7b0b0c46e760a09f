// The libraries a package needs are found, checked and loaded by the shared
// package itself: an attacker of another user who can write somewhere on the
// loader's way, or who chooses where this root process starts, never has a
// library of theirs run here.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

#include "access_list.hpp"
#include "load_refusal.hpp"
#include "packages.hpp"
#include "platform/platform.hpp"
#include "zep00001/zep00001.hpp"

namespace {

namespace fs = std::filesystem;

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

// A user id of no one's, for the attacker alone.
constexpr uid_t kAttacker = 47614;
const std::string kAttackerId = std::to_string(kAttacker);
const std::string kDependency = "libzep_beside_dependency.so";

// In the child, as the attacker; the parent carries on.
template <class Act>
pid_t asAttacker(Act act) {
  const pid_t child = fork();
  if (child != 0) return child;
  if (setgroups(0, nullptr) != 0 || setgid(kAttacker) != 0 || setuid(kAttacker) != 0) _exit(2);
  act();
  _exit(0);
}

void waitFor(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// One bind of ZEP01000: the answer of the dependency it reached ("absent"
// for the genuine one, "attacker"), or the refusal.
struct Bind {
  std::string answer;
  std::string refusal;
};

// `afterLoad` runs as soon as the load returns or throws, before anything
// else: the sanitizers' checks of a virtual call (what()) need descriptors.
Bind bindOnce(const std::function<void()>& afterLoad = [] {}) {
  void* library = nullptr;
  std::exception_ptr refusal;
  try {
    library = LoadBPL_FOS("ZEP01000");
  } catch (...) {
    refusal = std::current_exception();
  }
  afterLoad();
  if (refusal) {
    try {
      std::rethrow_exception(refusal);
    } catch (const std::runtime_error& refused) {
      return {"", refused.what()};
    }
  }
  auto start =
      reinterpret_cast<const char* (*)()>(test_platform::findSymbol(library, "StartImpFiscal"));
  Bind bound{start(), ""};
  UnLoadBPL("ZEP01000");
  return bound;
}

class Dependencies : public PackagePathTest {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "an attacker of another user takes root to play";
    std::string pattern = testing::TempDir() + "zep-dependencies-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    ASSERT_EQ(chmod(root_.c_str(), 0755), 0);
    packages_ = root_ + "/packages";
    makeDirectory(packages_, 0, 0755);
    fs::copy_file(ZEP_SEARCHING_PACKAGE, package());
    usePath(packages_);
  }
  void TearDown() override {
    if (!root_.empty()) fs::remove_all(root_);
    PackagePathTest::TearDown();
  }
  std::string package() const { return packages_ + "/libZEP01000.so"; }
  static void makeDirectory(const std::string& path, uid_t owner, mode_t mode) {
    fs::create_directories(path);
    ASSERT_EQ(chown(path.c_str(), owner, owner), 0);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  }
  // A copy of `from` at `to`, owned by `owner`.
  static void place(const std::string& from, const std::string& to, uid_t owner) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    ASSERT_EQ(chown(to.c_str(), owner, owner), 0);
  }
  // The package with the string `was` begins made to begin `now`, of the
  // same length.
  void patch(const std::string& was, const std::string& now) {
    ASSERT_EQ(was.size(), now.size());
    std::fstream file(package(), std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::string::size_type at = bytes.find('\0' + was);
    ASSERT_NE(at, std::string::npos) << was;
    file.seekp(static_cast<std::streamoff>(at + 1));
    file.write(now.data(), static_cast<std::streamsize>(now.size()));
  }
  std::string root_;
  std::string packages_;
};

TEST_F(Dependencies, ARootDependencyOfTheRootPackageIsLoadedFromItsOwnDirectory) {
  makeDirectory(packages_ + "/lib", 0, 0755);
  place(ZEP_GENUINE_DEPENDENCY, packages_ + "/lib/" + kDependency, 0);
  void* library = LoadBPL_FOS("ZEP01000");
  EXPECT_TRUE(isMapped(packages_ + "/lib/" + kDependency));
  UnLoadBPL("ZEP01000");
  EXPECT_FALSE(isMapped(packages_ + "/lib/" + kDependency));
  EXPECT_NE(library, nullptr);
  EXPECT_EQ(bindOnce().answer, "absent");
}

// The first directory of the search path is the attacker's and empty while
// the host binds; the genuine library stands further on. The host keeps
// binding while the attacker drops a library of theirs there.
TEST_F(Dependencies, ADirectoryOfAnotherUserIsRefusedWhetherOrNotItHoldsTheLibraryYet) {
  makeDirectory(packages_ + "/deps", kAttacker, 0755);
  makeDirectory(packages_ + "/lib", 0, 0755);
  place(ZEP_GENUINE_DEPENDENCY, packages_ + "/lib/" + kDependency, 0);
  const std::string dropped = packages_ + "/deps/" + kDependency;
  int attackerRan = 0;
  for (int i = 0; i < 400; ++i) {
    if (i == 100) {
      waitFor(asAttacker([&] { fs::copy_file(ZEP_ATTACKER_DEPENDENCY, dropped); }));
      ASSERT_TRUE(fs::exists(dropped));
    }
    const Bind bound = bindOnce();
    attackerRan += bound.answer == "attacker";
    EXPECT_HAS(bound.refusal, "needs " + kDependency + ", which the loader looks for through " +
                                  packages_ + "/deps, which is owned by user " + kAttackerId);
    if (!bound.refusal.empty()) continue;
    ADD_FAILURE() << "bound at " << i;
    break;
  }
  EXPECT_EQ(attackerRan, 0);
}

// Read through the O_PATH descriptor of each step the walk takes.
TEST_F(Dependencies, ADirectoryAnAccessListLetsAnotherUserWriteIsRefused) {
  makeDirectory(packages_ + "/deps", 0, 0755);
  makeDirectory(packages_ + "/lib", 0, 0755);
  place(ZEP_GENUINE_DEPENDENCY, packages_ + "/lib/" + kDependency, 0);
  if (!giveAccess(packages_ + "/deps", true)) GTEST_SKIP() << "no access lists here";
  EXPECT_HAS(bindOnce().refusal, "needs " + kDependency + ", which the loader looks for through " +
                                     packages_ + "/deps, which is writable by user " + kAttackerId +
                                     " through its access list");
}

// Started from a directory the attacker owns: every entry that the loader
// would take from there is refused, whatever else the search path holds.
TEST_F(Dependencies, WhatTheLoaderWouldTakeFromTheCurrentDirectoryIsRefused) {
  makeDirectory(packages_ + "/lib", 0, 0755);
  place(ZEP_GENUINE_DEPENDENCY, packages_ + "/lib/" + kDependency, 0);
  const std::string theirs = root_ + "/theirs";
  makeDirectory(theirs + "/deps", kAttacker, 0755);
  makeDirectory(theirs, kAttacker, 0755);
  place(ZEP_ATTACKER_DEPENDENCY, theirs + "/deps/" + kDependency, kAttacker);
  place(ZEP_ATTACKER_DEPENDENCY, theirs + "/bzep_beside_dependency.so", kAttacker);
  const fs::path started = fs::current_path();
  fs::current_path(theirs);
  const std::string original = ZEP_SEARCHING_PACKAGE;
  struct Case {
    std::string was, now, said;
  };
  const Case cases[] = {
      {"$ORIGIN/deps:", ":$ORIGIN/deps",
       "holds an empty entry, which the loader takes for the "
       "current directory"},
      {"$ORIGIN/deps:", "deps////////:",
       "holds the relative entry deps////////, which the loader "
       "takes from the current directory"},
      {"$ORIGIN/deps:", "$LIB////////:",
       "holds $LIB////////, which the module cannot expand "
       "exactly as the loader would"},
      {"$ORIGIN/deps:", "$PLATFORM///:", "holds $PLATFORM///"},
      {kDependency, "./bzep_beside_dependency.so",
       "needs ./bzep_beside_dependency.so, a path which the loader opens as it stands"},
  };
  for (const Case& each : cases) {
    fs::copy_file(original, package(), fs::copy_options::overwrite_existing);
    patch(each.was, each.now);
    const Bind bound = bindOnce();
    EXPECT_EQ(bound.answer, "") << each.now;
    EXPECT_HAS(bound.refusal, each.said);
  }
  fs::current_path(started);
}

// Out of descriptors, a library that cannot be opened is no library that
// is not there: the walk refuses rather than search on.
TEST_F(Dependencies, RunningOutOfDescriptorsRefusesTheBind) {
  makeDirectory(packages_ + "/lib", 0, 0755);
  place(ZEP_GENUINE_DEPENDENCY, packages_ + "/lib/" + kDependency, 0);
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  int open = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) open += !entry.is_directory();
  int outOfDescriptors = 0;
  for (int free = 0; free < 24; ++free) {
    rlimit fewer = limit;
    fewer.rlim_cur = static_cast<rlim_t>(open + free);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &fewer), 0);
    const Bind bound = bindOnce([&] { ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0); });
    EXPECT_NE(bound.answer, "attacker");
    EXPECT_EQ(bound.refusal.find(kDependency + ": no such file"), std::string::npos);
    outOfDescriptors += bound.refusal.find(std::strerror(EMFILE)) != std::string::npos;
  }
  EXPECT_GT(outOfDescriptors, 0);
  EXPECT_EQ(bindOnce().answer, "absent");
}

// The dependency's directory is root's, under a directory of the
// attacker's, who swaps it with one of theirs while the host binds.
TEST_F(Dependencies, SwappingTheDependencysDirectoryThroughItsParentNeverRunsTheAttackersCode) {
  const std::string open = root_ + "/open";
  makeDirectory(open, kAttacker, 0755);
  makeDirectory(open + "/deps", 0, 0755);
  makeDirectory(open + "/theirs", kAttacker, 0755);
  place(ZEP_GENUINE_DEPENDENCY, open + "/deps/" + kDependency, 0);
  place(ZEP_ATTACKER_DEPENDENCY, open + "/theirs/" + kDependency, kAttacker);
  const pid_t attacker = asAttacker([&] {
    for (;;)
      renameat2(AT_FDCWD, (open + "/deps").c_str(), AT_FDCWD, (open + "/theirs").c_str(),
                RENAME_EXCHANGE);
  });
  int attackerRan = 0;
  int explained = 0;
  constexpr int kBinds = 3000;
  for (int i = 0; i < kBinds; ++i) {
    const Bind bound = bindOnce();
    attackerRan += bound.answer == "attacker";
    explained +=
        bound.refusal.find(open + ", which is owned by user " + kAttackerId) != std::string::npos;
  }
  kill(attacker, SIGKILL);
  waitpid(attacker, nullptr, 0);
  EXPECT_EQ(attackerRan, 0);
  EXPECT_EQ(explained, kBinds);
}

// The program's DT_RPATH is searched for what a package without DT_RUNPATH
// needs: the attacker's directory there is refused, their library in it
// never run; made root's and empty, the dependency is found after it.
TEST_F(Dependencies, TheProgramsDtRpathIsSearchedAndChecked) {
  fs::copy_file(ZEP_PATHLESS_PACKAGE, package(), fs::copy_options::overwrite_existing);
  const std::string host = root_ + "/host";
  const std::string theirs = root_ + "/theirs";
  fs::copy_file(ZEP_RPATH_HOST, host);
  makeDirectory(theirs, kAttacker, 0755);
  place(ZEP_ATTACKER_DEPENDENCY, theirs + "/" + kDependency, kAttacker);
  makeDirectory(root_ + "/lib", 0, 0755);
  place(ZEP_GENUINE_DEPENDENCY, root_ + "/lib/" + kDependency, 0);
  const auto run = [&] {
    FILE* out = popen((host + " 2>&1").c_str(), "r");
    std::string said;
    for (char part[512]; out != nullptr && fgets(part, sizeof part, out) != nullptr;) said += part;
    if (out != nullptr) pclose(out);
    return said;
  };
  const std::string refused = run();
  EXPECT_TRUE(refused.starts_with("refused: ")) << refused;
  EXPECT_HAS(refused, "needs " + kDependency + ", which the loader looks for (as the DT_RPATH of " +
                          "the program " + host + " says) through " + theirs +
                          ", which is owned by user " + kAttackerId);

  fs::remove(theirs + "/" + kDependency);
  ASSERT_EQ(chown(theirs.c_str(), 0, 0), 0);
  EXPECT_EQ(run(), "absent\n");
}

// The kernel follows no link of another user's in a sticky directory
// (protected_symlinks); neither does the search, which resolves links itself.
TEST_F(Dependencies, ALinkAnotherUserMadeInAStickyDirectoryIsRefused) {
  const std::string sticky = root_ + "/sticky";
  makeDirectory(sticky, 0, 01777);
  const std::string link = sticky + "/libZep00400.so";
  waitFor(asAttacker([&] { fs::create_symlink(packageFile("answering", "Zep00400"), link); }));
  usePath(sticky);
  const std::string refusal = loadRefusal("Zep00400");
  EXPECT_HAS(refusal, link + ": is a link made by user " + kAttackerId);
  EXPECT_HAS(refusal, "remedy: as root, make the link again: ln -sfn ");

  // Behind a link of root's, theirs is found as well.
  const std::string rootsLink = packages_ + "/libZep00400.so";
  fs::create_symlink(link, rootsLink);
  usePath(packages_);
  EXPECT_HAS(loadRefusal("Zep00400"),
             rootsLink + ": leads through the link " + link + ", made by user " + kAttackerId);
}

// glibc looks in each directory's glibc-hwcaps subdirectories first: they
// are searched, and checked, as it searches them.
TEST_F(Dependencies, GlibcHwcapsSubdirectoriesAreSearchedFirstAndChecked) {
  const auto levels = zep::platform::loaderSubdirectories();
  if (!levels || levels->empty()) GTEST_SKIP() << "no glibc-hwcaps level known here";
  const std::string level = packages_ + "/lib/glibc-hwcaps/" + levels->back();
  makeDirectory(packages_ + "/lib", 0, 0755);
  makeDirectory(level, kAttacker, 0755);
  place(ZEP_GENUINE_DEPENDENCY, packages_ + "/lib/" + kDependency, 0);
  EXPECT_HAS(bindOnce().refusal, level + ", which is owned by user " + kAttackerId);

  ASSERT_EQ(chown(level.c_str(), 0, 0), 0);
  place(ZEP_GENUINE_DEPENDENCY, level + "/" + kDependency, 0);
  LoadBPL_FOS("ZEP01000");
  EXPECT_TRUE(isMapped(level + "/" + kDependency));
  UnLoadBPL("ZEP01000");
}

}  // namespace
