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

}  // namespace zep::platform::windows
