// Amounts as the simulated devices print them: reais with a decimal comma
// and points between thousands ("1.234,56"), kept as whole centavos so that
// a coupon's lines always add up to its total.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace zep::simulated {

inline std::int64_t toCentavos(double reais) { return std::llround(reais * 100.0); }

inline std::string formatReais(std::int64_t centavos) {
  const bool negative = centavos < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(centavos) : static_cast<std::uint64_t>(centavos);
  std::string whole = std::to_string(magnitude / 100);
  for (auto at = static_cast<std::ptrdiff_t>(whole.size()) - 3; at > 0; at -= 3) {
    whole.insert(static_cast<std::size_t>(at), 1, '.');
  }
  const unsigned cents = static_cast<unsigned>(magnitude % 100);
  return (negative ? "-" : "") + whole + ',' + static_cast<char>('0' + cents / 10) +
         static_cast<char>('0' + cents % 10);
}

// A quantity with three decimals and a decimal comma, as scales and fiscal
// printers show kilograms: "0,412".
inline std::string formatQuantity(double quantity) {
  const std::int64_t thousandths = std::llround(quantity * 1000.0);
  std::string digits = std::to_string(thousandths < 0 ? -thousandths : thousandths);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  digits.insert(digits.size() - 3, 1, ',');
  return (thousandths < 0 ? "-" : "") + digits;
}

// A count with leading zeros, as coupon and item numbers print: "000042".
inline std::string zeroPadded(std::int64_t number, std::size_t width) {
  std::string digits = std::to_string(number);
  return digits.size() < width ? std::string(width - digits.size(), '0') + digits : digits;
}

}  // namespace zep::simulated
