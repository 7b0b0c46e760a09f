// What a load of a package that must be refused says ("" when it loads).
#pragma once

#include <stdexcept>
#include <string>

#include "zep00001/zep00001.hpp"

inline std::string loadRefusal(const char* package) {
  try {
    LoadBPL_FOS(package);
    UnLoadBPL(package);
  } catch (const std::runtime_error& refused) {
    return refused.what();
  }
  return "";
}
