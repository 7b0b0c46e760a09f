// Calls through the slots of the traced test package (drivers/traced), for
// the trace tests of every platform.
#pragma once

#include <gtest/gtest.h>

#include <csetjmp>
#include <utility>

#include "traced.hpp"
#include "zep00001/zep00001.hpp"

template <class Function>
Function* slotAs(void* slot) {
  return reinterpret_cast<Function*>(slot);
}

// Calls the slot with the words 1000 + position and gives its answer, and
// what the entry answers for those words.
template <std::size_t... Positions>
zep::traced::Word callWithWords(void* slot, std::index_sequence<Positions...>) {
  using Function = zep::traced::Word(decltype(Positions, zep::traced::Word{})...);
  return slotAs<Function>(slot)(static_cast<zep::traced::Word>(1000 + Positions)...);
}
template <std::size_t... Positions>
zep::traced::Word weighedWords(std::index_sequence<Positions...>) {
  return zep::traced::weighed(static_cast<zep::traced::Word>(1000 + Positions)...);
}

// Every shape in the order of traced.hpp, each answer checked: the entries
// of 0 to 12 words, then Conferencia_Formatada, Cupom_Troca, Abertura_Mesa.
inline void callEveryShape() {
#define ZEP_CALL_WORDS(entry, count)                                 \
  EXPECT_EQ(callWithWords(entry, std::make_index_sequence<count>()), \
            weighedWords(std::make_index_sequence<count>()))         \
      << #entry;
  ZEP_TRACED_WORD_ENTRIES(ZEP_CALL_WORDS)
#undef ZEP_CALL_WORDS
  EXPECT_EQ(slotAs<zep::traced::Doubles>(Conferencia_Formatada)(0.5, 1.5, 2.5, 3.5, 4, 5.5, 6.5,
                                                                7.5, 8.5, 9.5, 10, 11.5),
            0.5 + 2 * 1.5 + 3 * 2.5 + 4 * 3.5 + 5 * 4 + 6 * 5.5 + 7 * 6.5 + 8 * 7.5 + 9 * 8.5 +
                10 * 9.5 + 11 * 10 + 12 * 11.5);
  const zep::traced::TwoWords words = slotAs<zep::traced::SwapWords>(Cupom_Troca)(7, -9);
  EXPECT_EQ(words.first, -9);
  EXPECT_EQ(words.second, 7);
  const zep::traced::TwoDoubles doubles =
      slotAs<zep::traced::SwapDoubles>(Abertura_Mesa)(0.25, -8.0);
  EXPECT_EQ(doubles.first, -8.0);
  EXPECT_EQ(doubles.second, 0.25);
}

// RecebVenda's callbacks: down(n) calls the slot again n deep; jumps leaves
// it by longjmp to `away`.
inline std::jmp_buf away;
inline zep::traced::Word down(zep::traced::Word n) {
  return n == 0 ? 0 : slotAs<zep::traced::CallsBack>(RecebVenda)(down, n - 1);
}
[[noreturn]] inline zep::traced::Word jumps(zep::traced::Word) { std::longjmp(away, 1); }

// A recursion `depth` deep through RecebVenda's stub (depth + 1 calls), a
// longjmp out of a call of it, and a call of CarregaTotalizador after: each
// answer checked.
inline void recurseAndJump(zep::traced::Word depth) {
  EXPECT_EQ(slotAs<zep::traced::CallsBack>(RecebVenda)(down, depth), depth + 1);
  if (setjmp(away) == 0) {
    slotAs<zep::traced::CallsBack>(RecebVenda)(jumps, 1);
    ADD_FAILURE() << "no longjmp";
  }
  EXPECT_EQ(slotAs<zep::traced::Word(zep::traced::Word)>(CarregaTotalizador)(7), 7)
      << "after the longjmp";
}
