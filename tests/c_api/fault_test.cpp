// The C interface when the shared package fails, and when memory runs out.
// Linked with the recording shared package in place of lib_dll; replaces the
// global operator new, which the interface's and the module's allocations
// reach through the dynamic linker, so this program stands alone.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdlib>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "../binding/recording.hpp"
#include "allocations.hpp"
#include "c_api.hpp"

namespace {

using allocations::ledger;
using c_api::lastError;

const std::string kLost = "out of memory while recording the last error";

class CFaults : public ::testing::Test {
 protected:
  void SetUp() override { recording::reset(); }
  void TearDown() override {
    zep_unbind("Sat", nullptr);
    recording::reset();
  }
  recording::Script& script() { return recording::script(); }
};

TEST_F(CFaults, AFailedUnloadIsInternalAfterTheSlotsWereCleared) {
  script().files["zep03000"] = std::string(ZEP_TEST_PACKAGES) + "/answering/libzep03000.so";
  ASSERT_EQ(zep_bind("Sat", nullptr), ZEP_OK) << lastError();
  ASSERT_NE(zep_slot("EmitirVenda"), nullptr);
  script().unload = [](const std::string&) { throw std::runtime_error("the package is in use"); };
  EXPECT_EQ(zep_unbind("Sat", nullptr), ZEP_ERR_INTERNAL);
  EXPECT_EQ(lastError(), "the package is in use");
  EXPECT_EQ(zep_slot("EmitirVenda"), nullptr);

  script().unload = [](const std::string&) { throw 42; };
  EXPECT_EQ(zep_unbind("Sat", nullptr), ZEP_ERR_INTERNAL);
  EXPECT_EQ(lastError(), "the module raised an exception that is no std::exception");
  script().unload = nullptr;
}

// A host's own shared package keeps its Mensagem: there is no handler to set.
TEST_F(CFaults, AHostsOwnSharedPackageTakesNoMessageHandler) {
  EXPECT_EQ(zep_set_message_handler(nullptr, nullptr), ZEP_ERR_UNSUPPORTED);
  EXPECT_NE(lastError().find("/recording/lib_dll.so\", is a host's own and takes no message "
                             "handler"),
            std::string::npos)
      << lastError();
}

TEST_F(CFaults, EveryNestedCauseStandsOnALineOfItsOwn) {
  script().load = [](const std::string&) -> void* {
    try {
      throw std::runtime_error("libcrypto.so.1.1: cannot open shared object file");
    } catch (...) {
      std::throw_with_nested(std::runtime_error("cannot load package \"zep03000\""));
    }
  };
  EXPECT_EQ(zep_bind("Sat", nullptr), ZEP_ERR_LOAD);
  EXPECT_EQ(lastError(),
            "Erro na carga do pacote: zep03000\n"
            "cannot load package \"zep03000\"\n"
            "libcrypto.so.1.1: cannot open shared object file");

  // A cause that is no std::exception is not kept by the module.
  script().load = [](const std::string&) -> void* { throw 42; };
  EXPECT_EQ(zep_bind("Sat", nullptr), ZEP_ERR_LOAD);
  EXPECT_EQ(lastError(), "Erro na carga do pacote: zep03000");
}

TEST_F(CFaults, TheChequePrinterTellsTheOperatorAndSucceeds) {
  EXPECT_EQ(zep_bind("ImpCheque", "1"), ZEP_OK) << lastError();
  ASSERT_EQ(script().messages.size(), 1u);
  EXPECT_EQ(script().messages[0].text, "no package ZEP00700\rErro na carga do pacote: ZEP00700");
  // A message that cannot be shown reaches the caller.
  script().message = [] { throw std::runtime_error("no operator display"); };
  EXPECT_EQ(zep_bind("ImpCheque", "1"), ZEP_ERR_INTERNAL);
  EXPECT_EQ(lastError(), "no operator display");
}

// pthread_exit inside a bind unwinds through the module and the interface;
// a guard that swallowed that unwind would end the process.
TEST_F(CFaults, AThreadEndedInsideABindEndsCleanly) {
  script().load = [](const std::string&) -> void* { pthread_exit(nullptr); };
  pthread_t thread;
  static bool returned = false;
  ASSERT_EQ(pthread_create(
                &thread, nullptr,
                [](void*) -> void* {
                  zep_bind("Sat", nullptr);
                  returned = true;
                  return nullptr;
                },
                nullptr),
            0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  EXPECT_FALSE(returned);
}

// Runs `call` with every allocation failing from the n-th on, for n = 1, 2,
// ... until `done` says its result is the whole success; each run before
// must leave nothing allocated and a last error that starts with `expected`,
// or is "out of memory" or kLost. Gives whether kLost was seen.
template <class Call, class Done>
bool failEachAllocation(Call call, Done done, const std::string& expected) {
  // The last error's room grows once, so that later failures need none.
  zep_bind(std::string(4096, 'x').c_str(), nullptr);
  bool lost = false;
  for (long n = 1; n < 1000; ++n) {
    SCOPED_TRACE(n);
    recording::reset();
    const long live = ledger.live;
    ledger = {true, 0, n, live, true};
    const auto result = call();
    ledger.armed = false;
    recording::reset();
    EXPECT_EQ(ledger.live, live);
    if (done(result)) return lost;
    const std::string failure = lastError();
    lost = lost || failure == kLost;
    if (failure != kLost && failure != "out of memory") {
      EXPECT_EQ(failure.substr(0, expected.size()), expected);
    }
  }
  ADD_FAILURE() << "never succeeded";
  return lost;
}

TEST_F(CFaults, RunningOutOfMemoryFailsTheCallAndLeaksNothing) {
  const bool lost = failEachAllocation(
      [] {
        zep_block* block = zep_Params_AbreCupom_Zep00000(
            "a text longer than any short-string buffer", 7, "S", "N", "S", "000123", "1", "T", "",
            "", "CPF", "12345678909", "MESA 12", "1", 1);
        const bool read = zep_block_size(block) == 15 && zep_block_integer(block, 1) == 7;
        zep_block_free(block);
        return read;
      },
      [](bool read) { return read; }, "");
  EXPECT_FALSE(lost);  // "out of memory" needs no room of its own

  const std::string failure = "Erro na carga do pacote: zep03000";
  const std::string cause = "a cause long enough to need the heap";
  EXPECT_TRUE(failEachAllocation(
      [&] {
        recording::script().load = [&](const std::string&) -> void* {
          throw std::runtime_error(cause);
        };
        return zep_bind("Sat", nullptr);
      },
      [&](int code) { return code == ZEP_ERR_LOAD && lastError() == failure + "\n" + cause; },
      failure));
}

TEST_F(CFaults, AHostThatFreesEveryBlockHoldsNoMemoryAfterwards) {
  const long live = ledger.live;
  for (int round = 0; round < 100; ++round) {
    zep_block* blocks[] = {
        zep_Params_AbreCupom_Zep00000("", 0, "", "", "", "", "", "", "", "", "", "", "", "", 0),
        zep_Params_VendaItem_Zep00000("", "", "", "", "", "", "", "", "", "", "", 0, 0, 0, 0, 0, 0),
        zep_Params_ImpressaoVenda_Zep00000("", "", "", "", "", "", "", "", "", "", 0, 0, 0),
        zep_Params_Atu_TotGeral_Zep00000("", "", "", "", "", 0, "", "", "", "", 0, 0),
        zep_Params_Carrega_Dados_Impressora_Zep00000("", "", "", "", "", "", ""),
        zep_Params_VerificaSerialImp_Zep00000(0, "", "", "a serial number past the short buffer"),
    };
    for (zep_block* block : blocks) {
      ASSERT_NE(block, nullptr);
      for (std::size_t pair = 0; pair < zep_block_size(block); ++pair) {
        EXPECT_NE(zep_block_key(block, pair), nullptr);
      }
      zep_block_free(block);
    }
  }
  EXPECT_EQ(ledger.live, live);
}

}  // namespace
