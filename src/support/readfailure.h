// Why a reader stopped, as a code with its values; each front end words it for its own users.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace torvane {

enum class TReadReason : uint8_t {
  None,           // the file was read whole
  CannotOpen,     // the file could not be opened or read at all: OpenError
  NoMemory,       // there was not enough memory to read it
  EndsInHeader,   // the file ends inside header block Index (from 0)
  EndsInside,     // the file ends inside Part
  NegativeCount,  // the count of Part's records, Count, is negative
  CountTooLarge,  // Part's Count records need Needed bytes; the file holds Available after its header
  NoNameTables,   // a drawing of an older DOS edition: it ends where the layer names would begin
  BadHeaderItem,  // header item Index, whose CP932 text is Text, is not a number (WholeNumber: not whole)
  TextsTooLarge,  // the texts would take Needed bytes, more than Available (many point into one run)
  PoolTooLarge,   // the text pool is larger than 4 GiB
};

// What a front end words: the pattern of each reason, whose "%1", "%2", … take the values named
// beside it, and the parts of a file that the patterns name.
enum class TReadWord : uint8_t {
  NoMemory,
  EndsInHeader,    // %1 the block's number
  EndsInside,      // %1 the part
  NegativeCount,   // %1 the part, %2 the count
  CountTooLarge,   // %1 the part, %2 the count, %3 the bytes needed, %4 the bytes there
  NoNameTables,
  NotWholeNumber,  // %1 the item's number, %2 its text
  NotNumber,       // %1 the item's number, %2 its text
  TextsTooLarge,   // %1 the bytes needed, %2 the limit in MiB
  PoolTooLarge,
  // The parts of a file.
  VirtualPoints,
  CharacterTypes,
  LayerGroupScales,
  LayerStates,
  LineRecords,
  ArcRecords,
  TextRecords,
  PointRecords,
  RealPointRecords,
  TextPool,
  LayerNames,
  LayerGroupNames,
};

struct TReadFailure {
  TReadReason Reason = TReadReason::None;
  TReadWord Part = TReadWord::TextPool;  // one of the parts
  std::size_t Index = 0;
  int64_t Count = 0;
  uint64_t Needed = 0;
  uint64_t Available = 0;
  std::string Text;
  bool WholeNumber = false;
  // The byte at which reading stopped.
  std::size_t Offset = 0;
  // The errno why the file could not be opened or read at all; 0 when its bytes were read.
  int OpenError = 0;

  // A drawing of an older DOS edition that lacks only its name tables.
  bool MissingNameTables() const { return Reason == TReadReason::NoNameTables; }
};

// Why the read failed, in the words that words gives (UTF-8); the header item's CP932 text is
// decoded. Not for CannotOpen, which each front end words as its other I/O errors, nor None.
std::string WordReadFailure(const TReadFailure& failure, const std::function<std::string(TReadWord)>& words);

}  // namespace torvane
