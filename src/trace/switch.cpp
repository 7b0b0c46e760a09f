// The trace's switch: which stub stands for which slot, the names the file
// gives them, and turning the trace on and off.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "trace/file.hpp"
#include "trace/format.hpp"
#include "trace/recorder.hpp"
#include "trace/system.hpp"
#include "trace/trace.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::trace {
namespace {

std::mutex switchLock;              // around the switch and traced binds
const char* pendingPath = nullptr;  // ZEP_TRACE, opened at the first traced bind

// Every (slot, entry, package) a traced bind met, by id: written into each
// file's names.
struct Description {
  std::uint32_t slot;
  void* target;
  std::string entry;
  std::string set;
  std::string package;
  std::unique_ptr<Traced> traced;
};
std::vector<Description> described;
std::map<std::tuple<std::uint32_t, void*, std::string>, std::uint32_t> ids;

// The packages whose file the current file has told, by the file.
std::map<std::string, std::string> told;

void name(const Description& description) {
  file::name(description.traced->id, description.slot, description.target, description.entry,
             description.set, description.package);
}

// The stub for `slot`, telling it where `target` is: binding the same
// package again makes nothing new.
void* describe(std::uint32_t slot, std::string_view entry, std::string_view set, void* target,
               const std::string& package) {
  auto [found, added] = ids.try_emplace({slot, target, package}, 0);
  if (added) {
    found->second = static_cast<std::uint32_t>(described.size());
    described.push_back({slot, target, std::string(entry), std::string(set), package,
                         std::make_unique<Traced>(Traced{target, found->second})});
    name(described.back());
  }
  // Which file answered for the package, once a file.
  std::string loaded = system::loadedFrom(target);
  if (auto [was, first] = told.try_emplace(package, loaded); first || was->second != loaded) {
    was->second = loaded;
    writeNote(format::kLoad, "package \"" + package + "\": " + loaded);
  }
  install(slot, described[found->second].traced.get());
  return const_cast<unsigned char*>(zep_trace_stubs + slot * kStubSize);
}

void tellOperator(const std::string& reason) {
  try {
    Mensagem("O registro das chamadas (ZEP_TRACE) foi desligado: " + reason, "", "N", "N",
             static_cast<TTipoMsg>(3), "", "001", 0, nullptr);
  } catch (...) {
    if (!std::current_exception()) throw;  // the cancellation unwind
  }
}

// Gives up tracing, for the reason the operator is told. Under switchLock.
void disarm(const std::string& reason) {
  armed.store(false, std::memory_order_relaxed);
  pendingPath = nullptr;
  file::close();
  tellOperator(reason);
}

void openFile(const std::string& path) {
  file::open(path);
  told.clear();
  for (const Description& description : described) name(description);
}

void* stubFor(std::uint32_t slot, std::string_view entry, std::string_view set, void* address,
              const std::string& package) {
  if (!armed.load(std::memory_order_relaxed)) return address;
  if (zep_trace_stub_count == 0) {
    disarm("this build of the module has no trace stubs for its platform");
    return address;
  }
  if (!file::isOpen()) {
    std::string reason = file::takeFailure();
    if (reason.empty() && pendingPath != nullptr) {
      try {
        openFile(pendingPath);
        pendingPath = nullptr;
      } catch (const std::exception& failure) {
        reason = failure.what();
      }
    }
    if (!file::isOpen()) {
      disarm(reason.empty() ? "the trace file is closed" : reason);
      return address;
    }
  }
  if (slot >= zep_trace_stub_count) return address;
  return describe(slot, entry, set, address, package);
}

}  // namespace

std::atomic<bool> armed{[] {
  const char* path = std::getenv("ZEP_TRACE");
  if (path == nullptr || *path == '\0') return false;
  pendingPath = path;
  return true;
}()};

// A trace that fails binds the entry's own address: never a failed bind.
void* wrapTraced(std::uint32_t slot, std::string_view entry, std::string_view set, void* address,
                 const std::string& package) {
  std::lock_guard<std::mutex> hold(switchLock);
  try {
    return stubFor(slot, entry, set, address, package);
  } catch (const std::exception&) {
    return address;
  }
}

void start(const std::string& path) {
  if (zep_trace_stub_count == 0) {
    throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                            "the call trace is not supported on this platform");
  }
  std::lock_guard<std::mutex> hold(switchLock);
  openFile(path);
  pendingPath = nullptr;
  armed.store(true, std::memory_order_relaxed);
}

void stop() noexcept {
  std::lock_guard<std::mutex> hold(switchLock);
  armed.store(false, std::memory_order_relaxed);
  pendingPath = nullptr;
  file::close();
}

namespace {

// A failure's whole reason: its message and those of the failures nested
// in it, outermost first.
std::string reasonOf(std::exception_ptr failure) {
  std::string reason;
  while (failure != nullptr) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& caught) {
      reason += (reason.empty() ? "" : ": ") + std::string(caught.what());
      const auto* nested = dynamic_cast<const std::nested_exception*>(&caught);
      failure = nested != nullptr ? nested->nested_ptr() : nullptr;
    } catch (...) {
      reason += reason.empty() ? "a failure that is no std::exception" : "";
      failure = nullptr;
    }
  }
  return reason;
}

void describeValue(std::string& text, const Value& value) {
  switch (value.tag()) {
    case Value::Tag::String:
      text += '"' + value.asString() + '"';
      return;
    case Value::Tag::Integer:
      text += std::to_string(value.asInteger());
      return;
    case Value::Tag::Double: {
      char number[32];
      std::snprintf(number, sizeof number, "%.17g", value.asDouble());
      text += number;
      return;
    }
    case Value::Tag::Boolean:
      text += value.asBoolean() ? "true" : "false";
      return;
    case Value::Tag::Array: {
      const char* separator = "";
      text += '[';
      for (const Value& item : value.asArray()) {
        text += separator;
        describeValue(text, item);
        separator = ", ";
      }
      text += ']';
      return;
    }
  }
}

}  // namespace

void noteBinding(const char* what, std::string_view set, std::int32_t code, std::string_view model,
                 const std::string& package, std::exception_ptr failure) noexcept {
  if (!file::isOpen()) return;
  try {
    // Appended piece by piece: GCC 12 at -O3 takes a literal + a temporary
    // string for an overlapping copy (-Wrestrict).
    std::string text(set);
    text += ' ';
    if (model.empty()) {
      text += std::to_string(code);
    } else {
      text += '"';
      text += model;
      text += '"';
    }
    text += ": package \"";
    text += package;
    text += "\", ";
    if (failure == nullptr) {
      text += "done";
    } else {
      text += "failed: ";
      text += reasonOf(failure);
    }
    writeNote(std::string_view(what) == "bind" ? format::kBind : format::kUnbind, text);
  } catch (...) {
    // Out of memory: the note is left out.
  }
}

void noteBlock(const char* operation, const Value& block) noexcept {
  if (!file::isOpen()) return;
  try {
    char where[32];
    std::snprintf(where, sizeof where, " at 0x%llx: ",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&block)));
    std::string text = operation + std::string(where);
    describeValue(text, block);
    writeNote(format::kBlock, text);
  } catch (...) {
    // Out of memory: the note is left out.
  }
}

}  // namespace zep::trace
