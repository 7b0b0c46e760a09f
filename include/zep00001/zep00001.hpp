// The host interface of the peripheral-binding module.
//
// The module binds driver packages into exported entry-point slots: a bind
// has the shared package load the package that serves a device, looks up the
// package's entries by exact name and stores their addresses in the slots;
// the host then calls the driver through a slot, cast to the entry's own
// signature. An unbind clears the slots and has the package unloaded by name.
// The module also builds the parameter blocks of six fiscal operations.
//
// Everything here has C language linkage and the host-visible name, so a host
// that opens the module with dlopen finds each by its plain name. C++ types
// (texts, blocks, exceptions) cross the boundary as they do between C++
// libraries built with the same toolchain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "zep00001/entries/expand.h"
#include "zep00001/export.hpp"
#include "zep00001/value.hpp"

namespace zep {

// The bind's failure. what() is "Erro na carga do pacote: " followed by the
// package name. When it replaced a std::exception (the shared package's load
// failure), that exception is its nested cause: std::rethrow_if_nested tells
// a missing file from a missing dependency.
class ZEP_API BindingFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Kinds of operator message, as the shared package's Mensagem receives them.
// The cheque-printer bind reports its failure with ordinal 3.
enum class TTipoMsg : std::int32_t { Informacao = 0, Confirmacao = 1, Aviso = 2, Erro = 3 };

// The shared package's data set; the module only ever passes a null pointer.
class TClientDataSet;

}  // namespace zep

// The arguments of the bind, unbind and selection operations, by kind.
#define ZEP_ARGUMENT_ModelCode std::int32_t modelCode
#define ZEP_ARGUMENT_ModelText const std::string& modelCode
#define ZEP_ARGUMENT_UseFlag std::int32_t useFlag
#define ZEP_ARGUMENT_None

// The builders' parameter types: texts always by const reference; the
// by-reference integer is a const reference too, since the builder only
// reads it.
#define ZEP_PARAMETER_TYPE_Text_ByValue const std::string&
#define ZEP_PARAMETER_TYPE_Text_ByRef const std::string&
#define ZEP_PARAMETER_TYPE_Integer_ByValue std::int32_t
#define ZEP_PARAMETER_TYPE_Integer_ByRef const std::int32_t&
#define ZEP_PARAMETER_TYPE_Double_ByValue double
#define ZEP_PARAMETER_TYPE_Boolean_ByValue bool
#define ZEP_PARAMETER_DECLARATION(kind, passing, name, pair) \
  , ZEP_PARAMETER_TYPE_##kind##_##passing name

#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
#endif

extern "C" {

// The entry-point slots, in entry-table order. Each is null until its set
// is bound, holds the address of the driver's entry of that name (or null
// when the package lacks it) after the bind, and is null again after the
// unbind. Entry "ImprimeMesasAbertas" fills the slot imprimeMesasAbertas.
#define ZEP_ENTRY(slot) extern ZEP_API void* slot;
#include "zep00001/entries/sets.def"

// Bind and unbind of every slot set, InstanciaFuncoes_<Set> and
// FinalizaFuncoes_<Set>, one pair a row of entries/sets.def, which says what
// each takes (a std::int32_t model code or use flag, a const std::string&
// model code, or nothing) and where the set departs from the common protocol.
// Each returns true whenever it returns. A bind raises zep::BindingFailure
// when its package cannot be loaded, except the cheque printer's
// (TellOperator), which tells the operator through Mensagem and returns true
// (check StartImpCheque). The cheque printer binds only for a use flag above
// 0; a fiscal model code that selects no package binds nothing. An unbind
// clears the slots first, then has the package unloaded; pass it the bind's
// code. Unload failures reach the caller. Do not bind or unbind a set while
// another thread calls through its slots.
//
// RetNomeBpl_<Set>, for a set whose package is Selected, gives the package
// that a model code selects, or "" for a code the set's table lacks; text
// codes are compared exactly.
#define ZEP_SET(set, bindArgument, unbindArgument)                  \
  ZEP_API bool InstanciaFuncoes_##set(ZEP_ARGUMENT_##bindArgument); \
  ZEP_API bool FinalizaFuncoes_##set(ZEP_ARGUMENT_##unbindArgument);
#define ZEP_SELECTION(set, argument) ZEP_API std::string RetNomeBpl_##set(ZEP_ARGUMENT_##argument);
#include "zep00001/entries/sets.def"

// The parameter-block builders, Params_<Operation>_Zep00000. Each returns a
// new block, an Array of [key, value] pairs in the operation's fixed order,
// whose keys are the parameter names; see entries/builders.def for every
// parameter's type, passing and pair. Texts are carried byte for byte and
// doubles bit for bit; only running out of memory can fail.
#define ZEP_BUILDER(builder, pairs, parameters) \
  ZEP_API zep::Value builder(ZEP_DROP_FIRST(parameters(ZEP_PARAMETER_DECLARATION)));
#include "zep00001/entries/builders.def"

// The animation the module carries: an uncompressed RIFF AVI of 66,524
// bytes, one video stream of 31 frames of 145 by 5 pixels at 16 bits per
// pixel, 83,333 microseconds a frame. The Windows DLL holds it as resource
// "SHOWAVI" of type "AVI" in Portuguese (Brazil), served by the companion
// resource module PKG_ZEP00001.<language> when one stands beside the DLL.
// Gives its first byte and stores its size in *size (when size is not null);
// the bytes stay valid while the module is loaded. Nothing in the module
// reads them.
ZEP_API const std::uint8_t* zep_showavi(std::size_t* size);

// The call trace, for support: from the next bind on, each slot holds a stub
// of the module's that records the call (entry, set, package, thread, time,
// the first argument words) and its return (the result word) in `file`,
// with the binds, unbinds and blocks around them, and passes the call on
// unchanged; `zep-host trace FILE` summarises the file and exports it as
// Chrome trace events. The environment variable ZEP_TRACE=<file> does the
// same from the first bind; a host of the C interface (a C++ one too) calls
// zep_trace_start and zep_trace_stop (zep00001_c.h). The file's directory must be writable by its
// owner alone; a file of the same name is kept as <file>.1, as is a full
// file (ZEP_TRACE_LIMIT bytes, 64 MiB unless set). Stopping ends the file;
// slots bound meanwhile keep their stubs, which then only pass calls on.

// The shared package, provided by lib_dll or by the host's own library of
// that name with the same three exports.
//
// LoadBPL_FOS loads the package of that base name and returns its module
// handle (what dlopen or LoadLibrary returned); it raises a std::exception
// when it cannot. UnLoadBPL releases one load of the name. Mensagem shows a
// message to the operator.
ZEP_SHARED_API void* LoadBPL_FOS(const std::string& package);
ZEP_SHARED_API void UnLoadBPL(const std::string& package);
ZEP_SHARED_API void Mensagem(const std::string& text, const std::string& text2,
                             const std::string& text3, const std::string& text4, zep::TTipoMsg kind,
                             const std::string& text5, const std::string& text6,
                             std::int32_t number, zep::TClientDataSet* dataSet);

}  // extern "C"

#if defined(__clang__)
#pragma clang diagnostic pop
#endif
