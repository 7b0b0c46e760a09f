// The commands of zep-host, callable in-process so that tests run them as the
// program does.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace zep::host {

// Exit status of a command line that cannot be run as written.
inline constexpr int kUsageError = 64;

struct Io {
  std::ostream& out;
  std::ostream& err;
  // Where the simulated packages lie, for demo.
  std::filesystem::path simulatedPackages;
};

// Runs the command line without the program's name: "demo", "check ...".
int run(const std::vector<std::string>& arguments, const Io& io);

// The demo, binding against the packages in `packages`; `verbose` names every
// slot a bind left null.
int demo(const Io& io, const std::string& packages, bool verbose = false);

// Has the default shared package search `directories` (absolute paths).
void usePackagePath(const std::vector<std::filesystem::path>& directories);

}  // namespace zep::host
