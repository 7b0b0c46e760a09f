// The simulated core sales service, package Zep00000: the entry it simulates
// and its signature, for a host to cast the slot to.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace zep::simulated::sales {

// Prints on `paper` the exchange slip for `item` of coupon `coupon` (the
// COO); returns 0, or 1 for a coupon number below 1.
using Cupom_Troca_Zep00000 = std::int32_t(std::ostream& paper, std::int32_t coupon,
                                          const std::string& item);

}  // namespace zep::simulated::sales
