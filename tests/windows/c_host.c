/* A C host as a till's program in another language is written: it declares
   the C interface's functions itself, __stdcall and by their plain names,
   and finds them in zep00001_c.dll with GetProcAddress. It asks the
   version, binds a set against the tree's packages and calls an entry
   through its slot, reads a block, receives the cheque printer's failure
   through its message handler, and reads the version resource of each of
   the project's DLLs. Prints what went wrong and exits with 1. */
#include <windows.h>
//
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "zep00001/version.h"

typedef void(__stdcall* message_handler)(void* context, const char* text, const char* text2,
                                         const char* text3, const char* text4, int32_t kind,
                                         const char* text5, const char* text6, int32_t number,
                                         void* data_set);

static const char*(__stdcall* zep_version)(void);
static int(__stdcall* zep_bind)(const char* set, const char* model);
static int(__stdcall* zep_unbind)(const char* set, const char* model);
static void*(__stdcall* zep_slot)(const char* slot);
static void*(__stdcall* zep_Params_VerificaSerialImp_Zep00000)(int UTILIZAIMPFIS,
                                                               const char* DSDIRCAD,
                                                               const char* ESQUEMACOR,
                                                               const char* REV_NRSERIE_IMP);
static size_t(__stdcall* zep_block_size)(const void* block);
static const char*(__stdcall* zep_block_key)(const void* block, size_t pair);
static int(__stdcall* zep_block_boolean)(const void* block, size_t pair);
static void(__stdcall* zep_block_free)(void* block);
static int(__stdcall* zep_set_message_handler)(message_handler handler, void* context);
static int(__stdcall* zep_trace_start)(const char* file);

static int failures = 0;

static void check(int holds, const char* what) {
  if (!holds) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

static int same(const char* text, const char* expected) {
  return text != NULL && strcmp(text, expected) == 0;
}

/* Puts the export `name` into `function`, or says that it is missing. */
static int find(HMODULE library, const char* name, void* function, size_t size) {
  FARPROC found = GetProcAddress(library, name);
  if (found == NULL) fprintf(stderr, "zep00001_c.dll exports no %s\n", name);
  memcpy(function, &found, size);
  return found != NULL;
}
#define FIND(name) find(library, #name, &name, sizeof name)

struct received {
  int calls;
  DWORD thread;
  int as_expected;
};

static void __stdcall receive(void* context, const char* text, const char* text2, const char* text3,
                              const char* text4, int32_t kind, const char* text5, const char* text6,
                              int32_t number, void* data_set) {
  static const char tail[] = "\rErro na carga do pacote: ZEP00700";
  struct received* received = context;
  size_t length = strlen(text);
  ++received->calls;
  received->thread = GetCurrentThreadId();
  received->as_expected = length > sizeof tail - 1 &&
                          same(text + length - (sizeof tail - 1), tail) && same(text2, "") &&
                          same(text3, "N") && same(text4, "N") && kind == 3 && same(text5, "") &&
                          same(text6, "001") && number == 0 && data_set == NULL;
}

static const char* version_text(const void* info, const char* name) {
  char path[128];
  void* value = NULL;
  UINT length = 0;
  snprintf(path, sizeof path, "\\StringFileInfo\\040904B0\\%s", name);
  return VerQueryValueA(info, path, &value, &length) && length > 0 ? value : "";
}

/* The version resource of the DLL `file` (named `name`). */
static void check_version(const char* file, const char* name) {
  char info[4096];
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  DWORD size = GetFileVersionInfoSizeA(file, NULL);
  if (size == 0 || size > sizeof info || !GetFileVersionInfoA(file, 0, size, info) ||
      !VerQueryValueA(info, "\\", (void**)&fixed, &length)) {
    fprintf(stderr, "failed: %s carries no version resource\n", name);
    ++failures;
    return;
  }
  check(fixed->dwFileVersionMS == MAKELONG(ZEP_VERSION_MINOR, ZEP_VERSION_MAJOR) &&
            fixed->dwFileVersionLS == MAKELONG(0, ZEP_VERSION_PATCH) &&
            fixed->dwProductVersionMS == fixed->dwFileVersionMS,
        "file and product version");
  check(same(version_text(info, "FileVersion"), ZEP_VERSION), "FileVersion");
  check(same(version_text(info, "ProductVersion"), ZEP_VERSION), "ProductVersion");
  check(same(version_text(info, "OriginalFilename"), name), "OriginalFilename");
  check(version_text(info, "FileDescription")[0] != '\0', "FileDescription");
}

int main(void) {
  struct received received = {0, 0, 0};
  HMODULE library = LoadLibraryExA(ZEP_C_LIBRARY_FILE, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == NULL) {
    fprintf(stderr, "cannot load %s (error %lu)\n", ZEP_C_LIBRARY_FILE, GetLastError());
    return 1;
  }
  if (!(FIND(zep_version) && FIND(zep_bind) && FIND(zep_unbind) && FIND(zep_slot) &&
        FIND(zep_Params_VerificaSerialImp_Zep00000) && FIND(zep_block_size) &&
        FIND(zep_block_key) && FIND(zep_block_boolean) && FIND(zep_block_free) &&
        FIND(zep_set_message_handler) && FIND(zep_trace_start))) {
    return 1;
  }

  check(same(zep_version(), ZEP_VERSION), "zep_version");
  check(zep_trace_start(NULL) == 2, "zep_trace_start NULL");

  SetEnvironmentVariableA("ZEP_PACKAGE_PATH", ZEP_TEST_PACKAGES "/answering");
  check(zep_bind("Sat", NULL) == 0, "zep_bind Sat");
  {
    void* slot = zep_slot("EmitirVenda");
    const char* (*entry)(void) = NULL;
    memcpy(&entry, &slot, sizeof entry);
    check(entry != NULL && same(entry(), "answering/zep03000:EmitirVenda"), "the slot's entry");
  }
  check(zep_unbind("Sat", NULL) == 0 && zep_slot("EmitirVenda") == NULL, "zep_unbind Sat");

  {
    void* block = zep_Params_VerificaSerialImp_Zep00000(1, "C:\\CAD", "PADRAO", "BE0123");
    check(zep_block_size(block) == 4 && same(zep_block_key(block, 3), "REV_NRSERIE_IMP") &&
              zep_block_boolean(block, 0) == 1,
          "the block");
    zep_block_free(block);
  }

  SetEnvironmentVariableA("ZEP_PACKAGE_PATH", ZEP_TEST_PACKAGES "/broken");
  check(zep_set_message_handler(receive, &received) == 0, "zep_set_message_handler");
  check(zep_bind("ImpCheque", "1") == 0, "zep_bind ImpCheque");
  check(received.calls == 1 && received.thread == GetCurrentThreadId() && received.as_expected,
        "the handler receives the cheque printer's failure once, with its nine arguments");
  check(zep_set_message_handler(NULL, NULL) == 0, "zep_set_message_handler NULL");

  check_version(ZEP_C_LIBRARY_FILE, "zep00001_c.dll");
  check_version(ZEP_MODULE_FILE, "PKG_ZEP00001.dll");
  check_version(ZEP_SHARED_PACKAGE_FILE, "_dll.dll");
  return failures == 0 ? 0 : 1;
}
