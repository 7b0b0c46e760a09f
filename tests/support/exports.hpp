// The names a shared object defines and exports, as the tests that compare
// an export table with its list read them.
#pragma once

#include <cstdio>
#include <set>
#include <string>

// What `nm -D --defined-only` lists for `file`; empty when nm fails.
inline std::set<std::string> definedExports(const std::string& file) {
  std::set<std::string> names;
  FILE* listing = popen(("nm -D --defined-only '" + file + "'").c_str(), "r");
  if (listing == nullptr) return names;
  char line[1024];
  while (std::fgets(line, sizeof line, listing) != nullptr) {
    const std::string text(line);
    const std::string::size_type last = text.find_last_of(' ');
    names.insert(text.substr(last + 1, text.find_last_not_of("\r\n") - last));
  }
  if (pclose(listing) != 0) names.clear();
  return names;
}
