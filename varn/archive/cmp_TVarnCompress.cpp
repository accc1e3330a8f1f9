#include <varn/archive/cmp_TVarnCompress.h>

#include <algorithm>

#include <varn/support/PathHelpers.h>
#include <varn/support/Text.h>

namespace varn {

TVarnCompress::TVarnCompress(TComponent* AOwner) : TVarnStreamCompress(AOwner) {
  OnReadBuffer = [this](TVarnStreamCompress& VSC, TVSCBuffer& Buf, int32_t& BIB) {
    ExtractOnReadBuffer(VSC, Buf, BIB);
  };
  OnWriteBuffer = [this](TVarnStreamCompress& VSC, TVSCBuffer& Buf, int32_t BIB) {
    ExtractOnWriteBuffer(VSC, Buf, BIB);
  };
}

TVarnCompress::~TVarnCompress() = default;

void TVarnCompress::SetCompressedFile(const std::string& Value) {
  const std::string NewName = ReplaceExtension(Value, ".1");
  if (!SameTextAscii(NewName, ReplaceExtension(FCompressedFile, ".1"))) {
    FCatalogueLoaded = false;
    FCompressedFile = NewName;
  }
}

void TVarnCompress::SetFilesToProcess(std::vector<std::string>& Value) {
  for (size_t I = Value.size(); I > 0; --I)
    if (IsBlank(Value[I - 1])) Value.erase(Value.begin() + static_cast<std::ptrdiff_t>(I - 1));
  FFilesToProcess = Value;
}

void TVarnCompress::ReadHeaders() {
  FCatalogueLoaded = false;
  FSeal = TSealReading();
  FSealRead = false;
  if (!IsExistingFile(FCompressedFile)) throw EVCCouldNotOpenCompressedFile(FCompressedFile);
  std::unique_ptr<TFileStream> Volume;
  try {
    Volume = std::make_unique<TFileStream>(FCompressedFile, TFileMode::fmOpenReadShared);
  } catch (const EFOpenError&) {
    throw EVCCouldNotOpenCompressedFile(FCompressedFile);
  }
  try {
    FHeaders.ReadFromStream(*Volume);
  } catch (...) {
    // A sealed catalogue that cannot be read is a damaged one (a damaged HeaderCount, say).
    if (CheckSeal) ReadArchiveSeal(*Volume, FCompressedFile);
    throw EVCFHCannotReadHeaders();
  }
  if (CheckSeal) {
    FSeal = ReadArchiveSeal(*Volume, FCompressedFile);
    FSealRead = true;
  }
  FCatalogueLoaded = true;
}

int32_t TVarnCompress::FileCount() {
  if (!FCatalogueLoaded) ReadHeaders();
  return FHeaders.Count();
}

TlzhFileStats TVarnCompress::GetFileStats(int32_t Index) {
  if (!FCatalogueLoaded) ReadHeaders();
  if (Index < 0 || Index > FileCount() - 1)
    throw Exception("Tried to access the " + std::to_string(Index) +
                    "th file. This file is not defined");
  FHeaders.ResetStats(FStats);
  FHeaders.GetFileHeaders(Index).CopyToStats(FStats);
  return FStats;
}

void TVarnCompress::DiskFull() {
  if (!OnFullDisk) throw EVCDiskFull();
  OnFullDisk(*this);
}

}  // namespace varn
