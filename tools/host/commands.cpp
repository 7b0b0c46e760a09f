// zep-host's command line, wholly CLI11's: each command a subcommand whose
// callback runs it, CLI11's help, and CLI11's errors told in zep-host's words.
#include "host/commands.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>
#include <utility>

#include "host/parts.hpp"
#include "host/trace.hpp"

namespace zep::host {
namespace {

namespace fs = std::filesystem;

int checkCommand(const Options& options, const Io& io) {
  if (options.till && !options.words.empty())
    throw UsageError{"check takes either SET words or --till FILE, not both"};
  if (!options.till && options.words.empty()) throw CLI::RequiredError("SET");
  const std::vector<inspect::CheckRequest> requests =
      options.till ? tillRequests(*options.till) : checkRequests(options.words);
  if (!options.packagePath.empty()) usePackagePath(options.packagePath);
  const std::vector<CheckReport> reports =
      inspect::check(requests, {.verifyUnload = options.unload});
  if (reports.size() == 1 && !options.till) {
    (options.json ? printJson : printReport)(reports.front(), io.out);
  } else {
    (options.json ? printJsonOfSets : printReportsOfSets)(reports, io.out);
  }
  return inspect::worstStatus(reports);
}

int demoCommand(const Options& options, const Io& io) {
  std::vector<fs::path> path = options.packagePath;
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
  return demo(io, path.front().string(), options.verbose);
}

int traceCommand(const Options& options, const Io& io) {
  std::string problem;
  if (options.exported) {
    std::ofstream out(*options.exported, std::ios::binary);
    if (out && exportTrace(options.file, out, problem) && out.flush()) return 0;
    out.close();
    fs::remove(*options.exported);
    io.err << "zep-host: "
           << (problem.empty() ? "cannot write " + catalog::quoted(*options.exported) : problem)
           << '\n';
    return 1;
  }
  const std::optional<TraceSummary> summary = summariseTraceFile(options.file, problem);
  if (!summary) {
    io.err << "zep-host: " << problem << '\n';
    return 1;
  }
  (options.json ? printTraceJson : printTrace)(*summary, io.out);
  return 0;
}

constexpr const char* kCheckDescription =
    "bind each SET and list every entry of its table as bound or missing, with the\n"
    "package's exports that come closest to a missing one; explain a package that\n"
    "does not load, and flag one that calls its own exports through the PLT or can\n"
    "never be unloaded; of several sets, end with one summary line a set. Exit status\n"
    "0 when all are bound and nothing is flagged, 1 when a set binds with findings,\n"
    "2 when one does not bind. --till FILE checks a till's configuration: a line\n"
    "SET [MODEL] a set, '#' comments; a line naming no set or a malformed model\n"
    "is told with its number";

const std::string kStatusNote =
    "Wrong arguments exit with status " + std::to_string(kUsageError) + ".";

// CLI11's help, with each command's usage written as zep-host writes it: the
// same form tells a command line that does not fit it.
class Formatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App* app, std::string name) const override {
    return usage(*app, name) + "\n";
  }
  // `name` is the program's and the command's: "zep-host check".
  std::string usage(const CLI::App& app, const std::string& name) const {
    return "usage: " + name + " " + forms.at(&app);
  }
  std::map<const CLI::App*, std::string> forms;
};

// zep-host's commands, each a subcommand that CLI11 parses into `options_`
// and whose callback runs it.
class CommandLine {
 public:
  explicit CommandLine(const Io& io) : io_(io) {
    app_.formatter(formatter_);
    formatter_->forms[&app_] = "COMMAND [ARGUMENTS]";
    app_.set_help_flag("-h,--help", "this text");
    app_.require_subcommand(1);
    app_.footer(setsHelp() + "\n" + kStatusNote);
    app_.failure_message([this](const CLI::App*, const CLI::Error& error) {
      return "zep-host: " + explain(error) + "\nTry 'zep-host --help'.\n";
    });

    CLI::App* demo = command("demo", "[--package-path DIR] [--verbose]",
                             "bind every set against the simulated packages, run one sale "
                             "through the\nfiscal printer, scale and display, and unbind every "
                             "set again",
                             demoCommand);
    packagePath(demo);
    demo->add_flag("--verbose", options_.verbose,
                   "name every slot a bind left null, not only the first few");

    CLI::App* check =
        command("check",
                "SET [MODEL] [--package-path DIR] [--unload] [--json], or SET[=MODEL]..., or "
                "--till FILE",
                kCheckDescription, checkCommand);
    check->add_option("SET", options_.words, "SET [MODEL] of one set, or SET[=MODEL] of each");
    check->add_option_function<std::string>(
        "--till", [this](const std::string& file) { options_.till = file; },
        "the till's configuration, a line SET [MODEL] a set");
    packagePath(check);
    check->add_flag("--unload", options_.unload,
                    "unbind, then verify that the package is really gone");
    json(check, "print the findings as one JSON document");
    check->footer(setsHelp() + "\n" + kStatusNote);

    CLI::App* select = command("select", "SET [MODEL]",
                               "print the package that SET loads for MODEL; without MODEL, "
                               "SET's whole\ntable: each package, the codes that select it, "
                               "and what any other code gives",
                               selectCommand);
    select->add_option("SET", options_.set, "the set")->required();
    select->add_option_function<std::string>(
        "MODEL", [this](const std::string& model) { options_.model = model; },
        "its model code, where it takes one");
    select->footer(setsHelp() + "\n" + kStatusNote);

    CLI::App* identify =
        command("identify", "FILE... [--json]",
                "for each package FILE: the sets whose entries it exports, counted, the most\n"
                "first; the model codes that select its name; and whether the default shared\n"
                "package would load it where it stands. Exit status 0 when each serves a set\n"
                "and would be loaded, else 1",
                identifyCommand);
    identify->add_option("FILE", options_.files, "a package's file")->required();
    json(identify, "print the findings as one JSON document");

    CLI::App* trace = command("trace", "FILE [--json | --export OUT.json]",
                              "summarise a call trace that ZEP_TRACE wrote: calls, calls that "
                              "never\nreturned, total, mean and longest time per entry and "
                              "thread, the\nlast calls before the file ends and the module's "
                              "last notes",
                              traceCommand);
    trace->add_option("FILE", options_.file, "the trace; FILE.1, the one before it, is left alone")
        ->required();
    json(trace, "print the summary as one JSON document");
    trace->add_option_function<std::string>(
        "--export", [this](const std::string& out) { options_.exported = out; },
        "write the trace as Chrome trace-event JSON to OUT.json, which Perfetto's UI\nand "
        "chrome://tracing open");

    // A word for help as well as the options; silent, so that the help it
    // asks for is the program's, not its own.
    app_.add_subcommand("help", "this text")->silent()->preparse_callback([](std::size_t) {
      throw CLI::CallForHelp();
    });
  }

  int run(const std::vector<std::string>& arguments) {
    try {
      // CLI11 takes the words last first.
      app_.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));
      return status_;
    } catch (const CLI::ParseError& error) {
      // Help exits 0; every wrong command line, CLI11's or ours, the one status.
      return app_.exit(error, io_.out, io_.err) == 0 ? 0 : kUsageError;
    }
  }

 private:
  CLI::App* command(const char* name, const char* form, const char* description,
                    int (*body)(const Options&, const Io&)) {
    CLI::App* command = app_.add_subcommand(name, description);
    formatter_->forms[command] = form;
    command->set_help_flag("-h,--help", "this text");
    command->footer(kStatusNote);
    command->callback([this, body] { status_ = body(options_, io_); });
    return command;
  }

  void packagePath(CLI::App* command) {
    command
        ->add_option_function<std::vector<std::string>>(
            kPackagePath,
            [this](const std::vector<std::string>& given) {
              for (const std::string& directory : given)
                options_.packagePath.push_back(packageDirectory(directory));
            },
            "search DIR (and the shared package's own directory) instead of "
            "ZEP_PACKAGE_PATH; give it again for more directories")
        ->type_name("DIR")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }

  void json(CLI::App* command, const char* description) {
    command->add_flag_callback(
        "--json",
        [this] {
          if (!canPrintJson()) {
            throw UsageError{
                "--json is not available: this zep-host was built without nlohmann-json"};
          }
          options_.json = true;
        },
        description);
  }

  // What CLI11 found wrong, in zep-host's words.
  std::string explain(const CLI::Error& error) const {
    if (dynamic_cast<const UsageError*>(&error) != nullptr) return error.what();
    const std::vector<CLI::App*> given = app_.get_subcommands();
    if (given.empty()) {
      const std::vector<std::string> words = app_.remaining();
      return words.empty() ? "no command given"
                           : "no command is called " + catalog::quoted(words.front());
    }
    const CLI::App& command = *given.front();
    const std::string usage = formatter_->usage(command, "zep-host " + command.get_name());
    // The one option that takes a value.
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr)
      return std::string(kPackagePath) + " needs a directory";
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
      const std::vector<std::string> extras = app_.remaining(true);
      if (extras.empty()) return shown(error.what());
      const std::string& extra = extras.front();
      if (extra.size() < 2 || extra.front() != '-') return usage;
      // An option of another command is told as such rather than as unknown.
      const std::string name = extra.substr(0, extra.find('='));
      for (const CLI::App* other : app_.get_subcommands({})) {
        if (other->get_option_no_throw(name) != nullptr)
          return command.get_name() + " takes no " + shown(name);
      }
      return "unknown option " + shown(extra);
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) return usage;
    // CLI11's own words, which may quote an argument.
    return shown(error.what());
  }

  const Io& io_;
  std::shared_ptr<Formatter> formatter_ = std::make_shared<Formatter>();
  CLI::App app_{
      "A host program on the module's public interface: it binds slot sets through the\n"
      "default shared package, which finds packages in ZEP_PACKAGE_PATH and beside itself.",
      "zep-host"};
  Options options_;
  int status_ = 0;
};

}  // namespace

void usePackagePath(const std::vector<fs::path>& directories) {
  std::string value = "ZEP_PACKAGE_PATH=";
  for (std::size_t i = 0; i < directories.size(); ++i) {
    if (i != 0) value += inspect::packagePathSeparator();
    value += directories[i].string();
  }
  // putenv keeps the text itself, so each one must outlive its use.
  static std::deque<std::string> assignments;
  assignments.push_back(value);
  putenv(assignments.back().data());
}

int run(const std::vector<std::string>& arguments, const Io& io) {
  return CommandLine(io).run(arguments);
}

}  // namespace zep::host
