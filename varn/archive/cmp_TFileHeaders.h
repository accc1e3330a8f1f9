#pragma once
// The archive's catalogue: the 164-byte file header record, TFileHeader, the owning list
// TFileHeaders, and the status record TlzhFileStats that the archive component's events get.
//
// Volume 1 begins with the catalogue prologue: HeaderCount (int32), CatalogueTag (byte), then
// the first header at offset 5; each header's NextHeader gives the offset of the next one.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <varn/archive/EVCExceptions.h>
#include <varn/framework/Streams.h>

namespace varn {

// The catalogue prologue (HeaderCount, CatalogueTag) and the records that follow it, one after
// another, as every writer of ours lays them out: the catalogue of Count records fills offsets 0
// to CatalogueSize(Count) - 1 of volume 1.
constexpr int64_t CataloguePrologueSize = 5;
constexpr int64_t CatalogueSize(int64_t Count);

// One header record exactly as stored, Reserved and padding included. Every field is decoded
// from the bytes on each read, little-endian; the string slots never yield a byte from beyond
// their slot, whatever their length byte says.
class TFileHeaderRecord {
 public:
  static constexpr size_t Size = 164;
  static constexpr size_t ReservedOffset = 0;
  static constexpr size_t FileDateOffset = 4;
  static constexpr size_t LastDiskOffset = 12;
  static constexpr size_t DataEndOffset = 16;
  static constexpr size_t FileNameOffset = 20;
  static constexpr size_t FileNameMax = 103;
  static constexpr size_t NextHeaderOffset = 124;
  static constexpr size_t OriginalSizeOffset = 128;
  static constexpr size_t DataStartOffset = 132;
  static constexpr size_t CompressedSizeOffset = 136;
  static constexpr size_t FirstDiskOffset = 140;
  static constexpr size_t VersionOffset = 141;
  static constexpr size_t VersionMax = 22;
  static_assert(FileNameOffset + 1 + FileNameMax == NextHeaderOffset);
  static_assert(VersionOffset + 1 + VersionMax == Size);

  std::array<uint8_t, Size> Bytes{};

  double FileDate() const;
  uint8_t LastDisk() const { return Bytes[LastDiskOffset]; }
  int32_t DataEnd() const;
  std::string FileName() const;
  // The same text, in place: valid as long as the record.
  std::string_view FileNameView() const;
  int32_t NextHeader() const;
  int32_t OriginalSize() const;
  int32_t DataStart() const;
  int32_t CompressedSize() const;
  uint8_t FirstDisk() const { return Bytes[FirstDiskOffset]; }
  std::string Version() const;

  // For writers. SetFileName and SetVersion throw Exception for a text longer than
  // its slot; the unused bytes of a slot are zero.
  void SetFileDate(double Value);
  void SetLastDisk(uint8_t Value) { Bytes[LastDiskOffset] = Value; }
  void SetDataEnd(int32_t Value);
  void SetFileName(const std::string& Value);
  void SetNextHeader(int32_t Value);
  void SetOriginalSize(int32_t Value);
  void SetDataStart(int32_t Value);
  void SetCompressedSize(int32_t Value);
  void SetFirstDisk(uint8_t Value) { Bytes[FirstDiskOffset] = Value; }
  void SetVersion(const std::string& Value);
};

constexpr int64_t CatalogueSize(int64_t Count) {
  return CataloguePrologueSize + static_cast<int64_t>(TFileHeaderRecord::Size) * Count;
}

// The status record handed to the archive component's events.
struct TlzhFileStats {
  uint8_t PercentDone = 0;
  int32_t BytesDone = 0;
  std::string FileName;
  int32_t CompressedSize = 0;
  uint8_t CompressionRatio = 0;
  int32_t OriginalSize = 0;
  TFileHeaderRecord Header;
  bool FileDone = false;
  uint8_t TotalPercent = 0;
  int32_t TotalBytesDone = 0;
  int32_t TotalCompressedSize = 0;
  uint8_t TotalCompressionRatio = 0;
  int32_t TotalOriginalSize = 0;
};

// Part / Whole * 100 in floating point, rounded to the nearest integer with ties to the even
// one, stored as its low 8 bits; 0 when Whole is 0 or the value cannot be rounded.
uint8_t PercentOf(double Part, double Whole);

class TFileHeader {
 public:
  TFileHeaderRecord Record;

  // Reads one record from the stream's position; EVCFHCannotReadHeaders when fewer than 164
  // bytes arrive.
  void ReadFromStream(TStream& Stream);
  // True when FileName, without leading and trailing characters of codes 0 to 32, is not empty.
  bool IsValid() const;
  // Fills the per-file fields of Stats from this header (FileName, OriginalSize, BytesDone 0,
  // PercentDone 0, CompressedSize, FileDone false, CompressionRatio, Header); the run fields
  // stay as they are.
  void CopyToStats(TlzhFileStats& Stats) const;
};

class TFileHeaders {
 public:
  TFileHeaders() = default;
  ~TFileHeaders() { Clear(); }
  TFileHeaders(const TFileHeaders&) = delete;
  TFileHeaders& operator=(const TFileHeaders&) = delete;

  // The byte after HeaderCount in the last catalogue read; nothing gives it a meaning.
  uint8_t CatalogueTag = 0;

  // Takes ownership; EVCFHInvalidNewFileHeader (and the header is discarded) when !IsValid().
  void Add(std::unique_ptr<TFileHeader> Header);
  // Frees the headers from the last to the first.
  void Clear();
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // The header at Index; Exception "GetFileHeaders--module cmp_TFileHeaders--Create
  // constructor" when Index is out of range.
  TFileHeader& GetFileHeaders(int32_t Index) const;
  // The first header whose FileName equals Name up to its first ';' (ASCII letters folded),
  // or -1.
  int32_t IndexOfName(const std::string& Name) const;
  // Replaces the list with the catalogue of volume 1. EVCFHCannotReadHeaderCount when the
  // prologue is short; EVCFHCannotReadHeaders when a record is short or cannot be reached,
  // and when HeaderCount promises more records than the volume could hold (no real catalogue
  // does; following one would only exhaust memory); EVCFHInvalidNewFileHeader for a blank
  // name. The headers read before a failure stay in the list.
  void ReadFromStream(TStream& Stream);
  // Sets TotalCompressedSize and TotalOriginalSize to the sums over all headers.
  void SumSizes(TlzhFileStats& Stats) const;
  // Clears the run fields of Stats, then sums the sizes and sets TotalCompressionRatio.
  void ResetStats(TlzhFileStats& Stats) const;

 private:
  std::vector<std::unique_ptr<TFileHeader>> FItems;
};

}  // namespace varn
