// The call trace on Windows x64: calls through traced slots behave as
// untraced ones, an exception passes the stub, and the file shows each call.
#include "host/trace.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "packages.hpp"
#include "trace_switch.hpp"
#include "traced_calls.hpp"
#include "zep00001/zep00001.hpp"

namespace {

using zep::traced::Word;

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t found = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++found;
  return found;
}

class WindowsTraceTest : public PackagePathTest {
 protected:
  // A file a test: the tests run as processes side by side, and a file
  // another process traces into cannot be begun again.
  void SetUp() override {
    usePath(kPackages + "/traced");
    file_ = std::string(ZEP_TRACE_FILE) + "." +
            testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  void TearDown() override {
    zep::test::traceClose();
    PackagePathTest::TearDown();
  }
  std::string file_;
};

TEST_F(WindowsTraceTest, CallsPassThroughUnchangedAndAreWrittenDown) {
  std::remove((file_ + ".1").c_str());
  zep::test::traceOpen(file_);
  InstanciaFuncoes_ImpFiscal(1);
  callEveryShape();
  for (int round = 0; round < 2; ++round) {
    try {
      slotAs<zep::traced::Throws>(Leitura_X_Imp)(41);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& raised) {
      EXPECT_EQ(std::string(raised.what()), "Leitura_X_Imp 41");
    }
  }
  EXPECT_EQ(slotAs<zep::traced::Tripled>(DadosUltimaRedZ)(1.25L), 3.75L);
  recurseAndJump(20);
  FinalizaFuncoes_ImpFiscal(1);
  zep::test::traceClose();

  std::ostringstream out;
  std::string problem;
  ASSERT_TRUE(zep::host::exportTrace(file_, out, problem)) << problem;
  const std::string trace = out.str();
  // A longjmp unwinds the frames it passes on Windows x64, not on i686.
#if defined(__i386__)
  constexpr std::size_t kUnwoundByLongjmp = 0;
#else
  constexpr std::size_t kUnwoundByLongjmp = 1;
#endif
  EXPECT_EQ(count(trace, "\"ph\":\"B\""), 18u + 1 + 21 + 1 + 1);
  EXPECT_EQ(count(trace, "\"ph\":\"E\""), 18u + 1 + 21 + kUnwoundByLongjmp + 1);
  EXPECT_EQ(count(trace, "\"args\":{\"exception\":true}"), 2u + kUnwoundByLongjmp);
  EXPECT_NE(trace.find("{\"name\":\"DataMoviFiscal\",\"cat\":\"ImpFiscal\",\"ph\":\"B\""),
            std::string::npos);
  EXPECT_NE(trace.find("\"args\":{\"package\":\"ZEP00101\",\"words\":[\"0x3e8\",\"0x3e9\","
                       "\"0x3ea\",\"0x3eb\""),
            std::string::npos);
}

TEST_F(WindowsTraceTest, AFullFileBecomesTheFirstAndANewOneBegins) {
  _putenv_s("ZEP_TRACE_LIMIT", "65536");  // the least: two regions
  zep::test::traceOpen(file_);
  _putenv_s("ZEP_TRACE_LIMIT", "");
  InstanciaFuncoes_ImpFiscal(1);
  for (int call = 0; call < 2000; ++call) slotAs<Word()>(StartImpFiscal)();
  FinalizaFuncoes_ImpFiscal(1);
  zep::test::traceClose();
  std::size_t calls = 0;
  for (const std::string& file : {file_ + ".1", file_}) {
    std::string problem;
    const auto read = zep::host::summariseTraceFile(file, problem);
    ASSERT_TRUE(read) << problem;
    calls += read->calls;
  }
  EXPECT_EQ(calls, 2000u);
}

#if defined(__i386__)
// A stdcall entry pops its own arguments: through the stub the caller's
// stack ends where it would without it.
TEST_F(WindowsTraceTest, AStdcallEntryPopsItsOwnArguments) {
  zep::test::traceOpen(file_);
  InstanciaFuncoes_ImpFiscal(1);
  void* entry = Reducao_Z_Data;
  std::uintptr_t before = 0;
  std::uintptr_t after = 0;
  Word answer = 0;
  asm volatile(
      "movl %%esp, %0\n\t"
      "pushl $3\n\tpushl $2\n\tpushl $1\n\t"
      "call *%3\n\t"
      "movl %%esp, %1\n\t"
      "movl %0, %%esp"
      : "=&r"(before), "=&r"(after), "=a"(answer)
      : "r"(entry)
      : "ecx", "edx", "memory", "cc");
  EXPECT_EQ(after, before);
  EXPECT_EQ(answer, zep::traced::weighed(1, 2, 3));
  FinalizaFuncoes_ImpFiscal(1);
  zep::test::traceClose();
}
#endif

}  // namespace
