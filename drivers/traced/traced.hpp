// The traced test package (packages/traced/ZEP00101): fiscal-printer entries
// of the shapes a trace stub must pass on unchanged. Every entry answers
// from all it was given, so a caller sees whether each argument arrived.
//   ZEP_TRACED_WORDS(Entry, N)  takes N words, answers weighed(words...)
// The other entries are declared below by their signatures.
#pragma once

#include <cstdint>

#if defined(__x86_64__) && !defined(_WIN32)
#include <immintrin.h>
#define ZEP_TRACED_AVX __attribute__((target("avx")))
#endif

#define ZEP_TRACED_WORD_ENTRIES(X)                                                              \
  X(StartImpFiscal, 0)                                                                          \
  X(CarregaTotalizador, 1)                                                                      \
  X(CarregaRelatorioGer, 2)                                                                     \
  X(CarregaAliquota, 3) X(CarregaRecebimento, 4) X(Verifica_Aliquota, 5) X(DataMoviFiscal, 6)   \
      X(AbreCupom, 7) X(GERA_MF, 8) X(FechaCupom, 9) X(VendaItem, 10) X(Conferencia_Outras, 11) \
          X(Relatorio_Generico, 12)

namespace zep::traced {

using Word = std::intptr_t;

// Each word weighed by its position, so that a word lost, changed or moved
// gives another answer.
template <class... Words>
constexpr Word weighed(Words... words) {
  Word position = 0;
  Word sum = 0;
  ((sum += ++position * static_cast<Word>(words)), ...);
  return sum;
}

struct TwoWords {
  Word first;
  Word second;
};
struct TwoDoubles {
  double first;
  double second;
};

// Conferencia_Formatada: ten doubles (eight in registers, two beyond) and
// words between them; answers their weighed sum as a double.
using Doubles = double(double, double, double, double, Word, double, double, double, double, double,
                       Word, double);
// Cupom_Troca: both words back, swapped (a two-register result).
using SwapWords = TwoWords(Word, Word);
// Abertura_Mesa: both doubles back, swapped (two vector registers).
using SwapDoubles = TwoDoubles(double, double);
// Leitura_X_Imp: raises std::runtime_error("Leitura_X_Imp") carrying the word.
using Throws = Word(Word);
// Reducao_Z_Imp: writes where nothing is mapped, for a process that dies in
// the driver.
using Crashes = void();
// Reducao_Z_Data: three words, weighed; on 32-bit x86 a stdcall entry,
// which pops its arguments itself.
#if defined(__i386__)
#define ZEP_TRACED_STDCALL __stdcall
#else
#define ZEP_TRACED_STDCALL
#endif
using Stdcall = Word ZEP_TRACED_STDCALL(Word, Word, Word);

// RecebVenda: calls back `callback` with `word`, answers its answer plus
// one: a call through the slot again from the callback is a recursion
// through the stub, a longjmp out of it passes the stub.
using Callback = Word (*)(Word);
using CallsBack = Word(Callback callback, Word word);
// DadosUltimaRedZ: the x87 long double given, tripled (in memory, and back
// in st0 on x86).
using Tripled = long double(long double);

#ifdef ZEP_TRACED_AVX
// GeraBinMes: AVX vectors in (ymm0, ymm1) and out (ymm0): a + 2 b, whole.
using Vectors = __m256d(__m256d, __m256d);
#endif

}  // namespace zep::traced
