// The Windows x64 forwarder's exception handler: an exception unwinding
// through the stub's frame ends the call there, in the file.
#include <windows.h>

#include "trace/stubs.hpp"

extern "C" {

void zep_trace_unwound_framed(zep::trace::Record* record) noexcept;

// The forwarder's frame holds the call's record at ZEP_TRACE_WIN64_RECORD
// bytes above the stack pointer it establishes (stubs_x86_64_win64.S).
EXCEPTION_DISPOSITION zep_trace_unwound(EXCEPTION_RECORD* exception, void* frame, CONTEXT*, void*) {
  if ((exception->ExceptionFlags & EXCEPTION_UNWIND) != 0) {
    zep_trace_unwound_framed(
        reinterpret_cast<zep::trace::Record*>(static_cast<char*>(frame) + ZEP_TRACE_WIN64_RECORD));
  }
  return ExceptionContinueSearch;
}
}
