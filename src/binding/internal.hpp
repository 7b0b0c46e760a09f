// The module's internal interface, for its own companions (the C interface,
// the catalogue, zep-host) and never for hosts: the module's one table of the
// sets, each set's run-time state beside it, and what else a companion asks
// of the module, reached through one exported entry so that a program holds
// one copy of the table.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "binding/sets.hpp"

#if defined(_WIN32)
#define ZEP_INTERNAL_API  // exported by name through the module-definition file
#else
#define ZEP_INTERNAL_API __attribute__((visibility("default")))
#endif

namespace zep::internal {

// A set's run-time state, one a row, indexed like the rows (which are
// constants). Its lock is held by its bind and unbind throughout: an unbind
// in one thread must not unload the package that a bind in another is
// looking up entries in. Recursive, since a bind may reach a host's message
// handler that binds or unbinds the same set again.
struct SetState {
  std::recursive_mutex busy;
  // What the set's latest bind loaded, whichever export or interface bound
  // it; empty once unbound. Under `busy`.
  std::string package;
};

// Raised with every change of Interface a companion could misread.
inline constexpr unsigned kVersion = 1;

struct Interface {
  unsigned version;  // kVersion
  std::size_t size;  // sizeof(Interface) as the module was built
  const sets::SlotSet* sets;
  std::size_t count;
  SetState* states;  // indexed like `sets`
  // The set's package as its latest bind recorded it, read under its lock.
  std::string (*boundPackage)(const sets::SlotSet& set);
  // The call trace's switch.
  void (*startTrace)(const std::string& file);
  void (*stopTrace)() noexcept;
};

// The module's interface, or null when `version` is not the one it was
// built with.
#define ZEP_INTERNAL_ENTRY(name) \
  extern "C" ZEP_INTERNAL_API const Interface* name(unsigned version);
#include "binding/internal.def"

}  // namespace zep::internal
