// The trace's recorder: which stub stands for which slot, the events of a
// call at its beginning and its end, and the switch from outside.
#include "trace/trace.hpp"

#include <unwind.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "binding/sets.hpp"
#include "trace/file.hpp"
#include "trace/stubs.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::trace {

// A slot as a traced bind filled it: the entry's address and the constant
// parts of its events. Never freed, so that a call in flight keeps what it
// read.
struct Traced {
  void* target;
  std::string head;     // {"name":"<entry>","cat":"<set>","ph":"
  std::string package;  // ,"args":{"package":"<package>","words":[
};

namespace {

// The stubs stand in the order of the sets' slots taken in turn.
std::size_t slotCount() {
  std::size_t count = 0;
  for (const sets::SlotSet& set : sets::all()) count += set.slots.size();
  return count;
}

std::vector<std::atomic<const Traced*>> traced(slotCount());

std::mutex switchLock;              // around the switch and traced binds
const char* pendingPath = nullptr;  // ZEP_TRACE, opened at the first traced bind

std::string quotedJson(std::string_view text) {
  std::string out;
  for (const char* p = text.data(); p != text.data() + text.size(); ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += *p;
    } else if (c < 0x20) {
      static const char hex[] = "0123456789abcdef";
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += *p;
    }
  }
  return out;
}

// The interned description of (slot, entry, package): binding the same
// package again makes nothing new.
const Traced* describe(std::size_t index, std::string_view entry, std::string_view set,
                       void* target, const std::string& package) {
  static std::map<std::tuple<std::size_t, void*, std::string>, std::unique_ptr<Traced>> made;
  std::unique_ptr<Traced>& found = made[{index, target, package}];
  if (!found) {
    found.reset(new Traced{
        target,
        "{\"name\":\"" + quotedJson(entry) + "\",\"cat\":\"" + quotedJson(set) + "\",\"ph\":\"",
        ",\"args\":{\"package\":\"" + quotedJson(package) + "\",\"words\":["});
  }
  traced[index].store(found.get(), std::memory_order_release);
  return found.get();
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
  tellOperator(reason);
}

// The events, written into a buffer on the stack.
class Event {
 public:
  void text(const char* s, std::size_t n) {
    if (n > sizeof(buffer_) - length_) n = sizeof(buffer_) - length_;
    std::memcpy(buffer_ + length_, s, n);
    length_ += n;
  }
  void text(const std::string& s) { text(s.data(), s.size()); }
  template <std::size_t N>
  void literal(const char (&s)[N]) {
    text(s, N - 1);
  }
  // Two digits a step: the time stamp has sixteen.
  void decimal(std::uint64_t value) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char out[20];
    char* first = out + sizeof out;
    while (value >= 100) {
      first -= 2;
      std::memcpy(first, kPairs + value % 100 * 2, 2);
      value /= 100;
    }
    if (value >= 10) {
      first -= 2;
      std::memcpy(first, kPairs + value * 2, 2);
    } else {
      *--first = static_cast<char>('0' + value);
    }
    text(first, static_cast<std::size_t>(out + sizeof out - first));
  }
  void hex(std::uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    char out[20] = {'"', '0', 'x'};
    int shift = 60;
    while (shift > 0 && (value >> shift) == 0) shift -= 4;
    std::size_t n = 3;
    for (; shift >= 0; shift -= 4) out[n++] = digits[(value >> shift) & 15];
    out[n++] = '"';
    text(out, n);
  }
  // ","pid":N,"tid":N,"ts":<microseconds with three decimals>
  void where(const std::string& thread, std::uint64_t nanoseconds) {
    text(thread);
    decimal(nanoseconds / 1000);
    const auto fraction = static_cast<unsigned>(nanoseconds % 1000);
    const char digits[4] = {'.', static_cast<char>('0' + fraction / 100),
                            static_cast<char>('0' + fraction / 10 % 10),
                            static_cast<char>('0' + fraction % 10)};
    text(digits, 4);
  }
  void write() const { file::append(buffer_, length_); }

 private:
  char buffer_[1024];
  std::size_t length_ = 0;
};

// The calls in flight on this thread, innermost last. A record's memory
// stays where it is until the thread ends: the unwinder reads the caller's
// return address from it after the personality routine has popped it.
class SideStack {
 public:
  Record& push() {
    const std::size_t chunk = depth_ / kChunk;
    if (chunk == chunks_.size()) chunks_.push_back(std::make_unique<Record[]>(kChunk));
    return chunks_[chunk][depth_++ % kChunk];
  }
  Record* top() {
    return depth_ == 0 ? nullptr : &chunks_[(depth_ - 1) / kChunk][(depth_ - 1) % kChunk];
  }
  void pop() { --depth_; }

 private:
  static constexpr std::size_t kChunk = 64;
  std::vector<std::unique_ptr<Record[]>> chunks_;
  std::size_t depth_ = 0;
};

// What a thread's events share: its calls in flight, and the ids its events
// carry, made again in a forked child.
struct Caller {
  SideStack calls;
  std::uint32_t process = 0;
  std::string where;  // ","pid":N,"tid":N,"ts":

  const std::string& ids() {
    const std::uint32_t current = file::processId();
    if (current != process) {
      process = current;
      where = "\",\"pid\":" + std::to_string(current) +
              ",\"tid\":" + std::to_string(file::threadId()) + ",\"ts\":";
    }
    return where;
  }
};
thread_local Caller caller;

void writeBegin(Caller& self, const Record& record, const std::uintptr_t* words) {
  Event event;
  event.text(record.traced->head);
  event.literal("B");
  event.where(self.ids(), record.start);
  event.text(record.traced->package);
  for (std::uint32_t i = 0; i < zep_trace_word_count; ++i) {
    if (i != 0) event.literal(",");
    event.hex(words[i]);
  }
  event.literal("]}}");
  event.write();
}

void writeEnd(Caller& self, const Record& record, const std::uintptr_t* result) {
  Event event;
  event.text(record.traced->head);
  event.literal("E");
  event.where(self.ids(), file::now());
  if (result != nullptr) {
    event.literal(",\"args\":{\"result\":");
    event.hex(*result);
    event.literal("}}");
  } else {
    event.literal(",\"args\":{\"exception\":true}}");
  }
  event.write();
}

}  // namespace

std::atomic<bool> armed{[] {
  const char* path = std::getenv("ZEP_TRACE");
  if (path == nullptr || *path == '\0') return false;
  pendingPath = path;
  return true;
}()};

namespace {

void* stubFor(void** slot, void* address, const std::string& package) {
  if (!armed.load(std::memory_order_relaxed)) return address;
  if (zep_trace_stub_count == 0) {
    disarm("this build of the module has no trace stubs for its platform");
    return address;
  }
  if (!file::isOpen()) {
    std::string reason = file::takeFailure();
    if (reason.empty() && pendingPath != nullptr) {
      try {
        file::open(pendingPath);
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
  std::size_t index = 0;
  for (const sets::SlotSet& set : sets::all()) {
    for (const sets::Slot& row : set.slots) {
      if (row.address == slot) {
        describe(index, row.entry, set.name, address, package);
        return const_cast<unsigned char*>(zep_trace_stubs + index * kStubSize);
      }
      ++index;
    }
  }
  return address;
}

}  // namespace

// A trace that fails binds the entry's own address: never a failed bind.
void* wrapTraced(void** slot, void* address, const std::string& package) {
  std::lock_guard<std::mutex> hold(switchLock);
  try {
    return stubFor(slot, address, package);
  } catch (const std::exception&) {
    return address;
  }
}

}  // namespace zep::trace

using zep::trace::Entered;
using zep::trace::Left;
using zep::trace::Record;

extern "C" {

Entered zep_trace_enter(const std::uintptr_t* words, std::uint32_t index, void** returnSlot,
                        void* savedRegister) noexcept {
  using namespace zep::trace;
  // Records left by a longjmp past their stubs: frames at or below this call's.
  Caller& self = caller;  // one look-up of the thread's own
  const auto frame = reinterpret_cast<std::uintptr_t>(returnSlot + 1);
  while (Record* stale = self.calls.top()) {
    if (stale->frame > frame) break;
    self.calls.pop();
  }
  Record& record = self.calls.push();
  record.returnAddress = *returnSlot;
  record.savedRegister = savedRegister;
  record.frame = frame;
  record.traced = traced[index].load(std::memory_order_acquire);
  record.target = record.traced->target;
  if (file::isOpen()) {
    record.start = file::now();
    writeBegin(self, record, words);
  }
  return {record.traced->target, &record};
}

Left zep_trace_leave(Record* record, std::uintptr_t result) noexcept {
  using namespace zep::trace;
  Caller& self = caller;
  if (file::isOpen()) writeEnd(self, *record, &result);
  while (self.calls.top() != nullptr && self.calls.top() != record) self.calls.pop();
  self.calls.pop();
  return {record->returnAddress, record->savedRegister};
}

// Reached while an exception unwinds through a stub: the call ends there.
_Unwind_Reason_Code zep_trace_personality(int, _Unwind_Action actions, std::uint64_t,
                                          _Unwind_Exception*, _Unwind_Context* context) {
  using namespace zep::trace;
  if ((actions & _UA_CLEANUP_PHASE) != 0) {
    auto* record = reinterpret_cast<Record*>(
        _Unwind_GetGR(context, static_cast<int>(zep_trace_record_register)));
    Caller& self = caller;
    if (file::isOpen()) writeEnd(self, *record, nullptr);
    while (self.calls.top() != nullptr && self.calls.top() != record) self.calls.pop();
    if (self.calls.top() != nullptr) self.calls.pop();
  }
  return _URC_CONTINUE_UNWIND;
}

// The stubs of targets whose forwarder keeps the call's record in its own
// frame (Windows x64): no side stack, the caller's return address stays
// where it is.
void* zep_trace_enter_framed(const std::uintptr_t* words, std::uint32_t index,
                             Record* record) noexcept {
  using namespace zep::trace;
  record->traced = traced[index].load(std::memory_order_acquire);
  if (file::isOpen()) {
    record->start = file::now();
    writeBegin(caller, *record, words);
  }
  return record->traced->target;
}

void zep_trace_leave_framed(Record* record, std::uintptr_t result) noexcept {
  using namespace zep::trace;
  if (file::isOpen()) writeEnd(caller, *record, &result);
}

// The frame's handler found an exception unwinding the call.
void zep_trace_unwound_framed(Record* record) noexcept {
  using namespace zep::trace;
  if (file::isOpen()) writeEnd(caller, *record, nullptr);
}

void zep_trace_open(const std::string& file) {
  using namespace zep::trace;
  if (zep_trace_stub_count == 0) {
    throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                            "the call trace is not supported on this platform");
  }
  std::lock_guard<std::mutex> hold(switchLock);
  file::open(file);
  pendingPath = nullptr;
  armed.store(true, std::memory_order_relaxed);
}

void zep_trace_close() noexcept {
  using namespace zep::trace;
  std::lock_guard<std::mutex> hold(switchLock);
  armed.store(false, std::memory_order_relaxed);
  pendingPath = nullptr;
  file::close();
}

}  // extern "C"
