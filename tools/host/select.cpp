// zep-host select: the package a model code selects, or a set's whole table.
// The tables are the module's own; the table is read back from its exported
// selection, asked every code in a range wider than any table's keys.
#include <algorithm>

#include "host/parts.hpp"

namespace zep::host {

namespace {

// The codes asked: the integer codes from kFirst to kLast, the text codes as
// the decimal texts from 0 to kLast (keys have no leading zeros or blanks).
constexpr std::int32_t kFirst = -9999;
constexpr std::int32_t kLast = 99999;

struct Run {
  std::int32_t first;
  std::int32_t last;
};

std::string shownRun(const Run& run, bool text) {
  if (text) return catalog::quoted(std::to_string(run.first));
  if (run.first == run.last) return std::to_string(run.first);
  return std::to_string(run.first) + "-" + std::to_string(run.last);
}

// What the bind does with a code that selects no package.
std::string unknownCode(const SlotSet& set) {
  if (set.departures.emptyName == catalog::EmptyName::NothingToBind)
    return "no package: the bind loads nothing and leaves every slot null";
  return "no package: the bind fails with \"Erro na carga do pacote: \"";
}

void printTable(const SlotSet& set, std::ostream& out) {
  const std::vector<SelectionRow> rows = selectionTable(set);
  std::size_t width = 0;
  for (const SelectionRow& row : rows) width = std::max(width, row.package.size());
  out << set.name << " selects by its " << describe(set.bind.argument) << ":\n";
  for (const SelectionRow& row : rows) {
    out << "  " << row.package << std::string(width + 2 - row.package.size(), ' ');
    for (std::size_t i = 0; i < row.codes.size(); ++i) out << (i == 0 ? "" : ", ") << row.codes[i];
    out << '\n';
  }
  out << "  any other code: " << unknownCode(set) << '\n'
      << "(the codes " << codesAsked(set) << " asked of RetNomeBpl_" << set.name << ")\n";
}

}  // namespace

std::string codesAsked(const SlotSet& set) {
  if (set.bind.argument == Argument::ModelText) return "\"0\" to \"" + std::to_string(kLast) + "\"";
  return std::to_string(kFirst) + " to " + std::to_string(kLast);
}

std::vector<SelectionRow> selectionTable(const SlotSet& set) {
  const bool text = set.bind.argument == Argument::ModelText;
  std::vector<std::pair<std::string, std::vector<Run>>> packages;
  for (std::int32_t code = text ? 0 : kFirst; code <= kLast; ++code) {
    const std::string package = set.select(text ? Model{0, std::to_string(code)} : Model{code, {}});
    if (package.empty()) continue;
    auto row = std::find_if(packages.begin(), packages.end(),
                            [&](const auto& known) { return known.first == package; });
    if (row == packages.end()) row = packages.insert(packages.end(), {package, {}});
    std::vector<Run>& runs = row->second;
    if (!text && !runs.empty() && runs.back().last + 1 == code) {
      runs.back().last = code;
    } else {
      runs.push_back({code, code});
    }
  }
  std::vector<SelectionRow> rows;
  for (const auto& [package, runs] : packages) {
    SelectionRow row{package, {}};
    for (const Run& run : runs) row.codes.push_back(shownRun(run, text));
    rows.push_back(std::move(row));
  }
  return rows;
}

int selectCommand(const Options& options, const Io& io) {
  const SlotSet& set = setNamed(options.set);
  if (!set.selects()) {
    if (options.model) {
      throw UsageError{std::string(set.name) + " always loads " + std::string(set.fixedPackage) +
                       " and selects by no model code"};
    }
    io.out << set.fixedPackage << '\n';
    return 0;
  }
  if (!options.model) {
    printTable(set, io.out);
    return 0;
  }
  const Model model = modelOf(set, &*options.model);
  const std::string package = set.select(model);
  if (package.empty()) {
    io.err << "zep-host: model code " << catalog::showModel(set.bind.argument, model)
           << " selects no package for " << set.name << '\n';
    return 1;
  }
  io.out << package << '\n';
  return 0;
}

}  // namespace zep::host
