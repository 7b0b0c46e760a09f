// The ELF reader against the packages this build makes, and what it finds
// in the packages made to misbehave.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "images.hpp"
#include "packages.hpp"

namespace {

Image packageImage(const std::string& directory, const std::string& package) {
  return readImage(fileBytes(kPackages + "/" + directory + "/lib" + package + ".so"));
}

bool exports(const Image& image, const std::string& name) {
  return std::binary_search(image.exports.begin(), image.exports.end(), name);
}
TEST(ElfReader, ReadsTheDynamicSymbolsAndNeedsOfAPackage) {
  Image answering = packageImage("answering", "Tef00000");
  EXPECT_EQ(answering.target, zep::object::processTarget());
  EXPECT_EQ(answering.kind, ImageKind::SharedLibrary);
  EXPECT_EQ(answering.defect, "");
  EXPECT_TRUE(exports(answering, "StarTefDedicado"));
  EXPECT_FALSE(exports(answering, "StartTefDedicado"));
  EXPECT_FALSE(exports(answering, "dlsym")) << "an import is no export";
  EXPECT_TRUE(answering.selfCallsByName.empty());
  EXPECT_FALSE(answering.noDelete);

  Image variant = packageImage("variant", "Tef00000");
  EXPECT_TRUE(exports(variant, "StartTefDedicado"));
  EXPECT_FALSE(exports(variant, "StarTefDedicado"));

  Image dependent = packageImage("broken", "ZEP01000");
  EXPECT_THAT(dependent.needed, Contains("libzep_absent_dependency.so"));
}

// The seeds' own tests cover the self-call and the unique symbol; what this
// build adds is the remedy, and the flag no seed carries.
TEST(ElfReader, TellsTheRemedyAndTheNoDeleteFlag) {
  EXPECT_THAT(packageImage("selfcalling", "Zep00500").selfCallsByName, ElementsAre());
  EXPECT_TRUE(packageImage("nodelete", "Zep00400").noDelete);
  EXPECT_THAT(packageImage("answering", "Zep00000").uniqueSymbols, ElementsAre());
}

}  // namespace
