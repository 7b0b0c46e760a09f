#include "inspect/package.hpp"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "object/image.hpp"
#include "platform/loaded.hpp"
#include "platform/platform.hpp"
#include "shared_package/package_search.hpp"
#include "shared_package/trust.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::inspect {
namespace {

using catalog::lowerLetter;
using catalog::sameLetters;

// Whether `a` and `b`, letter case aside, differ by exactly one insertion,
// deletion, substitution or swap of neighbours.
bool oneEditApart(std::string_view a, std::string_view b) {
  if (a.size() > b.size()) std::swap(a, b);
  if (b.size() - a.size() > 1) return false;
  std::size_t head = 0;
  while (head < a.size() && lowerLetter(a[head]) == lowerLetter(b[head])) ++head;
  if (head == a.size()) return a.size() != b.size();
  if (a.size() != b.size()) return sameLetters(a.substr(head), b.substr(head + 1));
  if (sameLetters(a.substr(head + 1), b.substr(head + 1))) return true;
  return head + 1 < a.size() && lowerLetter(a[head]) == lowerLetter(b[head + 1]) &&
         lowerLetter(a[head + 1]) == lowerLetter(b[head]) &&
         sameLetters(a.substr(head + 2), b.substr(head + 2));
}

// "@Unit@Entry" or "@Unit@Entry$qqrv": the entry as a Windows package
// compiled with decorated names exports it.
bool decorates(std::string_view exported, std::string_view entry) {
  if (!exported.starts_with('@')) return false;
  std::string_view::size_type end = exported.find('$');
  std::string_view name = exported.substr(0, end);
  std::string_view::size_type at = name.rfind('@');
  return at != 0 && name.substr(at + 1) == entry;
}

std::string demangled(const std::string& symbol) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> name(
      abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status), &std::free);
  return status == 0 && name ? std::string(name.get()) : symbol;
}

std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// The names every set's slots bear: under a host that links the module
// directly, these stand in the global scope.
bool isSlotName(std::string_view name) {
  for (const catalog::SlotSet& set : catalog::sets()) {
    for (const catalog::Slot& slot : set.slots) {
      if (slot.name == name) return true;
    }
  }
  return false;
}

}  // namespace

std::vector<NearMiss> nearMisses(std::string_view entry, const std::vector<std::string>& exports,
                                 const std::vector<std::string_view>& table) {
  std::vector<NearMiss> found;
  for (const char* how : {kLetterCase, kOneEdit, kDecorated}) {
    for (const std::string& exported : exports) {
      if (std::find(table.begin(), table.end(), exported) != table.end()) continue;
      bool near = how == kLetterCase ? exported != entry && sameLetters(exported, entry)
                  : how == kOneEdit ? !sameLetters(exported, entry) && oneEditApart(exported, entry)
                                    : decorates(exported, entry);
      if (near) found.push_back({exported, how});
    }
  }
  return found;
}

void inspectPackage(CheckReport& report) {
  const void* bound = nullptr;
  for (const EntryFinding& finding : report.entries) {
    if (finding.bound && bound == nullptr) bound = *finding.slot->address;
  }
  report.file = platform::loadedLibraryPath(platform::packageFileName(report.package), bound);
  // The cheque printer's bind returns after a failed load too; then no file is loaded.
  if (report.file.empty() && report.boundEntries() == 0) return;
  if (report.file.empty()) {
    report.notes.push_back("no loaded library is called " +
                           platform::packageFileName(report.package) +
                           ", so the package's own exports were not read");
    return;
  }
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!object::readFile(report.file, bytes, error)) {
    report.notes.push_back("cannot read " + report.file + ": " + error);
    return;
  }
  report.image = object::readImage(bytes);
  const object::Image& image = *report.image;
  if (!image.defect.empty()) report.notes.push_back(report.file + " is damaged: " + image.defect);

  std::vector<std::string_view> table;
  for (const catalog::Slot& slot : report.set->slots) table.push_back(slot.entry);
  for (EntryFinding& finding : report.entries) {
    if (!finding.bound) finding.nearMisses = nearMisses(finding.slot->entry, image.exports, table);
  }

  std::vector<std::string> intoSlots;
  std::copy_if(image.selfCallsByName.begin(), image.selfCallsByName.end(),
               std::back_inserter(intoSlots), isSlotName);
  if (!intoSlots.empty()) {
    report.warnings.push_back(
        {kSelfCalls, intoSlots,
         "calls its own exports " + listed(intoSlots) +
             " through the PLT: under a host that links the module directly, such a call "
             "reaches the module's slot of that name instead, and crashes",
         "link the package with -Wl,-Bsymbolic-functions"});
  }
  if (image.noDelete) {
    report.warnings.push_back(
        {kNeverUnloaded,
         {"DF_1_NODELETE"},
         "is marked never to be unloaded (DF_1_NODELETE): its unbind leaves it mapped",
         "link the package without -z nodelete"});
  }
  if (!image.uniqueSymbols.empty()) {
    std::vector<std::string> names;
    for (const std::string& symbol : image.uniqueSymbols) names.push_back(demangled(symbol));
    report.warnings.push_back(
        {kNeverUnloaded, names,
         "has GNU-unique symbols (" + listed(names) +
             "), and glibc keeps a library with any mapped after its last unload",
         "build the package with -fno-gnu-unique"});
  }
}

void verifyUnload(CheckReport& report) {
  if (report.file.empty()) return;
  if (!platform::isLoaded(report.file)) {
    report.unload = UnloadFinding{true, {}};
    return;
  }
  const bool noDelete = report.image && report.image->noDelete;
  const bool unique = report.image && !report.image->uniqueSymbols.empty();
  std::string why = noDelete ? "it is marked never to be unloaded (DF_1_NODELETE)"
                    : unique ? "its GNU-unique symbols keep it mapped"
                             : "something else in this process still holds it: another load of "
                               "the same file, a library that needs it, or thread-local objects "
                               "with destructors";
  report.unload = UnloadFinding{false, why};
  // What the file shows has been flagged already; a cause it does not show
  // is a finding of its own, since a till that rebinds keeps running the old
  // copy, even after the file is replaced.
  if (!noDelete && !unique) {
    report.warnings.push_back(
        {kStillMapped, {report.file}, "is still mapped after its unbind: " + why, ""});
  }
}

void inspectTrust(CheckReport& report) {
  // The shared package searches beside itself last.
  const std::string sharedPackageDirectory =
      platform::directoryOf(reinterpret_cast<const void*>(&LoadBPL_FOS));
  std::string tried;
  std::optional<shared_package::FoundPackage> found = shared_package::findPackage(
      platform::environment("ZEP_PACKAGE_PATH"), sharedPackageDirectory, report.package, tried);
  if (!found) return;
  for (shared_package::TrustFinding& finding :
       shared_package::trustFindings(*found, platform::effectiveUser())) {
    report.warnings.push_back({finding.kind,
                               {std::move(finding.subject)},
                               std::move(finding.problem),
                               std::move(finding.remedy),
                               finding.refused});
  }
}

}  // namespace zep::inspect
