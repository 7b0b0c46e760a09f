/* A C host of the peripheral-binding module, through its C interface:
   binds the SAT set and calls an entry through its slot, asks which package
   a fiscal model code selects, builds a parameter block and reads it, and
   shows why a package would not load.

     cc -std=c99 example.c $(pkg-config --cflags --libs zep00001)
     ZEP_PACKAGE_PATH=/path/to/packages ./a.out

   Exits with 1 when a call fails that should not. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zep00001/zep00001_c.h>

/* The calling thread's last error, in a buffer as long as it needs. */
static char* last_error(void) {
  size_t size = 0;
  zep_last_error(NULL, &size); /* the length alone */
  size_t room = size + 1;
  char* text = malloc(room);
  if (text != NULL && zep_last_error(text, &room) != ZEP_OK) text[0] = '\0';
  return text;
}

static int fail(const char* what) {
  char* error = last_error();
  fprintf(stderr, "%s failed: %s\n", what, error != NULL ? error : "(out of memory)");
  free(error);
  return 1;
}

/* The test packages' entries take nothing and answer with their name. */
typedef const char* (*answer_entry)(void);

static int call_through_slot(void) {
  if (zep_bind("Sat", NULL) != ZEP_OK) return fail("zep_bind Sat");
  void* slot = zep_slot("EmitirVenda");
  if (slot == NULL) {
    zep_unbind("Sat", NULL);
    return fail("zep_slot EmitirVenda");
  }
  /* A slot is an object pointer; copying its bytes is how ISO C makes it
     the entry's function pointer. */
  answer_entry emitir_venda;
  memcpy(&emitir_venda, &slot, sizeof emitir_venda);
  printf("EmitirVenda answers %s\n", emitir_venda());
  if (zep_unbind("Sat", NULL) != ZEP_OK) return fail("zep_unbind Sat");
  return zep_slot("EmitirVenda") == NULL ? 0 : fail("clearing EmitirVenda");
}

static int select_package(void) {
  char package[16];
  size_t size = sizeof package;
  if (zep_select("ImpFiscal", "21", package, &size) != ZEP_OK) return fail("zep_select");
  printf("fiscal model 21 is served by %s\n", package);
  return 0;
}

static int build_block(void) {
  zep_block* block =
      zep_Params_VendaItem_Zep00000("PADRAO", "12", "N", "7891000100103", "CAFE TORRADO 500G", "T1",
                                    "01", "UN", "F", "18.00", "N", 0, 2.0, 15.9, 1.5, 0.0, 0);
  if (block == NULL) return fail("zep_Params_VendaItem_Zep00000");
  for (size_t pair = 0; pair < zep_block_size(block); ++pair) {
    printf("  %-10s ", zep_block_key(block, pair));
    switch (zep_block_tag(block, pair)) {
      case ZEP_TAG_STRING:
        printf("\"%s\"\n", zep_block_string(block, pair, NULL));
        break;
      case ZEP_TAG_INTEGER:
        printf("%ld\n", (long)zep_block_integer(block, pair));
        break;
      case ZEP_TAG_DOUBLE:
        printf("%.2f\n", zep_block_double(block, pair));
        break;
      case ZEP_TAG_BOOLEAN:
        printf("%s\n", zep_block_boolean(block, pair) ? "true" : "false");
        break;
    }
  }
  zep_block_free(block);
  return 0;
}

static int missing_package(void) {
  /* Scale model 1 selects "X", a package no tree bundles. */
  if (zep_bind("Balanca", "1") != ZEP_ERR_LOAD) return fail("zep_bind Balanca 1, expected to");
  char* error = last_error();
  printf("scale model 1 does not bind:\n%s\n", error != NULL ? error : "(out of memory)");
  free(error);
  return 0;
}

int main(void) {
  return call_through_slot() || select_package() || build_block() || missing_package();
}
