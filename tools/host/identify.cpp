// zep-host identify: what each package file is, read where it stands.
#include <algorithm>
#include <map>

#include "host/parts.hpp"

namespace zep::host {

using inspect::Identity;

namespace {

// A set's table, read back once a run: the tables are the module's, fixed.
const std::vector<SelectionRow>& tableOf(const SlotSet& set) {
  static std::map<const SlotSet*, std::vector<SelectionRow>> tables;
  auto known = tables.find(&set);
  if (known == tables.end()) known = tables.emplace(&set, selectionTable(set)).first;
  return known->second;
}

}  // namespace

std::vector<LoadedBy> loadedBy(const std::string& package) {
  std::vector<LoadedBy> ways;
  for (const SlotSet& set : catalog::sets()) {
    if (!set.selects()) {
      if (set.fixedPackage == package) ways.push_back({std::string(set.name), {}});
      continue;
    }
    for (const SelectionRow& row : tableOf(set)) {
      if (row.package == package) ways.push_back({std::string(set.name), row.codes});
    }
  }
  return ways;
}

namespace {

void printIdentity(const Identity& identity, std::ostream& out) {
  out << printable(identity.file) << ":\n  serves: ";
  if (identity.sets.empty()) out << "no set (it exports none of any set's entries)";
  for (std::size_t i = 0; i < identity.sets.size(); ++i) {
    const inspect::SetServed& served = identity.sets[i];
    out << (i == 0 ? "" : ", ") << served.set->name << " (" << served.exported << " of "
        << served.set->slots.size() << " entries)";
  }
  out << '\n';
  if (!identity.package) {
    out << "  package: none; a package's file is named as "
        << printable(inspect::packageFileName("NAME")) << '\n';
  } else {
    const std::vector<LoadedBy> ways = loadedBy(*identity.package);
    out << "  package " << *identity.package << ": "
        << (ways.empty() ? "no set loads it by this name" : "loaded by ");
    for (std::size_t i = 0; i < ways.size(); ++i) {
      out << (i == 0 ? "" : "; ") << ways[i].set;
      if (ways[i].codes.empty()) out << " always";
      for (std::size_t j = 0; j < ways[i].codes.size(); ++j)
        out << (j == 0 ? " model codes " : ", ") << ways[i].codes[j];
    }
    out << '\n';
  }
  if (!identity.unloadable.empty()) {
    out << "  not loadable: it " << printable(identity.unloadable) << '\n';
  } else if (identity.trustChecked) {
    out << "  trust: "
        << (identity.refused() ? "refused where it stands" : "passes where it stands") << '\n';
    for (const inspect::TrustNote& note : identity.trust) {
      out << "    " << (note.refused ? "refused" : "warning") << " (" << note.kind
          << "): " << printable(note.problem) << '\n';
      if (!note.remedy.empty()) out << "      remedy: " << printable(note.remedy) << '\n';
    }
  }
}

}  // namespace

int identifyCommand(const Options& options, const Io& io) {
  std::vector<Identity> identities;
  int status = 0;
  for (const std::string& file : options.files) {
    identities.push_back(inspect::identify(file));
    status = std::max(status, identities.back().exitStatus());
  }
  if (options.json) {
    printIdentitiesJson(identities, io.out);
    return status;
  }
  for (const Identity& identity : identities) printIdentity(identity, io.out);
  return status;
}

}  // namespace zep::host
