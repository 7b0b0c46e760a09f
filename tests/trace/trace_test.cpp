// Calls through traced slots behave as untraced ones, and the file shows
// each call as Chrome's trace events.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include "packages.hpp"
#include "traced_calls.hpp"
#include "zep00001/zep00001.hpp"
#include "zep00001/zep00001_c.h"

namespace {

using nlohmann::json;
using zep::traced::Word;
namespace fs = std::filesystem;

// The model code that selects ZEP00101.
constexpr std::int32_t kModel = 1;

// The trace as a JSON array; a file cut off by a crash lacks its bracket.
json readTrace(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string events = text.str();
  events.erase(events.find_last_not_of(" \n") + 1);
  if (events.back() != ']') events += "]";
  return json::parse(events);
}

std::string hex(std::uintptr_t word) {
  std::ostringstream out;
  out << "0x" << std::hex << word;
  return out.str();
}

class TraceTest : public PackagePathTest {
 protected:
  void SetUp() override {
    usePath(kPackages + "/traced");
    char pattern[] = "/tmp/zep-trace-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    file_ = directory_ / "trace.json";
  }
  void TearDown() override {
    zep_trace_close();
    fs::remove_all(directory_);
    PackagePathTest::TearDown();
  }
  void* entryAddress(const char* entry) {
    void* handle = dlopen(packageFile("traced", "ZEP00101").c_str(), RTLD_NOW | RTLD_NOLOAD);
    void* address = dlsym(handle, entry);
    dlclose(handle);
    return address;
  }
  fs::path directory_;
  fs::path file_;
};

TEST_F(TraceTest, CallsPassThroughUnchangedAndAreWrittenDown) {
  zep_trace_open(file_.string());
  InstanciaFuncoes_ImpFiscal(kModel);
  EXPECT_NE(StartImpFiscal, entryAddress("StartImpFiscal"));
  EXPECT_EQ(EnviaComando_Sweda, nullptr) << "a missing entry stays null";

  callEveryShape();
  FinalizaFuncoes_ImpFiscal(kModel);
  zep_trace_close();

  // Closed, the trace leaves the next bind's slots as they always are.
  InstanciaFuncoes_ImpFiscal(kModel);
  EXPECT_EQ(StartImpFiscal, entryAddress("StartImpFiscal"));
  FinalizaFuncoes_ImpFiscal(kModel);

  const json trace = readTrace(file_);
  ASSERT_EQ(trace.size(), 2 * 16u);
  const json& begin = trace[2 * 6];  // DataMoviFiscal, six words
  EXPECT_EQ(begin["name"], "DataMoviFiscal");
  EXPECT_EQ(begin["cat"], "ImpFiscal");
  EXPECT_EQ(begin["ph"], "B");
  EXPECT_EQ(begin["pid"], getpid());
  EXPECT_EQ(begin["tid"], gettid());
  EXPECT_EQ(begin["args"]["package"], "ZEP00101");
  EXPECT_EQ(begin["args"]["words"],
            json({hex(1000), hex(1001), hex(1002), hex(1003), hex(1004), hex(1005)}));
  const json& end = trace[2 * 6 + 1];
  EXPECT_EQ(end["ph"], "E");
  EXPECT_EQ(end["name"], "DataMoviFiscal");
  EXPECT_EQ(end["args"]["result"], hex(zep::traced::weighed(1000, 1001, 1002, 1003, 1004, 1005)));
  EXPECT_GE(end["ts"].get<double>(), begin["ts"].get<double>());
  EXPECT_EQ(trace[29]["args"]["result"], hex(static_cast<std::uintptr_t>(-9)));  // Cupom_Troca
}

TEST_F(TraceTest, AnExceptionOfTheEntryReachesTheHostAndEndsTheCall) {
  zep_trace_open(file_.string());
  InstanciaFuncoes_ImpFiscal(kModel);
  for (int round = 0; round < 3; ++round) {
    try {
      slotAs<zep::traced::Throws>(Leitura_X_Imp)(41 + round);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& raised) {
      EXPECT_EQ(std::string(raised.what()), "Leitura_X_Imp " + std::to_string(41 + round));
    }
  }
  EXPECT_EQ(slotAs<Word()>(StartImpFiscal)(), 0);
  FinalizaFuncoes_ImpFiscal(kModel);
  zep_trace_close();

  const json trace = readTrace(file_);
  ASSERT_EQ(trace.size(), 8u);
  EXPECT_EQ(trace[0]["args"]["words"][0], hex(41));
  EXPECT_EQ(trace[1]["ph"], "E");
  EXPECT_EQ(trace[1]["args"]["exception"], true);
  EXPECT_EQ(trace[7]["args"]["result"], "0x0");
}

TEST_F(TraceTest, ACrashInTheDriverLeavesItsCallBegun) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGSEGV, SIG_DFL);  // a sanitizer's handler would end the child otherwise
    zep_trace_open(file_.string());
    InstanciaFuncoes_ImpFiscal(kModel);
    slotAs<Word(Word)>(CarregaTotalizador)(5);
    slotAs<zep::traced::Crashes>(Reducao_Z_Imp)();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);

  const json trace = readTrace(file_);
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[1]["args"]["result"], hex(5));
  EXPECT_EQ(trace[2]["name"], "Reducao_Z_Imp");
  EXPECT_EQ(trace[2]["ph"], "B");
  EXPECT_EQ(trace[2]["pid"], child);
}

TEST_F(TraceTest, AFullFileBecomesTheFirstAndANewOneBegins) {
  setenv("ZEP_TRACE_LIMIT", "65536", 1);
  zep_trace_open(file_.string());
  unsetenv("ZEP_TRACE_LIMIT");
  InstanciaFuncoes_ImpFiscal(kModel);
  for (int call = 0; call < 250; ++call) slotAs<Word()>(StartImpFiscal)();
  FinalizaFuncoes_ImpFiscal(kModel);
  zep_trace_close();
  const json older = readTrace(file_.string() + ".1");
  const json newer = readTrace(file_);
  EXPECT_LE(fs::file_size(file_.string() + ".1"), 65536u);
  EXPECT_EQ(older.size() + newer.size(), 500u);
}

TEST_F(TraceTest, AFileOthersMayReplaceIsRefusedAndTheBindStaysUntraced) {
  chmod(directory_.c_str(), 0777);
  EXPECT_THROW(zep_trace_open(file_.string()), std::system_error);
  EXPECT_NE(zep_trace_start(file_.c_str()), ZEP_OK);
  char error[512];
  std::size_t size = sizeof error;
  zep_last_error(error, &size);
  EXPECT_NE(std::string(error).find("may be written by other users"), std::string::npos) << error;
  EXPECT_EQ(zep_trace_start(nullptr), ZEP_ERR_ARGUMENT);
  InstanciaFuncoes_ImpFiscal(kModel);
  EXPECT_EQ(StartImpFiscal, entryAddress("StartImpFiscal"));
  FinalizaFuncoes_ImpFiscal(kModel);
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(TraceTest, TheCInterfaceStartsAndStops) {
  ASSERT_EQ(zep_trace_start(file_.c_str()), ZEP_OK);
  ASSERT_EQ(zep_bind("ImpFiscal", "1"), ZEP_OK);
  slotAs<Word()>(zep_slot("StartImpFiscal"))();
  ASSERT_EQ(zep_unbind("ImpFiscal", "1"), ZEP_OK);
  ASSERT_EQ(zep_trace_stop(), ZEP_OK);
  EXPECT_EQ(readTrace(file_).size(), 2u);
}

// Run by the test trace_environment, with ZEP_TRACE naming a file in a
// directory that does not exist: the bind binds untraced and tells why.
void collect(void* context, const char* text, const char*, const char*, const char*, int32_t,
             const char*, const char*, int32_t, void*) {
  *static_cast<std::string*>(context) += text;
}

TEST(TraceEnvironment, AnUnwritableFileBindsUntracedAndTellsTheOperator) {
  if (std::getenv("ZEP_TRACE") == nullptr) GTEST_SKIP() << "run by the test trace_environment";
  std::string told;
  ASSERT_EQ(zep_set_message_handler(collect, &told), ZEP_OK);
  ASSERT_EQ(zep_bind("ImpFiscal", "1"), ZEP_OK);
  void* handle = dlopen(packageFile("traced", "ZEP00101").c_str(), RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(zep_slot("StartImpFiscal"), dlsym(handle, "StartImpFiscal"));
  dlclose(handle);
  EXPECT_NE(told.find("cannot open the trace file's directory"), std::string::npos) << told;
  told.clear();
  ASSERT_EQ(zep_unbind("ImpFiscal", "1"), ZEP_OK);
  ASSERT_EQ(zep_bind("ImpFiscal", "1"), ZEP_OK);
  EXPECT_EQ(told, "") << "told once";
  ASSERT_EQ(zep_unbind("ImpFiscal", "1"), ZEP_OK);
  zep_set_message_handler(nullptr, nullptr);
}

}  // namespace
