// Who may write a package file where owners and access lists decide it
// (Windows): read through the handles the package was opened with. Where
// POSIX owners and permission bits decide it, the shared trust code reads
// those from the file's status, and these find nothing.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace zep::platform {

// One reason to refuse the file or a directory that holds it.
struct AccessFinding {
  // Of a directory (the one holding the file, or the one holding a link to
  // it), not of the file.
  bool directory;
  // Its owner is not trusted (or cannot be read), rather than someone else
  // being allowed to write it.
  bool owner;
  std::string subject;
  // Said of the package: "is writable by Everyone (S-1-1-0), ...".
  std::string problem;
  std::string remedy;
};

// What lets others than SYSTEM, Administrators, TrustedInstaller and this
// process's user change `opened`, its directory, or the directory of the
// link it was reached through. Nothing where ownership bits decide.
std::vector<AccessFinding> accessFindings(const PackageFile& opened);

// A library that Windows loads by name only after the package is loaded,
// wherever its search then finds it, and why ("delay-loaded", "for its
// forwarded entry X").
struct LaterLibrary {
  std::string name;
  std::string why;
};

// The libraries an image names: those the loader maps with it, and those
// loaded only later.
struct LibraryNames {
  std::vector<std::string> needed;
  std::vector<LaterLibrary> later;
};

// The libraries a held library file names, as the module's own reader gives
// them (the platform reads no image); false when the file cannot be read
// whole and sound, so what it needs cannot be decided.
using NeededLibraries = bool (*)(const PackageFile& library, LibraryNames& names);

// Whether the libraries `names` of the package held by `package` may be
// loaded with it, where the loader looks beside the package first: each one
// found beside it passes accessFindings, as do those it names in turn
// (`neededOf`), and is then loaded from its held file ahead of the package,
// which finds it loaded; the next openLibrary gives those loads up, but
// keeps those loaded later by name until the package is closed. A library
// loaded later that is not beside the package must be loaded already or lie
// in System32. False and why in `reason` when one does not pass; `local`
// tells whether any lay beside the package. Where the loader does not look
// beside the package (ELF, whose search path the file names), true.
bool dependenciesBesideTrusted(const PackageFile& package, const LibraryNames& names,
                               NeededLibraries neededOf, std::string& reason, bool& local);

}  // namespace zep::platform
