// zep-host trace's reader of the module's trace files (src/trace/format.hpp):
// the header, the names, then one region at a time, each to its last whole
// record, so that memory stays bounded whatever the file holds. A file that
// does not begin as one is read as a Chrome trace-event array.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unordered_map>

#include "catalog/catalog.hpp"
#include "host/trace.hpp"
#include "trace/format.hpp"

namespace zep::host {
namespace {

namespace format = trace::format;
namespace fs = std::filesystem;

// Older traces were JSON text, read whole: up to this size.
constexpr std::uintmax_t kLargestJson = std::uintmax_t{256} << 20;
constexpr std::uint32_t kLargestNames = 16u << 20;
constexpr std::uint32_t kLargestRegion = 64u << 20;
// The blocks whose address a call's word is shown as, the latest first.
constexpr std::size_t kBlocksKept = 1 << 16;

struct Named {
  std::string entry;
  std::string set;
  std::string package;
};

template <class T>
T at(const std::vector<char>& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

std::string hex(std::uint64_t word) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(word));
  return text;
}

const char* noteKind(std::uint8_t kind) {
  switch (kind) {
    case format::kBind:
      return "bind";
    case format::kUnbind:
      return "unbind";
    case format::kBlock:
      return "block";
    case format::kLoad:
      return "load";
    default:
      return "note";
  }
}

class BinaryReader {
 public:
  BinaryReader(std::ifstream& in, std::uintmax_t size, const TraceSink& sink)
      : in_(in), size_(size), sink_(sink) {}

  // "" where the header is that of a trace, else what is wrong with it.
  std::string header(const std::vector<char>& first) {
    if (first.size() < sizeof header_) return "its header is cut short";
    std::memcpy(&header_, first.data(), sizeof header_);
    const format::FileHeader& h = header_;
    if (h.version != format::kVersion) return "it is of version " + std::to_string(h.version);
    if ((h.wordBytes != 4 && h.wordBytes != 8) || h.namesOffset < sizeof h ||
        h.namesSize > kLargestNames || h.regionSize < 4096 || h.regionSize > kLargestRegion ||
        h.regionSize % 8 != 0 || h.regionsOffset < std::uint64_t{h.namesOffset} + h.namesSize ||
        h.ticksPerSecond == 0)
      return "its header is damaged";
    return "";
  }

  void read(TraceRead& read) {
    read.closed = header_.closed == 1;
    readNames();
    const std::uint64_t available =
        size_ <= header_.regionsOffset
            ? 0
            : (size_ - header_.regionsOffset + header_.regionSize - 1) / header_.regionSize;
    const std::uint64_t regions =
        std::min<std::uint64_t>({header_.claimed, header_.regionCount, available});
    std::vector<char> region;
    for (std::uint64_t k = 0; k < regions; ++k) {
      const std::uint64_t offset = header_.regionsOffset + k * header_.regionSize;
      region.resize(
          static_cast<std::size_t>(std::min<std::uint64_t>(header_.regionSize, size_ - offset)));
      in_.seekg(static_cast<std::streamoff>(offset));
      in_.read(region.data(), static_cast<std::streamsize>(region.size()));
      region.resize(static_cast<std::size_t>(in_.gcount()));
      in_.clear();
      if (readRegion(region)) read.cutEvent = true;
    }
  }

 private:
  void readNames() {
    const std::uint32_t used = std::min(header_.namesUsed, header_.namesSize);
    std::vector<char> names(used);
    in_.seekg(header_.namesOffset);
    in_.read(names.data(), used);
    names.resize(static_cast<std::size_t>(in_.gcount()));
    in_.clear();
    for (std::size_t offset = 0; offset + sizeof(format::Name) <= names.size();) {
      const auto name = at<format::Name>(names, offset);
      const std::size_t texts = std::size_t{name.entryLength} + name.setLength + name.packageLength;
      if (name.size < sizeof name + texts || name.size % 8 != 0 ||
          name.size > names.size() - offset)
        break;
      const char* text = names.data() + offset + sizeof name;
      Named& named = names_[name.id];
      named.entry.assign(text, name.entryLength);
      named.set.assign(text + name.entryLength, name.setLength);
      named.package.assign(text + name.entryLength + name.setLength, name.packageLength);
      offset += name.size;
    }
  }

  // Gives the region's records on; true where its last one is cut short.
  bool readRegion(const std::vector<char>& region) {
    if (region.size() < sizeof(format::RegionHeader)) return false;
    const auto start = at<format::RegionHeader>(region, 0);
    if (start.magic != format::kRegionMagic) return false;  // taken, never written
    TraceEvent event;
    event.thread = {start.pid, start.tid};
    for (std::size_t offset = sizeof start; offset + sizeof(format::Head) <= region.size();) {
      const auto head = at<format::Head>(region, offset);
      std::size_t words = 0;
      switch (head.kind) {
        case format::kCall:
          words = head.count;
          break;
        case format::kReturn:
        case format::kDropped:
          words = 1;
          break;
        case format::kUnwound:
          break;
        case format::kNote:
          words = format::padded(head.id) / 8;
          break;
        default:
          return false;  // the region's end, or damage: nothing after it is whole
      }
      const std::size_t size = sizeof head + 8 * words;
      if (size > region.size() - offset) return true;
      const char* payload = region.data() + offset + sizeof head;
      const auto word = [&](std::size_t i) {
        std::uint64_t value;
        std::memcpy(&value, payload + 8 * i, 8);
        return value;
      };
      const auto ticks = static_cast<std::int64_t>(head.ticks - start.ticks);
      event.time =
          (static_cast<double>(start.nanoseconds) +
           static_cast<double>(ticks) * 1e9 / static_cast<double>(header_.ticksPerSecond)) /
          1000;
      event.depth = head.depth;
      event.words.clear();
      event.text.clear();
      if (head.kind == format::kNote) {
        event.kind = TraceEvent::Kind::Note;
        event.note = noteKind(head.count);
        event.text.assign(payload, head.id);
        if (head.count == format::kBlock) keepBlock(event.text);
        event.entry = event.set = event.package = "";
      } else if (head.kind == format::kDropped) {
        event.kind = TraceEvent::Kind::Dropped;
        event.dropped = word(0);
      } else {
        event.kind = head.kind == format::kCall     ? TraceEvent::Kind::Call
                     : head.kind == format::kReturn ? TraceEvent::Kind::Return
                                                    : TraceEvent::Kind::Unwound;
        const auto named = names_.find(head.id);
        if (named != names_.end()) {
          event.entry = named->second.entry;
          event.set = named->second.set;
          event.package = named->second.package;
        } else {
          event.entry = "#" + std::to_string(head.id);
          event.set = event.package = "";
        }
        if (head.kind == format::kCall)
          for (std::size_t i = 0; i < words; ++i) event.words.push_back(shownWord(word(i)));
        event.result = head.kind == format::kReturn ? hex(word(0)) : "";
      }
      sink_(event);
      offset += size;
    }
    return false;
  }

  // A block note: "<builder> at 0x<address>: <pairs>".
  void keepBlock(const std::string& text) {
    const std::size_t at = text.find(" at 0x");
    if (at == std::string::npos) return;
    const std::uint64_t address = std::strtoull(text.c_str() + at + 6, nullptr, 16);
    if (blocks_.size() >= kBlocksKept) blocks_.clear();
    blocks_[address] = text.substr(0, at);
  }

  // A word, and the block built at that address where one was.
  std::string shownWord(std::uint64_t word) const {
    const auto block = blocks_.find(word);
    return block == blocks_.end() ? hex(word) : hex(word) + " (block " + block->second + ")";
  }

  std::ifstream& in_;
  std::uintmax_t size_;
  const TraceSink& sink_;
  format::FileHeader header_{};
  std::unordered_map<std::uint32_t, Named> names_;
  std::unordered_map<std::uint64_t, std::string> blocks_;
};

}  // namespace

bool readTraceFile(const std::string& path, const TraceSink& sink, TraceRead& read,
                   std::string& problem) {
  const std::string named = catalog::quoted(path);
  // A device or a FIFO would be read forever, or wait for a writer.
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error) {
    problem = "cannot read " + named + ": " + error.message();
    return false;
  }
  if (status.type() != fs::file_type::regular) {
    problem = named + " is no call trace: it is no regular file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  const std::uintmax_t size = fs::file_size(path, error);
  if (!in || error) {
    problem = "cannot read " + named + ": " +
              (error ? error.message() : std::string("it cannot be opened"));
    return false;
  }
  std::vector<char> first(format::kHeaderSize);
  in.read(first.data(), static_cast<std::streamsize>(first.size()));
  first.resize(static_cast<std::size_t>(in.gcount()));
  in.clear();
  if (first.size() >= sizeof format::kMagic &&
      std::memcmp(first.data(), format::kMagic, sizeof format::kMagic) == 0) {
    BinaryReader reader(in, size, sink);
    if (std::string wrong = reader.header(first); !wrong.empty()) {
      problem = named + " is no call trace: " + wrong;
      return false;
    }
    reader.read(read);
    return true;
  }
  const std::size_t begun =
      std::string_view(first.data(), first.size()).find_first_not_of(" \t\r\n");
  if (begun != std::string_view::npos && first[begun] != '[') {
    problem = named + " is no call trace: it does not begin with '['";
    return false;
  }
  if (size > kLargestJson) {
    problem = named + " is no call trace: it is neither the module's trace nor JSON text of " +
              "a size a trace has";
    return false;
  }
  std::string text(first.begin(), first.end());
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
  return readTraceJson(text, path, sink, read, problem);
}

}  // namespace zep::host
