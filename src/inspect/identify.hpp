// What a package file is, read where it stands without loading it: which
// set's entries it exports, which model codes select its name, and whether
// the default shared package would take it from its directory. For a till
// engineer holding a file that came without a label.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog.hpp"

namespace zep::inspect {

// The character that separates the package path's directories here.
char packagePathSeparator();

// The file name of a package here: lib<name>.so, or <name>.bpl on Windows.
std::string packageFileName(const std::string& name);

// The package name a file name stands for ("libZEP00101.so": "ZEP00101"),
// or nothing when it is no package's file name on this platform.
std::optional<std::string> packageNameOf(const std::string& fileName);

// A set whose entries the file exports, and how many of them.
struct SetServed {
  const catalog::SlotSet* set;
  std::size_t exported;
};

// A trust check's finding: the default shared package refuses the file for
// it, or loads the file with a warning.
struct TrustNote {
  std::string kind;
  bool refused;
  std::string problem;
  std::string remedy;
};

struct Identity {
  std::string file;
  // Why the loader could not take the file at all (not readable, no
  // library, built for another machine); empty when it could.
  std::string unloadable;
  // Every set with one entry or more exported, the most entries first
  // (the largest share of its table on a tie).
  std::vector<SetServed> sets;
  std::optional<std::string> package;
  // Whether the trust checks could be made; then `trust` holds what they found.
  bool trustChecked = false;
  std::vector<TrustNote> trust;

  bool refused() const;
  // 0 when the file serves a set and would be loaded, else 1.
  int exitStatus() const;
};

Identity identify(const std::string& file);

}  // namespace zep::inspect
