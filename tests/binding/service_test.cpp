// The five service sets: fixed packages, unguarded unbinds.
#include <stdexcept>

#include "fixture.hpp"

using recording::Call;

namespace {

class ServiceSets : public Binding {};

struct Service {
  const char* set;
  const char* package;
  bool (*bind)();
  bool (*unbind)();
};

const Service kServices[] = {
    {"Zep00000", "Zep00000", InstanciaFuncoes_Zep00000, FinalizaFuncoes_Zep00000},
    {"Zep00400", "Zep00400", InstanciaFuncoes_Zep00400, FinalizaFuncoes_Zep00400},
    {"Zep00500", "Zep00500", InstanciaFuncoes_Zep00500, FinalizaFuncoes_Zep00500},
    {"Tef00000", "Tef00000", InstanciaFuncoes_Tef00000, FinalizaFuncoes_Tef00000},
    {"Sat", "zep03000", InstanciaFuncoes_Sat, FinalizaFuncoes_Sat},
};

TEST_F(ServiceSets, EachBindsAndUnbindsItsFixedPackage) {
  for (const Service& service : kServices) {
    SCOPED_TRACE(service.set);
    provide("answering", service.package);
    EXPECT_TRUE(service.bind());
    EXPECT_EQ(calls().back(), (Call{"LoadBPL_FOS", service.package}));
    expectBoundTo(service.set, std::string("answering/") + service.package);
    EXPECT_TRUE(service.unbind());
    EXPECT_EQ(calls().back(), (Call{"UnLoadBPL", service.package}));
    EXPECT_EQ(nullSlots(service.set), static_cast<int>(slotsOf(service.set).size()));
  }
}

TEST_F(ServiceSets, LoadFailureNamesTheFixedPackage) {
  setSlots("Sat", kUntouched);
  script().load = [](const std::string&) -> void* { throw std::runtime_error("gone"); };
  Failure failure = bindingFailure([] { InstanciaFuncoes_Sat(); });
  EXPECT_EQ(failure.message, "Erro na carga do pacote: zep03000");
  EXPECT_EQ(failure.cause, "gone");
  EXPECT_TRUE(allSlotsAre("Sat", kUntouched));
  EXPECT_EQ(bindingFailure([] { InstanciaFuncoes_Tef00000(); }).message,
            "Erro na carga do pacote: Tef00000");
}

TEST_F(ServiceSets, StartEntrySpeltOtherwiseIsNotFound) {
  provide("variant", "Tef00000");
  EXPECT_TRUE(InstanciaFuncoes_Tef00000());
  EXPECT_EQ(StarTefDedicado, nullptr);
  EXPECT_EQ(nullSlots("Tef00000"), 1);
}

TEST_F(ServiceSets, UnbindWithoutBindStillUnloads) {
  EXPECT_TRUE(FinalizaFuncoes_Zep00500());
  EXPECT_EQ(nullSlots("Zep00500"), 11);
  EXPECT_EQ(calls(), (std::vector<Call>{{"UnLoadBPL", "Zep00500"}}));
}

TEST_F(ServiceSets, UnloadFailureReachesTheCallerAfterClearing) {
  provide("answering", "Zep00000");
  InstanciaFuncoes_Zep00000();
  script().unload = [](const std::string&) { throw std::runtime_error("busy"); };
  EXPECT_THROW(FinalizaFuncoes_Zep00000(), std::runtime_error);
  EXPECT_EQ(nullSlots("Zep00000"), 6);
}

TEST_F(ServiceSets, SecondBindTakesTheSecondLoad) {
  provide("answering", "Zep00400");
  InstanciaFuncoes_Zep00400();
  provide("second", "Zep00400");
  InstanciaFuncoes_Zep00400();
  EXPECT_EQ(calls(), (std::vector<Call>{{"LoadBPL_FOS", "Zep00400"}, {"LoadBPL_FOS", "Zep00400"}}));
  expectBoundTo("Zep00400", "second/Zep00400");
}

}  // namespace
