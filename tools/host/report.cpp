// zep-host check's text: each entry bound or missing, its near misses, the
// failure and its causes, warnings and notes.
#include "host/report.hpp"

#include <algorithm>
#include <iomanip>

namespace zep::host {
namespace {

using catalog::showModel;
using inspect::EntryFinding;
using inspect::NearMiss;
using inspect::Warning;

// A message of several lines, each further line indented under the first.
void printIndented(std::ostream& out, const std::string& lead, const std::string& text) {
  out << lead;
  for (char c : printable(text)) {
    out << c;
    if (c == '\n') out << std::string(lead.size(), ' ');
  }
  out << '\n';
}

}  // namespace

std::string printable(std::string_view text) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string made;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n' || (byte >= 0x20 && byte != 0x7f)) {
      made += c;
    } else {
      made += "\\x";
      made += digits[byte >> 4];
      made += digits[byte & 0xf];
    }
  }
  return made;
}

std::string shown(std::string_view text) {
  const std::string escaped = catalog::quoted(text);
  return escaped.substr(1, escaped.size() - 2);
}

void printReport(const CheckReport& report, std::ostream& out) {
  const SlotSet& set = *report.set;
  out << "check " << set.name;
  if (set.bind.argument != Argument::None) {
    out << ", " << catalog::argumentName(set.bind.argument) << ' '
        << showModel(set.bind.argument, report.model);
  }
  out << ": package " << (report.package.empty() ? "(none)" : printable(report.package)) << '\n';
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
        out << "             the package exports " << printable(near.name) << ", " << near.how
            << '\n';
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
    out << (warning.refused ? "refused: " : "warning: ") << printable(report.package) << ' '
        << printable(warning.message) << '\n';
    if (!warning.remedy.empty()) out << "  remedy: " << printable(warning.remedy) << '\n';
  }
  if (report.unload) {
    out << "unload: " << printable(report.file)
        << (report.unload->unloaded ? " is gone" : " is still mapped after the unbind: ")
        << printable(report.unload->reason) << '\n';
  }
  for (const std::string& note : report.notes) out << "note: " << printable(note) << '\n';
}

}  // namespace zep::host

namespace zep::host {
namespace {

// What a summary line says of a set beyond its entries.
std::string findings(const CheckReport& report) {
  if (report.exitStatus() == 2) return "does not bind";
  std::string said;
  const auto count = [&said](std::size_t n, const char* one, const char* many) {
    if (n != 0)
      said += (said.empty() ? "" : ", ") + std::to_string(n) + " " + (n == 1 ? one : many);
  };
  count(report.entries.size() - report.boundEntries(), "missing", "missing");
  count(report.warnings.size(), "warning", "warnings");
  count(report.notes.size(), "note", "notes");
  return said.empty() ? "none" : said;
}

}  // namespace

void printReportsOfSets(const std::vector<CheckReport>& reports, std::ostream& out) {
  std::size_t setWidth = 3, modelWidth = 5, packageWidth = 7;
  std::vector<std::string> models;
  for (const CheckReport& report : reports) {
    printReport(report, out);
    out << '\n';
    const std::string model = report.set->bind.argument == Argument::None
                                  ? "-"
                                  : showModel(report.set->bind.argument, report.model);
    models.push_back(model);
    setWidth = std::max(setWidth, report.set->name.size());
    modelWidth = std::max(modelWidth, model.size());
    packageWidth = std::max(packageWidth, std::max<std::size_t>(report.package.size(), 6));
  }
  out << std::left << "summary:\n  " << std::setw(static_cast<int>(setWidth)) << "set"
      << "  " << std::setw(static_cast<int>(modelWidth)) << "model"
      << "  " << std::setw(static_cast<int>(packageWidth)) << "package"
      << "  entries     findings\n";
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const CheckReport& report = reports[i];
    out << std::left << "  " << std::setw(static_cast<int>(setWidth)) << report.set->name << "  "
        << std::setw(static_cast<int>(modelWidth)) << models[i] << "  "
        << std::setw(static_cast<int>(packageWidth))
        << (report.package.empty() ? "(none)" : report.package) << "  " << std::right
        << std::setw(3) << report.boundEntries() << " of " << std::setw(3) << report.entries.size()
        << "  " << findings(report) << '\n';
  }
  out << std::left;
}

}  // namespace zep::host
