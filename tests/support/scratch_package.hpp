// A package directory of a test's own, made by mkdtemp (so 0700 and this
// user's), holding a copy of one answering package: a test changes who may
// write it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "slots.hpp"

class ScratchPackage {
 public:
  explicit ScratchPackage(const std::string& package) {
    std::string pattern = testing::TempDir() + "zep-scratch-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    directory = pattern;
    file = directory + "/" + packageFileName(package);
    std::filesystem::copy_file(packageFile("answering", package), file);
  }
  ~ScratchPackage() { std::filesystem::remove_all(directory); }
  ScratchPackage(const ScratchPackage&) = delete;
  ScratchPackage& operator=(const ScratchPackage&) = delete;

  std::string directory;
  std::string file;
};
