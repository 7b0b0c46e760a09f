/* What the trace stubs (the .S files) and the recorder (C++) both rely on:
   the size of a stub, where the stubs find their fields in a call's record,
   the Windows x64 forwarder's frame, and how many argument words a call
   record carries. Read by the assembler too, so nothing but #defines;
   stubs.hpp checks them against the C++ types. */
#ifndef ZEP_TRACE_LAYOUT_H
#define ZEP_TRACE_LAYOUT_H

/* Each stub: stub i at zep_trace_stubs + i * ZEP_TRACE_STUB_SIZE. */
#define ZEP_TRACE_STUB_SIZE 16

#if defined(__x86_64__) || defined(_M_X64)
#define ZEP_TRACE_WORD 8
#else
#define ZEP_TRACE_WORD 4
#endif

/* zep::trace::Record: the caller's return address, the register the stub
   keeps the record in (saved), and the entry; the unwind information of
   the stubs names the two first. */
#define ZEP_TRACE_RECORD_RETURN_ADDRESS 0
#define ZEP_TRACE_RECORD_SAVED_REGISTER ZEP_TRACE_WORD
#define ZEP_TRACE_RECORD_TARGET (2 * ZEP_TRACE_WORD)
#define ZEP_TRACE_RECORD_SIZE (6 * ZEP_TRACE_WORD)
/* The DWARF number of the register that holds the record while the entry
   runs: rbx on x86-64 System V, ebx on i686 (3 both). */
#define ZEP_TRACE_RECORD_REGISTER 3

/* The Windows x64 forwarder's frame: the call's record at
   ZEP_TRACE_WIN64_RECORD above the stack pointer it establishes. */
#define ZEP_TRACE_WIN64_FRAME 280
#define ZEP_TRACE_WIN64_RECORD 224

/* The argument words a call record carries: those in registers on x86-64
   (six on System V, four on Windows), the first eight stack words on i686. */
#if defined(_WIN32) && ZEP_TRACE_WORD == 8
#define ZEP_TRACE_CALL_WORDS 4
#elif ZEP_TRACE_WORD == 8
#define ZEP_TRACE_CALL_WORDS 6
#else
#define ZEP_TRACE_CALL_WORDS 8
#endif

#endif
