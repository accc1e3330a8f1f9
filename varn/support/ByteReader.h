#pragma once
// Little-endian fields of on-disk records, decoded from bytes (never by casting a struct over a
// buffer), and a cursor that checks the remaining size before every read: a read that does not
// fit fails, leaves the cursor where it was, and never touches a byte outside the buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace varn::bytes {

inline uint16_t LoadU16(const uint8_t* P) {
  return static_cast<uint16_t>(P[0] | (P[1] << 8));
}
inline uint32_t LoadU32(const uint8_t* P) {
  return static_cast<uint32_t>(P[0]) | (static_cast<uint32_t>(P[1]) << 8) |
         (static_cast<uint32_t>(P[2]) << 16) | (static_cast<uint32_t>(P[3]) << 24);
}
inline int32_t LoadI32(const uint8_t* P) {
  return static_cast<int32_t>(LoadU32(P));
}
inline uint64_t LoadU64(const uint8_t* P) {
  return static_cast<uint64_t>(LoadU32(P)) | (static_cast<uint64_t>(LoadU32(P + 4)) << 32);
}
inline double LoadF64(const uint8_t* P) {
  const uint64_t Bits = LoadU64(P);
  double Value;
  std::memcpy(&Value, &Bits, sizeof Value);
  return Value;
}

inline void StoreU16(uint8_t* P, uint16_t V) {
  P[0] = static_cast<uint8_t>(V);
  P[1] = static_cast<uint8_t>(V >> 8);
}
inline void StoreU32(uint8_t* P, uint32_t V) {
  for (int I = 0; I < 4; ++I)
    P[I] = static_cast<uint8_t>(V >> (8 * I));
}
inline void StoreI32(uint8_t* P, int32_t V) {
  StoreU32(P, static_cast<uint32_t>(V));
}
inline void StoreU64(uint8_t* P, uint64_t V) {
  StoreU32(P, static_cast<uint32_t>(V));
  StoreU32(P + 4, static_cast<uint32_t>(V >> 32));
}
inline void StoreF64(uint8_t* P, double Value) {
  uint64_t Bits;
  std::memcpy(&Bits, &Value, sizeof Bits);
  StoreU64(P, Bits);
}

class ByteReader {
 public:
  ByteReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Data ? Size : 0) {}

  size_t Position() const { return FPosition; }
  size_t Size() const { return FSize; }
  size_t Remaining() const { return FSize - FPosition; }
  bool Has(size_t Count) const { return Count <= Remaining(); }

  bool Seek(size_t Position) {
    if (Position > FSize) return false;
    FPosition = Position;
    return true;
  }
  bool Skip(size_t Count) {
    if (!Has(Count)) return false;
    FPosition += Count;
    return true;
  }
  bool ReadU8(uint8_t& V) {
    return Read(1, [&](const uint8_t* P) { V = P[0]; });
  }
  bool ReadU16(uint16_t& V) {
    return Read(2, [&](const uint8_t* P) { V = LoadU16(P); });
  }
  bool ReadU32(uint32_t& V) {
    return Read(4, [&](const uint8_t* P) { V = LoadU32(P); });
  }
  bool ReadI32(int32_t& V) {
    return Read(4, [&](const uint8_t* P) { V = LoadI32(P); });
  }
  bool ReadF64(double& V) {
    return Read(8, [&](const uint8_t* P) { V = LoadF64(P); });
  }
  // A view of the next Count bytes; nullptr when they are not all there.
  const uint8_t* Take(size_t Count) {
    if (!Has(Count)) return nullptr;
    const uint8_t* P = FData + FPosition;
    FPosition += Count;
    return P;
  }

 private:
  template <typename Decode>
  bool Read(size_t Count, Decode&& Apply) {
    if (!Has(Count)) return false;
    Apply(FData + FPosition);
    FPosition += Count;
    return true;
  }

  const uint8_t* FData;
  size_t FSize;
  size_t FPosition = 0;
};

}  // namespace varn::bytes
