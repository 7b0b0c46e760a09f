// Does a package satisfy its slot set? The check binds the set through the
// shared package, records every entry, reads the package's own file for what
// comes close to a missing entry and for linking that makes a package
// misbehave though it loads, and unbinds again. It gives a report; rendering
// it is the caller's, so that other findings and renderings can join without
// touching the bind.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.hpp"
#include "object/image.hpp"

namespace zep::inspect {

// How an export comes close to a missing entry.
inline constexpr const char* kLetterCase = "another letter case";
inline constexpr const char* kOneEdit = "one edit away";
inline constexpr const char* kDecorated = "decorated";

struct NearMiss {
  std::string name;
  const char* how;
};

struct EntryFinding {
  const catalog::Slot* slot;
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
  // The default shared package refuses to load the package for it.
  bool refused = false;
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
  const catalog::SlotSet* set = nullptr;
  catalog::Model model;
  std::string package;
  // The bind was called and returned.
  bool bindReturned = false;
  // The binding failure's message, then each nested cause, outermost first.
  std::vector<std::string> failure;
  std::vector<EntryFinding> entries;
  // The package's file as loaded, and what it says of itself.
  std::string file;
  std::optional<object::Image> image;
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
CheckReport check(const catalog::SlotSet& set, const catalog::Model& model,
                  const CheckOptions& options = {});

// One set to check, as a till engineer names it.
struct CheckRequest {
  const catalog::SlotSet* set;
  catalog::Model model;
};

// Each set checked in turn, as a till's whole configuration.
std::vector<CheckReport> check(const std::vector<CheckRequest>& requests,
                               const CheckOptions& options = {});

// The status of a check of several sets: the worst of theirs.
int worstStatus(const std::vector<CheckReport>& reports);

// The exports that come closest to `entry`: the same name in another letter
// case, names one edit away (a letter added, dropped, changed, or two
// neighbours swapped; letter case aside), and the name decorated as a
// Windows package exports it ("@Unit@Entry$qqrv"). Exports that are
// themselves entries of the table (`table`) are no near miss of another.
std::vector<NearMiss> nearMisses(std::string_view entry, const std::vector<std::string>& exports,
                                 const std::vector<std::string_view>& table);

}  // namespace zep::inspect
