// How a driver package in this tree marks its exported entries.
#pragma once

// An entry whose exported name is given as text rather than as an
// identifier: declared ZEP_DRIVER_TEXT_API with the assembler name
// ZEP_DRIVER_ASM_NAME(name), then exported by ZEP_DRIVER_EXPORT_AS(name).
#define ZEP_DRIVER_ASM_TEXT(prefix) #prefix
#define ZEP_DRIVER_ASM_WITH(prefix, name) ZEP_DRIVER_ASM_TEXT(prefix) name
// The target's prefix of C names ("_" on 32-bit Windows) starts the label.
#define ZEP_DRIVER_ASM_NAME(name) ZEP_DRIVER_ASM_WITH(__USER_LABEL_PREFIX__, name)

#if defined(_WIN32)
#define ZEP_DRIVER_API __declspec(dllexport)
// The compiler would write a labelled function's export with the prefix, so
// the linker is told the export itself, in the object's directives.
#define ZEP_DRIVER_TEXT_API
#define ZEP_DRIVER_EXPORT_AS(name) \
  __asm__(".section .drectve\n\t.ascii \" -export:\\\"" name "\\\"\"\n\t.text");
#else
#define ZEP_DRIVER_API __attribute__((visibility("default")))
#define ZEP_DRIVER_TEXT_API ZEP_DRIVER_API
#define ZEP_DRIVER_EXPORT_AS(name)
#endif
