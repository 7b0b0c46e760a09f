// The ELF reader: what the dynamic loader would see of a shared object, read
// through its program headers and dynamic section (the loader's view; section
// headers may be stripped and are never trusted here).
#include <algorithm>
#include <optional>

#include "object/bytes.hpp"
#include "object/elf_layout.hpp"
#include "object/image.hpp"

namespace zep::object {
namespace {

using bytes::Malformed;
using bytes::Region;
using namespace elf;

struct Segment {
  std::uint64_t address, offset, fileSize, memorySize;
};

struct Symbol {
  std::uint32_t name;
  unsigned bind, type, visibility;
  bool defined;
};

class ElfReader {
 public:
  ElfReader(Region file, const Layout& layout, ImageDepth depth, Image& image)
      : file_(file), layout_(layout), depth_(depth), image_(image) {}

  void read() {
    Region header = file_.sub(0, layout_.headerSize, "the ELF header");
    std::uint16_t type = header.u16(16);
    image_.target.machine = header.u16(18);
    image_.kind = type == kTypeShared       ? ImageKind::SharedLibrary
                  : type == kTypeExecutable ? ImageKind::Executable
                  : type == kTypeObject     ? ImageKind::Object
                                            : ImageKind::Unknown;
    std::uint64_t phOffset = word(header, layout_.phOffset);
    std::uint16_t phEntrySize = header.u16(layout_.phEntrySize);
    std::uint16_t phCount = header.u16(layout_.phCount);
    if (phCount == 0) return;
    if (phEntrySize < layout_.segmentSize) throw Malformed{"the program headers are too small"};
    Region headers =
        file_.sub(phOffset, std::uint64_t{phCount} * phEntrySize, "the program headers");
    std::optional<Segment> dynamicAt;
    for (std::uint16_t i = 0; i < phCount; ++i) {
      Region segment =
          headers.sub(std::uint64_t{i} * phEntrySize, layout_.segmentSize, "a program header");
      std::uint32_t segmentType = segment.u32(layout_.segType);
      Segment s{word(segment, layout_.segAddress), word(segment, layout_.segOffset),
                word(segment, layout_.segFileSize),
                word(segment, layout_.segFileSize + layout_.word)};
      if (segmentType == kSegmentLoad) {
        std::uint64_t end = bytes::add(s.offset, s.fileSize, "a loadable segment");
        image_.sizeNeeded = std::max(image_.sizeNeeded, end);
        segments_.push_back(s);
      } else if (segmentType == kSegmentDynamic) {
        dynamicAt = s;
      }
    }
    if (depth_ == ImageDepth::Headers) return;
    indexSegments();
    if (image_.sizeNeeded > file_.size())
      throw Malformed{bytes::cutShort(image_.sizeNeeded, file_.size())};
    if (!dynamicAt) return;
    // The loader reads the dynamic section where its segment is mapped.
    if (!mapped(dynamicAt->address, dynamicAt->fileSize, true))
      throw Malformed{"the dynamic section lies outside the file's loadable segments"};
    readDynamic(file_.sub(dynamicAt->offset, dynamicAt->fileSize, "the dynamic section"));
  }

 private:
  std::uint64_t word(const Region& region, std::uint64_t offset) const {
    return region.number(offset, layout_.word);
  }

  // The segments by address, each with the farthest end of any segment
  // that begins no later, as mapped and as read from the file: one search
  // then tells whether a range lies in some segment, however many there are.
  struct Reach {
    std::uint64_t address, memoryEnd, fileEnd;
    std::size_t fileSegment;
  };
  void indexSegments() {
    std::vector<std::size_t> order(segments_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return segments_[a].address < segments_[b].address;
    });
    reach_.reserve(order.size());
    Reach far{0, 0, 0, 0};
    for (std::size_t i : order) {
      const Segment& s = segments_[i];
      const std::uint64_t memoryEnd = s.address + std::min(s.memorySize, ~s.address);
      const std::uint64_t fileEnd = s.address + std::min(s.fileSize, ~s.address);
      far.address = s.address;
      far.memoryEnd = std::max(far.memoryEnd, memoryEnd);
      if (reach_.empty() || fileEnd > far.fileEnd) {
        far.fileEnd = fileEnd;
        far.fileSegment = i;
      }
      reach_.push_back(far);
    }
  }

  // The reach of the segments that begin at or before `address`.
  const Reach* reachAt(std::uint64_t address) const {
    auto after = std::upper_bound(reach_.begin(), reach_.end(), address,
                                  [](std::uint64_t a, const Reach& r) { return a < r.address; });
    return after == reach_.begin() ? nullptr : &*(after - 1);
  }

  // Whether [address, address + size) lies in a loadable segment as mapped,
  // or as read from the file (`fromFile`), where the loader will read or
  // write it.
  bool mapped(std::uint64_t address, std::uint64_t size, bool fromFile) const {
    const Reach* reach = reachAt(address);
    if (reach == nullptr) return false;
    const std::uint64_t end = fromFile ? reach->fileEnd : reach->memoryEnd;
    return address <= end && size <= end - address;
  }

  // The addresses in the dynamic section that the loader follows, with the
  // size of what it reads there where the section gives one.
  void checkLoaderAddresses(const std::optional<std::uint64_t> (&values)[32],
                            const std::optional<std::uint64_t>& gnuHash,
                            const std::optional<std::uint64_t> (&versions)[3]) const {
    struct Table {
      unsigned tag, sizeTag;
      const char* name;
    };
    static constexpr Table kTables[] = {
        {kDynHash, 0, "the symbol hash table"},
        {kDynStrTab, kDynStrSize, "the dynamic string table"},
        {kDynSymTab, 0, "the dynamic symbol table"},
        {kDynRela, kDynRelaSize, "the relocations"},
        {kDynInit, 0, "the initialization function"},
        {kDynFini, 0, "the finalization function"},
        {kDynRel, kDynRelSize, "the relocations"},
        {kDynJmpRel, kDynPltRelSize, "the PLT relocations"},
        {kDynInitArray, kDynInitArraySize, "the initialization functions"},
        {kDynFiniArray, kDynFiniArraySize, "the finalization functions"},
    };
    for (const Table& table : kTables) {
      if (!values[table.tag]) continue;
      const std::uint64_t size = table.sizeTag != 0 ? values[table.sizeTag].value_or(0) : 1;
      if (!mapped(*values[table.tag], size, false))
        throw Malformed{std::string(table.name) + " lies outside the file's loadable segments"};
    }
    if (gnuHash && !mapped(*gnuHash, 16, false))
      throw Malformed{"the GNU hash table lies outside the file's loadable segments"};
    for (const std::optional<std::uint64_t>& version : versions) {
      if (version && !mapped(*version, 1, false))
        throw Malformed{"the symbol versions lie outside the file's loadable segments"};
    }
  }

  // The file's bytes at a virtual address, which a loadable segment must
  // cover; from there to the segment's end when `size` is not given.
  Region at(std::uint64_t address, std::optional<std::uint64_t> size, const char* name) const {
    const Reach* reach = reachAt(address);
    if (reach != nullptr && address < reach->fileEnd) {
      const Segment& s = segments_[reach->fileSegment];
      std::uint64_t into = address - s.address;
      return file_.sub(s.offset + into, size.value_or(s.fileSize - into), name);
    }
    throw Malformed{std::string(name) + " lies outside the file's loadable segments"};
  }

  void readDynamic(const Region& dynamic) {
    std::vector<std::uint64_t> needed;
    std::optional<std::uint64_t> values[32];
    std::optional<std::uint64_t> gnuHash;
    std::optional<std::uint64_t> versions[3];
    std::uint64_t flags1 = 0;
    bool ended = false;
    for (std::uint64_t at = 0; at + layout_.dynamicSize <= dynamic.size();
         at += layout_.dynamicSize) {
      std::uint64_t tag = word(dynamic, at);
      std::uint64_t value = word(dynamic, at + layout_.word);
      if (tag == kDynNull) {
        ended = true;
        break;
      }
      if (tag == kDynNeeded) needed.push_back(value);
      if (tag < 32) values[tag] = value;
      if (tag == kDynGnuHash) gnuHash = value;
      if (tag == kDynVersionSymbols) versions[0] = value;
      if (tag == kDynVersionDefinitions) versions[1] = value;
      if (tag == kDynVersionNeeds) versions[2] = value;
      if (tag == kDynFlags1) flags1 = value;
    }
    // The loader reads on to the end mark, wherever it lies.
    if (!ended) throw Malformed{"the dynamic section has no end mark"};
    checkLoaderAddresses(values, gnuHash, versions);
    image_.noDelete = (flags1 & kFlag1NoDelete) != 0;
    image_.symbolic =
        values[kDynSymbolic].has_value() || (values[kDynFlags].value_or(0) & kFlagSymbolic);
    if ((flags1 & kFlag1Pie) != 0) image_.kind = ImageKind::PositionIndependentExecutable;
    if (!values[kDynStrTab]) {
      if (!needed.empty()) throw Malformed{"the dynamic section names no string table"};
      return;
    }
    Region strings =
        at(*values[kDynStrTab], values[kDynStrSize].value_or(0), "the dynamic string table");
    for (std::uint64_t name : needed) image_.needed.emplace_back(nameAt(strings, name));
    if (values[kDynRunPath]) image_.runPath = nameAt(strings, *values[kDynRunPath]);
    if (values[kDynRPath]) image_.rPath = nameAt(strings, *values[kDynRPath]);
    if (values[kDynSoname]) image_.soname = nameAt(strings, *values[kDynSoname]);
    if (!values[kDynSymTab]) return;

    std::uint64_t symbolSize = values[kDynSymEnt].value_or(layout_.symbolSize);
    if (symbolSize < layout_.symbolSize) throw Malformed{"the dynamic symbols are too small"};
    // The loader looks names up through the GNU table wherever there is one,
    // so that table is read and bounded whenever it stands, even beside a
    // DT_HASH, whose count is then the one taken.
    std::uint64_t count = gnuHash ? countFromGnuHash(*gnuHash) : 0;
    if (values[kDynHash]) count = countFromHash(*values[kDynHash]);
    const std::uint64_t symbolsSize =
        bytes::multiply(count, symbolSize, "the dynamic symbol table");
    if (!mapped(*values[kDynSymTab], symbolsSize, true))
      throw Malformed{"the dynamic symbol table runs past the file's loadable segments"};
    Region symbols = at(*values[kDynSymTab], symbolsSize, "the dynamic symbol table");
    auto symbol = [&](std::uint64_t index) {
      Region row = symbols.sub(index * symbolSize, layout_.symbolSize, "a dynamic symbol");
      unsigned info = row.u8(layout_.symInfo);
      return Symbol{row.u32(layout_.symName), info >> 4u, info & 0xfu,
                    row.u8(layout_.symOther) & 3u, row.u16(layout_.symSection) != 0};
    };

    // Every relocation the loader applies must land in the object and name
    // a symbol of its table. Those it resolves by name against a function
    // this object defines and lets others preempt (the PLT's and the GOT's)
    // are marked here and named once below, however many there are.
    std::vector<bool> calledByName(depth_ == ImageDepth::Everything ? count : 0);
    auto scan = [&](std::optional<std::uint64_t> address, std::optional<std::uint64_t> size,
                    std::uint64_t entrySize) {
      if (!address || !size || *size == 0) return;
      if (entrySize < layout_.relSize) throw Malformed{"the relocations are too small"};
      Region relocations = at(*address, *size, "the relocations");
      for (std::uint64_t r = 0; r + entrySize <= relocations.size(); r += entrySize) {
        if (!mapped(word(relocations, r), layout_.word, false))
          throw Malformed{"a relocation lies outside the file's loadable segments"};
        std::uint64_t index = word(relocations, r + layout_.word) >> layout_.symbolShift;
        if (index == 0 || count == 0) continue;
        if (index >= count) throw Malformed{"a relocation names a symbol past the symbol table"};
        if (calledByName.empty()) continue;
        Symbol s = symbol(index);
        if (s.defined && (s.type == kSymFunction || s.type == kSymIndirectFunction) &&
            (s.bind == kBindGlobal || s.bind == kBindWeak) && s.visibility == kVisibilityDefault) {
          calledByName[index] = true;
        }
      }
    };
    bool pltRela = values[kDynPltRel].value_or(kDynRela) == kDynRela;
    scan(values[kDynJmpRel], values[kDynPltRelSize], pltRela ? layout_.relaSize : layout_.relSize);
    scan(values[kDynRela], values[kDynRelaSize], values[kDynRelaEnt].value_or(layout_.relaSize));
    scan(values[kDynRel], values[kDynRelSize], values[kDynRelEnt].value_or(layout_.relSize));
    if (depth_ != ImageDepth::Everything) return;

    for (std::uint64_t i = 1; i < count; ++i) {
      Symbol s = symbol(i);
      bool exported = s.defined &&
                      (s.bind == kBindGlobal || s.bind == kBindWeak || s.bind == kBindUnique) &&
                      s.type != kSymSection && s.type != kSymFile &&
                      (s.visibility == kVisibilityDefault || s.visibility == kVisibilityProtected);
      const bool unique = s.defined && s.bind == kBindUnique;
      const bool selfCall = calledByName[i] && !image_.symbolic;
      if (!exported && !unique && !selfCall) continue;
      const std::string_view name = nameAt(strings, s.name);
      if (exported && !name.empty()) image_.exports.emplace_back(name);
      if (unique) image_.uniqueSymbols.emplace_back(name);
      if (selfCall) image_.selfCallsByName.emplace_back(name);
    }
  }

  // A name of the string table, read in place. What names may make the
  // reader scan is held to what a file of this size could need, so a file
  // whose symbols all share one long name is refused, not read over again.
  std::string_view nameAt(const Region& strings, std::uint64_t offset) {
    const std::string_view name = strings.view(offset, nameBudget_ + 1);
    if (name.size() >= nameBudget_)
      throw Malformed{"its symbol names add up to more than the file holds"};
    nameBudget_ -= name.size() + 1;
    return name;
  }

  // The SysV hash table's chain count is the number of symbols. The loader
  // follows any bucket and chain on a lookup: each must name a symbol of
  // the table, and no chain may come back on itself, or a lookup reads past
  // the mapping or never ends.
  std::uint64_t countFromHash(std::uint64_t address) const {
    Region header = at(address, 8, "the symbol hash table");
    const std::uint64_t buckets = header.u32(0);
    const std::uint64_t chains = header.u32(4);
    const std::uint64_t size = 8 + 4 * (buckets + chains);
    if (!mapped(address, size, true))
      throw Malformed{"the symbol hash table runs past the file's loadable segments"};
    Region table = at(address, size, "the symbol hash table");
    std::vector<bool> reached(chains);
    for (std::uint64_t b = 0; b < buckets; ++b) {
      for (std::uint64_t index = table.u32(8 + 4 * b); index != 0;
           index = table.u32(8 + 4 * (buckets + index))) {
        if (index >= chains) throw Malformed{"the symbol hash table names a symbol past its end"};
        if (reached[index]) throw Malformed{"the symbol hash table's chains run into each other"};
        reached[index] = true;
      }
    }
    return chains;
  }

  // The GNU hash table gives no count: the last symbol is the end of the
  // chain that starts at the highest bucket.
  std::uint64_t countFromGnuHash(std::uint64_t address) const {
    Region header = at(address, 16, "the GNU hash table");
    std::uint32_t bucketCount = header.u32(0);
    std::uint32_t firstHashed = header.u32(4);
    std::uint64_t bloom = bytes::multiply(header.u32(8), layout_.word, "the GNU hash table");
    std::uint64_t bucketsAddress = bytes::add(address, 16 + bloom, "the GNU hash table");
    if (!mapped(address, 16 + bloom + std::uint64_t{bucketCount} * 4, true))
      throw Malformed{"the GNU hash table runs past the file's loadable segments"};
    Region buckets = at(bucketsAddress, std::uint64_t{bucketCount} * 4, "the GNU hash buckets");
    std::uint32_t last = 0;
    for (std::uint32_t b = 0; b < bucketCount; ++b) last = std::max(last, buckets.u32(b * 4ull));
    if (last < firstHashed) return firstHashed;
    const std::uint64_t chainsAddress =
        bytes::add(bucketsAddress, buckets.size(), "the GNU hash chains");
    Region chains = at(chainsAddress, std::nullopt, "the GNU hash chains");
    for (std::uint64_t index = last;; ++index) {
      if (chains.u32((index - firstHashed) * 4) & 1u) {
        if (!mapped(chainsAddress, (index - firstHashed + 1) * 4, true))
          throw Malformed{"the GNU hash chains run past the file's loadable segments"};
        return index + 1;
      }
    }
  }

  Region file_;
  const Layout& layout_;
  ImageDepth depth_;
  Image& image_;
  std::vector<Segment> segments_;
  std::vector<Reach> reach_;
  std::uint64_t nameBudget_ = file_.size() + 64 * 1024;
};

}  // namespace

Image readElf(std::span<const std::uint8_t> bytes, ImageDepth depth) {
  Image image;
  static constexpr std::uint8_t kMagic[] = {0x7f, 'E', 'L', 'F'};
  if (bytes.size() < 6 || !std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin())) {
    return image;
  }
  image.target.format = ImageFormat::Elf;
  std::uint8_t elfClass = bytes[4];
  std::uint8_t byteOrder = bytes[5];
  if ((elfClass != 1 && elfClass != 2) || (byteOrder != 1 && byteOrder != 2)) {
    image.defect = "the ELF header gives an unknown class or byte order";
    return image;
  }
  image.target.bits = elfClass == 1 ? 32 : 64;
  image.target.bigEndian = byteOrder == 2;
  try {
    ElfReader(Region(bytes, image.target.bigEndian, "the file"), elfClass == 1 ? kElf32 : kElf64,
              depth, image)
        .read();
  } catch (const Malformed& malformed) {
    image.defect = malformed.what;
  }
  bytes::sortUnique(image.exports);
  bytes::sortUnique(image.uniqueSymbols);
  bytes::sortUnique(image.selfCallsByName);
  return image;
}

}  // namespace zep::object
