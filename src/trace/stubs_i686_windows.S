/* The trace stubs of 32-bit Windows: one a slot, from the slot list, each
   pushing its slot's index and going to the one forwarder.

   The forwarder knows no signature nor convention: it keeps eax, ecx and
   edx (Delphi's register convention passes arguments in them), asks the
   recorder for the entry and a record on the thread's side stack, takes
   the index and the caller's return address off the stack and calls the
   entry, which so finds its stack arguments where the caller put them and
   pops what it pops (stdcall) or nothing (cdecl). The caller's return
   address waits in the record, which ebx points to while the entry runs;
   the unwind information says so, so that an exception of the entry passes
   through to the caller's handler. After the return the recorder writes the
   end, and the forwarder returns to the caller from wherever the entry left
   the stack, keeping the result in eax:edx or st0. Register numbers are
   DWARF's: ebx 3, esp 4, eip 8. */

#include "trace/layout.h"

#define ZEP_ENTRY_AS(slot, name) \
  .balign ZEP_TRACE_STUB_SIZE; pushl $zep_trace_index; jmp zep_trace_forward; .set zep_trace_index, zep_trace_index + 1;

  .text
  .globl _zep_trace_stubs
  .balign 16
_zep_trace_stubs:
  .set zep_trace_index, 0
#include "zep00001/entries/sets.def"

/* The frame while the recorder runs: 0 its four arguments, 16 eax, 20 ecx,
   24 edx; then the index at 28, the caller's return address at 32 and its
   stack arguments from 36. */
  .balign 16
  .def zep_trace_forward; .scl 3; .type 32; .endef
zep_trace_forward:
  .cfi_startproc
  .cfi_personality 0x9b, zep_trace_personality_reference
  .cfi_def_cfa_offset 8
  subl $28, %esp
  .cfi_adjust_cfa_offset 28
  movl %eax, 16(%esp)
  movl %ecx, 20(%esp)
  movl %edx, 24(%esp)
  leal 36(%esp), %eax
  movl %eax, 0(%esp)
  movl 28(%esp), %eax
  movl %eax, 4(%esp)
  leal 32(%esp), %eax
  movl %eax, 8(%esp)
  movl %ebx, 12(%esp)
  call _zep_trace_enter
  movl %edx, %ebx
  /* ebx: at the record's second word (DW_CFA_expression ebx, breg3 + 4) */
  .cfi_escape 0x10, 0x03, 0x02, 0x73, ZEP_TRACE_RECORD_SAVED_REGISTER
  movl 16(%esp), %eax
  movl 20(%esp), %ecx
  movl 24(%esp), %edx
  addl $36, %esp
  /* The return address waits in the record's first word (eip, breg3 + 0),
     and the stack is the caller's. The unwinder tells frames apart by their
     stack pointers, which the entry now shares with its caller: this
     frame's CFA is put one word above the caller's stack pointer, which is
     given outright. */
  .cfi_def_cfa_offset 4
  .cfi_val_offset 4, -4
  .cfi_escape 0x10, 0x08, 0x02, 0x73, ZEP_TRACE_RECORD_RETURN_ADDRESS
  call *ZEP_TRACE_RECORD_TARGET(%ebx)
  /* Wherever the entry left the stack is the caller's after the return. */
  .cfi_def_cfa_offset 0
  .cfi_restore 4
  /* 0 the recorder's two arguments, 8 eax, 12 edx, 16 the x87 status word,
     20 st0, 36 the return address (just below the caller's stack). */
  subl $40, %esp
  .cfi_adjust_cfa_offset 40
  movl %eax, 8(%esp)
  movl %edx, 12(%esp)
  /* A floating-point result stands in st0: kept off the x87 stack while
     the recorder runs, which expects it empty. */
  fnstsw 16(%esp)
  testw $0x3800, 16(%esp)
  jz 1f
  fstpt 20(%esp)
1:
  movl %ebx, 0(%esp)
  movl %eax, 4(%esp)
  call _zep_trace_leave
  movl %eax, 36(%esp)
  .cfi_offset 8, -4
  movl %edx, %ebx
  .cfi_restore 3
  testw $0x3800, 16(%esp)
  jz 2f
  fldt 20(%esp)
2:
  movl 8(%esp), %eax
  movl 12(%esp), %edx
  addl $36, %esp
  .cfi_adjust_cfa_offset -36
  ret
  .cfi_endproc

  .section .rdata, "dr"
  .balign 4
  .globl _zep_trace_stub_count
_zep_trace_stub_count:
  .long zep_trace_index

  /* The personality routine, reached as the compiler reaches its own. */
  .data
  .balign 4
zep_trace_personality_reference:
  .long _zep_trace_personality
