// The cheque printer, customer display, scale and reader sets.
#include <stdexcept>

#include "fixture.hpp"

using recording::Call;

namespace {

class ChequePrinter : public Binding {};

TEST_F(ChequePrinter, UseFlagOfZeroOrLessBindsNothing) {
  setSlots("ImpCheque", kUntouched);
  EXPECT_TRUE(InstanciaFuncoes_ImpCheque(0));
  EXPECT_TRUE(InstanciaFuncoes_ImpCheque(-1));
  EXPECT_TRUE(calls().empty());
  EXPECT_TRUE(allSlotsAre("ImpCheque", kUntouched));
}

TEST_F(ChequePrinter, BindsTheFixedPackage) {
  provide("answering", "ZEP00700");
  EXPECT_TRUE(InstanciaFuncoes_ImpCheque(7));
  EXPECT_EQ(calls(), (std::vector<Call>{{"LoadBPL_FOS", "ZEP00700"}}));
  expectBoundTo("ImpCheque", "answering/ZEP00700");
  EXPECT_EQ(slotsOf("ImpCheque")[3].entry, "StopImpCheque");
  EXPECT_EQ(slotsOf("ImpCheque")[4].entry, "StartImpCheque");
}

TEST_F(ChequePrinter, LoadFailureIsToldToTheOperatorAndSwallowed) {
  setSlots("ImpCheque", kUntouched);
  script().load = [](const std::string&) -> void* { throw std::runtime_error("M"); };
  EXPECT_TRUE(InstanciaFuncoes_ImpCheque(1));
  ASSERT_EQ(script().messages.size(), 1u);
  const recording::Message& message = script().messages[0];
  EXPECT_EQ(message.text, "M\rErro na carga do pacote: ZEP00700");
  EXPECT_EQ(message.text2, "");
  EXPECT_EQ(message.text3, "N");
  EXPECT_EQ(message.text4, "N");
  EXPECT_EQ(message.kind, 3);
  EXPECT_EQ(message.text5, "");
  EXPECT_EQ(message.text6, "001");
  EXPECT_EQ(message.number, 0);
  EXPECT_EQ(message.dataSet, nullptr);
  EXPECT_TRUE(allSlotsAre("ImpCheque", kUntouched));
}

TEST_F(ChequePrinter, NullHandleIsToldLikeAnyLoadFailure) {
  script().load = [](const std::string&) -> void* { return nullptr; };
  EXPECT_TRUE(InstanciaFuncoes_ImpCheque(1));
  ASSERT_EQ(script().messages.size(), 1u);
  EXPECT_NE(script().messages[0].text.find("\"ZEP00700\"\rErro na carga do pacote: ZEP00700"),
            std::string::npos);
  EXPECT_EQ(nullSlots("ImpCheque"), 5);
}

TEST_F(ChequePrinter, OtherExceptionsAndMessageFailuresPassThrough) {
  script().load = [](const std::string&) -> void* { throw 7; };
  EXPECT_THROW(InstanciaFuncoes_ImpCheque(1), int);
  EXPECT_TRUE(script().messages.empty());

  script().load = [](const std::string&) -> void* { throw std::runtime_error("M"); };
  script().message = [] { throw std::logic_error("no dialog"); };
  EXPECT_THROW(InstanciaFuncoes_ImpCheque(1), std::logic_error);
}

TEST_F(ChequePrinter, MissingEntryIsNoFailure) {
  provide("variant", "ZEP00700");
  EXPECT_TRUE(InstanciaFuncoes_ImpCheque(1));
  EXPECT_EQ(ImpChqChar, nullptr);
  EXPECT_EQ(nullSlots("ImpCheque"), 1);
  EXPECT_TRUE(script().messages.empty());
}

TEST_F(ChequePrinter, UnbindAlwaysUnloadsTheFixedPackage) {
  setSlots("ImpCheque", kUntouched);
  InstanciaFuncoes_ImpCheque(0);
  EXPECT_TRUE(FinalizaFuncoes_ImpCheque());
  EXPECT_EQ(nullSlots("ImpCheque"), 5);
  EXPECT_EQ(calls(), (std::vector<Call>{{"UnLoadBPL", "ZEP00700"}}));
}

class SelectedPeripherals : public Binding {};

TEST_F(SelectedPeripherals, DisplayPassesTheEmptyNameOn) {
  script().load = [](const std::string&) -> void* { throw std::runtime_error("empty"); };
  Failure failure = bindingFailure([] { InstanciaFuncoes_Display("9"); });
  EXPECT_EQ(calls(), (std::vector<Call>{{"LoadBPL_FOS", ""}}));
  EXPECT_EQ(failure.message, "Erro na carga do pacote: ");
}

TEST_F(SelectedPeripherals, ScaleCodesOfPackageXLoadX) {
  script().load = [](const std::string&) -> void* { throw std::runtime_error("no X"); };
  for (const char* code : {"1", "2", "3", "7"}) {
    Failure failure = bindingFailure([&] { InstanciaFuncoes_Balanca(code); });
    EXPECT_EQ(failure.message, "Erro na carga do pacote: X");
    EXPECT_EQ(calls().back(), (Call{"LoadBPL_FOS", "X"}));
  }
}

TEST_F(SelectedPeripherals, EachBindsItsSelectedPackage) {
  provide("answering", "ZEP01200");
  provide("answering", "ZEP01500");
  provide("answering", "ZEP01800");
  EXPECT_TRUE(InstanciaFuncoes_Balanca("4"));
  EXPECT_TRUE(InstanciaFuncoes_Display("3"));
  EXPECT_TRUE(InstanciaFuncoes_Leitor("4"));
  expectBoundTo("Balanca", "answering/ZEP01200");
  expectBoundTo("Display", "answering/ZEP01500");
  expectBoundTo("Leitor", "answering/ZEP01800");
  EXPECT_EQ(slotsOf("Balanca")[1].entry, "BuscaPeso");
}

TEST_F(SelectedPeripherals, UnbindSelectsAgainFromItsOwnCode) {
  provide("answering", "ZEP00600");
  InstanciaFuncoes_Display("1");
  int nullAtUnload = -1;
  script().unload = [&](const std::string&) { nullAtUnload = nullSlots("Display"); };
  EXPECT_TRUE(FinalizaFuncoes_Display("3"));
  EXPECT_EQ(nullAtUnload, 4);
  EXPECT_EQ(calls().back(), (Call{"UnLoadBPL", "ZEP01500"}));

  EXPECT_TRUE(FinalizaFuncoes_Balanca("13"));
  EXPECT_EQ(calls().back(), (Call{"UnLoadBPL", ""}));
}

TEST_F(SelectedPeripherals, ReaderUnbindClearsThenUnloads) {
  provide("answering", "ZEP01800");
  InstanciaFuncoes_Leitor("4");
  int nullAtUnload = -1;
  script().unload = [&](const std::string&) { nullAtUnload = nullSlots("Leitor"); };
  EXPECT_TRUE(FinalizaFuncoes_Leitor("4"));
  EXPECT_EQ(nullAtUnload, 2);
  EXPECT_EQ(calls().back(), (Call{"UnLoadBPL", "ZEP01800"}));
}

TEST_F(SelectedPeripherals, UnloadFailureReachesTheCaller) {
  script().unload = [](const std::string&) { throw std::runtime_error("busy"); };
  setSlots("Leitor", kUntouched);
  EXPECT_THROW(FinalizaFuncoes_Leitor("1"), std::runtime_error);
  EXPECT_EQ(nullSlots("Leitor"), 2);
  EXPECT_THROW(FinalizaFuncoes_Balanca("4"), std::runtime_error);
}

}  // namespace
