// The trace file and what the events need from the system: one Chrome
// trace-event array, written event by event into a shared mapping of the
// file, so that whatever the process wrote is in the file even when it dies
// the next moment, and no event costs a system call. Full at its size, the
// file is closed, becomes FILE.1 and a new FILE begins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zep::trace::file {

// Starts the file at `path` (ending any file open): a directory that only
// its owner (this user or root) may write, the previous file of that name
// kept as FILE.1. Raises std::system_error saying why it cannot.
void open(const std::string& path);
// Closes the array and the file; nothing when none is open.
void close() noexcept;
bool isOpen() noexcept;
// Appends one event; a failure (a full disk) closes the file and is kept
// for takeFailure.
void append(const char* event, std::size_t length) noexcept;
// Why the file stopped being written since the last call, or "".
std::string takeFailure();
// Around a fork, where the system has one: no other thread holds the lock
// while the process is copied, and the child leaves the file to its parent
// (both writing into one mapping would mix their events).
void beforeFork() noexcept;
void afterForkInParent() noexcept;
void afterForkInChild() noexcept;

// Nanoseconds since the epoch, and this process's id (kept, and made again
// in a forked child) and the calling thread's (asked each time).
std::uint64_t now() noexcept;
std::uint32_t processId() noexcept;
std::uint32_t threadId() noexcept;

}  // namespace zep::trace::file
