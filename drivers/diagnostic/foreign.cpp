// A fiscal-printer package built for 32-bit x86: a till whose driver folder
// still holds the old 32-bit build. Linked without the C library, which the
// 64-bit machine that builds it may not have for 32 bits.
extern "C" __attribute__((visibility("default"))) const char* StartImpFiscal() {
  return "foreign/ZEP00101:StartImpFiscal";
}
