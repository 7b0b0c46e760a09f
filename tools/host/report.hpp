// zep-host check's renderings of the check reports: text for a till
// engineer, JSON for a driver author's own CI.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/check.hpp"

namespace zep::host {

using catalog::Argument;
using catalog::Model;
using catalog::SlotSet;
using inspect::CheckReport;

// A name or argument of someone else's inside a message: its control bytes
// escaped as catalog::quoted escapes them, so that no escape sequence reaches
// the terminal, but without the quotes.
std::string shown(std::string_view text);
// Text from outside zep-host (a loader's message, a package's export names, a
// path given as DIR): its control bytes escaped the same way, its lines kept.
std::string printable(std::string_view text);

void printReport(const CheckReport& report, std::ostream& out);
// Each set's report, then one summary line a set.
void printReportsOfSets(const std::vector<CheckReport>& reports, std::ostream& out);
// The same findings as one JSON document.
void printJson(const CheckReport& report, std::ostream& out);
// {"reports": [one document a set], "exitStatus": the worst}.
void printJsonOfSets(const std::vector<CheckReport>& reports, std::ostream& out);
// False where zep-host was built without a JSON library: the JSON renderings
// then cannot be called.
bool canPrintJson();

}  // namespace zep::host
