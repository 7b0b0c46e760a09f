// The trace file: one Chrome trace-event array, written event by event into a
// shared mapping of the file under one lock, grown a megabyte at a time and
// padded with spaces (JSON whitespace) beyond the last event.
#include "trace/file.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <utility>

#include "trace/storage.hpp"

namespace zep::trace::file {
namespace {

constexpr std::size_t kDefaultLimit = std::size_t{64} << 20;
constexpr std::size_t kLeastLimit = std::size_t{64} << 10;
constexpr std::size_t kGrowth = std::size_t{1} << 20;
// Room kept for the end of the array.
constexpr char kClosing[] = "\n]\n";
constexpr std::size_t kClosingLength = sizeof kClosing - 1;

std::size_t limitFromEnvironment() {
  const char* text = std::getenv("ZEP_TRACE_LIMIT");
  if (text == nullptr || *text == '\0') return kDefaultLimit;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (*end != '\0') return kDefaultLimit;
  return std::max<std::size_t>(kLeastLimit, static_cast<std::size_t>(value));
}

class Writer {
 public:
  // A host that exits normally leaves a closed array without its padding.
  ~Writer() { close(); }

  void open(const std::string& path) {
    std::lock_guard<std::mutex> hold(lock_);
    finish();
    storage_.release();
    failure_.clear();
    limit_ = limitFromEnvironment();
    try {
      storage_.take(path, limit_);
      start();
    } catch (...) {
      storage_.release();
      throw;
    }
  }

  void close() noexcept {
    std::lock_guard<std::mutex> hold(lock_);
    finish();
    storage_.release();
  }

  void append(const char* event, std::size_t length) noexcept {
    std::lock_guard<std::mutex> hold(lock_);
    if (map_ == nullptr) return;
    const std::size_t need = length + (first_ ? 0 : 2);
    try {
      if (used_ + need + kClosingLength > limit_) {
        finish();
        storage_.rotate();
        start();
      }
      if (used_ + need + kClosingLength > filled_) grow();
    } catch (const std::exception& failure) {
      failure_ = failure.what();
      finish();
      storage_.release();
      return;
    }
    if (!first_) {
      std::memcpy(map_ + used_, ",\n", 2);
      used_ += 2;
    }
    std::memcpy(map_ + used_, event, length);
    used_ += length;
    first_ = false;
  }

  bool isOpen() const noexcept { return open_.load(std::memory_order_relaxed); }

  std::string takeFailure() {
    std::lock_guard<std::mutex> hold(lock_);
    return std::exchange(failure_, std::string());
  }

  void beforeFork() noexcept { lock_.lock(); }
  void afterForkInParent() noexcept { lock_.unlock(); }
  void afterForkInChild() noexcept {
    open_.store(false, std::memory_order_relaxed);
    map_ = nullptr;
    storage_.forget();
    lock_.unlock();
  }

 private:
  void start() {
    storage_.create();
    filled_ = 0;
    used_ = 0;
    grow();
    std::memcpy(map_, "[\n", 2);
    used_ = 2;
    first_ = true;
    open_.store(true, std::memory_order_relaxed);
  }

  void grow() {
    const std::size_t target = std::min(limit_, filled_ + kGrowth);
    map_ = storage_.grow(filled_, target);
    filled_ = target;
  }

  // Closes the array and cuts the padding off.
  void finish() noexcept {
    open_.store(false, std::memory_order_relaxed);
    std::size_t length = used_;
    if (map_ != nullptr) {
      const std::size_t closing = std::min(filled_ - used_, kClosingLength);
      std::memcpy(map_ + used_, kClosing, closing);
      length += closing;
    }
    map_ = nullptr;
    storage_.close(length);
  }

  std::mutex lock_;
  std::atomic<bool> open_{false};
  Storage storage_;
  char* map_ = nullptr;
  std::size_t limit_ = kDefaultLimit;
  std::size_t filled_ = 0;
  std::size_t used_ = 0;
  bool first_ = true;
  std::string failure_;
};

Writer writer;

}  // namespace

void open(const std::string& path) { writer.open(path); }
void close() noexcept { writer.close(); }
bool isOpen() noexcept { return writer.isOpen(); }
void append(const char* event, std::size_t length) noexcept { writer.append(event, length); }
std::string takeFailure() { return writer.takeFailure(); }
void beforeFork() noexcept { writer.beforeFork(); }
void afterForkInParent() noexcept { writer.afterForkInParent(); }
void afterForkInChild() noexcept { writer.afterForkInChild(); }

}  // namespace zep::trace::file
