#include <varn/archive/SignArchive.h>

#include <algorithm>
#include <memory>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/EVCExceptions.h>
#include <varn/archive/cmp_TFileHeaders.h>
#include <varn/archive/cmp_TVarnStreamCompress.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>

namespace varn {
namespace {

std::unique_ptr<TFileStream> OpenVolume(const std::string& FirstVolume, int32_t Number) {
  const std::string Name = VolumeFileName(FirstVolume, Number);
  try {
    return std::make_unique<TFileStream>(Name, TFileMode::fmOpenReadShared);
  } catch (const EFOpenError&) {
    throw EArchiveWriter("Cannot open volume " + std::to_string(Number) + " of the medium, " +
                         platform::NativePath(Name));
  }
}

// Where one file's coded data lies, as the format places it: from DataStart in FirstDisk to
// DataEnd in LastDisk, whole volumes between.
struct DataRange {
  int32_t FirstDisk = 1;
  int32_t LastDisk = 1;
  int64_t Start = 0;
  int64_t End = -1;  // included
  int64_t Count = 0;
};

[[noreturn]] void NoData(const std::string& Name) {
  throw EArchiveWriter("The catalogue entry of \"" +
                       platform::NativeText(Name, platform::ControlCharacters::Escaped) +
                       "\" names data that its volumes do not hold; the medium is damaged");
}

DataRange RangeOf(const TFileHeaderRecord& Record, const std::vector<int64_t>& VolumeSizes) {
  DataRange Range;
  Range.FirstDisk = Record.FirstDisk() == 0 ? 1 : Record.FirstDisk();
  // The format ends data of FirstDisk 0 in volume 1 too, whatever LastDisk says.
  Range.LastDisk = Record.FirstDisk() == 0 ? 1 : Record.LastDisk();
  Range.Start = Record.DataStart();
  Range.End = Record.DataEnd();
  const auto Size = [&](int32_t Disk) { return VolumeSizes[static_cast<size_t>(Disk - 1)]; };
  if (Range.LastDisk < Range.FirstDisk ||
      Range.LastDisk > static_cast<int32_t>(VolumeSizes.size()) || Range.Start < 0 ||
      Range.Start > Size(Range.FirstDisk) || Range.End >= Size(Range.LastDisk))
    NoData(Record.FileName());
  if (Range.FirstDisk == Range.LastDisk) {
    Range.Count = Range.End - Range.Start + 1;
  } else {
    Range.Count = Size(Range.FirstDisk) - Range.Start + Range.End + 1;
    for (int32_t Disk = Range.FirstDisk + 1; Disk < Range.LastDisk; ++Disk)
      Range.Count += Size(Disk);
  }
  if (Range.Count < 0 || Range.Count > MaxArchiveOffset) NoData(Record.FileName());
  return Range;
}

// Hands the coded bytes of Range to Write and decodes them on the way; EVCDamagedFile unless
// they decode to Size bytes of Digest.
void CopyVerified(const std::string& FirstVolume, const DataRange& Range, const std::string& Name,
                  int64_t Size, const TSealDigest& Digest,
                  const std::function<void(const uint8_t* Data, int64_t Count)>& Write) {
  std::unique_ptr<TFileStream> Volume;
  int32_t Disk = Range.FirstDisk - 1;
  int64_t Left = 0;  // of the current volume's share
  int64_t Copied = 0;
  int64_t Decoded = 0;
  platform::Sha256 Hash;
  TVarnStreamCompress Decoder(nullptr);
  Decoder.OnReadBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buffer, int32_t& Count) {
    Count = 0;
    if (platform::Interrupted()) throw EArchiveWriter("Interrupted");
    while (Left == 0 && Copied < Range.Count) {
      if (Disk >= Range.LastDisk) NoData(Name);
      Volume = OpenVolume(FirstVolume, ++Disk);
      const int64_t From = Disk == Range.FirstDisk ? Range.Start : 0;
      const int64_t To = Disk == Range.LastDisk ? Range.End + 1 : Volume->Size();
      Left = std::min(To - From, Range.Count - Copied);
      if (Volume->Seek(From, TSeekOrigin::soBeginning) != From) NoData(Name);
    }
    if (Left == 0) return;
    const auto Piece = static_cast<int32_t>(std::min<int64_t>(Left, Buffer.size()));
    if (Volume->Read(Buffer.data(), Piece) != Piece) NoData(Name);
    Write(Buffer.data(), Piece);
    Left -= Piece;
    Copied += Piece;
    Count = Piece;
  };
  Decoder.OnWriteBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buffer, int32_t Count) {
    Hash.Update(Buffer.data(), static_cast<size_t>(Count));
    Decoded += Count;
  };
  Decoder.Decompress();
  TSealDigest Got{};
  if (!Hash.Finish(Got)) throw EVCCannotCheckSeal();
  if (Copied != Range.Count || Decoded != Size || Got != Digest) throw EVCDamagedFile(Name);
}

}  // namespace

SignedArchive SignArchiveFiles(
    const std::string& AnyVolume,
    const std::function<std::vector<uint8_t>(const std::vector<uint8_t>& SealBytes)>& Sign) {
  const std::string FirstVolume = ReplaceExtension(AnyVolume, ".1");
  const std::string Shown = platform::NativePath(FirstVolume);
  TFileHeaders Headers;
  TSealReading Seal;
  std::vector<int64_t> VolumeSizes;
  {
    if (!IsExistingFile(FirstVolume)) throw EVCCouldNotOpenCompressedFile(Shown);
    std::unique_ptr<TFileStream> Volume1;
    try {
      Volume1 = std::make_unique<TFileStream>(FirstVolume, TFileMode::fmOpenReadShared);
    } catch (const EFOpenError&) {
      throw EVCCouldNotOpenCompressedFile(Shown);
    }
    try {
      Headers.ReadFromStream(*Volume1);
    } catch (const Exception&) {
      ReadArchiveSeal(*Volume1, Shown);
      throw EVCFHCannotReadHeaders();
    }
    Seal = ReadArchiveSeal(*Volume1, Shown);
    VolumeSizes.push_back(Volume1->Size());
  }
  if (Seal.State == TSealState::Absent)
    throw EArchiveWriter(Shown +
                         " is not sealed, and only a sealed medium can be signed: pack it "
                         "again with a seal");
  if (Seal.State == TSealState::Unknown)
    throw EArchiveWriter(Shown + " has a seal of version " + std::to_string(Seal.Version) +
                         ", which this varn cannot sign");

  int32_t LastDisk = 1;
  for (int32_t I = 0; I < Headers.Count(); ++I)
    LastDisk = std::max<int32_t>({LastDisk, Headers.GetFileHeaders(I).Record.FirstDisk(),
                                  Headers.GetFileHeaders(I).Record.LastDisk()});
  for (int32_t Disk = 2; Disk <= LastDisk; ++Disk)
    VolumeSizes.push_back(OpenVolume(FirstVolume, Disk)->Size());

  ArchiveWriter Writer;
  Writer.VolumeSize = LastDisk > 1 ? VolumeSizes[0] : 0;
  Writer.Seal = true;
  Writer.Sign = Sign;
  for (int32_t I = 0; I < Headers.Count(); ++I) {
    const TFileHeaderRecord& Record = Headers.GetFileHeaders(I).Record;
    const DataRange Range = RangeOf(Record, VolumeSizes);
    ArchiveMember Member;
    Member.Name = Record.FileName();
    Member.Version = Record.Version();
    Member.FileDate = Record.FileDate();
    CodedData Coded;
    Coded.Sizes = {Record.OriginalSize(), Range.Count};
    Coded.Digest = Seal.Seal.FileHashes.at(static_cast<size_t>(I));
    Coded.Copy = [FirstVolume, Range, Name = Member.Name, Size = Record.OriginalSize(),
                  Digest = Coded.Digest](const auto& Write) {
      CopyVerified(FirstVolume, Range, Name, Size, Digest, Write);
    };
    Member.Coded = std::move(Coded);
    Writer.Members.push_back(std::move(Member));
  }

  PendingVolumes Pending(FirstVolume);
  SignedArchive Result;
  Result.Plan = Pending.Write(Writer);
  if (platform::Interrupted()) throw EArchiveWriter("Interrupted");
  Result.Replaced = Pending.Commit(Result.Plan.VolumeCount);
  return Result;
}

}  // namespace varn
