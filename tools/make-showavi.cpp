// Makes the module's "SHOWAVI" animation: an uncompressed RIFF AVI of a
// light sweeping along a thin bar, byte for byte the same on every run and
// every machine. Built for and run on the build machine.
//
//   make-showavi <animation.avi> <bytes.inc>
//
// writes the AVI itself (for the Windows resource) and the same bytes as a
// C++ initializer list (for the Linux module).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kWidth = 145;
constexpr std::uint32_t kHeight = 5;
constexpr std::uint32_t kBitsPerPixel = 16;
constexpr std::uint32_t kFrames = 31;
constexpr std::uint32_t kMicrosecondsPerFrame = 83'333;
// The size the host's resource has always had; JUNK chunks fill what the
// minimal layout leaves of it.
constexpr std::uint32_t kFileSize = 66'524;
// The frames start on a 2 KiB boundary, as the classic writers put them.
constexpr std::uint32_t kMoviAlignment = 2048;

// DIB rows are padded to four bytes.
constexpr std::uint32_t kStride = (kWidth * kBitsPerPixel / 8 + 3) / 4 * 4;
constexpr std::uint32_t kFrameBytes = kStride * kHeight;

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyframe = 0x10;

class Writer {
 public:
  void u8(std::uint8_t value) { bytes_.push_back(value); }
  void u16(std::uint16_t value) {
    u8(value & 0xff);
    u8(value >> 8);
  }
  void u32(std::uint32_t value) {
    u16(value & 0xffff);
    u16(value >> 16);
  }
  void fourcc(const char (&code)[5]) {
    for (int i = 0; i < 4; ++i) u8(static_cast<std::uint8_t>(code[i]));
  }
  // Starts a chunk or list and gives the place of its size field.
  std::size_t open(const char (&code)[5]) {
    fourcc(code);
    std::size_t size = bytes_.size();
    u32(0);
    return size;
  }
  void close(std::size_t sizeField) {
    if (bytes_.size() % 2 != 0) u8(0);
    std::uint32_t size = static_cast<std::uint32_t>(bytes_.size() - sizeField - 4);
    for (int i = 0; i < 4; ++i) bytes_[sizeField + i] = static_cast<std::uint8_t>(size >> (8 * i));
  }
  // A JUNK chunk that brings the stream to `end` bytes in all.
  void junkUntil(std::size_t end) {
    std::size_t field = open("JUNK");
    while (bytes_.size() < end) u8(0);
    close(field);
  }
  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// One frame, bottom row first, RGB 5-5-5: a dim blue bar with a cyan light
// whose centre moves from the left end to the right end over the clip.
std::vector<std::uint8_t> frame(std::uint32_t index) {
  std::vector<std::uint8_t> pixels(kFrameBytes, 0);
  const int centre = static_cast<int>(index * (kWidth - 1) / (kFrames - 1));
  constexpr int kReach = 14;
  for (std::uint32_t row = 0; row < kHeight; ++row) {
    // The middle row is the brightest, the edges half as bright.
    const int rowWeight = row == kHeight / 2 ? 4 : (row == 0 || row == kHeight - 1 ? 2 : 3);
    for (std::uint32_t column = 0; column < kWidth; ++column) {
      int distance = static_cast<int>(column) - centre;
      if (distance < 0) distance = -distance;
      const int glow = distance < kReach ? (kReach - distance) * (kReach - distance) : 0;
      const int light = glow * rowWeight / 4;  // up to 196
      const int red = 1 + light / 28;
      const int green = 3 + light * 27 / 196;
      const int blue = 8 + light * 23 / 196;
      const std::uint16_t pixel = static_cast<std::uint16_t>(red << 10 | green << 5 | blue);
      const std::size_t at = row * kStride + column * 2;
      pixels[at] = static_cast<std::uint8_t>(pixel & 0xff);
      pixels[at + 1] = static_cast<std::uint8_t>(pixel >> 8);
    }
  }
  return pixels;
}

std::vector<std::uint8_t> animation() {
  Writer avi;
  const std::size_t riff = avi.open("RIFF");
  avi.fourcc("AVI ");

  const std::size_t headers = avi.open("LIST");
  avi.fourcc("hdrl");
  const std::size_t mainHeader = avi.open("avih");
  avi.u32(kMicrosecondsPerFrame);
  // Bytes a player reads each second, rounded up.
  avi.u32(static_cast<std::uint32_t>(
      (std::uint64_t{kFrameBytes} * 1'000'000 + kMicrosecondsPerFrame - 1) /
      kMicrosecondsPerFrame));
  avi.u32(0);  // padding granularity
  avi.u32(kAvifHasIndex);
  avi.u32(kFrames);
  avi.u32(0);  // initial frames
  avi.u32(1);  // streams
  avi.u32(kFrameBytes);
  avi.u32(kWidth);
  avi.u32(kHeight);
  for (int i = 0; i < 4; ++i) avi.u32(0);
  avi.close(mainHeader);

  const std::size_t stream = avi.open("LIST");
  avi.fourcc("strl");
  const std::size_t streamHeader = avi.open("strh");
  avi.fourcc("vids");
  avi.fourcc("DIB ");
  avi.u32(0);                      // flags
  avi.u16(0);                      // priority
  avi.u16(0);                      // language
  avi.u32(0);                      // initial frames
  avi.u32(kMicrosecondsPerFrame);  // scale / rate is the frame time in seconds
  avi.u32(1'000'000);
  avi.u32(0);  // start
  avi.u32(kFrames);
  avi.u32(kFrameBytes);  // suggested buffer size
  avi.u32(0xffffffff);   // default quality
  avi.u32(0);            // sample size: video frames are chunks of their own
  avi.u16(0);
  avi.u16(0);
  avi.u16(kWidth);
  avi.u16(kHeight);
  avi.close(streamHeader);
  const std::size_t format = avi.open("strf");
  avi.u32(40);  // BITMAPINFOHEADER
  avi.u32(kWidth);
  avi.u32(kHeight);  // positive: bottom-up rows
  avi.u16(1);
  avi.u16(kBitsPerPixel);
  avi.u32(0);  // BI_RGB
  avi.u32(kFrameBytes);
  avi.u32(0);
  avi.u32(0);
  avi.u32(0);
  avi.u32(0);
  avi.close(format);
  avi.close(stream);
  avi.close(headers);

  // LIST, its size and "movi" stand before the first frame.
  avi.junkUntil(kMoviAlignment - 12);
  const std::size_t movie = avi.open("LIST");
  const std::size_t moviFourcc = avi.size();
  avi.fourcc("movi");
  std::vector<std::uint32_t> offsets;
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    offsets.push_back(static_cast<std::uint32_t>(avi.size() - moviFourcc));
    const std::size_t chunk = avi.open("00db");
    for (std::uint8_t byte : frame(i)) avi.u8(byte);
    avi.close(chunk);
  }
  avi.close(movie);

  const std::size_t index = avi.open("idx1");
  for (std::uint32_t offset : offsets) {
    avi.fourcc("00db");
    avi.u32(kAviifKeyframe);
    avi.u32(offset);
    avi.u32(kFrameBytes);
  }
  avi.close(index);

  avi.junkUntil(kFileSize);
  avi.close(riff);
  return avi.bytes();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make-showavi <animation.avi> <bytes.inc>\n";
    return 2;
  }
  const std::vector<std::uint8_t> bytes = animation();
  if (bytes.size() != kFileSize) {
    std::cerr << "make-showavi: the layout gives " << bytes.size() << " bytes, not " << kFileSize
              << "\n";
    return 1;
  }
  std::ofstream avi(argv[1], std::ios::binary);
  avi.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  std::ofstream list(argv[2]);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char text[8];
    std::snprintf(text, sizeof text, "%u,", static_cast<unsigned>(bytes[i]));
    list << text << (i % 24 == 23 ? "\n" : "");
  }
  list << "\n";
  avi.close();
  list.close();
  if (!avi || !list) {
    std::cerr << "make-showavi: cannot write " << argv[1] << " or " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
