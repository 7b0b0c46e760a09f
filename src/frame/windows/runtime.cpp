// The package runtime's entry points. A host's package loader calls them
// after loading the module and before unloading it; the module has nothing
// to initialise or finalise, so each returns at once.
extern "C" {
#define ZEP_PACKAGE_ENTRY(name) \
  void name() {}
#define ZEP_UNIT_ENTRY(name, function) \
  void function() {}
#include "runtime.def"
}
