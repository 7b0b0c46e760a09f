// How a driver package in this tree marks its exported entries.
#pragma once

#if defined(_WIN32)
#define ZEP_DRIVER_API __declspec(dllexport)
#else
#define ZEP_DRIVER_API __attribute__((visibility("default")))
#endif
