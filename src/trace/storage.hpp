// What the trace file's writer (file.cpp) needs from the system: a file in a
// directory checked once, mapped whole, its blocks made its own a region at
// a time. One implementation a system (file_posix.cpp, file_windows.cpp).
// take and create raise std::system_error saying what failed; the others
// run while a thread records, so they touch no vector register, take no
// lock and allocate nothing.
#pragma once

#include <cstddef>
#include <string>

namespace zep::trace::file {

class Storage {
 public:
  Storage();
  ~Storage();
  Storage(const Storage&) = delete;
  Storage& operator=(const Storage&) = delete;

  // Takes `path` (checking its directory where the system lets it) and
  // keeps a non-empty file of that name as FILE.1; `limit` is the size of
  // every file.
  void take(const std::string& path, std::size_t limit);
  // A new FILE of `limit` zero bytes, mapped whole: the mapping.
  char* create();
  // Makes [offset, offset + length) of the file its own: a full disk fails
  // here, not as a fault of the mapping.
  bool own(std::size_t offset, std::size_t length) noexcept;
  // The same of the mapped pages at `at`, faulted in writable ahead of use;
  // false where they cannot be (the disk is full). Any thread may call it
  // at any time: a mapping no longer the file's is memory of the process.
  static bool populate(char* at, std::size_t length) noexcept;
  // Where the system lets a recording thread do it: FILE becomes FILE.1
  // and a new FILE is mapped, given; else null. The file before stays
  // mapped until retire.
  char* rotate() noexcept;
  void retire() noexcept;
  // Ends the current file, cut to `length` when `cut`: its mapping stays
  // writable for a thread still writing, but no longer reaches the file.
  void close(std::size_t length, bool cut) noexcept;
  // Closes everything, the directory included.
  void release() noexcept;

 private:
  struct State;
  State* state_;
};

}  // namespace zep::trace::file
