// The numbers of the ELF format that the reader follows, and where its
// fields lie in each class.
#pragma once

#include <cstdint>

namespace zep::object::elf {

// The gABI's numbers and the GNU extensions', under names of our own: <elf.h>
// is no header of the Windows build, which reads these files too.
enum : std::uint16_t { kTypeObject = 1, kTypeExecutable = 2, kTypeShared = 3 };
enum : std::uint32_t { kSegmentLoad = 1, kSegmentDynamic = 2 };
enum : std::uint64_t {
  kDynNull = 0,
  kDynNeeded = 1,
  kDynPltRelSize = 2,
  kDynHash = 4,
  kDynStrTab = 5,
  kDynSymTab = 6,
  kDynRela = 7,
  kDynRelaSize = 8,
  kDynRelaEnt = 9,
  kDynStrSize = 10,
  kDynSymEnt = 11,
  kDynInit = 12,
  kDynFini = 13,
  kDynSoname = 14,
  kDynRPath = 15,
  kDynSymbolic = 16,
  kDynRel = 17,
  kDynRelSize = 18,
  kDynRelEnt = 19,
  kDynPltRel = 20,
  kDynJmpRel = 23,
  kDynInitArray = 25,
  kDynFiniArray = 26,
  kDynInitArraySize = 27,
  kDynFiniArraySize = 28,
  kDynRunPath = 29,
  kDynFlags = 30,
  kDynGnuHash = 0x6ffffef5,
  kDynVersionSymbols = 0x6ffffff0,
  kDynFlags1 = 0x6ffffffb,
  kDynVersionDefinitions = 0x6ffffffc,
  kDynVersionNeeds = 0x6ffffffe,
};
constexpr std::uint64_t kFlagSymbolic = 0x2;
constexpr std::uint64_t kFlag1NoDelete = 0x8;
constexpr std::uint64_t kFlag1Pie = 0x08000000;
enum : unsigned { kBindGlobal = 1, kBindWeak = 2, kBindUnique = 10 };
enum : unsigned { kSymFunction = 2, kSymSection = 3, kSymFile = 4, kSymIndirectFunction = 10 };
enum : unsigned { kVisibilityDefault = 0, kVisibilityProtected = 3 };

// Where the fields lie in each class.
struct Layout {
  unsigned word;
  unsigned headerSize, phOffset, phEntrySize, phCount;
  unsigned segmentSize, segType, segOffset, segAddress, segFileSize;
  unsigned dynamicSize;
  unsigned symbolSize, symName, symInfo, symOther, symSection;
  unsigned relSize, relaSize, symbolShift;
};
constexpr Layout kElf32{4, 52, 28, 42, 44, 32, 0, 4, 8, 16, 8, 16, 0, 12, 13, 14, 8, 12, 8};
constexpr Layout kElf64{8, 64, 32, 54, 56, 56, 0, 8, 16, 32, 16, 24, 0, 4, 5, 6, 16, 24, 32};

}  // namespace zep::object::elf
