// Bounds-checked reading of a file's bytes for the image readers: every
// table a file names becomes a Region only after it is checked to lie inside
// the file, and every read inside a region is checked again, so a damaged or
// hostile file gives a defect and never a read out of bounds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zep::object::bytes {

// Thrown by a failed check; the readers turn it into Image::defect.
struct Malformed {
  std::string what;
};

// a + b, or a Malformed about `what` when it does not fit in 64 bits.
inline std::uint64_t add(std::uint64_t a, std::uint64_t b, const char* what) {
  if (b > UINT64_MAX - a) throw Malformed{std::string(what) + " lies outside the file"};
  return a + b;
}

inline std::uint64_t multiply(std::uint64_t a, std::uint64_t b, const char* what) {
  if (a != 0 && b > UINT64_MAX / a) throw Malformed{std::string(what) + " lies outside the file"};
  return a * b;
}

class Region {
 public:
  Region(std::span<const std::uint8_t> data, bool bigEndian, const char* name)
      : data_(data), bigEndian_(bigEndian), name_(name) {}

  std::uint64_t size() const { return data_.size(); }
  void setBigEndian(bool bigEndian) { bigEndian_ = bigEndian; }

  // The `size` bytes at `offset`, which must lie inside this region.
  Region sub(std::uint64_t offset, std::uint64_t size, const char* name) const {
    if (offset > data_.size() || size > data_.size() - offset) {
      throw Malformed{std::string(name) + " lies outside the file"};
    }
    return Region(data_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size)),
                  bigEndian_, name);
  }

  // The unsigned integer of `width` bytes (1, 2, 4 or 8) at `offset`.
  std::uint64_t number(std::uint64_t offset, unsigned width) const {
    if (offset > data_.size() || width > data_.size() - offset) {
      throw Malformed{std::string(name_) + " is cut short"};
    }
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
      unsigned shift = bigEndian_ ? 8 * (width - 1 - i) : 8 * i;
      value |= std::uint64_t{data_[static_cast<std::size_t>(offset) + i]} << shift;
    }
    return value;
  }
  std::uint8_t u8(std::uint64_t offset) const {
    return static_cast<std::uint8_t>(number(offset, 1));
  }
  std::uint16_t u16(std::uint64_t offset) const {
    return static_cast<std::uint16_t>(number(offset, 2));
  }
  std::uint32_t u32(std::uint64_t offset) const {
    return static_cast<std::uint32_t>(number(offset, 4));
  }
  std::uint64_t u64(std::uint64_t offset) const { return number(offset, 8); }

  // The NUL-terminated text at `offset`, in place, which must end inside
  // this region; no more than `limit` bytes of it are scanned, and a view
  // of `limit` bytes says that it goes on.
  std::string_view view(std::uint64_t offset, std::uint64_t limit) const {
    if (offset >= data_.size()) throw Malformed{"a name lies outside " + std::string(name_)};
    const std::uint64_t rest = data_.size() - offset;
    const auto* start = reinterpret_cast<const char*>(data_.data()) + offset;
    const auto scanned = static_cast<std::size_t>(std::min(rest, limit));
    const void* end = std::memchr(start, 0, scanned);
    if (end != nullptr) return std::string_view(start, static_cast<const char*>(end) - start);
    if (scanned == rest) throw Malformed{"a name runs past the end of " + std::string(name_)};
    return std::string_view(start, scanned);
  }

  // The NUL-terminated text at `offset`, which must end inside this region.
  std::string text(std::uint64_t offset) const {
    if (offset >= data_.size()) throw Malformed{"a name lies outside " + std::string(name_)};
    auto rest = data_.subspan(static_cast<std::size_t>(offset));
    for (std::size_t i = 0; i < rest.size(); ++i) {
      if (rest[i] == 0) return std::string(reinterpret_cast<const char*>(rest.data()), i);
    }
    throw Malformed{"a name runs past the end of " + std::string(name_)};
  }

 private:
  std::span<const std::uint8_t> data_;
  bool bigEndian_;
  const char* name_;
};

// The defect of a file whose contents end at `needed`, past its `size`: an
// interrupted copy, the commonest damage, which the loader's words rarely
// name (and which glibc does not even survive).
inline std::string cutShort(std::uint64_t needed, std::uint64_t size) {
  return "the file is cut short: its contents run to byte " + std::to_string(needed) +
         ", but the file has only " + std::to_string(size) + " bytes";
}

// Names as the image lists them: sorted, each once.
inline void sortUnique(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
}

}  // namespace zep::object::bytes
