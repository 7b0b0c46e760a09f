/* The README's sale from C: binds every slot set to the simulated devices,
   opens the coupon, sells two items (the second weighed on the scale),
   prints the sale, closes the coupon and unbinds every set; then shows the
   receipt as zep-host demo does. The fiscal printer takes the blocks the C
   interface builds (const zep_block*); the host frees them.

     cc -std=c99 sale.c $(pkg-config --cflags --libs zep00001)
     ZEP_PACKAGE_PATH=<prefix>/lib/<triplet>/zep00001/simulated ./a.out

   Exits with 1 when a step fails. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <zep00001/zep00001_c.h>

/* The simulated devices' entries, as their headers in drivers/simulated/ give them. */
typedef void (*paper_fn)(void* context, const char* line);
typedef int32_t (*start_fn)(paper_fn paper, void* context);
typedef int32_t (*block_fn)(const zep_block* block);
typedef int32_t (*printing_fn)(const zep_block* block, double* total);
typedef int32_t (*close_fn)(const char* method, double paid);
typedef int32_t (*command_fn)(void);
typedef int32_t (*text_fn)(const char* text);
typedef int32_t (*weigh_fn)(double* kilograms);
typedef const char* (*reason_fn)(void);

enum { OK = 0, UNSTABLE = 2, LINES = 64, COLUMNS = 128 };

/* Every set, with the first model code whose simulated package is bundled;
   the cheque printer's unbind takes none. */
static const char* const sets[][2] = {
    {"ImpFiscal", "1"}, {"ImpCheque", "1"}, {"Display", "1"},   {"Balanca", "4"},   {"Leitor", "1"},
    {"Zep00000", NULL}, {"Zep00400", NULL}, {"Zep00500", NULL}, {"Tef00000", NULL}, {"Sat", NULL}};

static char paper[LINES][COLUMNS];
static int printed = 0;

static void print_line(void* context, const char* line) {
  (void)context;
  if (printed < LINES) snprintf(paper[printed++], COLUMNS, "%s", line);
}

/* The entry in the slot, converted as ISO C allows: through its bytes. */
static void entry(void* function, size_t size, const char* slot) {
  void* address = zep_slot(slot);
  memcpy(function, &address, size);
}
#define ENTRY(variable, slot) entry(&(variable), sizeof(variable), slot)

static int refused(const char* command) {
  reason_fn reason;
  ENTRY(reason, "RetornoImpFiscal");
  fprintf(stderr, "the fiscal printer refused %s: %s\n", command, reason());
  return 1;
}

static int sell(block_fn venda, const char* code, const char* name, const char* unit,
                double quantity, double price) {
  zep_block* block = zep_Params_VendaItem_Zep00000("", "", "", code, name, "T18", "01", unit, "",
                                                   "18,00", "", 0, quantity, price, 0.0, 0.0, 0);
  int32_t status = block != NULL ? venda(block) : -1;
  zep_block_free(block);
  return status == OK ? 0 : refused("VendaItem");
}

static int sale(void) {
  start_fn start;
  block_fn abre, venda;
  printing_fn imprime;
  close_fn fecha;
  command_fn stop, stop_scale, coupon;
  text_fn start_scale;
  weigh_fn weigh;
  ENTRY(start, "StartImpFiscal");
  ENTRY(abre, "AbreCupom");
  ENTRY(venda, "VendaItem");
  ENTRY(imprime, "ImpressaoVenda");
  ENTRY(fecha, "FechaCupom");
  ENTRY(stop, "StopImpFiscal");
  ENTRY(coupon, "Nr_Cupom");
  ENTRY(start_scale, "StartBalanca");
  ENTRY(weigh, "BuscaPeso");
  ENTRY(stop_scale, "StopBalanca");

  if (start(print_line, NULL) != OK) return refused("StartImpFiscal");
  zep_block* block = zep_Params_AbreCupom_Zep00000("", 0, "S", "N", "N", "", "", "", "", "", "CPF",
                                                   "529.982.247-25", "", "", 0);
  int32_t status = block != NULL ? abre(block) : -1;
  zep_block_free(block);
  if (status != OK) return refused("AbreCupom");
  if (sell(venda, "7891234567895", "ARROZ TIPO 1 5KG", "UN", 1.0, 24.90)) return 1;

  /* The scale settles over a few readings; a host asks until it is stable. */
  double kilograms = 0;
  if (start_scale("0.398;0.411;0.412") != OK) return fprintf(stderr, "no scale\n"), 1;
  status = UNSTABLE;
  for (int reading = 0; reading < 10 && status == UNSTABLE; ++reading) status = weigh(&kilograms);
  if (status != OK) return fprintf(stderr, "the scale gave no stable weight\n"), 1;
  if (sell(venda, "2000012", "QUEIJO MINAS", "KG", kilograms, 49.90)) return 1;

  double total = 0;
  block = zep_Params_ImpressaoVenda_Zep00000("", "0001", "003", "", "", "42", "", "MARIA DA SILVA",
                                             "Volte sempre", "COM1", 1, 0.0, 0.0);
  status = block != NULL ? imprime(block, &total) : -1;
  zep_block_free(block);
  if (status != OK) return refused("ImpressaoVenda");
  if (fecha("DINHEIRO", 50.0) != OK) return refused("FechaCupom");
  if (stop() != OK) return refused("StopImpFiscal");
  stop_scale();

  printf("  receipt, coupon %d:\n", (int)coupon());
  const char* rule = "    +----------------------------------------+";
  puts(rule);
  for (int line = 0; line < printed; ++line) printf("    |%-40s|\n", paper[line]);
  puts(rule);
  return 0;
}

int main(void) {
  size_t count = sizeof sets / sizeof sets[0];
  for (size_t set = 0; set < count; ++set) {
    char package[64];
    size_t size = sizeof package;
    if (zep_bind(sets[set][0], sets[set][1]) != ZEP_OK ||
        zep_bound(sets[set][0], package, &size) != ZEP_OK || size == 0) {
      fprintf(stderr, "%s bound no package\n", sets[set][0]);
      return 1;
    }
  }
  int failed = sale();
  for (size_t set = 0; set < count; ++set) {
    int cheque = strcmp(sets[set][0], "ImpCheque") == 0;
    if (zep_unbind(sets[set][0], cheque ? NULL : sets[set][1]) != ZEP_OK) failed = 1;
  }
  return failed;
}
