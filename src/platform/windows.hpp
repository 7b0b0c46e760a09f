// What the Windows code of the module and its seam share: UTF-8 and UTF-16
// texts, and a module's file name of any length.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace zep::platform::windows {

std::wstring widen(const std::string& utf8);
std::string narrow(const wchar_t* text, std::size_t length);
inline std::string narrow(const std::wstring& text) { return narrow(text.data(), text.size()); }

// The full path of a loaded module (null: the program), empty when the
// system cannot tell.
std::wstring moduleFileName(HMODULE module);

// The system's text for an error code, with the code.
std::string systemMessage(DWORD error);

// The loader's error windows would stop a till until someone clicks them.
class QuietLoader {
 public:
  QuietLoader() { SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_); }
  ~QuietLoader() { SetThreadErrorMode(previous_, nullptr); }

 private:
  DWORD previous_ = 0;
};

// Where the loader looks for a package's dependencies: beside the package,
// then System32; never the program's directory, the current directory or
// PATH, where a stray library of the same name could be planted.
inline constexpr DWORD kPackageSearch =
    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

}  // namespace zep::platform::windows
