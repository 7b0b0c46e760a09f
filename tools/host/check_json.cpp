// zep-host check --json: the report as one document, written with
// nlohmann::json so that every name and message is escaped as JSON wants.
#include <algorithm>
#include <nlohmann/json.hpp>

#include "host/parts.hpp"
#include "host/report.hpp"

namespace zep::host {

bool canPrintJson() { return true; }

namespace {

using inspect::EntryFinding;
using inspect::NearMiss;
using inspect::Warning;
using json = nlohmann::ordered_json;

json toJson(const CheckReport& report) {
  const SlotSet& set = *report.set;
  json document;
  document["set"] = set.name;
  switch (set.bind.argument) {
    case Argument::None:
      document["model"] = nullptr;
      break;
    case Argument::ModelText:
      document["model"] = report.model.text;
      break;
    case Argument::ModelCode:
    case Argument::UseFlag:
      document["model"] = report.model.code;
      break;
  }
  document["package"] = report.package;
  document["file"] = report.file.empty() ? json(nullptr) : json(report.file);
  document["bound"] = report.bindReturned;
  document["failure"] = nullptr;
  if (!report.failure.empty()) {
    document["failure"] = {
        {"message", report.failure.front()},
        {"causes", std::vector<std::string>(report.failure.begin() + 1, report.failure.end())}};
  }
  document["entries"] = json::array();
  for (const EntryFinding& finding : report.entries) {
    json nearMisses = json::array();
    for (const NearMiss& near : finding.nearMisses) {
      nearMisses.push_back({{"name", near.name}, {"how", near.how}});
    }
    document["entries"].push_back({{"entry", finding.slot->entry},
                                   {"slot", finding.slot->name},
                                   {"bound", finding.bound},
                                   {"nearMisses", nearMisses}});
  }
  document["warnings"] = json::array();
  for (const Warning& warning : report.warnings) {
    document["warnings"].push_back({{"kind", warning.kind},
                                    {"names", warning.names},
                                    {"message", warning.message},
                                    {"remedy", warning.remedy},
                                    {"refused", warning.refused}});
  }
  document["unload"] = nullptr;
  if (report.unload) {
    document["unload"] = {{"unloaded", report.unload->unloaded}, {"reason", report.unload->reason}};
  }
  document["notes"] = report.notes;
  document["exitStatus"] = report.exitStatus();
  return document;
}

// Bytes that are no UTF-8 (a Latin-1 path) are replaced, not refused.
void print(const json& document, std::ostream& out) {
  out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

}  // namespace

void printJson(const CheckReport& report, std::ostream& out) { print(toJson(report), out); }

void printJsonOfSets(const std::vector<CheckReport>& reports, std::ostream& out) {
  json all;
  all["reports"] = json::array();
  for (const CheckReport& report : reports) all["reports"].push_back(toJson(report));
  all["exitStatus"] = inspect::worstStatus(reports);
  print(all, out);
}

void printIdentitiesJson(const std::vector<inspect::Identity>& identities, std::ostream& out) {
  json all;
  all["files"] = json::array();
  int status = 0;
  for (const inspect::Identity& identity : identities) {
    json document;
    document["file"] = identity.file;
    document["sets"] = json::array();
    for (const inspect::SetServed& served : identity.sets) {
      document["sets"].push_back({{"set", served.set->name},
                                  {"exported", served.exported},
                                  {"entries", served.set->slots.size()}});
    }
    document["package"] = identity.package ? json(*identity.package) : json(nullptr);
    document["loadedBy"] = json::array();
    if (identity.package) {
      for (const LoadedBy& way : loadedBy(*identity.package))
        document["loadedBy"].push_back({{"set", way.set}, {"codes", way.codes}});
    }
    document["unloadable"] =
        identity.unloadable.empty() ? json(nullptr) : json(identity.unloadable);
    document["trust"] = nullptr;
    if (identity.trustChecked) {
      json findings = json::array();
      for (const inspect::TrustNote& note : identity.trust) {
        findings.push_back({{"kind", note.kind},
                            {"refused", note.refused},
                            {"problem", note.problem},
                            {"remedy", note.remedy}});
      }
      document["trust"] = {{"refused", identity.refused()}, {"findings", findings}};
    }
    document["exitStatus"] = identity.exitStatus();
    status = std::max(status, identity.exitStatus());
    all["files"].push_back(document);
  }
  all["exitStatus"] = status;
  print(all, out);
}

}  // namespace zep::host
