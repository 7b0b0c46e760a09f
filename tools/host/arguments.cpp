// The words of zep-host's command lines and of a till's configuration, read
// into sets and model codes.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "host/parts.hpp"

namespace zep::host {

namespace fs = std::filesystem;

using catalog::readModel;

namespace {

std::string setNames() {
  std::string names;
  for (const SlotSet& set : catalog::sets())
    names += (names.empty() ? "" : ", ") + std::string(set.name);
  return names;
}

Model modelFor(const SlotSet& set, Argument argument, const std::string& text) {
  std::optional<Model> model = readModel(argument, text);
  if (!model) {
    throw UsageError{std::string(set.name) + " takes a " + describe(argument) + ", not " +
                     catalog::quoted(text)};
  }
  return *model;
}

}  // namespace

const SlotSet& setNamed(const std::string& name) {
  const SlotSet* set = catalog::findSet(name);
  if (set == nullptr)
    throw UsageError{"no set is called " + catalog::quoted(name) + "; the sets are " + setNames()};
  return *set;
}

std::string describe(Argument argument) {
  if (argument == Argument::None) return "nothing";
  return std::string(catalog::argumentName(argument)) +
         (argument == Argument::ModelText ? " (a text)" : " (a 32-bit integer)");
}

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

std::vector<inspect::CheckRequest> tillRequests(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw UsageError{"--till " + shown(file) + " cannot be read"};
  std::vector<inspect::CheckRequest> requests;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::vector<std::string> given{std::istream_iterator<std::string>(words), {}};
    if (given.empty()) continue;
    try {
      if (given.size() > 2) {
        throw UsageError{"\"SET [MODEL]\" expected, not " + std::to_string(given.size()) +
                         " words"};
      }
      const SlotSet& set = setNamed(given[0]);
      requests.push_back({&set, modelOf(set, given.size() == 2 ? &given[1] : nullptr)});
    } catch (const UsageError& error) {
      throw UsageError{shown(file) + ":" + std::to_string(number) + ": " + error.what()};
    }
  }
  if (in.bad()) throw UsageError{"--till " + shown(file) + " cannot be read"};
  if (requests.empty()) throw UsageError{"--till " + shown(file) + " names no set"};
  return requests;
}

// The package path in the environment separates its directories with the
// platform's separator, so a directory whose name holds one could only be
// searched as two others, and is refused.
fs::path packageDirectory(const std::string& given) {
  std::error_code error;
  if (!fs::is_directory(given, error)) {
    throw UsageError{std::string(kPackagePath) + " " + shown(given) + " is no directory"};
  }
  // A relative DIR needs the current directory, which may be gone.
  fs::path made = fs::absolute(given, error);
  if (error) {
    throw UsageError{std::string(kPackagePath) + " " + shown(given) +
                     " cannot be made absolute: " + error.message()};
  }
  const char separator = inspect::packagePathSeparator();
  if (made.string().find(separator) != std::string::npos) {
    throw UsageError{std::string(kPackagePath) + " " + shown(made.string()) + " holds '" +
                     separator +
                     "', which separates the package path's directories; name the directory "
                     "by a path without it"};
  }
  return made;
}

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

}  // namespace zep::host
