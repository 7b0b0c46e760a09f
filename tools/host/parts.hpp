// The parts of zep-host's commands that its command line puts together:
// the words a command line gives, read, and each command's body.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/commands.hpp"
#include "host/report.hpp"
#include "inspect/identify.hpp"

namespace zep::host {

// A command line that cannot be run, as CLI11 carries its own errors to
// App::exit; what() says why.
struct UsageError : CLI::ParseError {
  explicit UsageError(const std::string& reason) : CLI::ParseError(reason, kUsageError) {}
};

// The options and words of the command given, as CLI11 parses them.
struct Options {
  // check's SET and SET=MODEL words, select's SET and MODEL, trace's FILE,
  // identify's FILEs, check's --till FILE.
  std::vector<std::string> words;
  std::string set;
  std::optional<std::string> model;
  std::string file;
  std::vector<std::string> files;
  std::optional<std::string> till;
  // trace's --export OUT.json.
  std::optional<std::string> exported;
  std::vector<std::filesystem::path> packagePath;
  // check's, identify's and trace's --json, check's --unload, demo's --verbose.
  bool json = false;
  bool unload = false;
  bool verbose = false;
};

inline constexpr const char* kPackagePath = "--package-path";

// The set of that name in any letter case; a UsageError naming every set else.
const SlotSet& setNamed(const std::string& name);
// What the argument is, for messages and help: "model code (a text)".
std::string describe(Argument argument);
// The model given for `set` (null: none given), by what the set takes.
Model modelOf(const SlotSet& set, const std::string* given);
// The sets check is asked about: SET [MODEL] for one, or SET[=MODEL] a word
// for each of several.
std::vector<inspect::CheckRequest> checkRequests(const std::vector<std::string>& words);
// A till's configuration: a line `SET [MODEL]` a set, `#` comments and blank
// lines; a line that names no set or a malformed model is a UsageError that
// gives its number.
std::vector<inspect::CheckRequest> tillRequests(const std::string& file);
// One --package-path DIR, whole and absolute.
std::filesystem::path packageDirectory(const std::string& given);
// What SET and MODEL may be, for the help texts.
std::string setsHelp();

// A selecting set's table as its exported selection answers: each package
// with the codes that select it, in the order of their first code.
struct SelectionRow {
  std::string package;
  std::vector<std::string> codes;  // "1-2", "9", or "\"10\"" for text codes
};
std::vector<SelectionRow> selectionTable(const SlotSet& set);
// The codes asked of a set's selection to make its table.
std::string codesAsked(const SlotSet& set);

// The sets that load `package`: by the model codes given, or always (no codes).
struct LoadedBy {
  std::string set;
  std::vector<std::string> codes;
};
std::vector<LoadedBy> loadedBy(const std::string& package);

int selectCommand(const Options& options, const Io& io);
int identifyCommand(const Options& options, const Io& io);

// identify's findings as one JSON document: {"files": [...], "exitStatus"}.
void printIdentitiesJson(const std::vector<inspect::Identity>& identities, std::ostream& out);

}  // namespace zep::host
