// What the tests ask of the operating system, behind one small interface
// with one implementation a platform, so that one test source serves Linux
// and Windows alike.
#pragma once

#include <string>

namespace test_platform {

// Loads the library at `path` with every symbol bound now; null and the
// loader's reason in `error` when it cannot.
void* openLibrary(const std::string& path, std::string& error);
void closeLibrary(void* library);
void* findSymbol(void* library, const char* name);

// Whether the library file at `path` is mapped in this process.
bool isMapped(const std::string& path);

// The file of the library or program that holds `address`.
std::string libraryFileOf(const void* address);

void setEnvironment(const char* name, const std::string& value);
void unsetEnvironment(const char* name);

// What separates the directories of a search path: ':', or ';' on Windows.
extern const char kPathListSeparator;

// Part of what the loader says of a file that is no library at all.
extern const char* const kNotALibraryReason;

// `text` with every '\' written '/', so that a message naming Windows paths
// compares with paths the tests join with '/'.
inline std::string withSlashes(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

}  // namespace test_platform
