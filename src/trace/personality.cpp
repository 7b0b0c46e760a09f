// The stubs' personality routine (System V and i686): reached while an
// exception unwinds through a stub, it ends the call there, in the file.
#include <unwind.h>

#include "trace/recorder.hpp"

extern "C" _Unwind_Reason_Code zep_trace_personality(int, _Unwind_Action actions, std::uint64_t,
                                                     _Unwind_Exception*, _Unwind_Context* context) {
  using namespace zep::trace;
  if ((actions & _UA_CLEANUP_PHASE) != 0) {
    auto* record = reinterpret_cast<Record*>(_Unwind_GetGR(context, ZEP_TRACE_RECORD_REGISTER));
    // The record stays pushed: the unwinder reads the caller's return
    // address from it after this, and a signal handler's call meanwhile
    // would take a place given back. The next call from the caller's frame
    // or above pops it, as it pops those a longjmp leaves.
    writeUnwound(self(), *record);
  }
  return _URC_CONTINUE_UNWIND;
}
