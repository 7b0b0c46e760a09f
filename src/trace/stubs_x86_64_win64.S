/* The trace stubs of x86-64 Windows: one a slot, from the slot list, each
   loading its slot's index and going to the one forwarder.

   The forwarder knows no signature. It keeps the four argument registers
   (rcx rdx r8 r9, or xmm0-3 for doubles) across the recorder's call, and
   calls the entry from a frame of its own, into which it has copied the
   caller's stack arguments: the first twelve words beyond the four in
   registers, so entries of up to sixteen arguments receive them all. Every
   Windows x64 call leaves the stack to its caller, so the copy is what the
   entry may use and change. The call's record stands in the frame; the
   unwind information is the frame's (.seh_*), and the frame's handler
   writes the end of a call that an exception unwinds. */

#include "trace/layout.h"

#define ZEP_ENTRY_AS(slot, name) \
  .balign ZEP_TRACE_STUB_SIZE; movl $zep_trace_index, %r11d; jmp zep_trace_forward; .set zep_trace_index, zep_trace_index + 1;

  .text
  .globl zep_trace_stubs
  .balign 16
zep_trace_stubs:
  .set zep_trace_index, 0
#include "zep00001/entries/sets.def"

/* The frame (ZEP_TRACE_WIN64_FRAME): 0 the callees' home area, 32 the
   copied stack words, 128 the argument registers (the recorder reads the
   words from there), 160 the vector arguments (Windows lets the recorder's
   calls change them), 224 the call's record (ZEP_TRACE_WIN64_RECORD), 272
   pad; the caller's return address at 280, its home area at 288, its stack
   arguments from 320. */
#define ZEP_FRAME ZEP_TRACE_WIN64_FRAME
#define ZEP_COPIED(X) \
  X(0) X(8) X(16) X(24) X(32) X(40) X(48) X(56) X(64) X(72) X(80) X(88)
#define ZEP_COPY(at) movq 320 + at(%rsp), %rax; movq %rax, 32 + at(%rsp);
#define ZEP_SAVED_WORDS(X) X(%rcx, 128) X(%rdx, 136) X(%r8, 144) X(%r9, 152)
#define ZEP_SAVED_VECTORS(X) X(%xmm0, 160) X(%xmm1, 176) X(%xmm2, 192) X(%xmm3, 208)
#define ZEP_SAVE_WORD(register, at) movq register, at(%rsp);
#define ZEP_RESTORE_WORD(register, at) movq at(%rsp), register;
#define ZEP_SAVE_VECTOR(register, at) movaps register, at(%rsp);
#define ZEP_RESTORE_VECTOR(register, at) movaps at(%rsp), register;

  .balign 16
  .def zep_trace_forward; .scl 3; .type 32; .endef
  .seh_proc zep_trace_forward
zep_trace_forward:
  subq $ZEP_FRAME, %rsp
  .seh_stackalloc ZEP_FRAME
  .seh_handler zep_trace_unwound, @unwind
  .seh_endprologue
  ZEP_SAVED_WORDS(ZEP_SAVE_WORD)
  ZEP_SAVED_VECTORS(ZEP_SAVE_VECTOR)
  ZEP_COPIED(ZEP_COPY)
  leaq 128(%rsp), %rcx
  movl %r11d, %edx
  leaq ZEP_TRACE_WIN64_RECORD(%rsp), %r8
  call zep_trace_enter_framed
  movq %rax, %r11
  ZEP_SAVED_WORDS(ZEP_RESTORE_WORD)
  ZEP_SAVED_VECTORS(ZEP_RESTORE_VECTOR)
  call *%r11
  movq %rax, 128(%rsp)
  movaps %xmm0, 160(%rsp)
  leaq ZEP_TRACE_WIN64_RECORD(%rsp), %rcx
  movq %rax, %rdx
  call zep_trace_leave_framed
  movq 128(%rsp), %rax
  movaps 160(%rsp), %xmm0
  addq $ZEP_FRAME, %rsp
  ret
  .seh_endproc

  .section .rdata, "dr"
  .balign 4
  .globl zep_trace_stub_count
zep_trace_stub_count:
  .long zep_trace_index
