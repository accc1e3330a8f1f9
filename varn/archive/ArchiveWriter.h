#pragma once
// The archive writer (the format says what a valid archive is; the system itself has no
// writer). Volume 1 begins with the catalogue: HeaderCount, CatalogueTag 0, then one 164-byte
// header per member at 5, 169, 333, ..., each NextHeader naming the next (the last one's is
// 0, or the seal's offset in a sealed archive). A sealed archive has its seal (ArchiveSeal.h)
// right after the last record, a signed one its signature block (ArchiveSignature.h) right
// after the seal. The data of the members follows in catalogue order, each one a
// stream of the prediction coder (PredictionEncoder). Catalogue and data form one run of bytes that
// is cut into volumes of exactly VolumeSize bytes, the last one shorter; so data that goes on into
// the next volume continues at its offset 0, as the format requires. Reserved, padding and the
// unused bytes of the string slots are zero: the same members give the same bytes.
//
// What the format cannot hold is refused with EArchiveWriter before any volume is created:
// a volume size above MaxVolumeSize; more than 255 volumes; a file, a total or an offset beyond
// 2^31-1 (from the size of a member's stream before it is read, where the stream knows it); a blank
// name or one of more than 103 characters; a version of more than 22; a name that could never be
// extracted (ArchivedNameProblem); two members with the same name (the reader would only ever find
// the first), or whose names extraction writes as one file, on Windows too (letters folded through
// the code page of names: platform::UpperCaseName); a first volume too small for the whole
// catalogue (and seal and signature).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/cmp_TFileHeaders.h>
#include <varn/framework/DateTime.h>
#include <varn/framework/Exceptions.h>
#include <varn/framework/Streams.h>

namespace varn {

class EArchiveWriter : public Exception {
 public:
  using Exception::Exception;
};

// A volume took fewer bytes than it was given (a full disk, say).
class EArchiveVolumeWrite : public EArchiveWriter {
 public:
  explicit EArchiveVolumeWrite(int32_t VolumeNumber);
  int32_t Volume;
};

constexpr int32_t MaxVolumes = 255;
constexpr int64_t MaxArchiveOffset = 0x7FFFFFFF;
// The offsets in a volume go up to MaxArchiveOffset: no volume can use more bytes than this.
constexpr int64_t MaxVolumeSize = MaxArchiveOffset + 1;

// Sizes of one member's data, before and after coding.
struct MemberSizes {
  int64_t OriginalSize = 0;
  int64_t CompressedSize = 0;
};

// A member's data coded already (taken over from another archive): its sizes and the SHA-256
// of its original bytes are known, and Copy hands exactly Sizes.CompressedSize coded bytes to
// Write, checking on the way that they decode to Sizes.OriginalSize bytes of that digest
// (throwing when they do not: the archive being written is then abandoned).
struct CodedData {
  MemberSizes Sizes;
  TSealDigest Digest{};
  std::function<void(const std::function<void(const uint8_t* Data, int64_t Count)>& Write)> Copy;
};

// One file to archive.
struct ArchiveMember {
  std::string Name;        // FileName in the catalogue
  std::string Version;     // file version text; empty when there is none
  TDateTime FileDate = 0;  // last-modification time, local
  std::string Origin;      // how messages name the member's source (a path, as the user wrote it)
  // Opens the member's data from its start. Called twice: once to size it, once to write it;
  // both must give the same bytes.
  std::function<std::unique_ptr<TStream>()> OpenData;
  // In place of OpenData: the data coded already, copied as it is (read once).
  std::optional<CodedData> Coded;
};

// Where everything lies.
struct ArchivePlan {
  std::vector<TFileHeaderRecord> Headers;  // in catalogue order, every field filled
  int64_t CatalogueSize = 0;               // 5 + 164 * members
  int64_t SealSize = 0;                    // 0 when unsealed; the seal lies at CatalogueSize
  int64_t SignatureSize = 0;               // 0 when unsigned; the block follows the seal
  int64_t TotalSize = 0;                   // bytes over all volumes
  int64_t VolumeSize = 0;                  // 0: no limit
  int32_t VolumeCount = 0;
  // The length of volume Number (1-based).
  int64_t VolumeBytes(int32_t Number) const;
};

// The layout of the members' catalogue and data over volumes of VolumeSize bytes (0: no
// limit), with the checks above. An empty member lies where the next data would begin, with
// DataEnd = DataStart - 1; where that is the end of a full volume it stays at that end
// (DataStart = VolumeSize), so that it never names a volume that holds no byte.
// FileDate is taken as given (see RestorableFileDate). Sealed leaves room for the seal, and
// SignatureSize bytes more after it for a signature block.
ArchivePlan PlanArchive(const std::vector<ArchiveMember>& Members,
                        const std::vector<MemberSizes>& Sizes, int64_t VolumeSize,
                        bool Sealed = false, int64_t SignatureSize = 0);

// The loader gives an extracted file its archived time through the packed date form, which
// holds only the years 1980 to 2099; for any other FileDate setting the time fails and so does
// the extraction. A date before 1 January 1980 (or no date at all, NaN) becomes 1980-01-01
// 00:00:00, one after 2099 becomes 2099-12-31 23:59:59; Clamped tells whether it changed.
TDateTime RestorableFileDate(TDateTime Value, bool& Clamped);

// Writes an archive. Members are read twice (sizing, then writing); a member whose bytes
// differ between the two reads fails the write. With Seal, the SHA-256 of every member is
// taken in both reads and sealed into volume 1; with Sign too, the signature block that Sign
// makes of the seal's bytes (signature::BlockSize of them) follows the seal. Every FileDate
// outside what the loader can restore is clamped (RestorableFileDate) and reported through
// OnWarning.
class ArchiveWriter {
 public:
  using CreateVolumeFunction = std::function<std::unique_ptr<TStream>(int32_t Number)>;

  int64_t VolumeSize = 0;  // 0: one volume of any size
  bool Seal = false;
  std::function<std::vector<uint8_t>(const std::vector<uint8_t>& SealBytes)> Sign;
  std::vector<ArchiveMember> Members;
  std::function<void(const std::string& Message)> OnWarning;
  // Called with the layout once it is known, before any volume is created: an exception from it
  // ends the write there (a caller's own refusal of what the layout shows).
  std::function<void(const ArchivePlan& Plan)> OnPlanned;

  // Checks everything, then creates volumes 1, 2, ... through CreateVolume (each only when its
  // first byte is due) and fills them. Returns the layout written.
  ArchivePlan Write(const CreateVolumeFunction& CreateVolume);
};

// Supplies the version text of a file to archive (its file version in dotted form), or empty.
using FileVersionReader = std::function<std::string(const std::string& Path)>;

// A member for a file on disk (Path in the program's form): its data is read from the file,
// FileDate is the file's last-write time as local time to full precision, Origin the path in
// the native form, Version what ReadVersion says (empty without it). EArchiveWriter when the
// file cannot be opened, is a directory, or its time cannot be read.
ArchiveMember MemberFromFile(const std::string& Path, const std::string& ArchivedName,
                             const FileVersionReader& ReadVersion = {});

// The name of volume Number of the archive whose volume 1 is FirstVolume: its extension
// replaced by "." and the number.
std::string VolumeFileName(const std::string& FirstVolume, int32_t Number);

}  // namespace varn
