// Calls through traced slots behave as untraced ones, whatever the entry
// takes and whoever calls, and the file shows each call, as zep-host exports
// it to Chrome's trace events.
#include "host/trace.hpp"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "packages.hpp"
#include "trace_switch.hpp"
#include "traced_calls.hpp"
#include "zep00001/zep00001.hpp"
#include "zep00001/zep00001_c.h"

namespace {

using nlohmann::json;
using zep::traced::Word;
namespace fs = std::filesystem;

// The model code that selects ZEP00101.
constexpr std::int32_t kModel = 1;

// The events of the trace that zep-host exports: the calls and returns
// ("B" and "E"), or the others (the module's notes).
json exported(const fs::path& path, bool calls = true) {
  std::ostringstream out;
  std::string problem;
  EXPECT_TRUE(zep::host::exportTrace(path.string(), out, problem)) << problem;
  const json all = json::parse(out.str());
  json chosen = json::array();
  for (const json& event : all["traceEvents"])
    if ((event["ph"] == "B" || event["ph"] == "E") == calls) chosen.push_back(event);
  return chosen;
}
json readTrace(const fs::path& path) { return exported(path); }

zep::host::TraceSummary summary(const fs::path& path) {
  std::string problem;
  std::optional<zep::host::TraceSummary> read = zep::host::summariseTraceFile(path, problem);
  EXPECT_TRUE(read) << problem;
  return read.value_or(zep::host::TraceSummary{});
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
    zep::test::traceClose();
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
  zep::test::traceOpen(file_.string());
  InstanciaFuncoes_ImpFiscal(kModel);
  EXPECT_NE(StartImpFiscal, entryAddress("StartImpFiscal"));
  EXPECT_EQ(EnviaComando_Sweda, nullptr) << "a missing entry stays null";

  callEveryShape();
  FinalizaFuncoes_ImpFiscal(kModel);
  zep::test::traceClose();

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
  zep::test::traceOpen(file_.string());
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
  zep::test::traceClose();

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
    zep::test::traceOpen(file_.string());
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
  // The least a file holds: its header, its names and two regions.
  setenv("ZEP_TRACE_LIMIT", "65536", 1);
  zep::test::traceOpen(file_.string());
  unsetenv("ZEP_TRACE_LIMIT");
  InstanciaFuncoes_ImpFiscal(kModel);
  for (int call = 0; call < 2000; ++call) slotAs<Word()>(StartImpFiscal)();
  FinalizaFuncoes_ImpFiscal(kModel);
  zep::test::traceClose();
  const json older = readTrace(file_.string() + ".1");
  const json newer = readTrace(file_);
  EXPECT_LE(fs::file_size(file_.string() + ".1"), (4u + 64u + 128u) << 10);
  EXPECT_EQ(older.size() + newer.size(), 4000u);
  EXPECT_EQ(newer[0]["name"], "StartImpFiscal") << "the names go on into the new file";
}

TEST_F(TraceTest, AFileOthersMayReplaceIsRefusedAndTheBindStaysUntraced) {
  chmod(directory_.c_str(), 0777);
  EXPECT_THROW(zep::test::traceOpen(file_.string()), std::system_error);
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

TEST_F(TraceTest, TheCInterfaceStartsAndStopsAndItsBlocksAreShown) {
  ASSERT_EQ(zep_trace_start(file_.c_str()), ZEP_OK);
  ASSERT_EQ(zep_bind("ImpFiscal", "1"), ZEP_OK);
  zep_block* block = zep_Params_VerificaSerialImp_Zep00000(1, "dir", "cor", "serial");
  slotAs<Word(zep_block*)>(zep_slot("CarregaTotalizador"))(block);
  zep_block_free(block);
  ASSERT_EQ(zep_unbind("ImpFiscal", "1"), ZEP_OK);
  ASSERT_EQ(zep_trace_stop(), ZEP_OK);
  const json calls = readTrace(file_);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0]["args"]["words"][0], hex(reinterpret_cast<std::uintptr_t>(block)) +
                                              " (block Params_VerificaSerialImp_Zep00000)");
}

TEST_F(TraceTest, TheFileTellsTheBindsTheirFailuresAndTheBlocksInOrder) {
  zep::test::traceOpen(file_.string());
  InstanciaFuncoes_ImpFiscal(kModel);
  const zep::Value block =
      Params_Atu_TotGeral_Zep00000("01",
                                   "\xe7"
                                   "aixa",
                                   "S", "C", "V", true, "1", "2", "3", "4", 10.5, 11.25);
  slotAs<Word(Word)>(CarregaTotalizador)(reinterpret_cast<Word>(&block));
  FinalizaFuncoes_ImpFiscal(kModel);
  EXPECT_THROW(InstanciaFuncoes_ImpFiscal(3), zep::BindingFailure);  // ZEP00200, absent here
  zep::test::traceClose();

  std::vector<std::string> story;
  for (const json& event : exported(file_, false))
    story.push_back(event["name"].get<std::string>() + " " +
                    event["args"]["text"].get<std::string>());
  const json calls = readTrace(file_);
  ASSERT_EQ(story.size(), 5u);
  EXPECT_TRUE(story[0].starts_with("load package \"ZEP00101\": \"/")) << story[0];
  EXPECT_NE(story[0].find("/traced/libZEP00101.so\" (build id "), std::string::npos) << story[0];
  EXPECT_EQ(story[1], "bind ImpFiscal 1: package \"ZEP00101\", done");
  EXPECT_EQ(story[2],
            "block Params_Atu_TotGeral_Zep00000 at " + hex(reinterpret_cast<Word>(&block)) +
                ": [[\"CDFILIAL\", \"01\"], [\"CDCAIXA\", "
                "\"\u00e7aixa\"], [\"NRSERIEIMP\", \"S\"], [\"ESQUEMACOR\", \"C\"], [\"IDVALIDA\", "
                "\"V\"], [\"BOPODERECOMPORGT\", true], [\"CRZTAB\", \"1\"], [\"CRZECF\", \"2\"], "
                "[\"CROTAB\", \"3\"], [\"CROECF\", \"4\"], [\"VBRUTATAB\", 10.5], [\"VRBRUTAECF\", "
                "11.25]]");
  EXPECT_EQ(story[3], "unbind ImpFiscal 1: package \"ZEP00101\", done");
  EXPECT_NE(story[4].find("bind ImpFiscal 3: package \"ZEP00200\", failed: "), std::string::npos)
      << story[4];
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0]["args"]["words"][0],
            hex(reinterpret_cast<Word>(&block)) + " (block Params_Atu_TotGeral_Zep00000)")
      << "a word that is a block's address";
  EXPECT_GT(calls[0]["ts"].get<double>(), exported(file_, false)[2]["ts"].get<double>())
      << "the call after the block";
}

#ifdef ZEP_TRACED_AVX
ZEP_TRACED_AVX void expectVectorsPassWhole() {
  const __m256d a = _mm256_setr_pd(11, 22, 33, 44);
  const __m256d b = _mm256_setr_pd(1, 2, 3, 4);
  double out[4];
  _mm256_storeu_pd(out, slotAs<zep::traced::Vectors>(GeraBinMes)(a, b));
  EXPECT_EQ(out[0], 13);
  EXPECT_EQ(out[1], 26);
  EXPECT_EQ(out[2], 39) << "the upper half of a vector passes the stub";
  EXPECT_EQ(out[3], 52);
}
#endif

TEST_F(TraceTest, VectorsX87RecursionAndLongjmpPassExactly) {
  zep::test::traceOpen(file_.string());
  InstanciaFuncoes_ImpFiscal(kModel);
#ifdef ZEP_TRACED_AVX
  if (__builtin_cpu_supports("avx")) expectVectorsPassWhole();
#endif
  EXPECT_EQ(slotAs<zep::traced::Tripled>(DadosUltimaRedZ)(1.25L), 3.75L);
  recurseAndJump(100);
  FinalizaFuncoes_ImpFiscal(kModel);
  zep::test::traceClose();

  const zep::host::TraceSummary read = summary(file_);
  const std::size_t vectors = __builtin_cpu_supports("avx") ? 1 : 0;
  EXPECT_EQ(read.calls, vectors + 1 + 101 + 1 + 1);
  EXPECT_EQ(read.unmatchedReturns, 0u);
  ASSERT_EQ(read.neverReturned.size(), 1u) << "the call the longjmp left";
  EXPECT_EQ(read.neverReturned[0].entry, "RecebVenda");
  EXPECT_EQ(read.lastCalls.back().result, "0x7");
}

// A handler that calls a traced slot while its thread may be writing a
// record: recorded, or counted as dropped, never waited on.
std::atomic<int> handled{0};
void onSignal(int) {
  if (slotAs<Word()>(StartImpFiscal)() == 0) handled.fetch_add(1);
}

TEST_F(TraceTest, ASignalHandlerCallingATracedSlotNeverWaits) {
  zep::test::traceOpen(file_.string());
  InstanciaFuncoes_ImpFiscal(kModel);
  struct sigaction action {};
  struct sigaction before {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &action, &before);
  const pthread_t caller = pthread_self();
  std::atomic<bool> done{false};
  std::thread sender([&] {
    while (!done.load()) {
      pthread_kill(caller, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  });
  constexpr int kCalls = 200000;
  for (int call = 0; call < kCalls; ++call)
    ASSERT_EQ(slotAs<Word(Word)>(CarregaTotalizador)(call), call);
  done.store(true);
  sender.join();
  sigaction(SIGUSR1, &before, nullptr);
  FinalizaFuncoes_ImpFiscal(kModel);
  zep::test::traceClose();

  EXPECT_GT(handled.load(), 0);
  const zep::host::TraceSummary read = summary(file_);
  EXPECT_EQ(read.unmatchedReturns, 0u);
  EXPECT_TRUE(read.neverReturned.empty());
  EXPECT_GE(read.calls + read.dropped, static_cast<std::size_t>(kCalls));
}

TEST_F(TraceTest, SixteenThreadsAndAForkedChildEachWriteTheirOwn) {
  zep::test::traceOpen(file_.string());
  InstanciaFuncoes_ImpFiscal(kModel);
  constexpr int kThreads = 16;
  constexpr Word kCalls = 3000;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back([&wrong] {
      for (Word call = 0; call < kCalls; ++call)
        if (slotAs<Word(Word, Word, Word)>(CarregaAliquota)(call, 1, 2) !=
            zep::traced::weighed(call, 1, 2))
          wrong.fetch_add(1);
    });
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (Word call = 0; call < 100; ++call)
      if (slotAs<Word(Word)>(CarregaTotalizador)(call) != call) _exit(1);
    _exit(0);
  }
  int status = 0;
  for (int wait = 0; wait < 1000 && waitpid(child, &status, WNOHANG) == 0; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (waitpid(child, &status, WNOHANG) == 0) {
    kill(child, SIGKILL);
    ADD_FAILURE() << "the forked child hangs";
  }
  for (std::thread& thread : threads) thread.join();
  FinalizaFuncoes_ImpFiscal(kModel);
  zep::test::traceClose();

  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(wrong.load(), 0);
  const zep::host::TraceSummary read = summary(file_);
  EXPECT_EQ(read.calls, std::size_t{kThreads} * kCalls + 100);
  EXPECT_EQ(read.unmatchedReturns + read.neverReturned.size() + read.dropped, 0u);
  std::size_t ofChild = 0;
  for (const zep::host::EntryTimes& times : read.entries)
    if (times.thread.pid == child) ofChild += times.calls;
  EXPECT_EQ(ofChild, 100u);
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
