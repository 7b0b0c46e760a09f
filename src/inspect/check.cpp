// The check: one bind, every entry of the set's table recorded.
#include "inspect/check.hpp"

#include <algorithm>
#include <exception>

#include "inspect/package.hpp"

namespace zep::inspect {

using catalog::causeChain;
using catalog::showModel;

std::size_t CheckReport::boundEntries() const {
  return static_cast<std::size_t>(
      std::count_if(entries.begin(), entries.end(), [](const EntryFinding& e) { return e.bound; }));
}

int CheckReport::exitStatus() const {
  if (!bindReturned || boundEntries() == 0) return 2;
  return boundEntries() == entries.size() && warnings.empty() ? 0 : 1;
}

int worstStatus(const std::vector<CheckReport>& reports) {
  int worst = 0;
  for (const CheckReport& report : reports) worst = std::max(worst, report.exitStatus());
  return worst;
}

CheckReport check(const catalog::SlotSet& set, const catalog::Model& model,
                  const CheckOptions& options) {
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
  for (const catalog::Slot& slot : set.slots)
    report.entries.push_back({&slot, *slot.address != nullptr});
  if (report.bindReturned) inspectPackage(report);
  if (!report.package.empty()) inspectTrust(report);
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

std::vector<CheckReport> check(const std::vector<CheckRequest>& requests,
                               const CheckOptions& options) {
  std::vector<CheckReport> reports;
  for (const CheckRequest& request : requests) {
    reports.push_back(check(*request.set, request.model, options));
  }
  return reports;
}

}  // namespace zep::inspect
