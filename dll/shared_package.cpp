// The default shared package: loads driver packages by base name from the
// package directories, counts the loads of each name, and gives operator
// messages to the host's message handler, or else writes them to standard
// error. A host with dialogs provides its own library of this name with the
// same three exports, or sets a handler through the C interface.
#include <iostream>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "message_handler.hpp"
#include "package_search.hpp"
#include "inspect/explain.hpp"
#include "platform/platform.hpp"
#include "zep00001/zep00001.hpp"

namespace {

// A name as it can be read in a log: control bytes, bytes above 126 and the
// quote itself written as \xNN, so a stray NUL cannot cut the message short.
std::string quoted(const std::string& text) {
  static const char digits[] = "0123456789abcdef";
  std::string shown = "\"";
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7e || c == '"' || c == '\\') {
      shown += "\\x";
      shown += digits[c >> 4];
      shown += digits[c & 15];
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown + "\"";
}

// The directory of this library, found once: it stays where it is while it is
// mapped, and finding it costs a walk of the whole path on every load.
const std::string& ownDirectory() {
  // The address of a function of this library alone: that of an exported one
  // may be a program's PLT entry, which would place it in the program.
  static const std::string directory =
      zep::platform::directoryOf(reinterpret_cast<const void*>(&quoted));
  return directory;
}

std::mutex tableMutex;
// Every load holds one handle; an unload of the name releases the latest.
std::map<std::string, std::vector<zep::platform::Library>> loads;

}  // namespace

void* LoadBPL_FOS(const std::string& package) {
  if (!zep::shared_package::isBaseName(package)) {
    throw std::runtime_error("cannot load package " + quoted(package) +
                             ": a package name is a base name of ASCII letters, digits and _");
  }
  std::string tried;
  for (const std::string& directory : zep::shared_package::packageDirectories(
           zep::platform::environment("ZEP_PACKAGE_PATH"), ownDirectory())) {
    std::string path = zep::shared_package::candidatePath(directory, package);
    if (!zep::platform::isRegularFile(path)) {
      tried += "\n  " + path + ": no such file";
      continue;
    }
    std::string reason;
    zep::platform::Library library = zep::inspect::openCheckedLibrary(path, reason);
    if (library == nullptr) {
      throw std::runtime_error("cannot load package " + quoted(package) + tried + "\n  " + path +
                               ": " + reason);
    }
    std::lock_guard<std::mutex> lock(tableMutex);
    try {
      loads[package].push_back(library);
    } catch (...) {
      // The name's entry may have been made for this load alone: left empty,
      // UnLoadBPL would take it for a load to release.
      auto entry = loads.find(package);
      if (entry != loads.end() && entry->second.empty()) loads.erase(entry);
      zep::platform::closeLibrary(library);
      throw;
    }
    return library;
  }
  throw std::runtime_error("cannot load package " + quoted(package) + ": " +
                           zep::platform::packageFileName(package) +
                           " is in none of the package directories" + tried);
}

void UnLoadBPL(const std::string& package) {
  zep::platform::Library library = nullptr;
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    auto found = loads.find(package);
    if (found == loads.end()) return;
    library = found->second.back();
    found->second.pop_back();
    if (found->second.empty()) loads.erase(found);
  }
  zep::platform::closeLibrary(library);
}

namespace {

struct MessageReceiver {
  zep_message_handler handler = nullptr;
  void* context = nullptr;
};

std::mutex receiverMutex;
MessageReceiver receiver;

MessageReceiver currentReceiver() {
  std::lock_guard<std::mutex> lock(receiverMutex);
  return receiver;
}

}  // namespace

extern "C" ZEP_SHARED_API void zep_dll_set_message_handler(zep_message_handler handler,
                                                           void* context) {
  std::lock_guard<std::mutex> lock(receiverMutex);
  receiver = {handler, context};
}

void Mensagem(const std::string& text, const std::string& text2, const std::string& text3,
              const std::string& text4, zep::TTipoMsg kind, const std::string& text5,
              const std::string& text6, std::int32_t number, zep::TClientDataSet* dataSet) {
  if (const MessageReceiver to = currentReceiver(); to.handler != nullptr) {
    to.handler(to.context, text.c_str(), text2.c_str(), text3.c_str(), text4.c_str(),
               static_cast<std::int32_t>(kind), text5.c_str(), text6.c_str(), number, dataSet);
    return;
  }
  std::string shown = text;
  for (char& c : shown) {
    if (c == '\r') c = '\n';
  }
  std::cerr << "[operator message, kind " << static_cast<std::int32_t>(kind) << "]\n"
            << shown << std::endl;
}
