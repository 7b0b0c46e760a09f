/* A builder's parameters as the C interface takes them, expanded from a row
   of entries/builders.def: ZEP_C_PARAMETER gives ", <type> <name>". The
   header's written-out declarations are held to this expansion. */
#ifndef ZEP00001_C_PARAMETERS_H
#define ZEP00001_C_PARAMETERS_H

#include "zep00001/entries/expand.h"

#define ZEP_C_TYPE_Text const char*
#define ZEP_C_TYPE_Integer int32_t
#define ZEP_C_TYPE_Double double
#define ZEP_C_TYPE_Boolean int
#define ZEP_C_PARAMETER(kind, passing, name, pair) , ZEP_C_TYPE_##kind name

#endif
