// The simulated core sales service: prints exchange slips.
#include "sales_service.hpp"

#include "driver_export.hpp"
#include "money.hpp"

namespace sales = zep::simulated::sales;

extern "C" ZEP_DRIVER_API sales::Cupom_Troca_Zep00000 Cupom_Troca_Zep00000;

std::int32_t Cupom_Troca_Zep00000(std::ostream& paper, std::int32_t coupon,
                                  const std::string& item) {
  if (coupon < 1) return 1;
  paper << "CUPOM DE TROCA\nCOO " << zep::simulated::zeroPadded(coupon, 6) << ": " << item << '\n';
  return 0;
}
