// A host whose DT_RPATH (and no DT_RUNPATH) the loader searches for what a
// package without DT_RUNPATH needs: binds ZEP01000 and prints what its
// dependency answers, or why the bind was refused.
#include <dlfcn.h>

#include <cstdio>
#include <stdexcept>

#include "zep00001/zep00001.hpp"

int main() {
  try {
    void* library = LoadBPL_FOS("ZEP01000");
    auto start = reinterpret_cast<const char* (*)()>(dlsym(library, "StartImpFiscal"));
    std::puts(start != nullptr ? start() : "no StartImpFiscal");
    UnLoadBPL("ZEP01000");
  } catch (const std::runtime_error& refused) {
    std::printf("refused: %s\n", refused.what());
  }
  return 0;
}
