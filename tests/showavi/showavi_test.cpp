// The SHOWAVI animation, parsed as a RIFF AVI: its size, every header field
// against the stream, the index against the frames, and the light moving.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "zep00001/zep00001.hpp"

namespace {

constexpr std::uint32_t kWidth = 145;
constexpr std::uint32_t kHeight = 5;
constexpr std::uint32_t kFrames = 31;
constexpr std::uint32_t kFrameBytes = (kWidth * 2 + 3) / 4 * 4 * kHeight;

struct Chunk {
  std::string id;
  std::size_t data;  // offset of the chunk's data
  std::uint32_t size;
};

class Animation : public ::testing::Test {
 protected:
  void SetUp() override {
    std::size_t size = 0;
    const std::uint8_t* bytes = zep_showavi(&size);
    ASSERT_NE(bytes, nullptr);
    avi_.assign(bytes, bytes + size);
  }

  std::uint32_t u32(std::size_t at) const {
    return avi_[at] | avi_[at + 1] << 8 | avi_[at + 2] << 16 | std::uint32_t{avi_[at + 3]} << 24;
  }
  std::uint16_t u16(std::size_t at) const {
    return static_cast<std::uint16_t>(avi_[at] | avi_[at + 1] << 8);
  }
  std::string fourcc(std::size_t at) const {
    return std::string(reinterpret_cast<const char*>(&avi_[at]), 4);
  }

  // The chunks between `begin` and `end`, each checked to lie within them;
  // a LIST's id is "LIST <type>".
  std::vector<Chunk> chunks(std::size_t begin, std::size_t end) const {
    std::vector<Chunk> found;
    std::size_t at = begin;
    while (at < end) {
      EXPECT_LE(at + 8, end);
      if (at + 8 > end) break;
      Chunk chunk{fourcc(at), at + 8, u32(at + 4)};
      EXPECT_LE(chunk.data + chunk.size, end) << chunk.id << " at " << at;
      if (chunk.data + chunk.size > end) break;
      if (chunk.id == "LIST") chunk.id += ' ' + fourcc(chunk.data);
      found.push_back(chunk);
      at = chunk.data + chunk.size + chunk.size % 2;
    }
    EXPECT_EQ(at, end);
    return found;
  }

  const Chunk& only(const std::vector<Chunk>& all, const std::string& id) const {
    const Chunk* match = nullptr;
    int count = 0;
    for (const Chunk& chunk : all) {
      if (chunk.id == id) {
        match = &chunk;
        ++count;
      }
    }
    EXPECT_EQ(count, 1) << id;
    static const Chunk none{};
    return match != nullptr ? *match : none;
  }

  std::vector<std::uint8_t> avi_;
};

TEST_F(Animation, IsARiffAviOfTheHostsSize) {
  ASSERT_EQ(avi_.size(), 66'524u);
  EXPECT_EQ(fourcc(0), "RIFF");
  EXPECT_EQ(u32(4), 66'516u);
  EXPECT_EQ(fourcc(8), "AVI ");
  std::vector<Chunk> top = chunks(12, avi_.size());
  ASSERT_GE(top.size(), 3u);
  EXPECT_EQ(top[0].id, "LIST hdrl");
  only(top, "LIST movi");
  only(top, "idx1");
  std::size_t junk = 0;
  for (const Chunk& chunk : top) {
    EXPECT_TRUE(chunk.id == "JUNK" || chunk.id.starts_with("LIST") || chunk.id == "idx1")
        << chunk.id;
    if (chunk.id == "JUNK") junk += 8 + chunk.size;
  }
  EXPECT_GT(junk, 0u);
}

TEST_F(Animation, HeadersAgreeWithTheStream) {
  ASSERT_EQ(avi_.size(), 66'524u);
  std::vector<Chunk> top = chunks(12, avi_.size());
  const Chunk& headers = only(top, "LIST hdrl");
  std::vector<Chunk> inside = chunks(headers.data + 4, headers.data + headers.size);
  ASSERT_EQ(inside.size(), 2u);

  const Chunk& main = only(inside, "avih");
  ASSERT_EQ(main.size, 56u);
  EXPECT_EQ(u32(main.data), 83'333u);  // microseconds a frame
  EXPECT_GE(std::uint64_t{u32(main.data + 4)} * 83'333, std::uint64_t{kFrameBytes} * 1'000'000);
  EXPECT_NE(u32(main.data + 12) & 0x10, 0u);  // has an index
  EXPECT_EQ(u32(main.data + 16), kFrames);
  EXPECT_EQ(u32(main.data + 20), 0u);
  EXPECT_EQ(u32(main.data + 24), 1u);  // streams
  EXPECT_GE(u32(main.data + 28), kFrameBytes);
  EXPECT_EQ(u32(main.data + 32), kWidth);
  EXPECT_EQ(u32(main.data + 36), kHeight);

  const Chunk& list = only(inside, "LIST strl");
  std::vector<Chunk> stream = chunks(list.data + 4, list.data + list.size);
  const Chunk& header = only(stream, "strh");
  ASSERT_EQ(header.size, 56u);
  EXPECT_EQ(fourcc(header.data), "vids");
  const std::uint32_t scale = u32(header.data + 20), rate = u32(header.data + 24);
  ASSERT_NE(rate, 0u);
  EXPECT_EQ(std::uint64_t{scale} * 1'000'000, std::uint64_t{rate} * 83'333);  // same frame time
  EXPECT_EQ(u32(header.data + 28), 0u);                                       // start
  EXPECT_EQ(u32(header.data + 32), kFrames);
  EXPECT_GE(u32(header.data + 36), kFrameBytes);
  EXPECT_EQ(u16(header.data + 52), kWidth);  // frame rectangle right, bottom
  EXPECT_EQ(u16(header.data + 54), kHeight);

  const Chunk& format = only(stream, "strf");
  ASSERT_EQ(format.size, 40u);
  EXPECT_EQ(u32(format.data), 40u);
  EXPECT_EQ(u32(format.data + 4), kWidth);
  EXPECT_EQ(u32(format.data + 8), kHeight);
  EXPECT_EQ(u16(format.data + 12), 1u);   // planes
  EXPECT_EQ(u16(format.data + 14), 16u);  // bits per pixel
  EXPECT_EQ(u32(format.data + 16), 0u);   // uncompressed
  EXPECT_EQ(u32(format.data + 20), kFrameBytes);
}

TEST_F(Animation, IndexNamesEveryFrameAndTheLightSweepsAlongTheBar) {
  ASSERT_EQ(avi_.size(), 66'524u);
  std::vector<Chunk> top = chunks(12, avi_.size());
  const Chunk& movie = only(top, "LIST movi");
  const std::size_t moviFourcc = movie.data;
  std::vector<Chunk> frames;
  for (const Chunk& chunk : chunks(movie.data + 4, movie.data + movie.size)) {
    if (chunk.id != "JUNK") frames.push_back(chunk);
  }
  ASSERT_EQ(frames.size(), kFrames);

  const Chunk& index = only(top, "idx1");
  ASSERT_EQ(index.size, kFrames * 16);
  int previousBrightest = -1;
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    const std::size_t entry = index.data + i * 16;
    EXPECT_EQ(fourcc(entry), "00db");
    EXPECT_NE(u32(entry + 4) & 0x10, 0u);  // key frame
    EXPECT_EQ(moviFourcc + u32(entry + 8), frames[i].data - 8) << i;
    EXPECT_EQ(u32(entry + 12), kFrameBytes);
    EXPECT_EQ(frames[i].id, "00db");
    ASSERT_EQ(frames[i].size, kFrameBytes);

    // The middle row's brightest pixel, by its green, moves right each frame.
    const std::size_t row = frames[i].data + (kHeight / 2) * (kFrameBytes / kHeight);
    int brightest = 0;
    for (std::uint32_t x = 1; x < kWidth; ++x) {
      if ((u16(row + x * 2) >> 5 & 31) > (u16(row + brightest * 2) >> 5 & 31)) brightest = x;
    }
    EXPECT_GT(brightest, previousBrightest) << "frame " << i;
    previousBrightest = brightest;
  }
  EXPECT_EQ(previousBrightest, static_cast<int>(kWidth) - 1);
}

}  // namespace
