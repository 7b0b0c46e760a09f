// The traced test package: see traced.hpp.
#include "traced.hpp"

#include <stdexcept>
#include <string>

#include "driver_export.hpp"

using namespace zep::traced;

#define ZEP_WORDS_0
#define ZEP_WORDS_1 Word a
#define ZEP_WORDS_2 ZEP_WORDS_1, Word b
#define ZEP_WORDS_3 ZEP_WORDS_2, Word c
#define ZEP_WORDS_4 ZEP_WORDS_3, Word d
#define ZEP_WORDS_5 ZEP_WORDS_4, Word e
#define ZEP_WORDS_6 ZEP_WORDS_5, Word f
#define ZEP_WORDS_7 ZEP_WORDS_6, Word g
#define ZEP_WORDS_8 ZEP_WORDS_7, Word h
#define ZEP_WORDS_9 ZEP_WORDS_8, Word i
#define ZEP_WORDS_10 ZEP_WORDS_9, Word j
#define ZEP_WORDS_11 ZEP_WORDS_10, Word k
#define ZEP_WORDS_12 ZEP_WORDS_11, Word l
#define ZEP_NAMES_0
#define ZEP_NAMES_1 a
#define ZEP_NAMES_2 ZEP_NAMES_1, b
#define ZEP_NAMES_3 ZEP_NAMES_2, c
#define ZEP_NAMES_4 ZEP_NAMES_3, d
#define ZEP_NAMES_5 ZEP_NAMES_4, e
#define ZEP_NAMES_6 ZEP_NAMES_5, f
#define ZEP_NAMES_7 ZEP_NAMES_6, g
#define ZEP_NAMES_8 ZEP_NAMES_7, h
#define ZEP_NAMES_9 ZEP_NAMES_8, i
#define ZEP_NAMES_10 ZEP_NAMES_9, j
#define ZEP_NAMES_11 ZEP_NAMES_10, k
#define ZEP_NAMES_12 ZEP_NAMES_11, l

#define ZEP_TRACED_WORDS(entry, count) \
  extern "C" ZEP_DRIVER_API Word entry(ZEP_WORDS_##count) { return weighed(ZEP_NAMES_##count); }
ZEP_TRACED_WORD_ENTRIES(ZEP_TRACED_WORDS)

extern "C" {

ZEP_DRIVER_API double Conferencia_Formatada(double a, double b, double c, double d, Word e,
                                            double f, double g, double h, double i, double j,
                                            Word k, double l) {
  return a + 2 * b + 3 * c + 4 * d + 5.0 * static_cast<double>(e) + 6 * f + 7 * g + 8 * h + 9 * i +
         10 * j + 11.0 * static_cast<double>(k) + 12 * l;
}

ZEP_DRIVER_API TwoWords Cupom_Troca(Word first, Word second) { return {second, first}; }

ZEP_DRIVER_API TwoDoubles Abertura_Mesa(double first, double second) { return {second, first}; }

ZEP_DRIVER_API Word Leitura_X_Imp(Word word) {
  throw std::runtime_error("Leitura_X_Imp " + std::to_string(word));
}

// An address of no mapping, read at run time: a null pointer a sanitizer
// would catch before the processor does, a constant the compiler.
ZEP_DRIVER_API void Reducao_Z_Imp() {
  static volatile std::uintptr_t nowhere = 64;
  *reinterpret_cast<volatile int*>(nowhere) = 1;
}

ZEP_DRIVER_API Word ZEP_TRACED_STDCALL Reducao_Z_Data(Word a, Word b, Word c) {
  return weighed(a, b, c);
}

ZEP_DRIVER_API Word RecebVenda(Callback callback, Word word) { return callback(word) + 1; }

ZEP_DRIVER_API long double DadosUltimaRedZ(long double value) { return value * 3; }

#ifdef ZEP_TRACED_AVX
ZEP_DRIVER_API ZEP_TRACED_AVX __m256d GeraBinMes(__m256d a, __m256d b) {
  return _mm256_add_pd(a, _mm256_add_pd(b, b));
}
#endif
}
