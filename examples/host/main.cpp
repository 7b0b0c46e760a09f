// A minimal host: binds the scale, weighs through its slot, and builds the
// block that sells the weighed item.
#include <exception>
#include <iostream>
#include <zep00001/simulated/scale.hpp>
#include <zep00001/zep00001.hpp>

int main() {
  namespace scale = zep::simulated::scale;
  const std::string model = "4";  // selects ZEP01200
  try {
    InstanciaFuncoes_Balanca(model);
  } catch (const zep::BindingFailure& failure) {
    std::cerr << failure.what() << '\n';
    try {
      std::rethrow_if_nested(failure);
    } catch (const std::exception& cause) {
      std::cerr << "because: " << cause.what() << '\n';
    }
    return 1;
  }

  // A slot holds the entry's address; the host casts it to the driver's own
  // signature, and a null slot is an entry the package lacks.
  auto start = reinterpret_cast<scale::StartBalanca*>(StartBalanca);
  auto weigh = reinterpret_cast<scale::BuscaPeso*>(BuscaPeso);
  if (start == nullptr || weigh == nullptr) {
    std::cerr << "package " << RetNomeBpl_Balanca(model) << " lacks StartBalanca or BuscaPeso\n";
    FinalizaFuncoes_Balanca(model);
    return 1;
  }
  double kilograms = 0;
  const bool weighed = start("0.412") == scale::Ok && weigh(&kilograms) == scale::Ok;
  FinalizaFuncoes_Balanca(model);
  if (!weighed) {
    std::cerr << "the scale gave no stable weight\n";
    return 1;
  }
  std::cout << "weighed " << kilograms << " kg on " << RetNomeBpl_Balanca(model) << '\n';

  const zep::Value block =
      Params_VendaItem_Zep00000("", "", "", "2000012", "QUEIJO MINAS", "T18", "01", "KG", "",
                                "18,00", "", 0, kilograms, 49.90, 0.0, 0.0, false);
  std::cout << block << '\n';
  return 0;
}
