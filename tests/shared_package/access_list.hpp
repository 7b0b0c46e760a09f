// An access list set by hand, as the kernel takes it (setfacl may be absent).
#pragma once

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

// Gives `path` an access list whose named entry lets uid 47614 write
// (`writes`) or only read; false where the file system keeps none.
inline bool giveAccess(const std::string& path, bool writes) {
  const std::uint16_t most = std::filesystem::is_directory(path) ? 7 : 6;
  const std::uint16_t user = writes ? most : 4;
  const std::uint32_t entries[][2] = {
      {1, most}, {2, user}, {4, 4}, {0x10, user}, {0x20, 4}};  // tag, permissions
  const std::uint32_t ids[] = {~0u, 47614, ~0u, ~0u, ~0u};
  std::vector<unsigned char> list = {2, 0, 0, 0};
  for (std::size_t i = 0; i < 5; ++i) {
    for (const std::uint32_t value : {entries[i][0], entries[i][1]})
      list.insert(list.end(), {static_cast<unsigned char>(value), 0});
    for (int shift = 0; shift < 32; shift += 8)
      list.push_back(static_cast<unsigned char>(ids[i] >> shift));
  }
  if (setxattr(path.c_str(), "system.posix_acl_access", list.data(), list.size(), 0) == 0)
    return true;
  EXPECT_EQ(errno, ENOTSUP) << std::strerror(errno);
  return false;
}
