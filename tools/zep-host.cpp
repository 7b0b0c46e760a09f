// zep-host: a host program built on the module's public interface alone.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "host/commands.hpp"

namespace {

// The directory of this program: the link the kernel keeps where there is
// one, else the program's name as it was started.
std::filesystem::path programDirectory(const char* invokedAs) {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) program = std::filesystem::absolute(invokedAs, error);
  return program.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
  // A program may be started with no arguments at all, not even its name.
  const std::vector<std::string> arguments(argc > 1 ? argv + 1 : argv,
                                           argc > 1 ? argv + argc : argv);
  const zep::host::Io io{std::cout, std::cerr,
                         programDirectory(argc > 0 ? argv[0] : "") / ZEP_SIMULATED_FROM_PROGRAM};
  return zep::host::run(arguments, io);
}
