/* The C interface of the peripheral-binding module, for hosts in any
   language that can call C (C#, Python, Java, Pascal...). It is a thin layer
   over the module's own operations: every call goes to the module, and no
   C++ type and no exception crosses it. Valid C99 and C++.

   Texts are NUL-terminated bytes, passed on unchanged. A function that
   fails returns its error code (or NULL, or 0) and leaves a message for
   zep_last_error on the calling thread.

   Link with libzep00001_c (pkg-config zep00001, or the CMake target
   zep00001::c). */
#ifndef ZEP00001_C_H
#define ZEP00001_C_H

#include <stddef.h>
#include <stdint.h>

/* ZEP_VERSION_MAJOR, ZEP_VERSION_MINOR, ZEP_VERSION_PATCH and ZEP_VERSION,
   the version this header belongs to. */
#include "zep00001/version.h"

/* ZEP_CALL is the calling convention of every function here and of the
   message handler: on 32-bit Windows __stdcall, the convention of Windows
   DLL interfaces (Delphi's stdcall, VB, .NET's default marshalling), and
   there the library exports each function under its plain name (zep_bind),
   while its import library gives a C compiler the name it asks for
   (_zep_bind@8). Elsewhere the platform's one convention. ZEP_C_API marks
   the functions exported from the library and imported by its hosts. */
#if defined(_WIN32)
#if defined(__i386__) || defined(_M_IX86)
#define ZEP_CALL __stdcall
#else
#define ZEP_CALL __cdecl
#endif
#if defined(ZEP_BUILDING_C_INTERFACE)
#define ZEP_C_API __declspec(dllexport)
#else
#define ZEP_C_API __declspec(dllimport)
#endif
#else
#define ZEP_CALL
#define ZEP_C_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Results of the functions that return an int code. */
enum {
  ZEP_OK = 0,
  ZEP_ERR_LOAD = 1,       /* the bind's failure: its package could not be loaded */
  ZEP_ERR_ARGUMENT = 2,   /* an unknown set, slot or pair, a model code that is no 32-bit
                             decimal, a null pointer where one is required, a wrong tag */
  ZEP_ERR_BUFFER = 3,     /* the text did not fit; *size says what it needs */
  ZEP_ERR_INTERNAL = 4,   /* anything else the module raised, out of memory included */
  ZEP_ERR_UNSUPPORTED = 5 /* the shared package in use cannot do this: it is the host's own */
};

/* The library's version, "MAJOR.MINOR.PATCH" (ZEP_VERSION of the header it
   was built with), so that a host can tell which one it loaded. */
ZEP_C_API const char* ZEP_CALL zep_version(void);

/* Binds a slot set, as InstanciaFuncoes_<set>: the package that serves it is
   loaded and its entries looked up into the set's slots. `set` is a set's
   name in any letter case: ImpFiscal, ImpCheque, Display, Balanca, Leitor,
   Zep00000, Zep00400, Zep00500, Tef00000, Sat. `model` is the set's
   argument: decimal text for ImpFiscal (the model code) and ImpCheque (the
   use flag; 0 or below binds nothing), any text for Display, Balanca and
   Leitor, NULL or "" for the others.
   ZEP_ERR_LOAD when the package cannot be loaded; zep_last_error then gives
   "Erro na carga do pacote: <package>" and, on lines of their own, why. The
   cheque printer's bind returns ZEP_OK after a failed load, as the module's
   does (the operator has been told): check its slot StartImpCheque. A
   fiscal model code that selects no package binds nothing and is ZEP_OK. */
ZEP_C_API int ZEP_CALL zep_bind(const char* set, const char* model);

/* Unbinds a slot set, as FinalizaFuncoes_<set>: clears its slots, then has
   the package unloaded by name. Pass the bind's model code, since the
   package is selected again from it; the cheque printer's unbind takes none
   (NULL or ""). A failure to unload is ZEP_ERR_INTERNAL, the slots being
   clear by then. */
ZEP_C_API int ZEP_CALL zep_unbind(const char* set, const char* model);

/* Whether the set is bound, and to which package: the package's name when
   at least one of its slots holds an entry, "" when none does (never bound,
   unbound, a model code that selects no package, the cheque printer's use
   flag 0 or its failed load). The name is the one the latest zep_bind of
   the set loaded; "?" for a selecting set bound through the module's own
   exports rather than through zep_bind. `set` as zep_bind's; the text
   result as zep_select's. zep_bind's own results are unchanged by it. */
ZEP_C_API int ZEP_CALL zep_bound(const char* set, char* out, size_t* size);

/* The current value of the slot of that exact name (letter case included;
   entry "ImprimeMesasAbertas" fills the slot "imprimeMesasAbertas"): the
   driver entry's address, or NULL while the set is unbound or its package
   lacks the entry. Cast it to the entry's own signature. NULL with a last
   error for an unknown name, NULL without one for a null slot. Do not bind
   or unbind a set while another thread calls through its slots. */
ZEP_C_API void* ZEP_CALL zep_slot(const char* slot);

/* The package that a model code selects (RetNomeBpl_<set>), "" for a code
   the set's table lacks. Only ImpFiscal (decimal text), Leitor, Balanca and
   Display select; the other sets are ZEP_ERR_ARGUMENT.

   Text results: `out` has room for `*size` bytes on entry; on return
   `*size` holds the text's length without its terminating NUL. The text
   and its NUL fit when the length is below the room; otherwise the result
   is ZEP_ERR_BUFFER and `out` holds as much of the text as fits, with a NUL.
   `out` may be NULL when `*size` is 0, to ask for the length alone. */
ZEP_C_API int ZEP_CALL zep_select(const char* set, const char* model, char* out, size_t* size);

/* The last error of the calling thread: the failure's message, then each
   nested cause on a line of its own; "" when the thread's latest call
   succeeded. Every function here but zep_last_error and zep_block_free sets
   it, to its failure or to nothing, so that a NULL slot or a 0 read can be
   told from a failure. The text result as zep_select's; this function never
   changes the last error, so a host may ask again with more room. */
ZEP_C_API int ZEP_CALL zep_last_error(char* out, size_t* size);

/* A parameter block: the [key, value] pairs of one fiscal operation, in
   its fixed order. Owned by the host, which releases it with
   zep_block_free.

   A driver's entry written in C that takes a parameter block takes it as
   `const zep_block*`, so that a host in any language can hand it the block
   it built here. The driver reads it with the readers below (linking
   libzep00001_c, which the host has loaded already), finds a pair by its
   key rather than by its place, and neither frees it nor keeps it: the
   host frees it once the entry has returned. */
typedef struct zep_block zep_block;

enum { ZEP_TAG_STRING, ZEP_TAG_INTEGER, ZEP_TAG_DOUBLE, ZEP_TAG_BOOLEAN };

/* The six builders, zep_Params_<Operation>_Zep00000, with the module's
   parameters in their declared order (entries/builders.def, which these
   declarations follow): a text is `const char*` (never NULL), a 32-bit
   integer `int32_t`, a double `double`, a boolean `int` (0 false, anything
   else true); a parameter that the module's builder takes by reference is
   passed by value here. Each returns a new block, or NULL with a last
   error. */
ZEP_C_API zep_block* ZEP_CALL zep_Params_AbreCupom_Zep00000(
    const char* ESQUEMACOR, int32_t INTTEFERRO, const char* INCLUICPF, const char* INCLUINOME,
    const char* INCLUIENDERECO, const char* CUPNR, const char* CONTCUPOM, const char* TIPOTICKET,
    const char* IVACOMP, const char* IVAPROP, const char* TIPODOC, const char* NRDOC,
    const char* MESA, const char* IDUTILTEF, int UTILTEF);
ZEP_C_API zep_block* ZEP_CALL zep_Params_VendaItem_Zep00000(
    const char* ESQUEMACOR, const char* MESA, const char* FLAG, const char* CDARVPROD,
    const char* NMPROD, const char* CDALIQ, const char* IDALIQ, const char* UNIDADE,
    const char* TIPOTICKET, const char* VRPERCALIQ, const char* IDUTILTEF, int32_t INTEFERRO,
    double QTDE, double VALOR, double DESCONT, double ACRESCIMO, int UTILTEF);
ZEP_C_API zep_block* ZEP_CALL zep_Params_ImpressaoVenda_Zep00000(
    const char* TOTPARCCV, const char* CDFILIAL, const char* CDCAIXA, const char* NRLAUDO,
    const char* ESQUEMACOR, const char* SENHACUPOM, const char* TIPOVENDA, const char* NMCONSUMIDOR,
    const char* DSOBSCUPFIS, const char* CDPORTAIMPFIS, int32_t IDTIPOIMPFIS, double SALDODEBITO,
    double PRECOSUBSIDIO);
ZEP_C_API zep_block* ZEP_CALL zep_Params_Atu_TotGeral_Zep00000(
    const char* CDFILIAL, const char* CDCAIXA, const char* NRSERIEIMP, const char* ESQUEMACOR,
    const char* IDVALIDA, int BOPODERECOMPORGT, const char* CRZTAB, const char* CRZECF,
    const char* CROTAB, const char* CROECF, double VBRUTATAB, double VRBRUTAECF);
ZEP_C_API zep_block* ZEP_CALL zep_Params_Carrega_Dados_Impressora_Zep00000(
    const char* ESQUEMA, const char* DATAATUIMP, const char* ECFIMP, const char* NRSERIEIMP,
    const char* REDIMP, const char* DATAIMP, const char* CDPORTAIMPFIS);
ZEP_C_API zep_block* ZEP_CALL zep_Params_VerificaSerialImp_Zep00000(int UTILIZAIMPFIS,
                                                                    const char* DSDIRCAD,
                                                                    const char* ESQUEMACOR,
                                                                    const char* REV_NRSERIE_IMP);

/* Readers of a block; `pair` counts from 0. A NULL block, a pair out of
   range or a pair of another tag gives NULL, 0 (-1 from zep_block_tag,
   whose 0 is ZEP_TAG_STRING) and a last error. The texts stay valid until
   the block is freed. */
ZEP_C_API size_t ZEP_CALL zep_block_size(const zep_block* block);
ZEP_C_API const char* ZEP_CALL zep_block_key(const zep_block* block, size_t pair);
ZEP_C_API int ZEP_CALL zep_block_tag(const zep_block* block, size_t pair);
/* A String value and, through `length` unless it is NULL, its length: the
   text may hold NULs. */
ZEP_C_API const char* ZEP_CALL zep_block_string(const zep_block* block, size_t pair,
                                                size_t* length);
ZEP_C_API int32_t ZEP_CALL zep_block_integer(const zep_block* block, size_t pair);
ZEP_C_API double ZEP_CALL zep_block_double(const zep_block* block, size_t pair);
/* 1 for true, 0 for false. */
ZEP_C_API int ZEP_CALL zep_block_boolean(const zep_block* block, size_t pair);
/* Releases a block; NULL does nothing. */
ZEP_C_API void ZEP_CALL zep_block_free(zep_block* block);

/* Receives the operator messages that the module sends through the default
   shared package's Mensagem (today one: the cheque printer's failed bind,
   kind 3), with Mensagem's nine arguments as the module passed them: the
   texts as NUL-terminated bytes, unchanged (a carriage return may stand in
   `text`), `kind` the message kind's ordinal, and `data_set` the data set
   pointer as given (NULL from the module). Called on the thread that binds,
   before the bind returns; the texts are valid for the call only. */
typedef void(ZEP_CALL* zep_message_handler)(void* context, const char* text, const char* text2,
                                            const char* text3, const char* text4, int32_t kind,
                                            const char* text5, const char* text6, int32_t number,
                                            void* data_set);

/* Sends the operator messages to `handler`, called with `context` as its
   first argument, instead of to standard error; a NULL handler gives them
   to standard error again. One handler per process: a second call replaces
   the first. Set it while no bind runs. ZEP_ERR_UNSUPPORTED when the shared
   package in use is the host's own rather than the default one: its own
   Mensagem shows the messages. */
ZEP_C_API int ZEP_CALL zep_set_message_handler(zep_message_handler handler, void* context);

/* The call trace, for support. From the next bind on, each slot holds a
   stub of the module's that records every call through it (entry, set,
   package, thread, time, the first argument words) and its return (the
   result word) in `file`, with the binds, unbinds and blocks around them,
   and passes the call on unchanged; slots bound before keep what they hold.
   `zep-host trace FILE` summarises the file and exports it as Chrome trace
   events, which Perfetto's UI and chrome://tracing open. The environment
   variable ZEP_TRACE=<file> does the same from the process's first bind.
   The file's directory must be writable by its owner alone; a previous file
   of that name is kept as <file>.1, as is a full one (ZEP_TRACE_LIMIT bytes,
   64 MiB unless set). ZEP_ERR_ARGUMENT for a NULL `file` or one that cannot
   be written (the last error says why), ZEP_ERR_UNSUPPORTED where the module
   has no trace stubs for the platform. zep_trace_stop closes the file; slots
   bound meanwhile keep their stubs, which then only pass calls on. Start and
   stop while no bind runs. */
ZEP_C_API int ZEP_CALL zep_trace_start(const char* file);
ZEP_C_API int ZEP_CALL zep_trace_stop(void);

#ifdef __cplusplus
}
#endif

#endif
