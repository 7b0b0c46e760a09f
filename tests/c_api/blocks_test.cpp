// The C builders' and the block readers' failures. Every pair of every
// builder is read back by the Python example's test.
#include <gtest/gtest.h>

#include <string>

#include "c_api.hpp"

namespace {

using c_api::lastError;

TEST(CBuilders, ANullTextIsRefusedByName) {
  EXPECT_EQ(zep_Params_VerificaSerialImp_Zep00000(1, "dir", nullptr, "serial"), nullptr);
  EXPECT_EQ(lastError(), "ESQUEMACOR for zep_Params_VerificaSerialImp_Zep00000 is a null pointer");
  // Any non-zero int is true.
  zep_block* block = zep_Params_VerificaSerialImp_Zep00000(-5, "", "", "");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(zep_block_boolean(block, 0), 1);
  zep_block_free(block);
}

TEST(CBlockReaders, RefuseWhatTheBlockDoesNotHold) {
  zep_block* block = zep_Params_VerificaSerialImp_Zep00000(0, "C:\\CAD", "PADRAO", "0042");
  ASSERT_NE(block, nullptr);
  std::size_t length = 99;

  EXPECT_EQ(zep_block_key(block, 4), nullptr);
  EXPECT_EQ(lastError(), "pair 4 is out of range: the block has 4 pairs");
  EXPECT_EQ(zep_block_tag(block, 4), -1);
  EXPECT_EQ(lastError(), "pair 4 is out of range: the block has 4 pairs");
  EXPECT_EQ(zep_block_string(block, static_cast<std::size_t>(-1), &length), nullptr);
  EXPECT_EQ(length, 99u);

  EXPECT_EQ(zep_block_integer(block, 1), 0);
  EXPECT_EQ(lastError(), "pair 1, \"DSDIRCAD\": expected Integer, but the value is String");
  EXPECT_EQ(zep_block_string(block, 0, &length), nullptr);
  EXPECT_EQ(lastError(), "pair 0, \"UTILIZAIMPFIS\": expected String, but the value is Boolean");
  EXPECT_EQ(zep_block_double(block, 3), 0.0);
  EXPECT_EQ(lastError(), "pair 3, \"REV_NRSERIE_IMP\": expected Double, but the value is String");
  EXPECT_EQ(zep_block_boolean(block, 2), 0);
  EXPECT_EQ(lastError(), "pair 2, \"ESQUEMACOR\": expected Boolean, but the value is String");

  // A read that succeeds says so; the length is optional.
  EXPECT_STREQ(zep_block_string(block, 3, nullptr), "0042");
  EXPECT_EQ(lastError(), "");
  EXPECT_EQ(zep_block_boolean(block, 0), 0);
  EXPECT_EQ(lastError(), "");
  zep_block_free(block);

  EXPECT_EQ(zep_block_size(nullptr), 0u);
  EXPECT_EQ(lastError(), "block is a null pointer");
  EXPECT_EQ(zep_block_key(nullptr, 0), nullptr);
  EXPECT_EQ(zep_block_tag(nullptr, 0), -1);
  EXPECT_EQ(zep_block_integer(nullptr, 0), 0);
  EXPECT_EQ(lastError(), "block is a null pointer");
  zep_block_free(nullptr);
}

}  // namespace
