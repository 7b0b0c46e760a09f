/* The trace stubs of x86-64 System V: one a slot, from the slot list, each
   loading its slot's index and going to the one forwarder.

   The forwarder knows no signature: it saves every integer argument
   register (and al, the vector count of a variadic call, and r10, a static
   chain), asks the recorder for the entry's address, restores them, takes
   the caller's return address off the stack and calls the entry, which so
   finds its stack arguments where the caller put them. The recorder touches
   no vector or x87 register (recorder.hpp), so those pass to the entry and
   back to the caller as they are, of every width. The caller's return
   address waits in the thread's side stack, in the record that rbx points
   to while the entry runs; the unwind information says so, so that an
   exception thrown by the entry passes through to the caller's handler.
   After the return, the recorder writes the end and gives back the return
   address and rbx. */

#include "trace/layout.h"

#define ZEP_ENTRY_AS(slot, name) \
  .balign ZEP_TRACE_STUB_SIZE; movl $zep_trace_index, %r11d; jmp zep_trace_forward; .set zep_trace_index, zep_trace_index + 1;

  .text
  .globl zep_trace_stubs
  .hidden zep_trace_stubs
  .balign 16
zep_trace_stubs:
  .set zep_trace_index, 0
#include "zep00001/entries/sets.def"

  /* Saved across the recorder's call, each in its place of the frame: the
     argument words in the order the recorder reads them, then al and r10. */
#define ZEP_SAVED_WORDS(X) \
  X(%rdi, 0) X(%rsi, 8) X(%rdx, 16) X(%rcx, 24) X(%r8, 32) X(%r9, 40) X(%rax, 48) X(%r10, 56)
#define ZEP_SAVE_WORD(register, at) movq register, at(%rsp);
#define ZEP_RESTORE_WORD(register, at) movq at(%rsp), register;

  .balign 16
  .type zep_trace_forward, @function
zep_trace_forward:
  .cfi_startproc
  .cfi_personality 0x9b, DW.ref.zep_trace_personality
  subq $72, %rsp
  .cfi_adjust_cfa_offset 72
  ZEP_SAVED_WORDS(ZEP_SAVE_WORD)
  movq %rsp, %rdi
  movl %r11d, %esi
  leaq 72(%rsp), %rdx
  movq %rbx, %rcx
  call zep_trace_enter
  movq %rax, %r11
  movq %rdx, %rbx
  /* rbx: at the record's second word (DW_CFA_expression rbx, breg3 + it) */
  .cfi_escape 0x10, 0x03, 0x02, 0x73, ZEP_TRACE_RECORD_SAVED_REGISTER
  ZEP_SAVED_WORDS(ZEP_RESTORE_WORD)
  addq $80, %rsp
  /* The return address now waits in the record's first word
     (DW_CFA_expression rip, breg3 + 0), and the stack is the caller's. The
     unwinder tells frames apart by their stack pointers, which the entry
     now shares with its caller: this frame's CFA is put one word above
     the caller's stack pointer, which is given outright (DW_CFA_val_offset
     rsp, 1 x -8, spelt out: clang's assembler lacks .cfi_val_offset). */
  .cfi_def_cfa_offset 8
  .cfi_escape 0x14, 0x07, 0x01
  .cfi_escape 0x10, 0x10, 0x02, 0x73, ZEP_TRACE_RECORD_RETURN_ADDRESS
  call *%r11
  .cfi_def_cfa_offset 0
  .cfi_restore %rsp
  /* rax and rdx, the results in integer registers, a pad, and a word for
     the return address; the others the recorder leaves alone. */
  subq $32, %rsp
  .cfi_adjust_cfa_offset 32
  movq %rax, 0(%rsp)
  movq %rdx, 8(%rsp)
  movq %rbx, %rdi
  movq %rax, %rsi
  call zep_trace_leave
  movq %rax, 24(%rsp)
  .cfi_offset %rip, -8
  movq %rdx, %rbx
  .cfi_restore %rbx
  movq 0(%rsp), %rax
  movq 8(%rsp), %rdx
  addq $24, %rsp
  .cfi_adjust_cfa_offset -24
  ret
  .cfi_endproc
  .size zep_trace_forward, . - zep_trace_forward

  .section .rodata
  .balign 4
  .globl zep_trace_stub_count
  .hidden zep_trace_stub_count
zep_trace_stub_count:
  .long zep_trace_index

  /* The personality routine, reached the way compilers reach theirs from
     position-independent code. */
  .hidden DW.ref.zep_trace_personality
  .weak DW.ref.zep_trace_personality
  .section .data.rel.local.DW.ref.zep_trace_personality, "awG", @progbits, DW.ref.zep_trace_personality, comdat
  .balign 8
  .type DW.ref.zep_trace_personality, @object
  .size DW.ref.zep_trace_personality, 8
DW.ref.zep_trace_personality:
  .quad zep_trace_personality

  .section .note.GNU-stack, "", @progbits
