// Export markers of the module and of the shared package.
#pragma once

// ZEP_API marks what the module exports, ZEP_SHARED_API the shared package's
// three operations. On Windows each side exports while it is being built and
// imports otherwise; on ELF both are plain default visibility, since the
// libraries are built with hidden visibility and a version script.
#if defined(_WIN32)
#if defined(ZEP_BUILDING_MODULE)
#define ZEP_API __declspec(dllexport)
#else
#define ZEP_API __declspec(dllimport)
#endif
#if defined(ZEP_BUILDING_SHARED_PACKAGE)
#define ZEP_SHARED_API __declspec(dllexport)
#else
#define ZEP_SHARED_API __declspec(dllimport)
#endif
#else
#define ZEP_API __attribute__((visibility("default")))
#define ZEP_SHARED_API __attribute__((visibility("default")))
#endif
