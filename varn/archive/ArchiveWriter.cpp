#include <varn/archive/ArchiveWriter.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/ArchiveSignature.h>
#include <varn/archive/PredictionEncoder.h>
#include <varn/archive/TargetPath.h>
#include <varn/support/ByteReader.h>
#include <varn/support/PathHelpers.h>
#include <varn/support/Text.h>

namespace varn {
namespace {

constexpr int32_t ChunkSize = 64 * 1024;

// Names in messages are shown as the user reads them, control characters as \xNN, so that a
// message stays one line.
std::string Quoted(const std::string& Text) {
  return "\"" + platform::NativeText(Text, platform::ControlCharacters::Escaped) + "\"";
}

std::string Describe(const ArchiveMember& Member) {
  return Member.Origin.empty() ? Quoted(Member.Name) : Member.Origin;
}

void CheckMembers(const std::vector<ArchiveMember>& Members) {
  for (size_t I = 0; I < Members.size(); ++I) {
    const ArchiveMember& M = Members[I];
    if (IsBlank(M.Name)) throw EArchiveWriter("The archived name of " + Describe(M) + " is blank");
    if (M.Name.size() > TFileHeaderRecord::FileNameMax)
      throw EArchiveWriter("The archived name " + Quoted(M.Name) + " has " +
                           std::to_string(M.Name.size()) +
                           " characters; a catalogue entry holds at most 103");
    if (M.Version.size() > TFileHeaderRecord::VersionMax)
      throw EArchiveWriter("The version " + Quoted(M.Version) + " of " + Describe(M) + " has " +
                           std::to_string(M.Version.size()) +
                           " characters; a catalogue entry holds at most 22");
    const std::string Problem = ArchivedNameProblem(M.Name);
    if (!Problem.empty())
      throw EArchiveWriter("The archived name " + Quoted(M.Name) +
                           (M.Origin.empty() ? "" : " of " + M.Origin) +
                           " could never be extracted: " + Problem);
    // Extraction writes only the part after the last '\' or ':', so two names that differ
    // before it would land on one file; and Windows takes names that differ only in the case of
    // letters of the code page for one.
    const std::string Target = TargetFileName(M.Name);
    const std::string Folded = platform::UpperCaseName(Target);
    for (size_t J = 0; J < I; ++J) {
      if (UpperAsciiText(Members[J].Name) == UpperAsciiText(M.Name))
        throw EArchiveWriter("Two files would be archived as " + Quoted(M.Name) + ": " +
                             Describe(Members[J]) + " and " + Describe(M));
      const std::string Other = TargetFileName(Members[J].Name);
      if (Other == Target)
        throw EArchiveWriter("Two files would be extracted as " + Quoted(Target) + ": " +
                             Describe(Members[J]) + " and " + Describe(M));
      if (platform::UpperCaseName(Other) == Folded)
        throw EArchiveWriter("Two files would be extracted as one on Windows, which takes " +
                             Quoted(Other) + " and " + Quoted(Target) +
                             " for one name: " + Describe(Members[J]) + " and " + Describe(M));
    }
  }
}

struct Location {
  int64_t Volume;
  int64_t Offset;
};

Location Locate(int64_t Position, int64_t VolumeSize) {
  if (VolumeSize == 0) return {1, Position};
  return {Position / VolumeSize + 1, Position % VolumeSize};
}

void CheckVolumeSize(int64_t VolumeSize) {
  if (VolumeSize < 0) throw EArchiveWriter("The volume size must not be negative");
  if (VolumeSize > MaxVolumeSize)
    throw EArchiveWriter("The volume size of " + std::to_string(VolumeSize) +
                         " bytes is more than the format can use: the offsets in a volume go up "
                         "to 2147483647, so a volume holds at most 2147483648 bytes (2g)");
}

std::string TooLarge(const std::string& What) {
  return What + " would be larger than 2147483647 bytes, the most that a catalogue entry holds";
}

// Hands a run of bytes to volumes of VolumeSize bytes (0: no limit), creating each volume
// only when its first byte is due.
class VolumeOutput {
 public:
  VolumeOutput(const ArchiveWriter::CreateVolumeFunction& Create, int64_t VolumeSize)
      : FCreate(Create), FVolumeSize(VolumeSize) {}

  void Write(const uint8_t* Data, int64_t Count) {
    while (Count > 0) {
      if (!FCurrent || (FVolumeSize > 0 && FUsed == FVolumeSize)) {
        FCurrent.reset();
        FCurrent = FCreate(++FNumber);
        FUsed = 0;
      }
      int64_t Chunk = FVolumeSize > 0 ? std::min(Count, FVolumeSize - FUsed) : Count;
      Chunk = std::min<int64_t>(Chunk, std::numeric_limits<int32_t>::max());
      if (FCurrent->Write(Data, static_cast<int32_t>(Chunk)) != Chunk)
        throw EArchiveVolumeWrite(FNumber);
      Data += Chunk;
      Count -= Chunk;
      FUsed += Chunk;
      FWritten += Chunk;
    }
  }

  int64_t Written() const { return FWritten; }

 private:
  const ArchiveWriter::CreateVolumeFunction& FCreate;
  int64_t FVolumeSize;
  std::unique_ptr<TStream> FCurrent;
  int32_t FNumber = 0;
  int64_t FUsed = 0;
  int64_t FWritten = 0;
};

TSealDigest Finished(platform::Sha256& Hash) {
  TSealDigest Digest{};
  if (!Hash.Finish(Digest))
    throw EArchiveWriter("SHA-256 is not available on this system: the archive cannot be sealed");
  return Digest;
}

std::unique_ptr<TStream> OpenMember(const ArchiveMember& Member) {
  if (!Member.OpenData) throw EArchiveWriter("No data given for " + Describe(Member));
  auto Stream = Member.OpenData();
  if (!Stream) throw EArchiveWriter("Cannot open " + Describe(Member));
  return Stream;
}

// Codes one member's data from its start; hands each coded piece to Sink when there is one,
// and takes the SHA-256 of the original bytes into Digest when asked. The encoder and buffers
// are allocated once per writer.
struct MemberCoder {
  PredictionEncoder Encoder;
  std::vector<uint8_t> In = std::vector<uint8_t>(ChunkSize);
  std::vector<uint8_t> Out = std::vector<uint8_t>(PredictionEncoder::MaxEncodedSize(ChunkSize));

  MemberSizes Code(const ArchiveMember& Member, VolumeOutput* Sink, TSealDigest* Digest) {
    auto Stream = OpenMember(Member);
    // Refused from its size where the stream knows it, not after reading gigabytes.
    if (const int64_t Size = Stream->Size(); Size > MaxArchiveOffset)
      throw EArchiveWriter(Describe(Member) + " has " + std::to_string(Size) +
                           " bytes; a catalogue entry holds at most 2147483647");
    MemberSizes Sizes;
    Encoder.Reset();
    std::unique_ptr<platform::Sha256> Hash;
    if (Digest) Hash = std::make_unique<platform::Sha256>();
    for (;;) {
      const int32_t Count = Stream->Read(In.data(), ChunkSize);
      if (Count <= 0) break;
      Sizes.OriginalSize += Count;
      if (Sizes.OriginalSize > MaxArchiveOffset) throw EArchiveWriter(TooLarge(Describe(Member)));
      if (Hash) Hash->Update(In.data(), static_cast<size_t>(Count));
      const size_t Coded = Encoder.Encode(In.data(), static_cast<size_t>(Count), Out.data());
      Sizes.CompressedSize += static_cast<int64_t>(Coded);
      if (Sink) Sink->Write(Out.data(), static_cast<int64_t>(Coded));
    }
    const size_t Coded = Encoder.Finish(Out.data());
    Sizes.CompressedSize += static_cast<int64_t>(Coded);
    if (Sink) Sink->Write(Out.data(), static_cast<int64_t>(Coded));
    // A read that fails looks like the end of the data; the stream's size tells them apart.
    const int64_t Size = Stream->Size();
    if (Size >= 0 && Size != Sizes.OriginalSize)
      throw EArchiveWriter("Could not read all of " + Describe(Member));
    if (Hash) *Digest = Finished(*Hash);
    return Sizes;
  }
};

std::vector<uint8_t> CatalogueBytes(const ArchivePlan& Plan) {
  std::vector<uint8_t> Bytes(static_cast<size_t>(Plan.CatalogueSize));
  bytes::StoreI32(Bytes.data(), static_cast<int32_t>(Plan.Headers.size()));
  Bytes[4] = 0;  // CatalogueTag
  for (size_t I = 0; I < Plan.Headers.size(); ++I)
    std::copy(Plan.Headers[I].Bytes.begin(), Plan.Headers[I].Bytes.end(),
              Bytes.begin() + CatalogueSize(static_cast<int64_t>(I)));
  return Bytes;
}

std::string FormatDate(TDateTime Value) {
  const std::string Text = FormatDateTime(Value);
  return Text.empty() ? "no valid date" : Text;
}

}  // namespace

EArchiveVolumeWrite::EArchiveVolumeWrite(int32_t VolumeNumber)
    : EArchiveWriter("Could not write all bytes of volume " + std::to_string(VolumeNumber) +
                     "; the disk may be full"),
      Volume(VolumeNumber) {}

int64_t ArchivePlan::VolumeBytes(int32_t Number) const {
  if (Number < 1 || Number > VolumeCount) return 0;
  if (VolumeSize == 0) return TotalSize;
  return Number < VolumeCount ? VolumeSize : TotalSize - VolumeSize * (VolumeCount - 1);
}

ArchivePlan PlanArchive(const std::vector<ArchiveMember>& Members,
                        const std::vector<MemberSizes>& Sizes, int64_t VolumeSize, bool Sealed,
                        int64_t SignatureSize) {
  if (Members.size() != Sizes.size()) throw EArchiveWriter("PlanArchive: one size per member");
  CheckVolumeSize(VolumeSize);
  CheckMembers(Members);

  ArchivePlan Plan;
  Plan.VolumeSize = VolumeSize;
  const auto Count = static_cast<int64_t>(Members.size());
  Plan.CatalogueSize = CatalogueSize(Count);
  Plan.SealSize = Sealed ? seal::SizeFor(Count) : 0;
  Plan.SignatureSize = Sealed ? SignatureSize : 0;
  const int64_t Head = Plan.CatalogueSize + Plan.SealSize + Plan.SignatureSize;
  if (Head - 1 > MaxArchiveOffset)
    throw EArchiveWriter("Too many files for one catalogue: " + std::to_string(Count));
  if (VolumeSize > 0 && Head > VolumeSize)
    throw EArchiveWriter("The volume size of " + std::to_string(VolumeSize) +
                         " bytes is too small: the catalogue of " + std::to_string(Count) +
                         " files takes " + std::to_string(Plan.CatalogueSize) + " bytes" +
                         (Sealed ? std::string(Plan.SignatureSize ? " and its seal and signature "
                                                                  : " and its seal ") +
                                       std::to_string(Plan.SealSize + Plan.SignatureSize) + " more"
                                 : "") +
                         ", and volume 1 must hold all of it");

  int64_t TotalOriginal = 0, TotalCompressed = 0;
  for (size_t I = 0; I < Members.size(); ++I) {
    if (Sizes[I].OriginalSize < 0 || Sizes[I].CompressedSize < 0)
      throw EArchiveWriter("PlanArchive: negative size");
    if (Sizes[I].OriginalSize > MaxArchiveOffset)
      throw EArchiveWriter(TooLarge(Describe(Members[I])));
    if (Sizes[I].CompressedSize > MaxArchiveOffset)
      throw EArchiveWriter(TooLarge("The compressed data of " + Describe(Members[I])));
    TotalOriginal += Sizes[I].OriginalSize;
    TotalCompressed += Sizes[I].CompressedSize;
  }
  // The status records of the archive component add the sizes up in 32 bits.
  if (TotalOriginal > MaxArchiveOffset) throw EArchiveWriter(TooLarge("The files together"));
  if (TotalCompressed > MaxArchiveOffset)
    throw EArchiveWriter(TooLarge("The compressed data of the files together"));

  Plan.TotalSize = Head + TotalCompressed;
  const int64_t Volumes = VolumeSize == 0 ? 1 : (Plan.TotalSize + VolumeSize - 1) / VolumeSize;
  if (Volumes > MaxVolumes)
    throw EArchiveWriter("The archive would need " + std::to_string(Volumes) + " volumes of " +
                         std::to_string(VolumeSize) + " bytes; a catalogue names at most 255");
  Plan.VolumeCount = static_cast<int32_t>(Volumes);

  int64_t Position = Head;
  for (size_t I = 0; I < Members.size(); ++I) {
    const ArchiveMember& M = Members[I];
    const int64_t Compressed = Sizes[I].CompressedSize;
    Location First, Last;
    if (Compressed > 0) {
      First = Locate(Position, VolumeSize);
      Last = Locate(Position + Compressed - 1, VolumeSize);
    } else if (VolumeSize > 0 && Position % VolumeSize == 0) {
      First = Last = {Position / VolumeSize, VolumeSize};
    } else {
      First = Last = Locate(Position, VolumeSize);
    }
    const int64_t DataStart = First.Offset;
    const int64_t DataEnd = Compressed > 0 ? Last.Offset : DataStart - 1;
    if (DataStart > MaxArchiveOffset || DataEnd > MaxArchiveOffset)
      throw EArchiveWriter("The data of " + Describe(M) +
                           " would lie beyond offset 2147483647 of its volume, the most that a "
                           "catalogue entry holds; split the archive into smaller volumes");

    TFileHeaderRecord Record;
    Record.SetFileDate(M.FileDate);
    Record.SetLastDisk(static_cast<uint8_t>(Last.Volume));
    Record.SetDataEnd(static_cast<int32_t>(DataEnd));
    Record.SetFileName(M.Name);
    const bool IsLast = I + 1 == Members.size();
    // The last record names the seal, so that the seal is found from the chain too.
    const int64_t Next = CatalogueSize(static_cast<int64_t>(I + 1));
    Record.SetNextHeader(IsLast && !Sealed ? 0 : static_cast<int32_t>(Next));
    Record.SetOriginalSize(static_cast<int32_t>(Sizes[I].OriginalSize));
    Record.SetDataStart(static_cast<int32_t>(DataStart));
    Record.SetCompressedSize(static_cast<int32_t>(Compressed));
    Record.SetFirstDisk(static_cast<uint8_t>(First.Volume));
    Record.SetVersion(M.Version);
    Plan.Headers.push_back(Record);
    Position += Compressed;
  }
  return Plan;
}

TDateTime RestorableFileDate(TDateTime Value, bool& Clamped) {
  const TDateTime Earliest = EncodeDate(1980, 1, 1);
  const TDateTime Latest = EncodeDate(2099, 12, 31) + EncodeTime(23, 59, 59, 0);
  Clamped = true;
  if (!(Value >= Earliest)) return Earliest;
  if (Value > Latest) return Latest;
  Clamped = false;
  return Value;
}

ArchivePlan ArchiveWriter::Write(const CreateVolumeFunction& CreateVolume) {
  CheckVolumeSize(VolumeSize);
  CheckMembers(Members);

  auto Coder = std::make_unique<MemberCoder>();
  std::vector<MemberSizes> Sizes;
  Sizes.reserve(Members.size());
  TArchiveSeal Sealed;
  if (Seal) Sealed.FileHashes.resize(Members.size());
  for (size_t I = 0; I < Members.size(); ++I) {
    if (const std::optional<CodedData>& Coded = Members[I].Coded) {
      Sizes.push_back(Coded->Sizes);
      if (Seal) Sealed.FileHashes[I] = Coded->Digest;
    } else {
      Sizes.push_back(Coder->Code(Members[I], nullptr, Seal ? &Sealed.FileHashes[I] : nullptr));
    }
  }

  std::vector<ArchiveMember> Planned = Members;
  std::vector<std::string> Warnings;
  for (ArchiveMember& M : Planned) {
    bool Clamped = false;
    const TDateTime Date = RestorableFileDate(M.FileDate, Clamped);
    if (Clamped)
      Warnings.push_back("The modification time of " + Describe(M) + " (" + FormatDate(M.FileDate) +
                         ") lies outside the years 1980 to 2099, which an extracted file "
                         "cannot be given; it is archived as " +
                         FormatDate(Date));
    M.FileDate = Date;
  }
  if (Sign && !Seal)
    throw EArchiveWriter("An archive is signed through its seal: it must be sealed");
  ArchivePlan Plan =
      PlanArchive(Planned, Sizes, VolumeSize, Seal, Sign ? int64_t{signature::BlockSize} : 0);
  if (OnPlanned) OnPlanned(Plan);
  if (OnWarning)
    for (const std::string& Warning : Warnings)
      OnWarning(Warning);

  VolumeOutput Output(CreateVolume, VolumeSize);
  const std::vector<uint8_t> Catalogue = CatalogueBytes(Plan);
  Output.Write(Catalogue.data(), static_cast<int64_t>(Catalogue.size()));
  if (Seal) {
    Sealed.CatalogueHash = CatalogueDigest(Catalogue);
    const std::vector<uint8_t> SealBytes = EncodeSeal(Sealed);
    Output.Write(SealBytes.data(), static_cast<int64_t>(SealBytes.size()));
    if (Sign) {
      const std::vector<uint8_t> Block = Sign(SealBytes);
      if (static_cast<int64_t>(Block.size()) != Plan.SignatureSize)
        throw EArchiveWriter("The signature block has " + std::to_string(Block.size()) +
                             " bytes, not " + std::to_string(Plan.SignatureSize));
      Output.Write(Block.data(), static_cast<int64_t>(Block.size()));
    }
  }
  for (size_t I = 0; I < Planned.size(); ++I) {
    const int64_t Before = Output.Written();
    if (const std::optional<CodedData>& Coded = Planned[I].Coded) {
      Coded->Copy([&Output](const uint8_t* Data, int64_t Count) { Output.Write(Data, Count); });
      if (Output.Written() - Before != Coded->Sizes.CompressedSize)
        throw EArchiveWriter(Describe(Planned[I]) + " changed while it was being archived");
      continue;
    }
    TSealDigest Digest{};
    const MemberSizes Again = Coder->Code(Planned[I], &Output, Seal ? &Digest : nullptr);
    if (Again.OriginalSize != Sizes[I].OriginalSize ||
        Again.CompressedSize != Sizes[I].CompressedSize ||
        Output.Written() - Before != Sizes[I].CompressedSize ||
        (Seal && Digest != Sealed.FileHashes[I]))
      throw EArchiveWriter(Describe(Planned[I]) + " changed while it was being archived");
  }
  return Plan;
}

ArchiveMember MemberFromFile(const std::string& Path, const std::string& ArchivedName,
                             const FileVersionReader& ReadVersion) {
  const std::string Native = platform::NativePath(Path);
  const auto Attributes = platform::FileAttributes(Path);
  if (!Attributes) throw EArchiveWriter("Cannot open file " + Native);
  if (*Attributes & platform::AttributeDirectory)
    throw EArchiveWriter("Cannot archive " + Native + ": it is a directory");

  const auto Open = [Path, Native]() -> std::unique_ptr<TStream> {
    try {
      return std::make_unique<TFileStream>(Path, TFileMode::fmOpenReadShared);
    } catch (const EFOpenError&) {
      throw EArchiveWriter("Cannot open file " + Native);
    }
  };
  ArchiveMember Member;
  {
    const auto Stream = Open();
    const auto& File = static_cast<const TFileStream&>(*Stream);
    platform::FileTime Universal, Local;
    if (!platform::GetFileLastWriteTime(File.Handle(), Universal) ||
        !platform::FileTimeToLocalFileTime(Universal, Local))
      throw EArchiveWriter("Cannot read the modification time of " + Native);
    Member.FileDate = FileTimeToDateTime(Local);
  }
  Member.Name = ArchivedName;
  Member.Version = ReadVersion ? ReadVersion(Path) : std::string();
  Member.Origin = Native;
  Member.OpenData = Open;
  return Member;
}

std::string VolumeFileName(const std::string& FirstVolume, int32_t Number) {
  return ReplaceExtension(FirstVolume, "." + std::to_string(Number));
}

}  // namespace varn
