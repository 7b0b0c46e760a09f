// What the trace file's writer (file.cpp) needs from the system: a file in a
// directory checked once, mapped writable as it grows. One implementation a
// system (file_posix.cpp, file_windows.cpp); each raises std::system_error
// saying what failed.
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
  // keeps a non-empty file of that name as FILE.1; `limit` is the most the
  // file will hold.
  void take(const std::string& path, std::size_t limit);
  // A new, empty FILE.
  void create();
  // Fills the file with spaces from `from` to `to` (where the blocks are then
  // the file's own: a full disk fails here) and gives the mapping of it.
  char* grow(std::size_t from, std::size_t to);
  // Unmaps and closes the file, cut to `length`.
  void close(std::size_t length) noexcept;
  // FILE becomes FILE.1.
  void rotate();
  // Closes everything, the directory included.
  void release() noexcept;
  // A forked child leaves the file to its parent: forgets it unwritten.
  void forget() noexcept;

 private:
  struct State;
  State* state_;
};

}  // namespace zep::trace::file
