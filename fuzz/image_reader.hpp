// What must hold of an image read from any bytes: the reader returns (the
// sanitizers see every read out of bounds), its name lists are sorted and
// each name is there once, a file shorter than its own headers say is
// reported damaged, and the explanation built from it can be made.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "object/image.hpp"
#include "shared_package/explain.hpp"

inline void checkImage(const zep::object::Image& image, std::span<const std::uint8_t> bytes) {
  for (const auto* names : {&image.exports, &image.uniqueSymbols, &image.selfCallsByName}) {
    if (std::adjacent_find(names->begin(), names->end(), std::greater_equal<>()) != names->end()) {
      std::fprintf(stderr, "a name list is not sorted and unique\n");
      std::abort();
    }
  }
  if (image.sizeNeeded > bytes.size() && image.defect.empty()) {
    std::fprintf(stderr, "a file cut short is not reported damaged\n");
    std::abort();
  }
  zep::object::explainImage(image, bytes);
}
