// zep-host check: does a package satisfy its slot set? The check is made in
// two steps, a report and its rendering, so that further findings and other
// renderings can join the report without touching the bind.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "catalog/catalog.hpp"
#include "inspect/image.hpp"

namespace zep::host {

using catalog::Argument;
using catalog::Model;
using catalog::Slot;
using catalog::SlotSet;

// How an export comes close to a missing entry.
inline constexpr const char* kLetterCase = "another letter case";
inline constexpr const char* kOneEdit = "one edit away";
inline constexpr const char* kDecorated = "decorated";

struct NearMiss {
  std::string name;
  const char* how;
};

struct EntryFinding {
  const Slot* slot;
  bool bound;
  std::vector<NearMiss> nearMisses{};
};

// What makes a package that binds misbehave, and what to do about it.
inline constexpr const char* kSelfCalls = "self-calls-through-plt";
inline constexpr const char* kNeverUnloaded = "never-unloaded";
inline constexpr const char* kStillMapped = "still-mapped";

struct Warning {
  const char* kind;
  std::vector<std::string> names;
  std::string message;
  std::string remedy;
};

struct UnloadFinding {
  bool unloaded;
  std::string reason;
};

struct CheckOptions {
  // Bind, unbind, then verify that the package's file is gone.
  bool verifyUnload = false;
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
  // The package's file as loaded, and what it says of itself.
  std::string file;
  std::optional<inspect::Image> image;
  std::vector<Warning> warnings;
  std::optional<UnloadFinding> unload;
  // What the reader should know beyond the entries: why nothing was bound,
  // an unbind that failed.
  std::vector<std::string> notes;

  std::size_t boundEntries() const;
  // 0 when every entry is bound and nothing is flagged, 1 when the set
  // binds with entries missing or warnings, 2 when it does not bind.
  int exitStatus() const;
};

// Binds the set with `model` through the shared package, records every
// entry, and unbinds again.
CheckReport check(const SlotSet& set, const Model& model, const CheckOptions& options = {});

// One set to check, as a till engineer names it.
struct CheckRequest {
  const SlotSet* set;
  Model model;
};

// The status of a check of several sets: the worst of theirs.
int worstStatus(const std::vector<CheckReport>& reports);

void printReport(const CheckReport& report, std::ostream& out);
// Each set's report, then one summary line a set.
void printReportsOfSets(const std::vector<CheckReport>& reports, std::ostream& out);
// The same findings as one JSON document, for driver authors' own CI.
void printJson(const CheckReport& report, std::ostream& out);
// {"reports": [one document a set], "exitStatus": the worst}.
void printJsonOfSets(const std::vector<CheckReport>& reports, std::ostream& out);
// False where zep-host was built without a JSON library: printJson then
// cannot be called.
bool canPrintJson();

}  // namespace zep::host
