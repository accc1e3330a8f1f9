#pragma once
// Hand-laid archive bytes for the tests: every field put at its offset by the test itself,
// never by the code under test, so the writer and the reader cannot drift together.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <varn/archive/cmp_TFileHeaders.h>

namespace fixtures {

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes& B, size_t At, int32_t V) {
  for (int I = 0; I < 4; ++I)
    B[At + I] = static_cast<uint8_t>(static_cast<uint32_t>(V) >> (8 * I));
}

inline void PutDouble(Bytes& B, size_t At, double V) {
  uint64_t Bits;
  std::memcpy(&Bits, &V, 8);
  for (int I = 0; I < 8; ++I)
    B[At + I] = static_cast<uint8_t>(Bits >> (8 * I));
}

inline void PutSlot(Bytes& B, size_t At, const std::string& Text) {
  B[At] = static_cast<uint8_t>(Text.size());
  std::memcpy(&B[At + 1], Text.data(), Text.size());
}

struct Header {
  double FileDate = 0;
  uint8_t LastDisk = 1;
  int32_t DataEnd = 0;
  std::string FileName;
  int32_t NextHeader = 0;
  int32_t OriginalSize = 0;
  int32_t DataStart = 0;
  int32_t CompressedSize = 0;
  uint8_t FirstDisk = 1;
  std::string Version;
};

// The 164-byte record, laid out field by field.
inline Bytes Record(const Header& H) {
  Bytes B(164, 0);
  PutDouble(B, 4, H.FileDate);
  B[12] = H.LastDisk;
  Put32(B, 16, H.DataEnd);
  PutSlot(B, 20, H.FileName);
  Put32(B, 124, H.NextHeader);
  Put32(B, 128, H.OriginalSize);
  Put32(B, 132, H.DataStart);
  Put32(B, 136, H.CompressedSize);
  B[140] = H.FirstDisk;
  PutSlot(B, 141, H.Version);
  return B;
}

inline Bytes Prologue(int32_t Count, uint8_t Tag) {
  Bytes B(5, 0);
  Put32(B, 0, Count);
  B[4] = Tag;
  return B;
}

inline void Append(Bytes& To, const Bytes& More) {
  To.insert(To.end(), More.begin(), More.end());
}

// A file's compressed data gathered from the volumes as the format lays it out.
inline Bytes CollectData(const std::vector<Bytes>& Volumes, const varn::TFileHeaderRecord& R) {
  Bytes Data;
  const int First = R.FirstDisk() == 0 ? 1 : R.FirstDisk();
  size_t Start = static_cast<size_t>(R.DataStart());
  for (int Disk = First;; ++Disk) {
    const Bytes& V = Volumes.at(static_cast<size_t>(Disk - 1));
    const bool Last = Disk == (R.FirstDisk() == 0 ? 1 : R.LastDisk());
    const size_t End = Last ? static_cast<size_t>(R.DataEnd() + 1) : V.size();
    if (End > Start)
      Data.insert(Data.end(), V.begin() + static_cast<ptrdiff_t>(Start),
                  V.begin() + static_cast<ptrdiff_t>(End));
    if (Last) return Data;
    Start = 0;
  }
}

}  // namespace fixtures
