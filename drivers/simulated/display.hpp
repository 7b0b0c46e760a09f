// The simulated customer display, package ZEP00600: the entries it simulates
// and their signatures, for a host to cast the slots to.
//
// Two lines of 20 columns. A text fills the first line and runs on into the
// second; a line break ('\n' or '\r') starts the second line early; what does
// not fit is cut. After every change the display shows its face, two lines
// framed by '|', on the screen it was started with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace zep::simulated::display {

enum Status : std::int32_t { Ok = 0, NotStarted = 1 };

inline constexpr std::size_t kColumns = 20;

// The stream must live until StopDisplay.
using StartDisplay = Status(std::ostream& screen);
using DisplayEnviaTexto = Status(const std::string& text);
using LimpaDisplay = Status();
using StopDisplay = Status();

}  // namespace zep::simulated::display
