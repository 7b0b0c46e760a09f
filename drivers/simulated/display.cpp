// The simulated customer display: shows its two lines on a stream.
#include "display.hpp"

#include "driver_export.hpp"

namespace display = zep::simulated::display;
using display::Status;

extern "C" {
ZEP_DRIVER_API display::StartDisplay StartDisplay;
ZEP_DRIVER_API display::DisplayEnviaTexto DisplayEnviaTexto;
ZEP_DRIVER_API display::LimpaDisplay LimpaDisplay;
ZEP_DRIVER_API display::StopDisplay StopDisplay;
}

namespace {

std::ostream* screen = nullptr;
std::string lines[2];

void show() {
  for (const std::string& line : lines) {
    *screen << '|' << line << std::string(display::kColumns - line.size(), ' ') << "|\n";
  }
  screen->flush();
}

}  // namespace

Status StartDisplay(std::ostream& target) {
  screen = &target;
  return Status::Ok;
}

Status DisplayEnviaTexto(const std::string& text) {
  if (screen == nullptr) return Status::NotStarted;
  lines[0].clear();
  lines[1].clear();
  std::size_t line = 0;
  char previous = 0;
  for (char c : text) {
    const bool crlf = previous == '\r' && c == '\n';
    previous = c;
    if (crlf) continue;
    if (c == '\n' || c == '\r') {
      if (++line == 2) break;
      continue;
    }
    if (lines[line].size() == display::kColumns && ++line == 2) break;
    lines[line] += c;
  }
  show();
  return Status::Ok;
}

Status LimpaDisplay() {
  if (screen == nullptr) return Status::NotStarted;
  lines[0].clear();
  lines[1].clear();
  show();
  return Status::Ok;
}

Status StopDisplay() {
  if (screen == nullptr) return Status::NotStarted;
  screen = nullptr;
  return Status::Ok;
}
