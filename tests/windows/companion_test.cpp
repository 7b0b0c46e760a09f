// The companion resource module: PKG_ZEP00001.<language abbreviation>, or
// PKG_ZEP00001.<its first two letters>, beside the DLL serves the module's
// resources while it is there; without one the module serves its own.
#include <windows.h>
//
#include <gtest/gtest.h>

#include <string>

#include "test_platform.hpp"

namespace {

const std::string kDirectory = ZEP_COMPANION_DIR;

std::string userLanguageAbbreviation() {
  char abbreviation[16] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, abbreviation, sizeof abbreviation);
  return abbreviation;
}

// The animation as a copy of the module in `name`, with a companion of that
// extension beside it unless `extension` is empty, gives it.
std::string animationBeside(const std::string& name, const std::string& extension) {
  const std::string directory = kDirectory + "/" + name;
  CreateDirectoryA(directory.c_str(), nullptr);
  EXPECT_TRUE(CopyFileA(ZEP_MODULE_FILE, (directory + "/PKG_ZEP00001.dll").c_str(), FALSE));
  EXPECT_TRUE(CopyFileA(ZEP_SHARED_PACKAGE_FILE, (directory + "/_dll.dll").c_str(), FALSE));
  const std::string companion = directory + "/PKG_ZEP00001." + extension;
  if (!extension.empty()) {
    EXPECT_TRUE(CopyFileA(ZEP_COMPANION_FILE, companion.c_str(), FALSE));
  }

  std::string error;
  void* module = test_platform::openLibrary(directory + "/PKG_ZEP00001.dll", error);
  EXPECT_NE(module, nullptr) << error;
  if (module == nullptr) return {};
  auto showavi = reinterpret_cast<const char* (*)(std::size_t*)>(
      test_platform::findSymbol(module, "zep_showavi"));
  std::size_t size = 0;
  const char* bytes = showavi(&size);
  std::string animation = bytes != nullptr ? std::string(bytes, size) : std::string();
  test_platform::closeLibrary(module);
  // Released at detach: nothing holds the file any more.
  if (!extension.empty()) {
    EXPECT_TRUE(DeleteFileA(companion.c_str())) << GetLastError();
  }
  return animation;
}

TEST(CompanionResourceModule, ServesTheAnimationWhileBesideTheModule) {
  const std::string language = userLanguageAbbreviation();
  ASSERT_EQ(language.size(), 3u);
  EXPECT_TRUE(animationBeside("abbreviation", language).starts_with("companion animation"));
  EXPECT_TRUE(animationBeside("two_letters", language.substr(0, 2)).starts_with("companion"));
  std::string own = animationBeside("none", "");
  EXPECT_EQ(own.size(), 66'524u);
  EXPECT_TRUE(own.starts_with("RIFF"));
  EXPECT_EQ(animationBeside("other_language", language == "PTB" ? "ENU" : "PTB").size(), 66'524u);
}

}  // namespace
