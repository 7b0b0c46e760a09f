// A host that links the module directly, as many tills do: it reads the slots
// as plain variables (held through copy relocations) and goes through the
// real shared package to the real driver packages.
#include <gtest/gtest.h>

#include "packages.hpp"
#include "slots.hpp"

namespace {

class DirectHost : public PackagePathTest {};

TEST_F(DirectHost, BindsCallsAndUnbindsEverySet) {
  ASSERT_TRUE(InstanciaFuncoes_ImpFiscal(1));
  ASSERT_TRUE(InstanciaFuncoes_ImpCheque(1));
  ASSERT_TRUE(InstanciaFuncoes_Display("2"));
  ASSERT_TRUE(InstanciaFuncoes_Balanca("6"));
  ASSERT_TRUE(InstanciaFuncoes_Leitor("3"));
  ASSERT_TRUE(InstanciaFuncoes_Zep00000());
  ASSERT_TRUE(InstanciaFuncoes_Zep00400());
  ASSERT_TRUE(InstanciaFuncoes_Zep00500());
  ASSERT_TRUE(InstanciaFuncoes_Tef00000());
  ASSERT_TRUE(InstanciaFuncoes_Sat());

  EXPECT_EQ(answer(StartImpFiscal), "answering/ZEP00101:StartImpFiscal");
  EXPECT_EQ(answer(imprimeMesasAbertas), "answering/ZEP00101:ImprimeMesasAbertas");
  EXPECT_EQ(answer(StartImpCheque), "answering/ZEP00700:StartImpCheque");
  EXPECT_EQ(answer(DisplayEnviaTexto), "answering/ZEP00600:DisplayEnviaTexto");
  EXPECT_EQ(answer(BuscaPeso), "answering/ZEP01300:BuscaPeso");
  EXPECT_EQ(answer(LeitorProximidade), "answering/ZEP00800:LeitorProximidade");
  EXPECT_EQ(answer(imprimeTipoRece_Zep00000), "answering/Zep00000:imprimeTipoRece_Zep00000");
  EXPECT_EQ(answer(ProcTeclGoToXY), "answering/Zep00400:ProcTeclGoToXY");
  EXPECT_EQ(answer(DoTef), "answering/Zep00500:DoTef");
  EXPECT_EQ(answer(StarTefDedicado), "answering/Tef00000:StarTefDedicado");
  EXPECT_EQ(answer(ConsultarStatusOper_sat), "answering/zep03000:ConsultarStatusOper_sat");

  ASSERT_TRUE(FinalizaFuncoes_ImpFiscal(1));
  ASSERT_TRUE(FinalizaFuncoes_ImpCheque());
  ASSERT_TRUE(FinalizaFuncoes_Display("2"));
  ASSERT_TRUE(FinalizaFuncoes_Balanca("6"));
  ASSERT_TRUE(FinalizaFuncoes_Leitor("3"));
  ASSERT_TRUE(FinalizaFuncoes_Zep00000());
  ASSERT_TRUE(FinalizaFuncoes_Zep00400());
  ASSERT_TRUE(FinalizaFuncoes_Zep00500());
  ASSERT_TRUE(FinalizaFuncoes_Tef00000());
  ASSERT_TRUE(FinalizaFuncoes_Sat());
  for (const std::string& set : setNames()) {
    EXPECT_EQ(nullSlots(set), static_cast<int>(slotsOf(set).size())) << set;
  }
  for (const char* package : {"ZEP00101", "ZEP00700", "ZEP00600", "ZEP01300", "ZEP00800",
                              "Zep00000", "Zep00400", "Zep00500", "Tef00000", "zep03000"}) {
    EXPECT_FALSE(isMapped(packageFile("answering", package))) << package;
  }
}

TEST_F(DirectHost, PackageCallingItsOwnEntriesReachesItself) {
  usePath(kPackages + "/selfcalling");
  ASSERT_TRUE(InstanciaFuncoes_Zep00500());
  ASSERT_NE(DoTef, nullptr);
  EXPECT_EQ(answer(DoTef), "selfcalling/Zep00500:CheckDirTef");
  FinalizaFuncoes_Zep00500();
}

TEST_F(DirectHost, EveryLoadFailureNamesThePackageAndTheReason) {
  usePath(kPackages + "/broken");
  struct Case {
    int code;
    const char* package;
    std::string reason;
  };
  for (const Case& c : {Case{1, "ZEP00101", packageFileName("ZEP00101") + ": no such file"},
                        Case{7, "ZEP00300", test_platform::kNotALibraryReason},
                        Case{16, "ZEP01000", ZEP_ABSENT_DEPENDENCY}}) {
    try {
      InstanciaFuncoes_ImpFiscal(c.code);
      ADD_FAILURE() << c.package << " bound";
    } catch (const zep::BindingFailure& failure) {
      EXPECT_EQ(std::string(failure.what()), std::string("Erro na carga do pacote: ") + c.package);
      try {
        std::rethrow_if_nested(failure);
        ADD_FAILURE() << "no cause";
      } catch (const std::runtime_error& cause) {
        std::string why = cause.what();
        EXPECT_NE(why.find(std::string("\"") + c.package + "\""), std::string::npos) << why;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
      }
    }
  }
}

TEST_F(DirectHost, ChequePrinterTellsTheOperatorInstead) {
  usePath(kPackages + "/broken");
  testing::internal::CaptureStderr();
  EXPECT_TRUE(InstanciaFuncoes_ImpCheque(1));
  std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_NE(
      shown.find(packageFileName("ZEP00700") + ": no such file\nErro na carga do pacote: ZEP00700"),
      std::string::npos)
      << shown;
  EXPECT_EQ(StartImpCheque, nullptr);
  FinalizaFuncoes_ImpCheque();
}

TEST_F(DirectHost, NoScalePackageXIsBundled) {
  try {
    InstanciaFuncoes_Balanca("1");
    ADD_FAILURE() << "X bound";
  } catch (const zep::BindingFailure& failure) {
    EXPECT_STREQ(failure.what(), "Erro na carga do pacote: X");
  }
}

}  // namespace
