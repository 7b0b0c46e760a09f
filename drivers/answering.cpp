// A driver package whose every entry answers with "<label>:<entry name>", so
// that a caller going through a slot sees which package and entry it reached.
// Built once per package name and variant from the set's own entry rows:
//   ZEP_DRIVER_ROWS   the set's row file, e.g. "zep00001/entries/sat.def"
//   ZEP_DRIVER_LABEL  what the answers start with
// A variant renames an entry with -D<Entry>=<other name> (a package that
// lacks the entry or spells it otherwise), or defines ZEP_DRIVER_SLOT_SPELLING
// to export a renamed slot's entry under the slot's spelling.

#include "driver_export.hpp"

#define ZEP_ANSWER(function, name) \
  extern "C" ZEP_DRIVER_API const char* function() { return ZEP_DRIVER_LABEL ":" name; }

// Stringizing takes the row's name before any renaming define applies.
#define ZEP_ENTRY(name) ZEP_ANSWER(name, #name)

#if defined(ZEP_DRIVER_SLOT_SPELLING)
#define ZEP_ENTRY_AS(slot, name) ZEP_ANSWER(slot, name)
#else
// The exported name is the entry's text, which is no identifier of its own.
#define ZEP_ENTRY_AS(slot, name)                                                                 \
  extern "C" ZEP_DRIVER_TEXT_API const char* answer_##slot() __asm__(ZEP_DRIVER_ASM_NAME(name)); \
  extern "C" const char* answer_##slot() { return ZEP_DRIVER_LABEL ":" name; }                   \
  ZEP_DRIVER_EXPORT_AS(name)
#endif

#include ZEP_DRIVER_ROWS

#undef ZEP_ENTRY
#undef ZEP_ENTRY_AS
