#pragma once
// Hand-laid archive bytes for the tests: every field put at its offset by the test itself,
// never by the code under test, so the writer and the reader cannot drift together.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <varn/archive/cmp_TFileHeaders.h>
#include <varn/archive/cmp_TVarnStreamCompress.h>

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

// Bytes from hexadecimal text; blanks are skipped.
inline Bytes FromHex(const std::string& Text) {
  Bytes B;
  int High = -1;
  for (const char C : Text) {
    if (C == ' ') continue;
    const int Digit = C <= '9' ? C - '0' : (C | 0x20) - 'a' + 10;
    if (High < 0) {
      High = Digit;
    } else {
      B.push_back(static_cast<uint8_t>(High << 4 | Digit));
      High = -1;
    }
  }
  return B;
}

// The digests of the sealed two-file archive below, computed apart from the project's code.
namespace sealed_two_files {
inline const char* const CatalogueHash =
    "28c02d95ca168ef3f95d32c4083dd9d6de08209cd057c4f5d3b7e8e7e4627c9b";
inline const char* const HashOfAbababab =
    "9ba3d1c770bd1d031494bbd49d53e1e0b6b5512a4b3a2d56d274e4bb173a2a00";
inline const char* const HashOfAbc =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
inline const char* const SealHash =
    "c0c022038508556a2bd038a80b2414f496ab8d4a83a6917d7b9b8fdb70c242aa";
}  // namespace sealed_two_files

// The headers of the two-file archive of the format's description: setup.exe ("abababab",
// coded F0 61 62 61 62) and readme.txt ("abc", coded 00 61 62 63) at 5 and 169, their data
// adjacent from DataStart; the second header's NextHeader is LastNext.
inline std::pair<Header, Header> TwoFileHeaders(int32_t DataStart, int32_t LastNext) {
  Header A;
  A.FileDate = 45000.5;
  A.FileName = "setup.exe";
  A.Version = "1.0.0.1";
  A.NextHeader = 169;
  A.OriginalSize = 8;
  A.CompressedSize = 5;
  A.DataStart = DataStart;
  A.DataEnd = DataStart + 4;
  Header B;
  B.FileDate = 45001.25;
  B.FileName = "readme.txt";
  B.NextHeader = LastNext;
  B.OriginalSize = 3;
  B.CompressedSize = 4;
  B.DataStart = DataStart + 5;
  B.DataEnd = DataStart + 8;
  return {A, B};
}

inline const Bytes TwoFileData = {0xF0, 0x61, 0x62, 0x61, 0x62, 0x00, 0x61, 0x62, 0x63};

// That archive sealed, laid out by hand: the second header's NextHeader names the seal at 333:
// magic, version 1, algorithm 1, size 148, count 2, the catalogue's digest, the files'
// digests, the seal's own digest. The data follows from 481.
inline Bytes SealedTwoFileVolume() {
  const auto [A, B] = TwoFileHeaders(481, 333);
  Bytes Volume = Prologue(2, 0);
  Append(Volume, Record(A));
  Append(Volume, Record(B));
  Append(Volume, {'V', 'a', 'r', 'n', 'S', 'e', 'a', 'l', 1, 0, 1, 0, 148, 0, 0, 0, 2, 0, 0, 0});
  Append(Volume, FromHex(sealed_two_files::CatalogueHash));
  Append(Volume, FromHex(sealed_two_files::HashOfAbababab));
  Append(Volume, FromHex(sealed_two_files::HashOfAbc));
  Append(Volume, FromHex(sealed_two_files::SealHash));
  Append(Volume, TwoFileData);
  return Volume;
}

// The same archive sealed and signed with test_keys' key: the seal at 333 as above, but the
// data moved on by the signature block, to 684, so that the catalogue, and with it the seal,
// differ. The digests were taken with Python's hashlib and the signature made by OpenSSL's
// command line, apart from the project's code.
namespace signed_two_files {
inline const char* const CatalogueHash =
    "9b1f273d449acc0a77c4b2c8308cb7033f486474d272d7df4f527831d8b731f4";
inline const char* const SealHash =
    "d4c8bbbeb987117ce56fca90cf0db770accdab1b9c0e02a409f0ae70e20350f7";
inline const char* const KeyIdentifier =
    "3309e9bcc75249b84481fd2d33f7e312819538c2f8d6a0058054ec547478c1c2";
inline const char* const Signature =
    "1f4cc0ea377c09f334df6edf7c6fba15a4a97fba2f3444fe845ad116cc7e1578"
    "1639299282587fd85a07a8f8ad1fcf23b6391306ed1510cb5c46f0275d42c821";
inline const char* const PublicKey =  // test_keys::PublicPem's bytes
    "3059301306072a8648ce3d020106082a8648ce3d030107034200040f76ae5fcde28faae8a909176087e0756fffe20d"
    "51bbdd84212911d33e575c6242f6c8a354034725126b89ddab22b5e68aaafca6b6e775021be214d9ed7343b2";
}  // namespace signed_two_files

// That archive laid out by hand: the seal at 333, the block at 481 (magic, version 1,
// algorithm 1, size 203, key identifier, r and s, the key), the data from 684.
inline Bytes SignedTwoFileVolume() {
  const auto [A, B] = TwoFileHeaders(684, 333);
  Bytes Volume = Prologue(2, 0);
  Append(Volume, Record(A));
  Append(Volume, Record(B));
  Append(Volume, {'V', 'a', 'r', 'n', 'S', 'e', 'a', 'l', 1, 0, 1, 0, 148, 0, 0, 0, 2, 0, 0, 0});
  Append(Volume, FromHex(signed_two_files::CatalogueHash));
  Append(Volume, FromHex(sealed_two_files::HashOfAbababab));
  Append(Volume, FromHex(sealed_two_files::HashOfAbc));
  Append(Volume, FromHex(signed_two_files::SealHash));
  Append(Volume, {'V', 'a', 'r', 'n', 'S', 'i', 'g', 'n', 1, 0, 1, 0, 203, 0, 0, 0});
  Append(Volume, FromHex(signed_two_files::KeyIdentifier));
  Append(Volume, FromHex(signed_two_files::Signature));
  Append(Volume, FromHex(signed_two_files::PublicKey));
  Append(Volume, TwoFileData);
  return Volume;
}

// A volume for the archive writer that hands every byte written to it on to a buffer of the
// test.
class VolumeCapture : public varn::TMemoryStream {
 public:
  explicit VolumeCapture(fixtures::Bytes& Target) : FTarget(Target) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    const auto* P = static_cast<const uint8_t*>(Buffer);
    FTarget.insert(FTarget.end(), P, P + Count);
    return Count;
  }

 private:
  fixtures::Bytes& FTarget;
};

// Decodes one stream of the prediction coder whole.
inline Bytes DecodeStream(const Bytes& Coded) {
  varn::TVarnStreamCompress Decoder;
  size_t Offset = 0;
  Bytes Out;
  Decoder.OnReadBuffer = [&](varn::TVarnStreamCompress&, varn::TVSCBuffer& Buf, int32_t& BIB) {
    const size_t N = std::min<size_t>(Buf.size(), Coded.size() - Offset);
    std::copy_n(Coded.begin() + static_cast<ptrdiff_t>(Offset), N, Buf.begin());
    Offset += N;
    BIB = static_cast<int32_t>(N);
  };
  Decoder.OnWriteBuffer = [&](varn::TVarnStreamCompress&, varn::TVSCBuffer& Buf, int32_t BIB) {
    Out.insert(Out.end(), Buf.begin(), Buf.begin() + BIB);
  };
  Decoder.Decompress();
  return Out;
}

}  // namespace fixtures
