// What many C++ drivers carry without knowing it: the static of an inline
// function is a GNU-unique symbol unless the package is built with
// -fno-gnu-unique, and glibc then keeps the package mapped for good.
#include "driver_export.hpp"

ZEP_DRIVER_API inline int& openPorts() {
  static int count = 0;
  return count;
}

extern "C" ZEP_DRIVER_API int diagnostic_open_ports() { return ++openPorts(); }
