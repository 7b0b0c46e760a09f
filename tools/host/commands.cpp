// zep-host's command line, parsed with CLI11: help, select, check, demo.
#include "host/commands.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "host/report.hpp"

namespace zep::host {
namespace {

namespace fs = std::filesystem;

using catalog::readModel;
using catalog::showModel;

// A command line that cannot be run; what() says why.
struct UsageError {
  std::string reason;
};

// The command's words and options as parsed.
struct CommandLine {
  std::string command;
  std::vector<std::string> words;
  std::vector<std::string> packagePath;
  // check's --json and --unload, demo's --verbose.
  bool json = false;
  bool unload = false;
  bool verbose = false;
};

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

Model modelFor(const SlotSet& set, Argument argument, const std::string& text) {
  std::optional<Model> model = readModel(argument, text);
  if (!model) {
    throw UsageError{std::string(set.name) + " takes a " + describe(argument) + ", not " +
                     catalog::quoted(text)};
  }
  return *model;
}

// The model given for `set` (null: none given), by what the set takes.
Model modelOf(const SlotSet& set, const std::string* given) {
  switch (set.bind.argument) {
    case Argument::None:
      if (given != nullptr) throw UsageError{std::string(set.name) + " takes no model code"};
      return {};
    case Argument::UseFlag:
      return given != nullptr ? modelFor(set, Argument::UseFlag, *given) : Model{1, {}};
    case Argument::ModelCode:
    case Argument::ModelText:
      if (given == nullptr)
        throw UsageError{std::string(set.name) + " needs a " + describe(set.bind.argument)};
      break;
  }
  return modelFor(set, set.bind.argument, *given);
}

// The sets check is asked about: SET [MODEL] for one, as it has always been
// written, or SET[=MODEL] a word for each of several.
std::vector<inspect::CheckRequest> checkRequests(const std::vector<std::string>& words) {
  const auto paired = [](const std::string& word) { return word.find('=') != std::string::npos; };
  if (words.size() == 2 && std::none_of(words.begin(), words.end(), paired) &&
      catalog::findSet(words[1]) == nullptr) {
    const SlotSet& set = setNamed(words[0]);
    return {{&set, modelOf(set, &words[1])}};
  }
  std::vector<inspect::CheckRequest> requests;
  for (const std::string& word : words) {
    const std::string::size_type equals = word.find('=');
    const SlotSet& set = setNamed(word.substr(0, equals));
    if (equals == std::string::npos) {
      requests.push_back({&set, modelOf(set, nullptr)});
    } else {
      const std::string model = word.substr(equals + 1);
      requests.push_back({&set, modelOf(set, &model)});
    }
  }
  return requests;
}

std::vector<fs::path> directories(const CommandLine& line) {
  std::vector<fs::path> absolute;
  for (const fs::path directory : line.packagePath) {
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
  const Model model = modelOf(set, line.words.size() > 1 ? &line.words[1] : nullptr);
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
  expectWords(line, 1, SIZE_MAX,
              "SET [MODEL] [--package-path DIR] [--unload] [--json], or SET[=MODEL]...");
  const std::vector<inspect::CheckRequest> requests = checkRequests(line.words);
  if (line.json && !canPrintJson()) {
    throw UsageError{"--json is not available: this zep-host was built without nlohmann-json"};
  }
  const std::vector<fs::path> path = directories(line);
  if (!path.empty()) usePackagePath(path);
  const std::vector<CheckReport> reports = inspect::check(requests, {.verifyUnload = line.unload});
  if (reports.size() == 1) {
    (line.json ? printJson : printReport)(reports.front(), io.out);
  } else {
    (line.json ? printJsonOfSets : printReportsOfSets)(reports, io.out);
  }
  return inspect::worstStatus(reports);
}

int demoCommand(const CommandLine& line, const Io& io) {
  expectWords(line, 0, 0, "[--package-path DIR] [--verbose]");
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
  return demo(io, path.front().string(), line.verbose);
}

// What SET and MODEL may be, for the help texts.
std::string setsHelp() {
  std::string text = "SET, in any letter case, and its MODEL:\n";
  for (const SlotSet& set : catalog::sets()) {
    std::string name(set.name);
    text += "  " + name + std::string(name.size() < 11 ? 11 - name.size() : 1, ' ');
    const Argument argument = set.bind.argument;
    text += argument == Argument::None ? "none" : describe(argument);
    if (argument == Argument::UseFlag) text += ", 1 when left out";
    if (set.departures.gate == catalog::Gate::PositiveUseFlag) text += "; binds only above 0";
    if (set.selects()) {
      text += " that selects the package";
    } else {
      text += "; package " + std::string(set.fixedPackage);
    }
    text += '\n';
  }
  return text;
}

constexpr const char* kCheckDescription =
    "bind each SET and list every entry of its table as bound or missing, with the\n"
    "package's exports that come closest to a missing one; explain a package that\n"
    "does not load, and flag one that calls its own exports through the PLT or can\n"
    "never be unloaded; of several sets, end with one summary line a set. Exit status\n"
    "0 when all are bound and nothing is flagged, 1 when a set binds with findings,\n"
    "2 when one does not bind";

void help(std::ostream& out) {
  out << "usage: zep-host COMMAND [ARGUMENTS]\n"
         "\n"
         "A host program on the module's public interface: it binds slot sets through the\n"
         "default shared package, which finds packages in ZEP_PACKAGE_PATH and beside itself.\n"
         "\n"
         "commands (COMMAND --help tells more of each):\n"
         "  demo [--package-path DIR] [--verbose]\n"
         "      bind every set against the simulated packages, run one sale through the\n"
         "      fiscal printer, scale and display, and unbind every set again\n"
         "      --verbose  name every slot a bind left null, not only the first few\n"
         "  check SET [MODEL] [--package-path DIR] [--unload] [--json]\n"
         "  check SET[=MODEL] SET[=MODEL]... [--package-path DIR] [--unload] [--json]\n"
      << "      " << kCheckDescription << '\n'
      << "      --unload   unbind, then verify that the package is really gone\n"
         "      --json     print the findings as one JSON document\n"
         "  select SET [MODEL]\n"
         "      print the package that SET loads for MODEL\n"
         "  help, --help, -h\n"
         "      this text\n"
         "\n"
         "--package-path DIR   search DIR (and the shared package's own directory) instead\n"
         "                     of ZEP_PACKAGE_PATH; give it again for more directories\n"
         "\n"
      << setsHelp() << "\nWrong arguments exit with status " << kUsageError << ".\n";
}

// Every option of any command, so that one given to a command that takes
// none is told as such rather than as unknown.
constexpr std::string_view kOptions[] = {"--package-path", "--json", "--unload"};

// zep-host's commands as CLI11 parses them into `line`.
struct Parser {
  CLI::App app{"A host program on the module's public interface", "zep-host"};
  CommandLine line;

  Parser() {
    app.set_help_flag();
    CLI::App* demo = command("demo",
                             "bind every set against the simulated packages, run one "
                             "sale, and unbind every set again");
    packagePath(demo);
    demo->add_flag("--verbose", line.verbose,
                   "name every slot a bind left null, not only the first few");
    CLI::App* check = command("check", kCheckDescription);
    check->add_option("SET", line.words, "SET [MODEL] of one set, or SET[=MODEL] of each");
    packagePath(check);
    check->add_flag("--unload", line.unload, "unbind, then verify that the package is really gone");
    check->add_flag("--json", line.json, "print the findings as one JSON document");
    check->footer(setsHelp());
    CLI::App* select = command("select", "print the package that SET loads for MODEL");
    select->add_option("SET", line.words, "SET [MODEL]");
    select->footer(setsHelp());
  }

  CLI::App* command(const char* name, const char* description) {
    CLI::App* command = app.add_subcommand(name, description);
    command->set_help_flag("-h,--help", "this text");
    // Left for run() to tell in zep-host's own words.
    command->allow_extras();
    return command;
  }

  void packagePath(CLI::App* command) {
    command
        ->add_option("--package-path", line.packagePath,
                     "search DIR (and the shared package's own directory) instead of "
                     "ZEP_PACKAGE_PATH; give it again for more directories")
        ->type_name("DIR")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }

  // Parses `arguments`, whose first is a command's name.
  void parse(const std::vector<std::string>& arguments) {
    line.command = arguments.front();
    try {
      app.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));
    } catch (const CLI::ArgumentMismatch&) {
      // The one option that takes a value.
      throw UsageError{"--package-path needs a directory"};
    }
    for (const std::string& extra : app.get_subcommand(line.command)->remaining()) {
      if (extra.size() < 2 || extra.front() != '-') {
        throw UsageError{"usage: zep-host " + line.command + " [--package-path DIR]"};
      }
      const std::string_view name = std::string_view(extra).substr(0, extra.find('='));
      if (std::find(std::begin(kOptions), std::end(kOptions), name) != std::end(kOptions)) {
        throw UsageError{line.command + " takes no " + std::string(name)};
      }
      throw UsageError{"unknown option " + extra};
    }
  }
};

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
  Parser parser;
  try {
    if (arguments.empty()) throw UsageError{"no command given"};
    const std::string& command = arguments.front();
    if (command == "help" || command == "--help" || command == "-h") {
      help(io.out);
      return 0;
    }
    if (command != "demo" && command != "check" && command != "select") {
      throw UsageError{"no command is called \"" + command + "\""};
    }
    parser.parse(arguments);
    const CommandLine& line = parser.line;
    if (command == "demo") return demoCommand(line, io);
    if (command == "check") return checkCommand(line, io);
    return select(line, io);
  } catch (const CLI::CallForHelp&) {
    io.out << parser.app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    io.err << "zep-host: " << error.what() << "\nTry 'zep-host --help'.\n";
    return kUsageError;
  } catch (const UsageError& error) {
    io.err << "zep-host: " << error.reason << "\nTry 'zep-host --help'.\n";
    return kUsageError;
  }
}

}  // namespace zep::host
