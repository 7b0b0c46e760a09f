// The module-definition file the export encoder wrote for the Windows DLL:
// one row an export, `"Exported" = Internal [DATA]` or `Name [DATA]`.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct ExportRow {
  std::string exported;
  std::string internal;
  bool data = false;
};

inline std::vector<ExportRow> moduleDefinition(const std::string& file) {
  std::vector<ExportRow> rows;
  std::ifstream in(file);
  std::string line;
  bool exports = false;
  while (std::getline(in, line)) {
    if (line == "EXPORTS") {
      exports = true;
      continue;
    }
    if (!exports || line.empty()) continue;
    std::istringstream words(line);
    ExportRow row;
    std::string word;
    words >> row.exported;
    if (row.exported.size() >= 2 && row.exported.front() == '"' && row.exported.back() == '"') {
      row.exported = row.exported.substr(1, row.exported.size() - 2);
    }
    row.internal = row.exported;
    while (words >> word) {
      if (word == "=") {
        words >> row.internal;
      } else if (word == "DATA") {
        row.data = true;
      }
    }
    rows.push_back(row);
  }
  return rows;
}
