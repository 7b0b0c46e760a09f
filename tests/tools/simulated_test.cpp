// The simulated devices, bound through the module and called through their
// slots with the signatures their headers give.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "dial_tef.hpp"
#include "display.hpp"
#include "fiscal_printer.hpp"
#include "packages.hpp"
#include "sat.hpp"
#include "scale.hpp"
#include "zep00001/zep00001.hpp"

namespace {

namespace simulated = zep::simulated;
using ::testing::HasSubstr;

#define SIMULATED(device, name) reinterpret_cast<simulated::device::name*>(::name)

class Simulated : public PackagePathTest {
 protected:
  void SetUp() override { usePath(ZEP_SIMULATED_DIR); }
};

// The fiscal printer's paper: each line onto the stream `context`.
void printed(void* context, const char* line) {
  *static_cast<std::ostream*>(context) << line << '\n';
}

// Blocks as a host of the C interface builds them; the printer reads them.
using Block = std::unique_ptr<zep_block, decltype(&zep_block_free)>;

Block opening() {
  return Block(zep_Params_AbreCupom_Zep00000("", 0, "S", "N", "N", "", "", "", "", "", "CPF",
                                             "529.982.247-25", "", "", 0),
               &zep_block_free);
}

Block item(double quantity, double price, double discount, double surcharge) {
  return Block(zep_Params_VendaItem_Zep00000("", "", "", "1", "PAO", "T18", "01", "UN", "", "18,00",
                                             "", 0, quantity, price, discount, surcharge, 0),
               &zep_block_free);
}

Block printing() {
  return Block(zep_Params_ImpressaoVenda_Zep00000("", "0001", "003", "", "", "", "", "", "", "", 1,
                                                  0.0, 0.0),
               &zep_block_free);
}

TEST_F(Simulated, FiscalPrinterAddsTheCouponToTheCentavoAndJournalsIt) {
  ASSERT_TRUE(InstanciaFuncoes_ImpFiscal(1));
  std::ostringstream paper;
  ASSERT_EQ(SIMULATED(fiscal, StartImpFiscal)(printed, &paper), simulated::fiscal::Ok);
  ASSERT_EQ(SIMULATED(fiscal, AbreCupom)(opening().get()), simulated::fiscal::Ok);
  // 3 x 0,10 is 0,30 to the centavo, though not in binary.
  ASSERT_EQ(SIMULATED(fiscal, VendaItem)(item(3, 0.10, 0.0, 0.0).get()), simulated::fiscal::Ok);
  ASSERT_EQ(SIMULATED(fiscal, VendaItem)(item(2, 10.0, 1.5, 0.25).get()), simulated::fiscal::Ok);
  double total = 0;
  ASSERT_EQ(SIMULATED(fiscal, ImpressaoVenda)(printing().get(), &total), simulated::fiscal::Ok);
  EXPECT_EQ(total, 19.05);
  EXPECT_EQ(SIMULATED(fiscal, FechaCupom)("DINHEIRO", 19.0), simulated::fiscal::Underpaid);
  EXPECT_STREQ(SIMULATED(fiscal, RetornoImpFiscal)(), "paid 19,00 of 19,05");
  ASSERT_EQ(SIMULATED(fiscal, FechaCupom)("DINHEIRO", 20.0), simulated::fiscal::Ok);
  EXPECT_STREQ(SIMULATED(fiscal, RetornoImpFiscal)(), "");
  EXPECT_EQ(SIMULATED(fiscal, Nr_Cupom)(), 1);
  EXPECT_THAT(paper.str(), HasSubstr("     desconto                      -1,50\n"));
  EXPECT_THAT(paper.str(), HasSubstr("TROCO R$                            0,95\n"));

  std::ostringstream journal;
  ASSERT_EQ(SIMULATED(fiscal, geraEspelhoMfd)(printed, &journal), simulated::fiscal::Ok);
  EXPECT_EQ(journal.str(), paper.str());
  paper.str({});
  ASSERT_EQ(SIMULATED(fiscal, Leitura_X_Imp)(), simulated::fiscal::Ok);
  EXPECT_THAT(paper.str(), HasSubstr("CUPONS                                 1\n"
                                     "VENDA BRUTA R$                     19,05\n"));
  FinalizaFuncoes_ImpFiscal(1);
  // Nothing of the package stays mapped to keep an old journal alive.
  EXPECT_FALSE(isMapped(ZEP_SIMULATED_DIR "/" ZEP_PACKAGE_PREFIX "ZEP00101" ZEP_PACKAGE_SUFFIX));
}

TEST_F(Simulated, FiscalPrinterRefusesCommandsOutOfOrderOrWithAWrongBlock) {
  ASSERT_TRUE(InstanciaFuncoes_ImpFiscal(1));
  std::ostringstream paper;
  EXPECT_EQ(SIMULATED(fiscal, AbreCupom)(opening().get()), simulated::fiscal::NotStarted);
  ASSERT_EQ(SIMULATED(fiscal, StartImpFiscal)(printed, &paper), simulated::fiscal::Ok);
  EXPECT_EQ(SIMULATED(fiscal, VendaItem)(item(1, 1.0, 0.0, 0.0).get()),
            simulated::fiscal::NoCoupon);
  EXPECT_STREQ(SIMULATED(fiscal, RetornoImpFiscal)(), "no coupon is open");
  EXPECT_EQ(SIMULATED(fiscal, AbreCupom)(printing().get()), simulated::fiscal::BadBlock);
  EXPECT_STREQ(SIMULATED(fiscal, RetornoImpFiscal)(), "the block has no INCLUICPF");
  EXPECT_EQ(SIMULATED(fiscal, AbreCupom)(nullptr), simulated::fiscal::BadBlock);
  EXPECT_STREQ(SIMULATED(fiscal, RetornoImpFiscal)(), "the block is a null pointer");
  EXPECT_EQ(paper.str(), "") << "a refused command prints nothing";

  ASSERT_EQ(SIMULATED(fiscal, AbreCupom)(opening().get()), simulated::fiscal::Ok);
  EXPECT_EQ(SIMULATED(fiscal, AbreCupom)(opening().get()), simulated::fiscal::CouponOpen);
  EXPECT_EQ(SIMULATED(fiscal, VendaItem)(item(1, 1.0, 2.0, 0.0).get()),
            simulated::fiscal::BadBlock);
  EXPECT_EQ(SIMULATED(fiscal, FechaCupom)("DINHEIRO", 1.0), simulated::fiscal::NotTotalled);
  EXPECT_EQ(SIMULATED(fiscal, StopImpFiscal)(), simulated::fiscal::CouponOpen);
  FinalizaFuncoes_ImpFiscal(1);
}

TEST_F(Simulated, ScaleSettlesOnItsLastReadingAndTellsEmptyAndOverload) {
  ASSERT_TRUE(InstanciaFuncoes_Balanca("4"));
  double kilograms = 0;
  EXPECT_EQ(SIMULATED(scale, BuscaPeso)(&kilograms), simulated::scale::NotStarted);
  EXPECT_EQ(SIMULATED(scale, StartBalanca)("0.4;x"), simulated::scale::BadPort);
  EXPECT_EQ(SIMULATED(scale, StartBalanca)("nan"), simulated::scale::BadPort);
  ASSERT_EQ(SIMULATED(scale, StartBalanca)("0.398;0.412"), simulated::scale::Ok);
  EXPECT_EQ(SIMULATED(scale, BuscaPeso)(&kilograms), simulated::scale::Unstable);
  EXPECT_EQ(kilograms, 0.398);
  for (int again = 0; again < 2; ++again) {
    EXPECT_EQ(SIMULATED(scale, BuscaPeso)(&kilograms), simulated::scale::Ok);
    EXPECT_EQ(kilograms, 0.412);
  }
  ASSERT_EQ(SIMULATED(scale, StartBalanca)("0"), simulated::scale::Ok);
  EXPECT_EQ(SIMULATED(scale, BuscaPeso)(&kilograms), simulated::scale::Empty);
  ASSERT_EQ(SIMULATED(scale, StartBalanca)("15.001"), simulated::scale::Ok);
  EXPECT_EQ(SIMULATED(scale, BuscaPeso)(&kilograms), simulated::scale::Overload);
  FinalizaFuncoes_Balanca("4");
}

TEST_F(Simulated, DisplayRunsOnIntoItsSecondLineAndCutsTheRest) {
  ASSERT_TRUE(InstanciaFuncoes_Display("1"));
  std::ostringstream screen;
  EXPECT_EQ(SIMULATED(display, DisplayEnviaTexto)("x"), simulated::display::NotStarted);
  ASSERT_EQ(SIMULATED(display, StartDisplay)(screen), simulated::display::Ok);
  SIMULATED(display, DisplayEnviaTexto)("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  SIMULATED(display, DisplayEnviaTexto)("TOTAL\r\n9,99\nlost");
  EXPECT_EQ(screen.str(),
            "|0123456789ABCDEFGHIJ|\n|KLMNOPQRSTUVWXYZ0123|\n"
            "|TOTAL               |\n|9,99                |\n");
  FinalizaFuncoes_Display("1");
}

TEST_F(Simulated, SatKeysHaveFortyFourDigitsAndAValidCheckDigit) {
  ASSERT_TRUE(InstanciaFuncoes_Sat());
  std::string key;
  EXPECT_EQ(SIMULATED(sat, EmitirVenda)("<CFe/>", key), simulated::sat::NotActivated);
  EXPECT_EQ(SIMULATED(sat, Start_Sat)("00000000"), simulated::sat::WrongCode);
  ASSERT_EQ(SIMULATED(sat, Start_Sat)(simulated::sat::kActivationCode), simulated::sat::Ok);
  EXPECT_STREQ(SIMULATED(sat, Consultar_Sat)(), "em operacao");
  EXPECT_EQ(SIMULATED(sat, EmitirVenda)("", key), simulated::sat::EmptySale);
  ASSERT_EQ(SIMULATED(sat, EmitirVenda)("<CFe/>", key), simulated::sat::Ok);
  ASSERT_EQ(key.size(), 44u);
  ASSERT_EQ(key.find_first_not_of("0123456789"), std::string::npos);
  int sum = 0;
  for (std::size_t i = 0; i < 43; ++i) sum += (key[42 - i] - '0') * static_cast<int>(2 + i % 8);
  EXPECT_EQ(key[43] - '0', 11 - sum % 11 >= 10 ? 0 : 11 - sum % 11);
  FinalizaFuncoes_Sat();
}

TEST_F(Simulated, DialTefApprovesUpToItsLimit) {
  ASSERT_TRUE(InstanciaFuncoes_Zep00500());
  std::string authorisation;
  EXPECT_EQ(SIMULATED(dial_tef, DoTef)(0.0, authorisation), simulated::dial_tef::Declined);
  EXPECT_EQ(SIMULATED(dial_tef, DoTef)(5000.01, authorisation), simulated::dial_tef::Declined);
  ASSERT_EQ(SIMULATED(dial_tef, DoTef)(5000.0, authorisation), simulated::dial_tef::Approved);
  EXPECT_EQ(authorisation, "A000001");
  EXPECT_EQ(SIMULATED(dial_tef, GetSequence)(), 2);
  FinalizaFuncoes_Zep00500();
}

}  // namespace
