#include "tests/component/HandLaidArchive.h"

#include <algorithm>

#include "tests/common/TestSupport.h"

using namespace varn;

namespace hand_laid {

std::vector<uint8_t> LiteralStream(const std::vector<uint8_t>& Content) {
  std::vector<uint8_t> Out;
  for (size_t I = 0; I < Content.size(); ++I) {
    if (I % 8 == 0) Out.push_back(0x00);
    Out.push_back(Content[I]);
  }
  return Out;
}

std::vector<uint8_t> Bytes(const std::string& Text) {
  return std::vector<uint8_t>(Text.begin(), Text.end());
}

Entry LiteralEntry(const std::string& Name, const std::vector<uint8_t>& Content) {
  Entry E;
  E.Name = Name;
  E.Compressed = LiteralStream(Content);
  E.OriginalSize = static_cast<int32_t>(Content.size());
  return E;
}

Entry ZeroEntry(const std::string& Name, int32_t Count) {
  Entry E;
  E.Name = Name;
  E.Compressed.assign(static_cast<size_t>(Count), 0xFF);
  E.OriginalSize = Count * 8;
  return E;
}

std::vector<std::vector<uint8_t>> Layout(const std::vector<Entry>& Entries, int64_t VolumeSize,
                                         std::vector<TFileHeaderRecord>* Headers) {
  const int64_t CatalogueSize = 5 + static_cast<int64_t>(Entries.size()) * 164;
  std::vector<TFileHeaderRecord> Records(Entries.size());
  std::vector<uint8_t> All(static_cast<size_t>(CatalogueSize));
  All[0] = static_cast<uint8_t>(Entries.size());
  All[4] = 0;
  const auto Volume = [&](int64_t Offset) {
    return VolumeSize == 0 ? 1 : static_cast<int>(Offset / VolumeSize) + 1;
  };
  const auto Local = [&](int64_t Offset) { return VolumeSize == 0 ? Offset : Offset % VolumeSize; };
  for (size_t I = 0; I < Entries.size(); ++I) {
    const Entry& E = Entries[I];
    TFileHeaderRecord& R = Records[I];
    const int64_t Start = static_cast<int64_t>(All.size());
    All.insert(All.end(), E.Compressed.begin(), E.Compressed.end());
    const int64_t Last = static_cast<int64_t>(All.size()) - 1;
    R.SetFileDate(E.FileDate);
    R.SetFileName(E.Name);
    R.SetVersion(E.Version);
    R.SetOriginalSize(E.OriginalSize);
    R.SetCompressedSize(static_cast<int32_t>(E.Compressed.size()));
    R.SetNextHeader(static_cast<int32_t>(5 + (I + 1) * 164));
    R.SetFirstDisk(static_cast<uint8_t>(Volume(Start)));
    R.SetDataStart(static_cast<int32_t>(Local(Start)));
    if (E.Compressed.empty()) {  // an empty stream ends just before it starts
      R.SetLastDisk(static_cast<uint8_t>(Volume(Start)));
      R.SetDataEnd(static_cast<int32_t>(Local(Start) - 1));
    } else {
      R.SetLastDisk(static_cast<uint8_t>(Volume(Last)));
      R.SetDataEnd(static_cast<int32_t>(Local(Last)));
    }
    std::copy(R.Bytes.begin(), R.Bytes.end(), All.begin() + 5 + static_cast<int64_t>(I) * 164);
  }
  if (Headers) *Headers = Records;
  std::vector<std::vector<uint8_t>> Volumes;
  if (VolumeSize == 0) return {All};
  for (size_t Offset = 0; Offset < All.size(); Offset += static_cast<size_t>(VolumeSize))
    Volumes.emplace_back(All.begin() + static_cast<std::ptrdiff_t>(Offset),
                         All.begin() + static_cast<std::ptrdiff_t>(std::min(
                                           All.size(), Offset + static_cast<size_t>(VolumeSize))));
  return Volumes;
}

std::vector<TFileHeaderRecord> Write(const std::string& Base, const std::vector<Entry>& Entries,
                                     int64_t VolumeSize) {
  std::vector<TFileHeaderRecord> Headers;
  const auto Volumes = Layout(Entries, VolumeSize, &Headers);
  for (size_t I = 0; I < Volumes.size(); ++I)
    testing_support::WriteFile(Base + "." + std::to_string(I + 1), Volumes[I]);
  return Headers;
}

void PatchHeader(const std::string& Volume1, int Index,
                 const std::function<void(TFileHeaderRecord&)>& Change) {
  std::string Bytes = testing_support::ReadFile(Volume1);
  TFileHeaderRecord R;
  const size_t At = 5 + static_cast<size_t>(Index) * TFileHeaderRecord::Size;
  std::copy(Bytes.begin() + static_cast<std::ptrdiff_t>(At),
            Bytes.begin() + static_cast<std::ptrdiff_t>(At + TFileHeaderRecord::Size),
            R.Bytes.begin());
  Change(R);
  std::copy(R.Bytes.begin(), R.Bytes.end(), Bytes.begin() + static_cast<std::ptrdiff_t>(At));
  testing_support::WriteFile(Volume1, Bytes);
}

}  // namespace hand_laid
