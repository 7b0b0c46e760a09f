// zep-host check: one bind, every entry of the set's table recorded.
#include "host/check.hpp"

#include <algorithm>
#include <exception>

#include "host/diagnose.hpp"

namespace zep::host {
namespace {

using catalog::causeChain;
using catalog::showModel;

// A message of several lines, each further line indented under the first.
void printIndented(std::ostream& out, const std::string& lead, const std::string& text) {
  out << lead;
  for (char c : text) {
    out << c;
    if (c == '\n') out << std::string(lead.size(), ' ');
  }
  out << '\n';
}

}  // namespace

std::size_t CheckReport::boundEntries() const {
  return static_cast<std::size_t>(
      std::count_if(entries.begin(), entries.end(), [](const EntryFinding& e) { return e.bound; }));
}

int CheckReport::exitStatus() const {
  if (!bindReturned || boundEntries() == 0) return 2;
  return boundEntries() == entries.size() && warnings.empty() ? 0 : 1;
}

CheckReport check(const SlotSet& set, const Model& model, const CheckOptions& options) {
  CheckReport report;
  report.set = &set;
  report.model = model;
  report.package = set.package(model);
  const std::string shown = showModel(set.bind.argument, model);
  // The two binds that load nothing return true all the same; say why
  // rather than report a package without entries.
  if (set.departures.emptyName == catalog::EmptyName::NothingToBind && report.package.empty()) {
    report.notes.push_back("model code " + shown +
                           " selects no package, so the bind loads nothing");
    return report;
  }
  if (set.departures.gate == catalog::Gate::PositiveUseFlag && model.code <= 0) {
    report.notes.push_back("use flag " + shown + " binds nothing: the set binds only above 0");
    return report;
  }
  try {
    report.bindReturned = set.bind(model);
  } catch (const std::exception& failure) {
    report.failure = causeChain(failure);
  } catch (...) {
    report.failure.push_back("an exception that is no std::exception");
  }
  for (const Slot& slot : set.slots) report.entries.push_back({&slot, *slot.address != nullptr});
  if (report.bindReturned) inspectPackage(report);
  if (report.package.empty()) {
    report.notes.push_back("model code " + shown + " selects no package");
  }
  if (report.bindReturned && report.boundEntries() == 0) {
    report.notes.push_back(set.departures.failure == catalog::Failure::TellOperator
                               ? "no entry bound: this set tells a failed load to the operator "
                                 "(the operator message on standard error) instead of raising"
                               : "no entry bound: the package exports none of the set's entries");
  }
  try {
    set.unbind(model);
  } catch (const std::exception& failure) {
    report.notes.push_back("the unbind failed: " + causeChain(failure).front());
  } catch (...) {
    report.notes.push_back("the unbind failed: an exception that is no std::exception");
  }
  if (options.verifyUnload) verifyUnload(report);
  return report;
}

void printReport(const CheckReport& report, std::ostream& out) {
  const SlotSet& set = *report.set;
  out << "check " << set.name;
  if (set.bind.argument != Argument::None) {
    out << ", " << catalog::argumentName(set.bind.argument) << ' '
        << showModel(set.bind.argument, report.model);
  }
  out << ": package " << (report.package.empty() ? "(none)" : report.package) << '\n';
  if (!report.failure.empty()) {
    printIndented(out, "the bind failed: ", report.failure.front());
    for (std::size_t i = 1; i < report.failure.size(); ++i) {
      printIndented(out, "  because: ", report.failure[i]);
    }
  } else if (report.bindReturned) {
    for (const EntryFinding& finding : report.entries) {
      out << (finding.bound ? "  bound    " : "  missing  ") << finding.slot->entry;
      if (finding.slot->entry != finding.slot->name) out << " (slot " << finding.slot->name << ')';
      out << '\n';
      for (const NearMiss& near : finding.nearMisses) {
        out << "             the package exports " << near.name << ", " << near.how << '\n';
      }
    }
    out << report.boundEntries() << " of " << report.entries.size() << " entries bound";
    const char* separator = "; missing: ";
    for (const EntryFinding& finding : report.entries) {
      if (finding.bound) continue;
      out << separator << finding.slot->entry;
      separator = ", ";
    }
    out << '\n';
  }
  for (const Warning& warning : report.warnings) {
    out << "warning: " << report.package << ' ' << warning.message << '\n';
    if (!warning.remedy.empty()) out << "  remedy: " << warning.remedy << '\n';
  }
  if (report.unload) {
    out << "unload: " << report.file
        << (report.unload->unloaded ? " is gone" : " is still mapped after the unbind: ")
        << report.unload->reason << '\n';
  }
  for (const std::string& note : report.notes) out << "note: " << note << '\n';
}

}  // namespace zep::host
