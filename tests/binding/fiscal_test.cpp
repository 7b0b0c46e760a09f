// The binding protocol through the fiscal-printer set.
#include <stdexcept>

#include "fixture.hpp"
#include "test_platform.hpp"

using recording::Call;

namespace {

class FiscalPrinter : public Binding {};

TEST_F(FiscalPrinter, TheRecordingSharedPackageStandsInForTheRealOne) {
  std::string file = test_platform::withSlashes(
      test_platform::libraryFileOf(reinterpret_cast<void*>(&LoadBPL_FOS)));
  EXPECT_NE(file.find("/recording/"), std::string::npos) << file;
}

TEST_F(FiscalPrinter, BindFillsEverySlotWithItsOwnEntry) {
  provide("answering", "ZEP00102");
  script().files["ZEP00102"] = packageFile("answering", "ZEP00101");
  EXPECT_TRUE(InstanciaFuncoes_ImpFiscal(21));
  EXPECT_EQ(calls(), (std::vector<Call>{{"LoadBPL_FOS", "ZEP00102"}}));
  EXPECT_EQ(slotsOf("ImpFiscal").size(), 124u);
  expectBoundTo("ImpFiscal", "answering/ZEP00101");
  EXPECT_EQ(answer(StartImpFiscal), "answering/ZEP00101:StartImpFiscal");
  EXPECT_EQ(answer(GERA_MF), "answering/ZEP00101:GERA_MF");
  EXPECT_EQ(answer(getInfoECF), "answering/ZEP00101:getInfoECF");
  EXPECT_EQ(answer(EnviaComando_Sweda), "answering/ZEP00101:EnviaComando_Sweda");
  EXPECT_EQ(slotsOf("ImpFiscal").back().entry, "EnviaComando_Sweda");
}

TEST_F(FiscalPrinter, RenamedSlotTakesTheCapitalisedEntry) {
  provide("answering", "ZEP00101");
  InstanciaFuncoes_ImpFiscal(1);
  EXPECT_EQ(answer(imprimeMesasAbertas), "answering/ZEP00101:ImprimeMesasAbertas");
}

TEST_F(FiscalPrinter, EntrySpeltAsTheSlotIsNotFound) {
  provide("slotspelling", "ZEP00101");
  EXPECT_TRUE(InstanciaFuncoes_ImpFiscal(1));
  EXPECT_EQ(imprimeMesasAbertas, nullptr);
  EXPECT_EQ(nullSlots("ImpFiscal"), 1);
}

TEST_F(FiscalPrinter, MissingEntryLeavesOnlyItsSlotNull) {
  provide("variant", "ZEP00101");
  EXPECT_TRUE(InstanciaFuncoes_ImpFiscal(1));
  EXPECT_EQ(EnviaComando_Sweda, nullptr);
  EXPECT_EQ(nullSlots("ImpFiscal"), 1);
  EXPECT_EQ(answer(Memoria_Fiscal_Imp), "variant/ZEP00101:Memoria_Fiscal_Imp");
}

TEST_F(FiscalPrinter, CodeSelectingNoPackageBindsNothing) {
  setSlots("ImpFiscal", kUntouched);
  for (int code : {0, 35, 10, -1}) {
    EXPECT_TRUE(InstanciaFuncoes_ImpFiscal(code)) << code;
  }
  EXPECT_TRUE(calls().empty());
  EXPECT_TRUE(allSlotsAre("ImpFiscal", kUntouched));
}

TEST_F(FiscalPrinter, LoadFailureBecomesTheBindingFailureWithItsCause) {
  setSlots("ImpFiscal", kUntouched);
  script().load = [](const std::string&) -> void* {
    throw std::runtime_error("libZEP00101.so: no such file");
  };
  Failure failure = bindingFailure([] { InstanciaFuncoes_ImpFiscal(1); });
  EXPECT_EQ(failure.message, "Erro na carga do pacote: ZEP00101");
  EXPECT_TRUE(failure.nested);
  EXPECT_EQ(failure.cause, "libZEP00101.so: no such file");
  EXPECT_TRUE(allSlotsAre("ImpFiscal", kUntouched));
}

TEST_F(FiscalPrinter, FailureThatIsNoStdExceptionHasNoCause) {
  script().load = [](const std::string&) -> void* { throw 42; };
  Failure failure = bindingFailure([] { InstanciaFuncoes_ImpFiscal(3); });
  EXPECT_EQ(failure.message, "Erro na carga do pacote: ZEP00200");
  EXPECT_FALSE(failure.nested);
}

TEST_F(FiscalPrinter, NullHandleIsALoadFailureAndFillsNoSlot) {
  setSlots("ImpFiscal", kUntouched);
  script().load = [](const std::string&) -> void* { return nullptr; };
  Failure failure = bindingFailure([] { InstanciaFuncoes_ImpFiscal(1); });
  EXPECT_EQ(failure.message, "Erro na carga do pacote: ZEP00101");
  EXPECT_NE(failure.cause.find("\"ZEP00101\""), std::string::npos) << failure.cause;
  EXPECT_TRUE(allSlotsAre("ImpFiscal", kUntouched));
}

TEST_F(FiscalPrinter, UnbindClearsEverySlotBeforeUnloading) {
  provide("answering", "ZEP00101");
  InstanciaFuncoes_ImpFiscal(1);
  int nullAtUnload = -1;
  script().unload = [&](const std::string&) { nullAtUnload = nullSlots("ImpFiscal"); };
  EXPECT_TRUE(FinalizaFuncoes_ImpFiscal(1));
  EXPECT_EQ(nullAtUnload, 124);
  EXPECT_EQ(calls().back(), (Call{"UnLoadBPL", "ZEP00101"}));
}

TEST_F(FiscalPrinter, UnbindUnloadsWhatItsOwnCodeSelects) {
  provide("answering", "ZEP00101");
  InstanciaFuncoes_ImpFiscal(1);
  FinalizaFuncoes_ImpFiscal(3);
  EXPECT_EQ(calls().back(), (Call{"UnLoadBPL", "ZEP00200"}));
  setSlots("ImpFiscal", kUntouched);
  EXPECT_TRUE(FinalizaFuncoes_ImpFiscal(0));
  EXPECT_EQ(calls().back(), (Call{"UnLoadBPL", ""}));
  EXPECT_EQ(nullSlots("ImpFiscal"), 124);
}

TEST_F(FiscalPrinter, SecondBindLoadsAgainWithoutUnloading) {
  provide("answering", "ZEP00101");
  InstanciaFuncoes_ImpFiscal(1);
  script().files["ZEP00101"] = packageFile("variant", "ZEP00101");
  InstanciaFuncoes_ImpFiscal(1);
  EXPECT_EQ(calls(), (std::vector<Call>{{"LoadBPL_FOS", "ZEP00101"}, {"LoadBPL_FOS", "ZEP00101"}}));
  EXPECT_EQ(answer(StartImpFiscal), "variant/ZEP00101:StartImpFiscal");
  // The second package lacks this entry: the first package's address is gone too.
  EXPECT_EQ(EnviaComando_Sweda, nullptr);
}

TEST_F(FiscalPrinter, UnloadFailureReachesTheCallerAfterClearing) {
  provide("answering", "ZEP00101");
  InstanciaFuncoes_ImpFiscal(1);
  script().unload = [](const std::string&) { throw std::logic_error("unload refused"); };
  EXPECT_THROW(FinalizaFuncoes_ImpFiscal(1), std::logic_error);
  EXPECT_EQ(nullSlots("ImpFiscal"), 124);
}

}  // namespace
