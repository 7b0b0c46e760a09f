// zep-host's command line: help, select, check, demo.
#include "host/commands.hpp"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "host/check.hpp"

namespace zep::host {
namespace {

namespace fs = std::filesystem;

using catalog::readModel;
using catalog::showModel;

// A command line that cannot be run; what() says why.
struct UsageError {
  std::string reason;
};

// The command's words once its options are taken out.
struct CommandLine {
  std::string command;
  std::vector<std::string> words;
  std::vector<fs::path> packagePath;
  // check's --json and --unload.
  bool json = false;
  bool unload = false;
};

CommandLine parse(const std::vector<std::string>& arguments) {
  CommandLine line;
  line.command = arguments.front();
  const std::string_view option = "--package-path";
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == option) {
      if (++i == arguments.size()) throw UsageError{"--package-path needs a directory"};
      line.packagePath.emplace_back(arguments[i]);
    } else if (argument.starts_with(std::string(option) + "=")) {
      line.packagePath.emplace_back(argument.substr(option.size() + 1));
    } else if (argument == "--json") {
      line.json = true;
    } else if (argument == "--unload") {
      line.unload = true;
    } else if (argument.size() > 1 && argument.front() == '-' && argument != "-") {
      // A negative model code is a word, not an option.
      if (!readModel(Argument::ModelCode, argument)) {
        throw UsageError{"unknown option " + argument};
      }
      line.words.push_back(argument);
    } else {
      line.words.push_back(argument);
    }
  }
  return line;
}

std::string setNames() {
  std::string names;
  for (const SlotSet& set : catalog::sets())
    names += (names.empty() ? "" : ", ") + std::string(set.name);
  return names;
}

const SlotSet& setNamed(const std::string& name) {
  const SlotSet* set = catalog::findSet(name);
  if (set == nullptr)
    throw UsageError{"no set is called " + catalog::quoted(name) + "; the sets are " + setNames()};
  return *set;
}

// What the argument is, for messages and help: "model code (a text)".
std::string describe(Argument argument) {
  if (argument == Argument::None) return "nothing";
  return std::string(catalog::argumentName(argument)) +
         (argument == Argument::ModelText ? " (a text)" : " (a 32-bit integer)");
}

// `form` is the command's usage, for the message.
void expectWords(const CommandLine& line, std::size_t least, std::size_t most, const char* form) {
  if (line.words.size() < least || line.words.size() > most) {
    throw UsageError{"usage: zep-host " + line.command + " " + form};
  }
}

void refusePackagePath(const CommandLine& line) {
  if (!line.packagePath.empty()) throw UsageError{line.command + " takes no --package-path"};
}

void refuseCheckOptions(const CommandLine& line) {
  if (line.json || line.unload) {
    throw UsageError{line.command + " takes no " + (line.json ? "--json" : "--unload")};
  }
}

Model modelFor(const SlotSet& set, Argument argument, const std::string& text) {
  std::optional<Model> model = readModel(argument, text);
  if (!model) {
    throw UsageError{std::string(set.name) + " takes a " + describe(argument) + ", not " +
                     catalog::quoted(text)};
  }
  return *model;
}

// The MODEL word of select and check, by what the set takes.
Model modelOf(const SlotSet& set, const CommandLine& line) {
  const bool given = line.words.size() > 1;
  switch (set.bind.argument) {
    case Argument::None:
      if (given) throw UsageError{std::string(set.name) + " takes no model code"};
      return {};
    case Argument::UseFlag:
      return given ? modelFor(set, Argument::UseFlag, line.words[1]) : Model{1, {}};
    case Argument::ModelCode:
    case Argument::ModelText:
      if (!given)
        throw UsageError{std::string(set.name) + " needs a " + describe(set.bind.argument)};
      break;
  }
  return modelFor(set, set.bind.argument, line.words[1]);
}

std::vector<fs::path> directories(const CommandLine& line) {
  std::vector<fs::path> absolute;
  for (const fs::path& directory : line.packagePath) {
    std::error_code error;
    if (!fs::is_directory(directory, error)) {
      throw UsageError{"--package-path " + directory.string() + " is no directory"};
    }
    // A relative DIR needs the current directory, which may be gone.
    fs::path made = fs::absolute(directory, error);
    if (error) {
      throw UsageError{"--package-path " + directory.string() +
                       " cannot be made absolute: " + error.message()};
    }
    absolute.push_back(std::move(made));
  }
  return absolute;
}

int select(const CommandLine& line, const Io& io) {
  refusePackagePath(line);
  refuseCheckOptions(line);
  expectWords(line, 1, 2, "SET [MODEL]");
  const SlotSet& set = setNamed(line.words[0]);
  if (!set.selects()) {
    if (line.words.size() > 1) {
      throw UsageError{std::string(set.name) + " always loads " + std::string(set.fixedPackage) +
                       " and selects by no model code"};
    }
    io.out << set.fixedPackage << '\n';
    return 0;
  }
  const Model model = modelOf(set, line);
  const std::string package = set.select(model);
  if (package.empty()) {
    io.err << "zep-host: model code " << showModel(set.bind.argument, model)
           << " selects no package for " << set.name << '\n';
    return 1;
  }
  io.out << package << '\n';
  return 0;
}

int checkCommand(const CommandLine& line, const Io& io) {
  expectWords(line, 1, 2, "SET [MODEL] [--package-path DIR] [--unload] [--json]");
  if (line.json && !canPrintJson()) {
    throw UsageError{"--json is not available: this zep-host was built without nlohmann-json"};
  }
  const SlotSet& set = setNamed(line.words[0]);
  const Model model = modelOf(set, line);
  const std::vector<fs::path> path = directories(line);
  if (!path.empty()) usePackagePath(path);
  const CheckReport report = check(set, model, {.verifyUnload = line.unload});
  (line.json ? printJson : printReport)(report, io.out);
  return report.exitStatus();
}

int demoCommand(const CommandLine& line, const Io& io) {
  refuseCheckOptions(line);
  expectWords(line, 0, 0, "[--package-path DIR]");
  std::vector<fs::path> path = directories(line);
  if (path.empty()) {
    std::error_code error;
    if (!fs::is_directory(io.simulatedPackages, error)) {
      io.err << "zep-host: the simulated packages are not in " << io.simulatedPackages.string()
             << "; build the target zep_simulated, or name a directory with --package-path\n";
      return 1;
    }
    path.push_back(fs::weakly_canonical(fs::absolute(io.simulatedPackages)));
  }
  usePackagePath(path);
  return demo(io, path.front().string());
}

void help(std::ostream& out) {
  out << "usage: zep-host COMMAND [ARGUMENTS]\n"
         "\n"
         "A host program on the module's public interface: it binds slot sets through the\n"
         "default shared package, which finds packages in ZEP_PACKAGE_PATH and beside itself.\n"
         "\n"
         "commands:\n"
         "  demo [--package-path DIR]\n"
         "      bind every set against the simulated packages, run one sale through the\n"
         "      fiscal printer, scale and display, and unbind every set again\n"
         "  check SET [MODEL] [--package-path DIR] [--unload] [--json]\n"
         "      bind SET and list every entry of its table as bound or missing, with the\n"
         "      package's exports that come closest to a missing one; explain a package\n"
         "      that does not load, and flag one that calls its own exports through the\n"
         "      PLT or can never be unloaded; exit status 0 when all are bound and nothing\n"
         "      is flagged, 1 when the set binds with findings, 2 when it does not bind\n"
         "      --unload   unbind, then verify that the package is really gone\n"
         "      --json     print the findings as one JSON document\n"
         "  select SET [MODEL]\n"
         "      print the package that SET loads for MODEL\n"
         "  help, --help, -h\n"
         "      this text\n"
         "\n"
         "--package-path DIR   search DIR (and the shared package's own directory) instead\n"
         "                     of ZEP_PACKAGE_PATH; give it again for more directories\n"
         "\n"
         "SET, in any letter case, and its MODEL:\n";
  for (const SlotSet& set : catalog::sets()) {
    std::string name(set.name);
    out << "  " << name << std::string(name.size() < 11 ? 11 - name.size() : 1, ' ');
    const Argument argument = set.bind.argument;
    out << (argument == Argument::None ? "none" : describe(argument));
    if (argument == Argument::UseFlag) out << ", 1 when left out";
    if (set.departures.gate == catalog::Gate::PositiveUseFlag) out << "; binds only above 0";
    if (set.selects()) {
      out << " that selects the package";
    } else {
      out << "; package " << set.fixedPackage;
    }
    out << '\n';
  }
  out << "\nWrong arguments exit with status " << kUsageError << ".\n";
}

}  // namespace

void usePackagePath(const std::vector<fs::path>& directories) {
  // The platform's list separator, told apart without a platform switch.
  const char separator = fs::path::preferred_separator == '\\' ? ';' : ':';
  std::string value = "ZEP_PACKAGE_PATH=";
  for (std::size_t i = 0; i < directories.size(); ++i) {
    if (i != 0) value += separator;
    value += directories[i].string();
  }
  // putenv keeps the text itself, so each one must outlive its use.
  static std::deque<std::string> assignments;
  assignments.push_back(value);
  putenv(assignments.back().data());
}

int run(const std::vector<std::string>& arguments, const Io& io) {
  try {
    if (arguments.empty()) throw UsageError{"no command given"};
    const std::string& command = arguments.front();
    const auto asksHelp = [](const std::string& word) { return word == "--help" || word == "-h"; };
    if (command == "help" || std::any_of(arguments.begin(), arguments.end(), asksHelp)) {
      help(io.out);
      return 0;
    }
    const CommandLine line = parse(arguments);
    if (command == "demo") return demoCommand(line, io);
    if (command == "check") return checkCommand(line, io);
    if (command == "select") return select(line, io);
    throw UsageError{"no command is called \"" + command + "\""};
  } catch (const UsageError& error) {
    io.err << "zep-host: " << error.reason << "\nTry 'zep-host --help'.\n";
    return kUsageError;
  }
}

}  // namespace zep::host
