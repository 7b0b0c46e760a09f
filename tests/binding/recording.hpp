// A shared package for the tests: linked in place of lib_dll, it records
// every call, loads packages from files the test names, and lets a test
// inject faults and look at the slots at the moment of each call.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "zep00001/export.hpp"

// It is a shared package, so its own exports carry the shared package's mark.
#define ZEP_RECORDING_API ZEP_SHARED_API

namespace recording {

struct Call {
  std::string operation;  // "LoadBPL_FOS", "UnLoadBPL" or "Mensagem"
  std::string package;    // the package name, or Mensagem's first text
  bool operator==(const Call&) const = default;
};

struct Message {
  std::string text, text2, text3, text4;
  std::int32_t kind;
  std::string text5, text6;
  std::int32_t number;
  const void* dataSet;
};

struct Script {
  std::vector<Call> calls;
  std::vector<Message> messages;
  // Where LoadBPL_FOS loads each name from; other names raise.
  std::map<std::string, std::string> files;
  // When set, each replaces the call's own work (and may raise).
  std::function<void*(const std::string&)> load;
  std::function<void(const std::string&)> unload;
  std::function<void()> message;
};

// The script of the running test; reset() unloads what it loaded.
ZEP_RECORDING_API Script& script();
ZEP_RECORDING_API void reset();

}  // namespace recording
