// zep-host's commands against a shared package that raises what is no
// std::exception, as a host's own lib_dll may: linked with the recording
// shared package in place of lib_dll.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "../binding/recording.hpp"
#include "demo_lines.hpp"
#include "host/commands.hpp"

namespace {

using ::testing::HasSubstr;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class HostFaults : public ::testing::Test {
 protected:
  void SetUp() override { recording::reset(); }
  void TearDown() override {
    recording::script().load = nullptr;
    recording::script().unload = nullptr;
    recording::reset();
  }
  static Outcome host(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    const int status = zep::host::run(arguments, {out, err, testing::TempDir()});
    return {status, out.str(), err.str()};
  }
};

TEST_F(HostFaults, CheckNotesAnUnbindThatRaisesWhatIsNoStdException) {
  recording::script().files["zep03000"] =
      std::string(ZEP_TEST_PACKAGES) + "/answering/libzep03000.so";
  recording::script().unload = [](const std::string&) { throw 42; };
  Outcome result{-1, {}, {}};
  EXPECT_NO_THROW(result = host({"check", "Sat"}));
  EXPECT_THAT(result.out, HasSubstr("\n10 of 10 entries bound\n"));
  EXPECT_THAT(result.out,
              HasSubstr("\nnote: the unbind failed: an exception that is no std::exception\n"));
}

TEST_F(HostFaults, DemoReportsBindsThatRaiseWhatIsNoStdExceptionAndUnbindsEverySet) {
  recording::script().load = [](const std::string&) -> void* { throw 42; };
  Outcome result{-1, {}, {}};
  EXPECT_NO_THROW(result = host({"demo", "--package-path", testing::TempDir()}));
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.err, HasSubstr("zep-host: binding ImpCheque failed: an exception that is "
                                    "no std::exception\n"));
  EXPECT_THAT(result.out, HasSubstr(allNullAgain()));
}

}  // namespace
