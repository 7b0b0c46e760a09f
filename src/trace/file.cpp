// The trace file's writer: hands out regions to the threads that record,
// without a lock (the count of regions handed out is in the file, so that a
// forked child takes its regions from the same count), prepares the next
// region ahead of its use, and begins FILE again when it is full.
#include "trace/file.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "trace/format.hpp"
#include "trace/storage.hpp"
#include "trace/system.hpp"

namespace zep::trace::file {

std::atomic<void*> current::header{nullptr};
std::atomic<std::uint32_t> current::epoch{0};

namespace {

using format::FileHeader;

// How many regions ahead of those taken the helper prepares.
constexpr std::uint32_t kAhead = 128;

constexpr std::size_t kDefaultLimit = std::size_t{64} << 20;
constexpr std::size_t kRegionsOffset = format::kHeaderSize + format::kNamesSize;
constexpr std::size_t kLeastLimit = kRegionsOffset + 2 * format::kRegionSize;
constexpr std::size_t kLargestLimit = std::size_t{1} << 31;

std::size_t limitFromEnvironment() {
  const char* text = std::getenv("ZEP_TRACE_LIMIT");
  if (text == nullptr || *text == '\0') return kDefaultLimit;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (*end != '\0') return kDefaultLimit;
  return std::clamp<std::size_t>(static_cast<std::size_t>(value), kLeastLimit, kLargestLimit);
}

std::uint32_t atomicLoad(const std::uint32_t& word) {
  return __atomic_load_n(&word, __ATOMIC_ACQUIRE);
}

// Ticks of the time-stamp counter a second, measured once over 2 ms.
std::uint64_t ticksPerSecond() {
  static const std::uint64_t measured = [] {
    const std::uint64_t begun = system::nanoseconds();
    const std::uint64_t first = system::ticks();
    std::uint64_t now = begun;
    while (now - begun < 2000000) now = system::nanoseconds();
    return (system::ticks() - first) * 1000000000u / (now - begun);
  }();
  return measured;
}

// Copies whole words; a loop the compiler would make a call of memcpy,
// which may use the vector registers, were it not for the barrier.
void copyWords(char* to, const char* from, std::size_t bytes) noexcept {
  for (std::size_t at = 0; at < bytes; at += 8) {
    std::uint64_t word;
    __builtin_memcpy(&word, from + at, 8);
    __builtin_memcpy(to + at, &word, 8);
    asm volatile("" ::: "memory");
  }
}

FileHeader* currentHeader() noexcept {
  return static_cast<FileHeader*>(current::header.load(std::memory_order_acquire));
}
void publish(FileHeader* header) noexcept {
  current::epoch.fetch_add(1, std::memory_order_acq_rel);
  current::header.store(header, std::memory_order_release);
}

class Writer {
 public:
  // A host that exits normally leaves the file cut after its last region.
  ~Writer() {
    close();
#ifndef _WIN32
    // A forked child has no helper, only the parent's handle of it.
    if (helper_.joinable() && system::processId() != helperProcess_) helper_.detach();
    if (helper_.joinable()) {
      stopping_.store(true);
      wanted_.store(1);
      system::wake(wanted_);
      helper_.join();
    }
#endif
  }

  void open(const std::string& path) {
    close();
    hold();
    failure_.store(0, std::memory_order_relaxed);
    path_ = path;
    limit_ = limitFromEnvironment();
    try {
      storage_.take(path, limit_);
      char* map = storage_.create();
      begin(map, nullptr);
      if (!storage_.own(kRegionsOffset, format::kRegionSize)) {
        throw std::system_error(ENOSPC, std::generic_category(),
                                "cannot write the trace file \"" + path + "\"");
      }
      startHelper();
      opener_ = system::processId();
      begun(reinterpret_cast<FileHeader*>(map));
    } catch (...) {
      storage_.release();
      letGo();
      throw;
    }
    letGo();
  }

  void close() noexcept {
    hold();
    auto* header = static_cast<FileHeader*>(current::header.exchange(nullptr));
    current::epoch.fetch_add(1, std::memory_order_acq_rel);
    // A forked child leaves the file to its parent, which is still writing it.
    const bool own = system::processId() == opener_;
    std::size_t length = 0;
    if (header != nullptr) {
      if (own) __atomic_store_n(&header->closed, 1u, __ATOMIC_RELEASE);
      length = kRegionsOffset + std::size_t{format::kRegionSize} *
                                    std::min(atomicLoad(header->claimed), header->regionCount);
    }
    storage_.close(length, own && header != nullptr);
    storage_.release();
    letGo();
  }

  std::string takeFailure() {
    const int error = failure_.exchange(0, std::memory_order_relaxed);
    if (error == 0) return {};
    return "cannot write the trace file \"" + path_ +
           "\": " + std::generic_category().message(error);
  }

  bool name(std::uint32_t id, std::uint32_t slot, const void* target, std::string_view entry,
            std::string_view set, std::string_view package) noexcept {
    const std::uint32_t epoch = file::epoch();
    FileHeader* header = currentHeader();
    if (header == nullptr) return false;
    entry = entry.substr(0, 0xffff);
    set = set.substr(0, 0xffff);
    package = package.substr(0, 0xffff);
    const auto size = format::padded(static_cast<std::uint32_t>(
        sizeof(format::Name) + entry.size() + set.size() + package.size()));
    const std::uint32_t used = header->namesUsed;
    if (used + size > format::kNamesSize) return false;
    char* at = reinterpret_cast<char*>(header) + header->namesOffset + used;
    format::Name head{};
    head.id = id;
    head.slot = slot;
    head.entryLength = static_cast<std::uint16_t>(entry.size());
    head.setLength = static_cast<std::uint16_t>(set.size());
    head.packageLength = static_cast<std::uint16_t>(package.size());
    head.target = reinterpret_cast<std::uintptr_t>(target);
    std::memcpy(at + 4, reinterpret_cast<const char*>(&head) + 4, sizeof head - 4);
    char* text = at + sizeof head;
    for (std::string_view part : {entry, set, package}) {
      std::memcpy(text, part.data(), part.size());
      text += part.size();
    }
    __atomic_store_n(reinterpret_cast<std::uint32_t*>(at), size, __ATOMIC_RELEASE);
    __atomic_store_n(&header->namesUsed, used + size, __ATOMIC_RELEASE);
    // A rotation meanwhile may have copied the names without this one.
    if (file::epoch() != epoch) return name(id, slot, target, entry, set, package);
    return true;
  }

  bool claim(Region& region, std::uint32_t pid, std::uint32_t tid) noexcept {
    for (int attempt = 0; attempt < 2; ++attempt) {
      const std::uint32_t epoch = file::epoch();
      FileHeader* header = currentHeader();
      if (header == nullptr) return false;
      const std::uint32_t sequence = __atomic_fetch_add(&header->claimed, 1u, __ATOMIC_RELAXED);
      if (sequence >= header->regionCount) {
        if (!rotate(header)) return false;
        continue;
      }
      char* base = reinterpret_cast<char*>(header);
      const std::size_t offset = header->regionsOffset + std::size_t{header->regionSize} * sequence;
      // Prepared by the helper, or now (in a forked child, which has none).
      const std::uint32_t prepared = prepared_.load(std::memory_order_acquire);
      const bool ready = prepared >> 16 == (epoch & 0xffff) && sequence < (prepared & 0xffff);
      if (!ready && !storage_.own(offset, header->regionSize)) {
        fail(ENOSPC);
        return false;
      }
      if ((!ready || sequence + kAhead / 2 >= (prepared & 0xffff)) && wanted_.exchange(1) == 0) {
        system::wake(wanted_);
      }
      auto* start = reinterpret_cast<format::RegionHeader*>(base + offset);
      start->sequence = sequence;
      start->pid = pid;
      start->tid = tid;
      start->ticks = system::ticks();
      start->nanoseconds = system::nanoseconds();
      __atomic_store_n(&start->magic, format::kRegionMagic, __ATOMIC_RELEASE);
      region.at = base + offset + sizeof(format::RegionHeader);
      region.end = base + offset + header->regionSize;
      region.epoch = epoch;
      return true;
    }
    return false;
  }

 private:
  // Between open, close and a rotation: close waits for a rotation under
  // way, a recording thread that would rotate meanwhile does not.
  void hold() noexcept {
    while (rotating_.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
  }
  void letGo() noexcept { rotating_.store(false, std::memory_order_release); }

  void fail(int error) noexcept {
    failure_.store(error, std::memory_order_relaxed);
    publish(nullptr);
  }

  // The file at `header` is the one written from now on.
  void begun(FileHeader* header) noexcept {
    prepared_.store((file::epoch() + 1) << 16 | 1, std::memory_order_release);
    publish(header);
  }

  // The helper: a thread of the module's that faults in the pages of the
  // regions ahead of those taken, woken when the threads that record come
  // near, so that they find them ready. None on Windows, where a DLL's
  // thread cannot be joined as it unloads; the threads that record take
  // the faults there.
  void startHelper() {
#ifndef _WIN32
    if (helper_.joinable()) return;
    helperProcess_ = system::processId();
    helper_ = std::thread([this] { help(); });
#endif
  }

  void help() noexcept {
    while (!stopping_.load()) {
      const std::uint32_t epoch = file::epoch();
      FileHeader* header = currentHeader();
      std::uint32_t prepared = prepared_.load(std::memory_order_acquire);
      if (header != nullptr && prepared >> 16 == (epoch & 0xffff)) {
        const std::uint32_t want =
            std::min(header->regionCount, atomicLoad(header->claimed) + kAhead);
        const auto offset = [header](std::uint32_t region) {
          return header->regionsOffset + std::size_t{header->regionSize} * region;
        };
        // The blocks of all those regions in one call first: a page faulted
        // into a hole costs the file system several times more.
        const std::uint32_t first = prepared & 0xffff;
        if (first < want) storage_.own(offset(first), offset(want) - offset(first));
        for (std::uint32_t done = first; done < want && !stopping_.load(); ++done) {
          char* at = reinterpret_cast<char*>(header) + offset(done);
          if (!Storage::populate(at, header->regionSize)) break;
          if (!prepared_.compare_exchange_strong(prepared, prepared + 1)) break;
          ++prepared;
        }
      }
      wanted_.store(0);
      system::wait(wanted_, 0, 100);
    }
  }

  // Writes the header of a new file; the names of `before`, where given.
  void begin(char* map, const FileHeader* before) noexcept {
    auto* header = reinterpret_cast<FileHeader*>(map);
    if (before != nullptr) {
      copyWords(map, reinterpret_cast<const char*>(before), sizeof(FileHeader));
      copyWords(map + before->namesOffset,
                reinterpret_cast<const char*>(before) + before->namesOffset,
                atomicLoad(before->namesUsed));
      header->claimed = 0;
      header->closed = 0;
      return;
    }
    header->version = format::kVersion;
    header->wordBytes = sizeof(void*);
    header->namesOffset = format::kHeaderSize;
    header->namesSize = format::kNamesSize;
    header->regionsOffset = static_cast<std::uint32_t>(kRegionsOffset);
    header->regionSize = format::kRegionSize;
    header->regionCount =
        static_cast<std::uint32_t>((limit_ - kRegionsOffset) / format::kRegionSize);
    header->pid = system::processId();
    header->ticksPerSecond = ticksPerSecond();
    header->startNanoseconds = system::nanoseconds();
    header->startTicks = system::ticks();
    std::memcpy(header->magic, format::kMagic, sizeof format::kMagic);
  }

  // From a thread that found `full` full: FILE becomes FILE.1 and a new FILE
  // begins, unless another thread does that now, or this is a forked child.
  bool rotate(FileHeader* full) noexcept {
    if (system::processId() != opener_) return false;
    if (rotating_.exchange(true, std::memory_order_acquire)) return false;
    bool rotated = currentHeader() != full;
    if (!rotated && currentHeader() != nullptr) {
      char* map = storage_.rotate();
      if (map == nullptr || !storage_.own(kRegionsOffset, format::kRegionSize)) {
        fail(EIO);
      } else {
        begin(map, full);
        begun(reinterpret_cast<FileHeader*>(map));
        storage_.retire();
        rotated = true;
      }
    }
    letGo();
    return rotated;
  }

  std::atomic<bool> rotating_{false};
  // The epoch (its low 16 bits), and how many of its file's regions are
  // prepared (at most 32768 a file), in one word that 32-bit x86 writes
  // without a vector register.
  std::atomic<std::uint32_t> prepared_{0};
  std::atomic<std::uint32_t> wanted_{0};
  std::atomic<bool> stopping_{false};
#ifndef _WIN32
  std::thread helper_;
  std::uint32_t helperProcess_ = 0;
#endif
  std::atomic<int> failure_{0};
  Storage storage_;
  std::uint32_t opener_ = 0;
  std::size_t limit_ = kDefaultLimit;
  std::string path_;
};

Writer writer;

}  // namespace

void open(const std::string& path) { writer.open(path); }
void close() noexcept { writer.close(); }
std::string takeFailure() { return writer.takeFailure(); }
bool name(std::uint32_t id, std::uint32_t slot, const void* target, std::string_view entry,
          std::string_view set, std::string_view package) noexcept {
  return writer.name(id, slot, target, entry, set, package);
}
bool claim(Region& region, std::uint32_t pid, std::uint32_t tid) noexcept {
  return writer.claim(region, pid, tid);
}

}  // namespace zep::trace::file
