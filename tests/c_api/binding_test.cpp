// zep_bind, zep_unbind, zep_slot, zep_select and zep_last_error against the
// tree's answering packages, loaded by the default shared package.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "c_api.hpp"
#include "exports.hpp"
#include "names.hpp"
#include "zep00001/zep00001.hpp"

namespace {

using c_api::answer;
using c_api::lastError;
using c_api::lines;

const std::string kPackages = ZEP_TEST_PACKAGES;

class CBinding : public ::testing::Test {
 protected:
  void SetUp() override { usePackages("answering"); }
  void TearDown() override { unsetenv("ZEP_PACKAGE_PATH"); }
  static void usePackages(const std::string& directory) {
    setenv("ZEP_PACKAGE_PATH", (kPackages + "/" + directory).c_str(), 1);
  }
};

struct Binding {
  const char* set;  // spelt as a host might
  const char* model;
  const char* slot;
  const char* answer;
};

TEST_F(CBinding, BindsEverySetByNameInAnyLetterCaseAndCallsThroughItsSlots) {
  const Binding bindings[] = {
      {"IMPFISCAL", "1", "StartImpFiscal", "answering/ZEP00101:StartImpFiscal"},
      {"impcheque", "1", "StartImpCheque", "answering/ZEP00700:StartImpCheque"},
      {"Display", "2", "DisplayEnviaTexto", "answering/ZEP00600:DisplayEnviaTexto"},
      {"balanca", "6", "BuscaPeso", "answering/ZEP01300:BuscaPeso"},
      {"LeItOr", "3", "LeitorProximidade", "answering/ZEP00800:LeitorProximidade"},
      {"zep00000", nullptr, "imprimeTipoRece_Zep00000",
       "answering/Zep00000:imprimeTipoRece_Zep00000"},
      {"ZEP00400", "", "ProcTeclGoToXY", "answering/Zep00400:ProcTeclGoToXY"},
      {"Zep00500", nullptr, "DoTef", "answering/Zep00500:DoTef"},
      {"tef00000", nullptr, "StarTefDedicado", "answering/Tef00000:StarTefDedicado"},
      {"sat", nullptr, "ConsultarStatusOper_sat", "answering/zep03000:ConsultarStatusOper_sat"},
  };
  for (const Binding& binding : bindings) {
    SCOPED_TRACE(binding.set);
    EXPECT_EQ(zep_slot(binding.slot), nullptr);
    ASSERT_EQ(zep_bind(binding.set, binding.model), ZEP_OK) << lastError();
    EXPECT_EQ(answer(zep_slot(binding.slot)), binding.answer);
    EXPECT_EQ(lastError(), "");
  }
  EXPECT_EQ(answer(zep_slot("imprimeMesasAbertas")), "answering/ZEP00101:ImprimeMesasAbertas");
  for (const Binding& binding : bindings) {
    SCOPED_TRACE(binding.set);
    // The cheque printer's unbind takes no use flag.
    const bool cheque = std::string(binding.slot) == "StartImpCheque";
    ASSERT_EQ(zep_unbind(binding.set, cheque ? nullptr : binding.model), ZEP_OK) << lastError();
    EXPECT_EQ(zep_slot(binding.slot), nullptr);
  }
}

TEST_F(CBinding, SlotNamesMatchExactly) {
  EXPECT_EQ(zep_slot("ImprimeMesasAbertas"), nullptr);
  EXPECT_EQ(lastError(),
            "unknown slot \"ImprimeMesasAbertas\"; slot names match exactly, letter case "
            "included: did you mean \"imprimeMesasAbertas\"?");
  EXPECT_EQ(zep_slot("NoSuchEntry"), nullptr);
  EXPECT_EQ(lastError(), "unknown slot \"NoSuchEntry\"");
  // A null slot is no failure, and a call that succeeds clears the last error.
  EXPECT_EQ(zep_slot("StartImpFiscal"), nullptr);
  EXPECT_EQ(lastError(), "");
  EXPECT_EQ(zep_slot(nullptr), nullptr);
  EXPECT_EQ(lastError(), "slot is a null pointer");
}

TEST_F(CBinding, ModelCodesAreWholeThirtyTwoBitDecimals) {
  // Leading zeros are still decimal; -1 and the extremes select no package.
  EXPECT_EQ(zep_bind("ImpFiscal", "01"), ZEP_OK) << lastError();
  EXPECT_EQ(answer(zep_slot("EnviaComando_Sweda")), "answering/ZEP00101:EnviaComando_Sweda");
  EXPECT_EQ(zep_unbind("ImpFiscal", "1"), ZEP_OK);
  for (const char* nothing : {"-1", "2147483647", "-2147483648"}) {
    EXPECT_EQ(zep_bind("ImpFiscal", nothing), ZEP_OK) << nothing << ": " << lastError();
  }
  EXPECT_EQ(zep_bind("ImpCheque", "-1"), ZEP_OK);
  EXPECT_EQ(zep_slot("StartImpCheque"), nullptr);

  for (const char* bad :
       {"", "abc", " 1", "1 ", "+1", "1.0", "0x1", "2147483648", "-2147483649", "-"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(zep_bind("ImpFiscal", bad), ZEP_ERR_ARGUMENT);
    EXPECT_EQ(lastError(), std::string("the model code \"") + bad +
                               "\" for InstanciaFuncoes_ImpFiscal is no 32-bit decimal number");
  }
  EXPECT_EQ(zep_unbind("ImpFiscal", "1\n"), ZEP_ERR_ARGUMENT);
  EXPECT_EQ(lastError(),
            "the model code \"1\\x0a\" for FinalizaFuncoes_ImpFiscal is no 32-bit decimal number");
  EXPECT_EQ(zep_bind("ImpCheque", "yes"), ZEP_ERR_ARGUMENT);
  EXPECT_EQ(lastError(),
            "the use flag \"yes\" for InstanciaFuncoes_ImpCheque is no 32-bit decimal number");
}

TEST_F(CBinding, ArgumentsTheOperationCannotTakeAreNamed) {
  // "; the sets are ImpFiscal, ImpCheque, Display, ...", as the list has them.
  std::string sets = "; the sets are";
  const char* separator = " ";
  for (const std::string& set : setNamesListed()) {
    sets += separator + set;
    separator = ", ";
  }
  const std::pair<std::function<int()>, std::string> cases[] = {
      {[] { return zep_bind(nullptr, nullptr); }, "set is a null pointer"},
      {[] { return zep_unbind("Impressora", nullptr); }, "unknown slot set \"Impressora\"" + sets},
      {[] { return zep_bind("Sat ", nullptr); }, "unknown slot set \"Sat \"" + sets},
      {[] { return zep_bind("Display", nullptr); },
       "the model code for InstanciaFuncoes_Display is a null pointer"},
      {[] { return zep_unbind("ImpFiscal", nullptr); },
       "the model code for FinalizaFuncoes_ImpFiscal is a null pointer"},
      {[] { return zep_bind("ImpCheque", nullptr); },
       "the use flag for InstanciaFuncoes_ImpCheque is a null pointer"},
      {[] { return zep_bind("Sat", "1"); },
       "InstanciaFuncoes_Sat takes no model code, but was given \"1\""},
      {[] { return zep_unbind("ImpCheque", "1"); },
       "FinalizaFuncoes_ImpCheque takes no model code, but was given \"1\""},
      {[] {
         std::size_t size = 16;
         char out[16];
         return zep_select("Sat", nullptr, out, &size);
       },
       "Sat has no selection: its package name is fixed"},
      {[] {
         std::size_t size = 16;
         return zep_select("Display", "1", nullptr, &size);
       },
       "out is a null pointer, but size claims room for 16 bytes"},
      {[] { return zep_select("Display", "1", nullptr, nullptr); }, "size is a null pointer"},
  };
  for (const auto& [call, message] : cases) {
    EXPECT_EQ(call(), ZEP_ERR_ARGUMENT) << message;
    EXPECT_EQ(lastError(), message);
  }
  // The last error is left alone by its own argument error.
  char out[4];
  EXPECT_EQ(zep_last_error(out, nullptr), ZEP_ERR_ARGUMENT);
  EXPECT_EQ(lastError(), "size is a null pointer");
}

TEST_F(CBinding, ALoadFailureGivesTheBindingFailureThenItsCauseLineByLine) {
  usePackages("broken");
  EXPECT_EQ(zep_bind("Sat", nullptr), ZEP_ERR_LOAD);
  std::vector<std::string> failure = lines(lastError());
  ASSERT_GE(failure.size(), 2u);
  EXPECT_EQ(failure[0], "Erro na carga do pacote: zep03000");
  EXPECT_EQ(failure[1],
            "cannot load package \"zep03000\": libzep03000.so is in none of the package "
            "directories");
  EXPECT_EQ(failure[2], "  " + kPackages + "/broken/libzep03000.so: no such file");
  EXPECT_EQ(zep_slot("EmitirVenda"), nullptr);

  // A package file the loader refuses: its reason is part of the cause.
  EXPECT_EQ(zep_bind("ImpFiscal", "7"), ZEP_ERR_LOAD);
  failure = lines(lastError());
  EXPECT_EQ(failure[0], "Erro na carga do pacote: ZEP00300");
  EXPECT_NE(failure.back().find(kPackages + "/broken/libZEP00300.so: "), std::string::npos)
      << failure.back();

  // A code no display package serves: the empty name is passed on, and the
  // message ends with the prefix's blank.
  EXPECT_EQ(zep_bind("Display", "9"), ZEP_ERR_LOAD);
  EXPECT_EQ(lines(lastError())[0], "Erro na carga do pacote: ");

  // The cheque printer tells the operator instead, and succeeds.
  EXPECT_EQ(zep_bind("ImpCheque", "1"), ZEP_OK);
  EXPECT_EQ(lastError(), "");
  EXPECT_EQ(zep_slot("StartImpCheque"), nullptr);
}

struct Message {
  std::thread::id thread;
  std::vector<std::string> texts;
  std::int32_t kind;
  std::int32_t number;
  void* dataSet;
};

void ZEP_CALL receive(void* context, const char* text, const char* text2, const char* text3,
                      const char* text4, std::int32_t kind, const char* text5, const char* text6,
                      std::int32_t number, void* dataSet) {
  static_cast<std::vector<Message>*>(context)->push_back({std::this_thread::get_id(),
                                                          {text, text2, text3, text4, text5, text6},
                                                          kind,
                                                          number,
                                                          dataSet});
}

TEST_F(CBinding, OperatorMessagesReachTheHandlerThenStandardErrorAgain) {
  usePackages("broken");
  std::vector<Message> received;
  ASSERT_EQ(zep_set_message_handler(receive, &received), ZEP_OK);
  testing::internal::CaptureStderr();
  EXPECT_EQ(zep_bind("ImpCheque", "1"), ZEP_OK);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].thread, std::this_thread::get_id());
  const std::string& text = received[0].texts[0];
  EXPECT_NE(text.find("libZEP00700.so is in none of the package directories"), std::string::npos);
  EXPECT_EQ(text.substr(text.find('\r')), "\rErro na carga do pacote: ZEP00700");
  EXPECT_EQ(received[0].texts, (std::vector<std::string>{text, "", "N", "N", "", "001"}));
  EXPECT_EQ(received[0].kind, 3);
  EXPECT_EQ(received[0].number, 0);
  EXPECT_EQ(received[0].dataSet, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  ASSERT_EQ(zep_set_message_handler(nullptr, nullptr), ZEP_OK);
  testing::internal::CaptureStderr();
  EXPECT_EQ(zep_bind("ImpCheque", "1"), ZEP_OK);
  EXPECT_EQ(received.size(), 1u);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("[operator message, kind 3]\n"),
            std::string::npos);
}

TEST(CVersion, IsTheProjectsVersion) {
  EXPECT_STREQ(zep_version(), ZEP_VERSION);
  EXPECT_EQ(std::string(ZEP_VERSION), std::to_string(ZEP_VERSION_MAJOR) + "." +
                                          std::to_string(ZEP_VERSION_MINOR) + "." +
                                          std::to_string(ZEP_VERSION_PATCH));
}

TEST_F(CBinding, SelectionGivesThePackageName) {
  const char* const cases[][3] = {{"ImpFiscal", "21", "ZEP00102"}, {"impfiscal", "35", ""},
                                  {"LEITOR", "4", "ZEP01800"},     {"Balanca", "7", "X"},
                                  {"display", "3", "ZEP01500"},    {"Display", "01", ""}};
  for (const auto& [set, model, package] : cases) {
    SCOPED_TRACE(std::string(set) + " " + model);
    char out[16];
    std::size_t size = sizeof out;
    ASSERT_EQ(zep_select(set, model, out, &size), ZEP_OK) << lastError();
    EXPECT_EQ(size, std::string(package).size());
    EXPECT_STREQ(out, package);
  }
  std::size_t size = 8;
  char out[8];
  EXPECT_EQ(zep_select("ImpFiscal", "x", out, &size), ZEP_ERR_ARGUMENT);
  EXPECT_EQ(lastError(),
            "the model code \"x\" for RetNomeBpl_ImpFiscal is no 32-bit decimal number");
}

std::string bound(const char* set) {
  char out[16];
  std::size_t size = sizeof out;
  EXPECT_EQ(zep_bound(set, out, &size), ZEP_OK) << lastError();
  return out;
}

TEST_F(CBinding, BoundTellsTheSetsPackageAndAnEmptyBind) {
  EXPECT_EQ(bound("ImpFiscal"), "");
  ASSERT_EQ(zep_bind("ImpFiscal", "21"), ZEP_OK);
  EXPECT_EQ(bound("impfiscal"), "ZEP00102");
  ASSERT_EQ(zep_unbind("ImpFiscal", "21"), ZEP_OK);
  EXPECT_EQ(bound("ImpFiscal"), "");
  // A code that selects no package binds nothing, and says so here alone.
  ASSERT_EQ(zep_bind("ImpFiscal", "35"), ZEP_OK);
  EXPECT_EQ(bound("ImpFiscal"), "");
  ASSERT_EQ(zep_bind("Sat", nullptr), ZEP_OK);
  EXPECT_EQ(bound("Sat"), "zep03000");
  ASSERT_EQ(zep_unbind("Sat", nullptr), ZEP_OK);
  std::size_t size = 0;
  EXPECT_EQ(zep_bound("Nada", nullptr, &size), ZEP_ERR_ARGUMENT);
}

TEST_F(CBinding, BoundTellsThePackageOfABindThroughTheModulesOwnExport) {
  ASSERT_TRUE(InstanciaFuncoes_Display("3"));
  EXPECT_EQ(bound("Display"), "ZEP01500");
  ASSERT_TRUE(FinalizaFuncoes_Display("3"));
  EXPECT_EQ(bound("Display"), "");
}

TEST_F(CBinding, ATextOneByteTooLargeForItsBufferGivesItsPrefixAndLength) {
  char out[16];
  std::fill(std::begin(out), std::end(out), '#');
  std::size_t size = 8;  // "ZEP00102" and its NUL need 9
  EXPECT_EQ(zep_select("ImpFiscal", "21", out, &size), ZEP_ERR_BUFFER);
  EXPECT_EQ(size, 8u);
  EXPECT_STREQ(out, "ZEP0010");
  EXPECT_EQ(lastError(), "the text needs room for 9 bytes with its NUL, but the buffer has 8");

  // Asking for the length alone.
  size = 0;
  EXPECT_EQ(zep_select("ImpFiscal", "21", nullptr, &size), ZEP_ERR_BUFFER);
  EXPECT_EQ(size, 8u);

  // The last error itself, asked again with more room.
  const std::string failure = lastError();
  std::fill(std::begin(out), std::end(out), '#');
  size = 8;
  const std::size_t length = failure.size();
  ASSERT_GT(length, 8u);
  EXPECT_EQ(zep_last_error(out, &size), ZEP_ERR_BUFFER);
  EXPECT_EQ(size, length);
  EXPECT_EQ(std::string(out), failure.substr(0, 7));
  std::vector<char> room(length);  // one byte short of the NUL
  size = room.size();
  EXPECT_EQ(zep_last_error(room.data(), &size), ZEP_ERR_BUFFER);
  EXPECT_EQ(std::string(room.data()), failure.substr(0, length - 1));
  room.resize(length + 1);
  size = room.size();
  EXPECT_EQ(zep_last_error(room.data(), &size), ZEP_OK);
  EXPECT_EQ(std::string(room.data()), failure);
}

TEST(CLastError, BelongsToTheThreadThatFailed) {
  EXPECT_EQ(zep_bind("Nothing", nullptr), ZEP_ERR_ARGUMENT);
  const std::string mine = lastError();
  std::string theirs;
  std::thread([&] {
    theirs = lastError();
    EXPECT_EQ(zep_slot("Other"), nullptr);
  }).join();
  EXPECT_EQ(theirs, "");
  EXPECT_EQ(lastError(), mine);

  // Two threads failing at once, each with its own messages, read back their own.
  auto failRepeatedly = [](const char* slot, bool& mixed) {
    const std::string expected = std::string("unknown slot \"") + slot + "\"";
    for (int round = 0; round < 2000; ++round) {
      zep_slot(slot);
      if (lastError() != expected) mixed = true;
    }
  };
  bool mixedA = false;
  bool mixedB = false;
  std::thread a(failRepeatedly, "SlotOfThreadA", std::ref(mixedA));
  std::thread b(failRepeatedly, "SlotOfThreadB", std::ref(mixedB));
  a.join();
  b.join();
  EXPECT_FALSE(mixedA);
  EXPECT_FALSE(mixedB);
}

TEST(CExports, AreTheZepFunctionsOnly) {
  std::set<std::string> expected = {
      "zep_bind",          "zep_unbind",       "zep_slot",
      "zep_select",        "zep_last_error",   "zep_block_size",
      "zep_block_key",     "zep_block_tag",    "zep_block_string",
      "zep_block_integer", "zep_block_double", "zep_block_boolean",
      "zep_block_free",    "zep_version",      "zep_set_message_handler",
      "zep_bound",         "zep_trace_start",  "zep_trace_stop"};
#define ZEP_BUILDER(builder, pairs, parameters) expected.insert("zep_" #builder);
#include "zep00001/entries/builders.def"

  EXPECT_EQ(definedExports(ZEP_C_LIBRARY_FILE), expected);
}

}  // namespace
