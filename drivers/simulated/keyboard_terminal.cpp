// The simulated keyboard terminal: a two-line display on standard output.
#include "keyboard_terminal.hpp"

#include <iostream>

#include "driver_export.hpp"

namespace terminal = zep::simulated::terminal;
using terminal::Status;

extern "C" {
ZEP_DRIVER_API terminal::Teclado_OK Teclado_OK;
ZEP_DRIVER_API terminal::ProcTeclGoToXY ProcTeclGoToXY;
ZEP_DRIVER_API terminal::ProcTeclDispStr ProcTeclDispStr;
ZEP_DRIVER_API terminal::ProcTeclDispClrLn1 ProcTeclDispClrLn1;
ZEP_DRIVER_API terminal::ProcTeclDispClrLn2 ProcTeclDispClrLn2;
}

namespace {

std::string lines[terminal::kLines] = {std::string(terminal::kColumns, ' '),
                                       std::string(terminal::kColumns, ' ')};
int column = 0;
int line = 0;

Status show() {
  std::cout << "[terminal |" << lines[0] << "|" << lines[1] << "|]" << std::endl;
  return Status::Ok;
}

Status clear(int which) {
  lines[which].assign(terminal::kColumns, ' ');
  return show();
}

}  // namespace

bool Teclado_OK() { return true; }

Status ProcTeclGoToXY(std::int32_t toColumn, std::int32_t toLine) {
  if (toColumn < 1 || toColumn > terminal::kColumns || toLine < 1 || toLine > terminal::kLines) {
    return Status::OutOfDisplay;
  }
  column = toColumn - 1;
  line = toLine - 1;
  return Status::Ok;
}

Status ProcTeclDispStr(const std::string& text) {
  for (char c : text) {
    if (column == terminal::kColumns) break;
    lines[line][static_cast<std::size_t>(column++)] = c;
  }
  return show();
}

Status ProcTeclDispClrLn1() { return clear(0); }
Status ProcTeclDispClrLn2() { return clear(1); }
