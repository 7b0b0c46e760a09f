// zep-host check: does a package satisfy its slot set? The check is made in
// two steps, a report and its rendering, so that further findings and other
// renderings can join the report without touching the bind.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/sets.hpp"

namespace zep::host {

struct EntryFinding {
  const Slot* slot;
  bool bound;
};

struct CheckReport {
  const SlotSet* set = nullptr;
  Model model;
  std::string package;
  // The bind was called and returned.
  bool bindReturned = false;
  // The binding failure's message, then each nested cause, outermost first.
  std::vector<std::string> failure;
  std::vector<EntryFinding> entries;
  // What the reader should know beyond the entries: why nothing was bound,
  // an unbind that failed.
  std::vector<std::string> notes;

  std::size_t boundEntries() const;
  // 0 when every entry is bound, 1 when the set binds with entries missing,
  // 2 when it does not bind.
  int exitStatus() const;
};

// Binds the set with `model` through the shared package, records every
// entry, and unbinds again.
CheckReport check(const SlotSet& set, const Model& model);

void printReport(const CheckReport& report, std::ostream& out);

// The messages of an exception and of every exception nested in it.
std::vector<std::string> causeChain(const std::exception& failure);

}  // namespace zep::host
