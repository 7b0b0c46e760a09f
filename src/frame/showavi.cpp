// The animation's bytes, made at build time by tools/make-showavi.cpp, the
// same bytes the Windows DLL carries as its "SHOWAVI" resource.
#include "zep00001/zep00001.hpp"

namespace {
const std::uint8_t kShowAvi[] = {
#include "showavi.inc"
};
}  // namespace

const std::uint8_t* zep_showavi(std::size_t* size) {
  if (size != nullptr) *size = sizeof kShowAvi;
  return kShowAvi;
}
