// Running zep-host check in-process, as the program runs it, against one of
// the tree's package directories.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/commands.hpp"
#include "packages.hpp"

namespace checking {

using nlohmann::json;

struct Outcome {
  int status;
  std::string out;
};

inline Outcome check(const std::string& directory, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "check");
  // A directory of the tree's packages, or any absolute one.
  arguments.insert(
      arguments.end(),
      {"--package-path", directory.starts_with('/') ? directory : kPackages + "/" + directory});
  std::ostringstream out, err;
  int status = zep::host::run(arguments, {out, err, {}});
  return {status, out.str() + err.str()};
}

inline json checkJson(const std::string& directory, std::vector<std::string> arguments) {
  arguments.push_back("--json");
  Outcome outcome = check(directory, arguments);
  json document = json::parse(outcome.out);
  EXPECT_EQ(document["exitStatus"], outcome.status);
  return document;
}

inline json entry(const json& document, const std::string& name) {
  for (const json& row : document["entries"]) {
    if (row["entry"] == name) return row;
  }
  ADD_FAILURE() << "no entry " << name;
  return {};
}

}  // namespace checking
