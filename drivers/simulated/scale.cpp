// The simulated scale: answers the readings its port text scripts.
#include "scale.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "driver_export.hpp"

namespace scale = zep::simulated::scale;
using scale::Status;

extern "C" {
ZEP_DRIVER_API scale::StartBalanca StartBalanca;
ZEP_DRIVER_API scale::BuscaPeso BuscaPeso;
ZEP_DRIVER_API scale::StopBalanca StopBalanca;
}

namespace {

bool started = false;
std::vector<double> readings;
std::size_t next = 0;

}  // namespace

Status StartBalanca(const char* port) {
  if (port == nullptr) return Status::BadPort;
  std::vector<double> parsed;
  const char* at = port;
  const char* end = at + std::strlen(port);
  while (true) {
    double reading = 0;
    auto [stop, error] = std::from_chars(at, end, reading);
    if (error != std::errc() || stop == at || !std::isfinite(reading)) return Status::BadPort;
    parsed.push_back(reading);
    if (stop == end) break;
    if (*stop != ';') return Status::BadPort;
    at = stop + 1;
  }
  readings = std::move(parsed);
  next = 0;
  started = true;
  return Status::Ok;
}

Status BuscaPeso(double* kilograms) {
  if (!started) return Status::NotStarted;
  const bool settled = next + 1 >= readings.size();
  *kilograms = readings[settled ? readings.size() - 1 : next++];
  if (*kilograms > scale::kCapacityKilograms) return Status::Overload;
  if (*kilograms <= 0) return Status::Empty;
  return settled ? Status::Ok : Status::Unstable;
}

Status StopBalanca() {
  if (!started) return Status::NotStarted;
  started = false;
  return Status::Ok;
}
