// The default shared package on Windows loads no package, and no library
// beside it, that another SID may write, as Wine shows Unix owners and modes
// (the cases are made by trust_cases.sh); it holds what it checks while it
// loads; and the loader's search never reaches PATH or the current directory.
#include <windows.h>
//
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/platform.hpp"
#include "platform/windows_trust.hpp"
#include "test_platform.hpp"
#include "zep00001/zep00001.hpp"
#if defined(ZEP_TRUST_REPORTS)
#include <nlohmann/json.hpp>

#include "host/commands.hpp"
#include "trace_switch.hpp"
#endif

namespace {

namespace fs = std::filesystem;
namespace win = zep::platform::windows;
using test_platform::withSlashes;

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

const std::string kCases = ZEP_TRUST_CASES;
const std::string kPackage = "Zep00400";
const std::string kDependent = "ZEP01000";
const std::string kDependency = ZEP_BESIDE_DEPENDENCY;

bool casesGivenAway() { return !fs::exists(kCases + "/no-chown"); }

// What a load of `package` from the case directory `name` raises, with '/'
// for '\', or "loaded".
std::string loadFrom(const std::string& name, const std::string& package = kPackage) {
  test_platform::setEnvironment("ZEP_PACKAGE_PATH", kCases + "/" + name);
  std::string outcome = "loaded";
  try {
    LoadBPL_FOS(package);
    UnLoadBPL(package);
  } catch (const std::runtime_error& error) {
    outcome = withSlashes(error.what());
  }
  test_platform::unsetEnvironment("ZEP_PACKAGE_PATH");
  return outcome;
}

std::string caseFile(const std::string& name, const std::string& file) {
  return kCases + "/" + name + "/" + file;
}

TEST(WindowsTrust, APackageOfThisUserInItsOwnDirectoryLoads) {
  EXPECT_EQ(loadFrom("own"), "loaded");
}

TEST(WindowsTrust, AFileEveryoneMayWriteIsRefusedWithTheGrantToRemove) {
  const std::string file = caseFile("file-everyone", kPackage + ".bpl");
  const std::string error = loadFrom("file-everyone");
  EXPECT_HAS(error,
             file + ": is writable by Everyone (S-1-1-0) (its access list allows WD,AD,DC,D)");
  EXPECT_HAS(error, "remedy: icacls \"" + file + "\" /remove:g *S-1-1-0");
}

TEST(WindowsTrust, AFileOfAnotherUserIsRefused) {
  if (!casesGivenAway()) GTEST_SKIP() << "giving a file away takes root";
  const std::string file = caseFile("file-other", kPackage + ".bpl");
  const std::string error = loadFrom("file-other");
  EXPECT_HAS(error, file +
                        ": is owned by NT AUTHORITY/ANONYMOUS LOGON (S-1-5-7), neither SYSTEM, "
                        "Administrators, TrustedInstaller nor the user this process runs as");
  EXPECT_HAS(error, "remedy: icacls \"" + file + "\" /setowner *S-1-5-32-544");
}

TEST(WindowsTrust, ADirectoryEveryoneMayWriteIsRefused) {
  const std::string directory = kCases + "/dir-everyone";
  const std::string error = loadFrom("dir-everyone");
  EXPECT_HAS(error, "is in " + directory + ", which is writable by Everyone (S-1-1-0)");
  EXPECT_HAS(error, "remedy: icacls \"" + directory + "\" /remove:g *S-1-1-0");
}

TEST(WindowsTrust, ADirectoryOfAnotherUserIsRefused) {
  if (!casesGivenAway()) GTEST_SKIP() << "giving a directory away takes root";
  EXPECT_HAS(loadFrom("dir-other"), "is in " + kCases +
                                        "/dir-other, which is owned by NT "
                                        "AUTHORITY/ANONYMOUS LOGON (S-1-5-7)");
}

// A Unix link, which Wine shows as the file it leads to: the real file and
// its directory are checked, and named.
TEST(WindowsTrust, ALinkIsJudgedByTheFileAndDirectoryItLeadsTo) {
  EXPECT_EQ(loadFrom("link"), "loaded");
  const std::string real = caseFile("open-real", kPackage + ".bpl");
  EXPECT_HAS(loadFrom("link-open"), "leads to " + real + ", in " + kCases +
                                        "/open-real, which is writable by Everyone (S-1-1-0)");
}

TEST(WindowsTrust, APackageWithItsLibraryBesideItLoadsWhenBothPass) {
  EXPECT_EQ(loadFrom("beside", kDependent), "loaded");
  EXPECT_FALSE(test_platform::isMapped(caseFile("beside", kDependency)));
}

TEST(WindowsTrust, ALibraryBesideThePackageIsCheckedAsThePackageIs) {
  const std::string library = caseFile("beside-everyone", kDependency);
  const std::string error = loadFrom("beside-everyone", kDependent);
  EXPECT_HAS(error, "needs " + kDependency + ", which the loader would take from " + library +
                        ", and which is writable by Everyone (S-1-1-0)");
  EXPECT_HAS(error, "remedy: icacls \"" + library + "\" /remove:g *S-1-1-0");
  EXPECT_FALSE(test_platform::isMapped(library));
  if (!casesGivenAway()) GTEST_SKIP() << "giving a file away takes root";
  EXPECT_HAS(loadFrom("beside-other", kDependent),
             "needs " + kDependency + ", which the loader would take from " +
                 caseFile("beside-other", kDependency) + ", and which is owned by NT");
}

#if defined(ZEP_TRUST_REPORTS)
TEST(WindowsTrust, CheckReportsTheRefusalAsTheLoadDoes) {
  std::ostringstream out, err;
  const int status = zep::host::run(
      {"check", "Zep00400", "--package-path", kCases + "/file-everyone", "--json"}, {out, err, {}});
  EXPECT_EQ(status, 2);
  const nlohmann::json report = nlohmann::json::parse(out.str());
  ASSERT_EQ(report["warnings"].size(), 1u) << report.dump();
  const nlohmann::json& warning = report["warnings"][0];
  EXPECT_EQ(warning["kind"], "world-writable");
  EXPECT_EQ(warning["refused"], true);
  EXPECT_HAS(withSlashes(warning["message"].get<std::string>()),
             "is writable by Everyone (S-1-1-0)");
  EXPECT_HAS(withSlashes(warning["remedy"].get<std::string>()), "/remove:g *S-1-1-0");
}
#endif

// What a load of `package` from `name` raises, with a library planted on
// PATH (on-path) and in the current directory (current).
std::string loadPlanted(const std::string& name, const std::string& package) {
  const std::wstring onPath = std::filesystem::path(kCases + "/on-path").wstring();
  wchar_t oldPath[32768];
  const DWORD oldLength = GetEnvironmentVariableW(L"PATH", oldPath, 32768);
  SetEnvironmentVariableW(L"PATH", (onPath + L";" + std::wstring(oldPath, oldLength)).c_str());
  const fs::path previous = fs::current_path();
  fs::current_path(kCases + "/current");
  const std::string error = loadFrom(name, package);
  fs::current_path(previous);
  SetEnvironmentVariableW(L"PATH", std::wstring(oldPath, oldLength).c_str());
  return error;
}

// The loader looks beside the package and in System32 only.
TEST(WindowsTrust, ALibraryOnPathOrInTheCurrentDirectoryIsNeverLoaded) {
  const std::string error = loadPlanted("planted", kDependent);
  EXPECT_NE(error, "loaded");
  EXPECT_HAS(error, ZEP_ABSENT_DEPENDENCY);
  EXPECT_FALSE(test_platform::isMapped(caseFile("on-path", ZEP_ABSENT_DEPENDENCY)));
  EXPECT_FALSE(test_platform::isMapped(caseFile("current", ZEP_ABSENT_DEPENDENCY)));
}

// What the entry `entry` of `package`, loaded from the case directory
// delayed, answers: its call reaches a library loaded later by name.
std::string callFromDelayed(const std::string& package, const char* entry) {
  test_platform::setEnvironment("ZEP_PACKAGE_PATH", kCases + "/delayed");
  auto* module = static_cast<HMODULE>(LoadBPL_FOS(package));
  test_platform::unsetEnvironment("ZEP_PACKAGE_PATH");
  auto call =
      reinterpret_cast<const char* (*)()>(reinterpret_cast<void*>(GetProcAddress(module, entry)));
  const std::string answer = call != nullptr ? call() : "no such entry";
  UnLoadBPL(package);
  return answer;
}

// A library the package loads by name only at its first call to it, where
// Windows searches the current directory and PATH too: beside the package
// it is checked and held loaded while the package is, so the call reaches
// it; found nowhere safe, the package is refused.
TEST(WindowsTrust, ADelayLoadedLibraryIsHeldFromBesideThePackageOrRefused) {
  const std::string delayed = ZEP_DELAYED_DEPENDENCY;
  const std::string error = loadPlanted("delayed-planted", kDependent);
  EXPECT_HAS(error, "needs " + delayed + " (delay-loaded), which is not beside it");
  EXPECT_HAS(error, "in the current directory and on PATH");
  EXPECT_FALSE(test_platform::isMapped(caseFile("on-path", delayed)));
  EXPECT_FALSE(test_platform::isMapped(caseFile("current", delayed)));
  EXPECT_EQ(callFromDelayed(kDependent, "StartImpFiscal"), "absent");
}

// An entry forwarded to another library, which Windows loads by name when
// the entry is looked up, is held the same way, or refused.
TEST(WindowsTrust, AForwardedEntrysLibraryIsHeldFromBesideThePackageOrRefused) {
  const std::string delayed = ZEP_DELAYED_DEPENDENCY;
  EXPECT_HAS(
      loadPlanted("forwarded-planted", kPackage),
      "needs " + delayed + " (for its forwarded entry ZepForwarded), which is not beside it");
  EXPECT_FALSE(test_platform::isMapped(caseFile("on-path", delayed)));
  EXPECT_EQ(callFromDelayed(kPackage, "ZepForwarded"), "absent");
}

// What the design relies on: while a package is held for its load, neither
// it nor its directory can be written, renamed or deleted.
TEST(WindowsTrust, AHeldPackageCannotBeRenamedOrRewritten) {
  const std::wstring directory = fs::path(kCases + "/held").wstring();
  const std::wstring file = directory + L"\\" + fs::path(kPackage + ".bpl").wstring();
  {
    zep::platform::PackageFile held =
        zep::platform::openPackageFile(kCases + "/held", kPackage + ".bpl");
    ASSERT_EQ(held.problem, zep::platform::PackageFile::Problem::None) << held.detail;
    EXPECT_FALSE(MoveFileExW(file.c_str(), (file + L".moved").c_str(), 0));
    EXPECT_FALSE(DeleteFileW(file.c_str()));
    HANDLE writer = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    EXPECT_FALSE(MoveFileExW(directory.c_str(), (directory + L"-moved").c_str(), 0));
  }
  ASSERT_TRUE(MoveFileExW(file.c_str(), (file + L".moved").c_str(), 0));
  MoveFileExW((file + L".moved").c_str(), file.c_str(), 0);
}

// Access lists that chmod cannot make, judged as Windows evaluates them.
class AccessList : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitializeAcl(reinterpret_cast<ACL*>(buffer_), sizeof buffer_, ACL_REVISION));
  }
  ACL* acl() { return reinterpret_cast<ACL*>(buffer_); }
  static PSID sid(const char* text) {
    PSID found = nullptr;
    ConvertStringSidToSidA(text, &found);
    return found;
  }
  void allow(const char* who, DWORD rights, DWORD flags = 0) {
    ASSERT_TRUE(AddAccessAllowedAceEx(acl(), ACL_REVISION, flags, rights, sid(who)));
  }
  void deny(const char* who, DWORD rights) {
    ASSERT_TRUE(AddAccessDeniedAce(acl(), ACL_REVISION, rights, sid(who)));
  }
  win::SecurityJudgement judged(const char* owner = "S-1-5-32-544") {
    return win::judgeSecurity(sid(owner), acl(), kSelf);
  }
  static constexpr const char* kSelf = "S-1-5-21-0-0-0-1000";
  alignas(DWORD) unsigned char buffer_[1024];
};

TEST_F(AccessList, TrustedSidsMayWriteAndReadersMayRead) {
  for (const char* trusted : {"S-1-5-18", "S-1-5-32-544", kSelf,
                              "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"}) {
    allow(trusted, FILE_ALL_ACCESS);
  }
  allow("S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
  const win::SecurityJudgement judgement = judged();
  EXPECT_TRUE(judgement.ownerTrusted);
  EXPECT_TRUE(judgement.writers.empty());
  EXPECT_FALSE(win::judgeSecurity(sid("S-1-5-7"), acl(), kSelf).ownerTrusted);
}

TEST_F(AccessList, EachWriteRightOfAnotherSidIsFound) {
  const char* users = "S-1-5-32-545";
  for (DWORD right :
       {DWORD{FILE_WRITE_DATA}, DWORD{FILE_APPEND_DATA}, DWORD{FILE_DELETE_CHILD}, DWORD{DELETE},
        DWORD{WRITE_DAC}, DWORD{WRITE_OWNER}, DWORD{GENERIC_WRITE}, DWORD{GENERIC_ALL}}) {
    SetUp();
    allow(users, right);
    const win::SecurityJudgement judgement = judged();
    ASSERT_EQ(judgement.writers.size(), 1u) << std::hex << right;
    EXPECT_EQ(judgement.writers[0].sid, users);
  }
}

TEST_F(AccessList, ADenyDecidesOnlyBeforeTheGrantAndOnlyForWhomItNames) {
  const char* authenticated = "S-1-5-11";
  deny(authenticated, FILE_WRITE_DATA | FILE_APPEND_DATA);
  allow(authenticated, FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_DATA);
  EXPECT_TRUE(judged().writers.empty());

  SetUp();
  deny("S-1-1-0", FILE_WRITE_DATA);
  allow(authenticated, FILE_WRITE_DATA);
  EXPECT_TRUE(judged().writers.empty());

  SetUp();
  deny("S-1-5-32-545", FILE_WRITE_DATA);
  allow(authenticated, FILE_WRITE_DATA);
  EXPECT_EQ(judged().writers.size(), 1u);

  SetUp();
  allow(authenticated, FILE_WRITE_DATA);
  deny(authenticated, FILE_WRITE_DATA);
  EXPECT_EQ(judged().writers.size(), 1u);
}

TEST_F(AccessList, AnInheritOnlyEntryAndANullListAreTold) {
  allow("S-1-1-0", FILE_ALL_ACCESS, INHERIT_ONLY_ACE | OBJECT_INHERIT_ACE);
  EXPECT_TRUE(judged().writers.empty());
  EXPECT_TRUE(win::judgeSecurity(sid(kSelf), nullptr, kSelf).nullDacl);
}

// The trace file is written only where nobody else may write, for this
// process's user alone.
TEST(WindowsTrust, TheTraceFileWantsADirectoryOfItsOwnerAndIsItsUsersAlone) {
  EXPECT_THROW(zep::test::traceOpen(kCases + "/trace-open/trace.json"), std::system_error);
  const std::string file = kCases + "/trace-own/trace.json";
  zep::test::traceOpen(file);
  zep::test::traceClose();
  // The trace keeps its last view after it stops, and with it the file open
  // for writing: this open shares writing too.
  HANDLE opened = CreateFileW(fs::path(file).wstring().c_str(), READ_CONTROL,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(opened, INVALID_HANDLE_VALUE);
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetSecurityInfo(opened, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &dacl, nullptr, &descriptor),
            ERROR_SUCCESS);
  CloseHandle(opened);
  wchar_t* text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                       DACL_SECURITY_INFORMATION, &text, nullptr);
  const std::wstring shown = text;
  LocalFree(text);
  EXPECT_EQ(shown.find(L";WD)"), std::wstring::npos);
  EXPECT_EQ(win::judgeSecurity(nullptr, dacl, win::processUser()).writers.size(), 0u);
  LocalFree(descriptor);
}

}  // namespace
