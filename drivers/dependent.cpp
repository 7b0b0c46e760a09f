// A package that needs a library the loader will not find.
#include "driver_export.hpp"

extern "C" const char* zep_absent_dependency();

extern "C" ZEP_DRIVER_API const char* StartImpFiscal() { return zep_absent_dependency(); }
