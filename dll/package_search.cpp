#include "package_search.hpp"

#include "platform/platform.hpp"

namespace zep::shared_package {

bool isBaseName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    bool digit = c >= '0' && c <= '9';
    if (!letter && !digit && c != '_') return false;
  }
  return true;
}

std::vector<std::string> packageDirectories(const std::optional<std::string>& searchPath,
                                            const std::string& ownDirectory) {
  std::vector<std::string> directories;
  if (searchPath) {
    std::string::size_type start = 0;
    while (start <= searchPath->size()) {
      std::string::size_type end = searchPath->find(platform::kPathListSeparator, start);
      if (end == std::string::npos) end = searchPath->size();
      std::string entry = searchPath->substr(start, end - start);
      if (platform::isAbsolutePath(entry)) directories.push_back(entry);
      start = end + 1;
    }
  }
  if (!ownDirectory.empty()) directories.push_back(ownDirectory);
  return directories;
}

std::string candidatePath(const std::string& directory, const std::string& package) {
  return directory + platform::kDirectorySeparator + platform::packageFileName(package);
}

}  // namespace zep::shared_package
