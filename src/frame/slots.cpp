// The entry-point slots of every set, null until their set is bound.
#include "zep00001/zep00001.hpp"

extern "C" {
#define ZEP_ENTRY(slot) void* slot = nullptr;
#include "zep00001/entries/sets.def"
}
