// Extraction: Extract, OpenVolume, the decoder's read and write handlers, the done report.
#include <algorithm>
#include <atomic>

#include <varn/archive/TargetPath.h>
#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/CustomApplication.h>
#include <varn/framework/DateTime.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>
#include <varn/support/Text.h>

namespace varn {

namespace {

constexpr int32_t BlockSize = 8192;
// What a volume is read ahead by. Output is not held back: each block reaches the file when
// it is handed over, so a stop, a full disk or a failure leaves exactly the blocks before it.
constexpr int32_t ReadAheadSize = 8 * BlockSize;

// The 32-bit counters of the status record wrap instead of overflowing, whatever the header
// values.
int32_t Add32(int32_t A, int64_t B) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(A) + B));
}

// Runs a clean-up step on every way out of a scope.
template <typename Step>
class CleanUp {
 public:
  explicit CleanUp(Step S) : FStep(std::move(S)) {}
  ~CleanUp() { FStep(); }
  CleanUp(const CleanUp&) = delete;
  CleanUp& operator=(const CleanUp&) = delete;

 private:
  Step FStep;
};

// A file of a new name in the directory of Target, created there exclusively; Name is its path.
// The name is unlikely to be guessed, so that nobody can keep the names taken in advance.
std::unique_ptr<TFileStream> CreateTemporaryBeside(const std::string& Target, std::string& Name) {
  // Components may extract on several threads at once, each its own.
  static std::atomic<uint32_t> Counter = 0;
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    // The counter alone, should the system give no random numbers: still a name not taken.
    uint32_t Mixed = 0;
    platform::RandomBytes(&Mixed, sizeof Mixed);
    Mixed ^= 0x9E3779B9u * ++Counter;
    std::string Suffix;
    for (int Digit = 0; Digit < 8; ++Digit, Mixed >>= 4)
      Suffix += "0123456789abcdef"[Mixed & 15];
    Name = DirectoryPart(Target) + ".varn-" + Suffix + ".tmp";
    try {
      return std::make_unique<TFileStream>(Name, TFileMode::fmCreateNew);
    } catch (const EFCreateError&) {
      if (!platform::FileAttributes(Name)) break;  // not taken: it cannot be created at all
    }
  }
  Name.clear();
  throw EVCCouldNotCreateFile(Target);
}

}  // namespace

std::string TVarnCompress::TargetPath() const {
  return AddBackslash(ExtractDirectory) + TargetName;
}

void TVarnCompress::Extract() {
  Abort = false;
  FOperation = opExtracting;
  FDestFile.reset();
  FSourceFile.reset();
  try {
    CleanUp Finally([this] {
      FFilesToProcess.clear();
      TargetName.clear();
    });
    ExtractSelection();
  } catch (const EVCStop&) {
    if (OnAborted) OnAborted(*this);
  } catch (const EAbort&) {
  } catch (...) {
    Abort = true;
    throw;
  }
}

void TVarnCompress::ExtractSelection() {
  if (!FCatalogueLoaded || (CheckSeal && !FSealRead)) ReadHeaders();
  FCurrentDisk = 0;
  FHeaders.ResetStats(FStats);
  FHeaders.SumSizes(FStats);

  const size_t Count = FFilesToProcess.size();
  for (size_t I = 0; I < Count; ++I) {
    // A handler may have shortened the list meanwhile.
    if (I >= FFilesToProcess.size())
      throw Exception("List index out of bounds (" + std::to_string(I) + ")");
    const std::string Entry = FFilesToProcess[I];
    const int32_t Index = FHeaders.IndexOfName(Entry);
    if (Index < 0) throw EVCFHFileNotInArchive(Entry);
    FCurrentHeader = &FHeaders.GetFileHeaders(Index);
    FCurrentIndex = Index;
    FCurrentHeader->CopyToStats(FStats);

    if (IsBlank(TargetName)) TargetName = FileNamePart(FCurrentHeader->Record.FileName());
    if (OnBeforeExtracting) OnBeforeExtracting(*this, FStats);
    TargetName = TargetFileName(TargetName);

    bool Write = true;
    if (IsExistingFile(TargetPath())) {
      Write = OverwriteDecision(TargetPath());
      if (Write && OnReplace) {
        OnReplace(*this, FStats);
        TargetName = TargetFileName(TargetName);
      }
    }
    if (Write) WriteCurrentFile(TargetPath());
    MakeDoneReport();
    TargetName.clear();
  }
}

void TVarnCompress::WriteCurrentFile(const std::string& Target) {
  std::string Temporary;  // with SafeReplace, until it is put in place
  CleanUp Finally([this, &Temporary, &Target] {
    FDestFile.reset();
    FSourceFile.reset();
    FSealCheck.Cancel();
    if (!Temporary.empty()) DiscardTemporary(Temporary, Target);
  });
  const TFileHeaderRecord& Header = FCurrentHeader->Record;
  FVolumeReadError = 0;
  OpenVolume(FSourceFile, Header.FirstDisk() == 0 ? 1 : Header.FirstDisk(), FCompressedFile);
  FCurrentDisk = Header.FirstDisk();

  CreateDirectoryChain(RemoveBackslash(DirectoryPart(Target)));
  if (!IsSafeTargetName(TargetName)) throw EVCCouldNotCreateFile(Target);
  if (SafeReplace) {
    if (!platform::CanReplaceFile(Target)) throw EVCCouldNotCreateFile(Target);
    FDestFile = CreateTemporaryBeside(Target, Temporary);
  } else {
    try {
      FDestFile = CreateDestination(Target);
    } catch (const EFCreateError&) {
      throw EVCCouldNotCreateFile(Target);
    }
  }

  FNoData = Header.DataStart() < 0;
  if (!FNoData) FSourceFile->Seek(Header.DataStart(), TSeekOrigin::soBeginning);
  FDecodedSize = 0;
  if (CheckSeal) FSealCheck.Begin(FSeal, FCurrentIndex);
  Decompress();
  FSealCheck.Finish(Header.FileName());

  if (FDestFile->Size() != Header.OriginalSize()) throw EVCWrongDecompressedSize(Header.FileName());
  const bool Dated = SetDestinationDate(*FDestFile, DateTimeToFileDate(Header.FileDate()));
  if (SafeReplace) {
    // Closed first: Windows renames no file that is open.
    FDestFile.reset();
    if (!PutInPlace(Temporary, Target)) throw EVCCouldNotCreateFile(Target);
    Temporary.clear();
  }
  if (!Dated) throw Exception("Cannot set the date of the file just extracted.");
}

void TVarnCompress::DiscardTemporary(const std::string& Temporary, const std::string&) {
  platform::DeleteFile(Temporary);
}

bool TVarnCompress::PutInPlace(const std::string& Temporary, const std::string& Target) {
  return platform::RenameFile(Temporary, Target);
}

std::unique_ptr<TStream> TVarnCompress::CreateDestination(const std::string& Target) {
  return std::make_unique<TFileStream>(Target, TFileMode::fmCreate);
}

bool TVarnCompress::SetDestinationDate(TStream& Destination, int32_t FileDate) {
  return static_cast<TFileStream&>(Destination).SetFileDate(FileDate);
}

void TVarnCompress::MakeDoneReport() {
  FStats.PercentDone = 100;
  FStats.TotalBytesDone =
      Add32(FStats.TotalBytesDone, static_cast<int64_t>(FStats.CompressedSize) - FStats.BytesDone);
  FStats.BytesDone = FStats.CompressedSize;
  FStats.TotalPercent = PercentOf(FStats.TotalBytesDone, FStats.TotalCompressedSize);
  FStats.FileDone = true;
  if (OnStatus) OnStatus(*this, FStats);
  FStats.FileDone = false;
  if (OnAfterExtracting) OnAfterExtracting(*this, FStats);
}

void TVarnCompress::OpenVolume(std::unique_ptr<TFileStream>& Stream, int32_t Number,
                               std::string& Name) {
  for (int Attempt = 1; Attempt <= 4; ++Attempt) {
    Stream.reset();
    Name = ReplaceExtension(Name, "." + std::to_string(Number));
    bool Found = IsExistingFile(Name);
    if (!Found) {
      if (!OnNewDisk) break;  // nowhere else to look
      std::string Directory = RemoveBackslash(DirectoryPart(Name));
      OnNewDisk(*this, Number, Directory);
      Name = AddBackslash(Directory) + FileNamePart(Name);
      Found = IsExistingFile(Name);
    }
    if (Found) {
      try {
        Stream =
            std::make_unique<TBufferedFileStream>(Name, TFileMode::fmOpenReadShared, ReadAheadSize);
      } catch (const EFOpenError&) {
        throw EVCCouldNotOpenCompressedFile(Name);
      }
      return;
    }
  }
  throw EMissingVolume(Number);
}

// Reads the next piece of the current file's data from the open volume into Buf: at most one
// block, and never past DataEnd in the last volume. False, with nothing read, once the data
// has ended; otherwise Want is what was asked for and Read what came.
bool TVarnCompress::ReadCurrentVolume(TVSCBuffer& Buf, int32_t& Want, int32_t& Read) {
  if (FNoData) return false;
  Want = BlockSize;
  if (FCurrentDisk == FCurrentHeader->Record.LastDisk()) {
    // 64-bit: the offsets come from the archive and are not trusted.
    const int64_t Position = FSourceFile->Position();
    const int64_t DataEnd = FCurrentHeader->Record.DataEnd();
    if (Position > DataEnd) return false;
    if (Position + BlockSize > DataEnd) Want = static_cast<int32_t>(DataEnd - Position + 1);
  }
  Read = FSourceFile->Read(Buf.data(), Want);
  return true;
}

void TVarnCompress::ExtractOnReadBuffer(TVarnStreamCompress&, TVSCBuffer& Buf, int32_t& BIB) {
  if (!FSourceFile) throw Exception("Sourcefile is nil in ExtractOnReadBuffer");
  int32_t Want = 0;
  BIB = 0;
  if (!ReadCurrentVolume(Buf, Want, BIB)) return;
  if (BIB < Want) {
    // This volume is exhausted; the data goes on at offset 0 of the next one. An empty next
    // volume ends the input here rather than being read again and again.
    FVolumeReadError = FSourceFile->ReadError();
    ++FCurrentDisk;
    OpenVolume(FSourceFile, FCurrentDisk, FCompressedFile);
    if (BIB == 0 && !ReadCurrentVolume(Buf, Want, BIB)) BIB = 0;
  }
  ProcessApplication().ProcessMessages();
  FStats.BytesDone = Add32(FStats.BytesDone, BIB);
  FStats.TotalBytesDone = Add32(FStats.TotalBytesDone, BIB);
}

void TVarnCompress::ExtractOnWriteBuffer(TVarnStreamCompress&, TVSCBuffer& Buf, int32_t BIB) {
  if (Abort) throw EVCStop();
  ProcessApplication().ProcessMessages();
  if (!FDestFile) throw Exception("OnWriteBuffer has Nil DestFile");
  // Data that decodes to more than the header's size is not decoded on: a wrong or endless
  // volume would otherwise fill the disk. One block of slack keeps every file whose size is
  // off by less exactly as it was, failing at the size check.
  FDecodedSize += BIB;
  if (FDecodedSize > std::max<int64_t>(FCurrentHeader->Record.OriginalSize(), 0) + BlockSize)
    throw EVCWrongDecompressedSize(FCurrentHeader->Record.FileName());
  FSealCheck.Update(Buf.data(), static_cast<size_t>(BIB));
  if (FDestFile->Write(Buf.data(), BIB) < BIB) DiskFull();
  FStats.PercentDone = PercentOf(FStats.BytesDone, FStats.CompressedSize);
  FStats.TotalPercent = PercentOf(FStats.TotalBytesDone, FStats.TotalCompressedSize);
  if (OnStatus) OnStatus(*this, FStats);
}

}  // namespace varn
