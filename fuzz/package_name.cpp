// The shared package's name check and package search, on any name and any
// ZEP_PACKAGE_PATH: a name it accepts is a plain base name, and every file a
// load of it would open lies directly inside one of the package directories.
// A name it refuses makes LoadBPL_FOS raise before anything is loaded.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <stdexcept>
#include <string>

#include "platform/platform.hpp"
#include "shared_package/package_search.hpp"
#include "zep00001/zep00001.hpp"

namespace {

namespace fs = std::filesystem;
namespace search = zep::shared_package;

[[noreturn]] void fail(const char* what, const std::string& name) {
  std::fprintf(stderr, "%s (name of %zu bytes)\n", what, name.size());
  std::abort();
}

// The classic locale's letters and digits are ASCII's, whatever the
// process's own locale says.
bool plainBaseName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return c == '_' || std::isalnum(c, std::locale::classic());
  });
}

// Read as paths, with every "." and ".." resolved, the candidate is the package's
// file one step below its directory: nothing in the name climbs out.
void expectInside(const std::string& directory, const std::string& candidate,
                  const std::string& name) {
  if (!fs::path(directory).is_absolute()) fail("a package directory is not absolute", name);
  const fs::path relative = fs::path(candidate).lexically_normal().lexically_relative(
      fs::path(directory).lexically_normal());
  if (std::distance(relative.begin(), relative.end()) != 1 || relative == "." || relative == "..")
    fail("a candidate file lies outside its package directory", name);
  if (relative != zep::platform::packageFileName(name))
    fail("a candidate file is not the package's file", name);
}

// Refused names never reach the loader, and the error shows them escaped.
void expectRefused(const std::string& name) {
  try {
    LoadBPL_FOS(name);
  } catch (const std::runtime_error& error) {
    const std::string message = error.what();
    if (message.find("base name") == std::string::npos)
      fail("a refusal gives another reason", name);
    for (unsigned char c : message) {
      if (c < 0x20 || c > 0x7e) fail("a refusal shows a raw control or 8-bit byte", name);
    }
    return;
  }
  fail("LoadBPL_FOS loaded a refused name", name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string name = input.ConsumeRandomLengthString(64);
  const std::string searchPath = input.ConsumeRemainingBytesAsString();
  const std::string ownDirectory = "/opt/zep00001/lib";

  const bool accepted = search::isBaseName(name);
  if (accepted != plainBaseName(name))
    fail("the name check disagrees with a plain base name", name);
  if (!accepted) {
    expectRefused(name);
    return 0;
  }

  const auto directories = search::packageDirectories(searchPath, ownDirectory);
  if (directories.empty() || directories.back() != ownDirectory)
    fail("the shared package's own directory is not searched last", name);
  for (const std::string& directory : directories) {
    expectInside(directory, search::candidatePath(directory, name), name);
  }
  return 0;
}
