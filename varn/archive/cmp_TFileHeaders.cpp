#include <varn/archive/cmp_TFileHeaders.h>

#include <algorithm>
#include <cmath>

#include <varn/framework/Exceptions.h>
#include <varn/support/ByteReader.h>
#include <varn/support/PathHelpers.h>
#include <varn/support/Text.h>

namespace varn {

namespace {

std::string_view ReadSlot(const uint8_t* Slot, size_t Max) {
  return {reinterpret_cast<const char*>(Slot + 1), std::min<size_t>(Slot[0], Max)};
}

void WriteSlot(uint8_t* Slot, size_t Max, const std::string& Value) {
  if (Value.size() > Max) throw Exception("text longer than its header slot");
  std::fill(Slot, Slot + 1 + Max, uint8_t{0});
  Slot[0] = static_cast<uint8_t>(Value.size());
  std::copy(Value.begin(), Value.end(), Slot + 1);
}

}  // namespace

double TFileHeaderRecord::FileDate() const {
  return bytes::LoadF64(&Bytes[FileDateOffset]);
}
int32_t TFileHeaderRecord::DataEnd() const {
  return bytes::LoadI32(&Bytes[DataEndOffset]);
}
std::string TFileHeaderRecord::FileName() const {
  return std::string(FileNameView());
}
std::string_view TFileHeaderRecord::FileNameView() const {
  return ReadSlot(&Bytes[FileNameOffset], FileNameMax);
}
int32_t TFileHeaderRecord::NextHeader() const {
  return bytes::LoadI32(&Bytes[NextHeaderOffset]);
}
int32_t TFileHeaderRecord::OriginalSize() const {
  return bytes::LoadI32(&Bytes[OriginalSizeOffset]);
}
int32_t TFileHeaderRecord::DataStart() const {
  return bytes::LoadI32(&Bytes[DataStartOffset]);
}
int32_t TFileHeaderRecord::CompressedSize() const {
  return bytes::LoadI32(&Bytes[CompressedSizeOffset]);
}
std::string TFileHeaderRecord::Version() const {
  return std::string(ReadSlot(&Bytes[VersionOffset], VersionMax));
}

void TFileHeaderRecord::SetFileDate(double Value) {
  bytes::StoreF64(&Bytes[FileDateOffset], Value);
}
void TFileHeaderRecord::SetDataEnd(int32_t Value) {
  bytes::StoreI32(&Bytes[DataEndOffset], Value);
}
void TFileHeaderRecord::SetFileName(const std::string& Value) {
  WriteSlot(&Bytes[FileNameOffset], FileNameMax, Value);
}
void TFileHeaderRecord::SetNextHeader(int32_t Value) {
  bytes::StoreI32(&Bytes[NextHeaderOffset], Value);
}
void TFileHeaderRecord::SetOriginalSize(int32_t Value) {
  bytes::StoreI32(&Bytes[OriginalSizeOffset], Value);
}
void TFileHeaderRecord::SetDataStart(int32_t Value) {
  bytes::StoreI32(&Bytes[DataStartOffset], Value);
}
void TFileHeaderRecord::SetCompressedSize(int32_t Value) {
  bytes::StoreI32(&Bytes[CompressedSizeOffset], Value);
}
void TFileHeaderRecord::SetVersion(const std::string& Value) {
  WriteSlot(&Bytes[VersionOffset], VersionMax, Value);
}

uint8_t PercentOf(double Part, double Whole) {
  if (Whole == 0) return 0;
  const double Rounded = std::nearbyint(Part / Whole * 100);
  if (!(std::fabs(Rounded) < 9.2e18)) return 0;
  return static_cast<uint8_t>(static_cast<int64_t>(Rounded) & 0xFF);
}

void TFileHeader::ReadFromStream(TStream& Stream) {
  if (Stream.Read(Record.Bytes.data(), TFileHeaderRecord::Size) != TFileHeaderRecord::Size)
    throw EVCFHCannotReadHeaders();
}

bool TFileHeader::IsValid() const {
  return !IsBlank(Record.FileName());
}

void TFileHeader::CopyToStats(TlzhFileStats& Stats) const {
  Stats.FileName = Record.FileName();
  Stats.OriginalSize = Record.OriginalSize();
  Stats.BytesDone = 0;
  Stats.PercentDone = 0;
  Stats.CompressedSize = Record.CompressedSize();
  Stats.FileDone = false;
  Stats.CompressionRatio = PercentOf(Stats.CompressedSize, Stats.OriginalSize);
  Stats.Header = Record;
}

void TFileHeaders::Add(std::unique_ptr<TFileHeader> Header) {
  if (!Header || !Header->IsValid()) throw EVCFHInvalidNewFileHeader();
  FItems.push_back(std::move(Header));
}

void TFileHeaders::Clear() {
  while (!FItems.empty())
    FItems.pop_back();
}

TFileHeader& TFileHeaders::GetFileHeaders(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw Exception("GetFileHeaders--module cmp_TFileHeaders--Create constructor");
  return *FItems[static_cast<size_t>(Index)];
}

int32_t TFileHeaders::IndexOfName(const std::string& Name) const {
  const std::string Key = GetDelimitedField(Name, 1, ";");
  for (int32_t I = 0; I < Count(); ++I)
    if (SameTextAscii(Key, FItems[static_cast<size_t>(I)]->Record.FileNameView())) return I;
  return -1;
}

void TFileHeaders::ReadFromStream(TStream& Stream) {
  Clear();
  uint8_t Prologue[5];
  if (Stream.Seek(0, TSeekOrigin::soBeginning) != 0 || Stream.Read(Prologue, 4) != 4)
    throw EVCFHCannotReadHeaderCount();
  if (Stream.Read(Prologue + 4, 1) != 1) throw EVCFHCannotReadHeaderCount();
  const int32_t HeaderCount = bytes::LoadI32(Prologue);
  CatalogueTag = Prologue[4];
  if (HeaderCount <= 0) return;

  const int64_t Position = CataloguePrologueSize;
  const int64_t Size = Stream.Size();
  if (Size < 0 || HeaderCount > (Size - Position) / static_cast<int64_t>(TFileHeaderRecord::Size))
    throw EVCFHCannotReadHeaders();
  int64_t Next = Position;
  for (int32_t I = 0; I < HeaderCount; ++I) {
    // A NextHeader the stream cannot move to leaves no record to read. A negative one must be
    // caught before the seek: a failed Seek returns -1, which would match a NextHeader of -1
    // and read the record from wherever the stream stands.
    if (Next < 0 || Stream.Seek(Next, TSeekOrigin::soBeginning) != Next)
      throw EVCFHCannotReadHeaders();
    auto Header = std::make_unique<TFileHeader>();
    Header->ReadFromStream(Stream);
    Next = Header->Record.NextHeader();
    Add(std::move(Header));
  }
}

void TFileHeaders::SumSizes(TlzhFileStats& Stats) const {
  // Summed in 64 bits and stored as the 32-bit fields hold them, so a hostile catalogue
  // cannot overflow the arithmetic.
  int64_t Compressed = 0, Original = 0;
  for (const auto& H : FItems) {
    Compressed += H->Record.CompressedSize();
    Original += H->Record.OriginalSize();
  }
  Stats.TotalCompressedSize = static_cast<int32_t>(static_cast<uint32_t>(Compressed));
  Stats.TotalOriginalSize = static_cast<int32_t>(static_cast<uint32_t>(Original));
}

void TFileHeaders::ResetStats(TlzhFileStats& Stats) const {
  Stats.TotalBytesDone = 0;
  Stats.TotalPercent = 0;
  Stats.TotalCompressedSize = 0;
  Stats.TotalOriginalSize = 0;
  Stats.FileDone = false;
  SumSizes(Stats);
  Stats.TotalCompressionRatio = PercentOf(Stats.TotalCompressedSize, Stats.TotalOriginalSize);
}

}  // namespace varn
