// The simulated keyboard terminal, package Zep00400: the entries it
// simulates and their signatures, for a host to cast the slots to.
//
// Its display has two lines of 20 columns; the terminal has no screen of its
// own here, so every change shows the display's two lines on standard output.
#pragma once

#include <cstdint>
#include <string>

namespace zep::simulated::terminal {

enum Status : std::int32_t { Ok = 0, OutOfDisplay = 1 };

inline constexpr int kColumns = 20;
inline constexpr int kLines = 2;

using Teclado_OK = bool();
// Columns and lines count from 1.
using ProcTeclGoToXY = Status(std::int32_t column, std::int32_t line);
// Writes at the cursor, cutting what passes the line's end.
using ProcTeclDispStr = Status(const std::string& text);
using ProcTeclDispClrLn1 = Status();
using ProcTeclDispClrLn2 = Status();

}  // namespace zep::simulated::terminal
