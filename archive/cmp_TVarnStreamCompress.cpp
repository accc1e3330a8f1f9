#include "archive/cmp_TVarnStreamCompress.h"

#include <algorithm>

// The decoding loop works on local copies of the context, the table pointer and the buffer
// positions, and writes them back to the fields only around a handler call (so a handler, or
// a derived class, sees the state that the documents describe). Per flag byte it picks one of
// two ways: when the input block holds eight more bytes and the output block has room for
// eight, the whole group is decoded without any check; otherwise bit by bit, with GetByte and
// PutByte exactly as specified. Either way the events fire at the same points.

namespace {
constexpr int32_t BlockSize = static_cast<int32_t>(std::tuple_size_v<TVSCBuffer>);
}  // namespace

void TVarnStreamCompress::ResetPredictor() {
  PredictionTable.fill(0);
  OutCount = 0;
  LastByte = 0;
  SecondLastByte = 0;
}

void TVarnStreamCompress::FlushOutput() {
  if (OutCount != 0) {
    if (OnWriteBuffer) OnWriteBuffer(*this, OutBuffer, OutCount);
    OutCount = 0;
  }
}

bool TVarnStreamCompress::RefillInput() {
  if (OnReadBuffer)
    OnReadBuffer(*this, InBuffer, InCount);
  else
    InCount = 0;
  // A handler that reports more than a block, or a negative count, is taken at the nearest
  // bound, so no byte outside InBuffer is ever read.
  InCount = std::clamp(InCount, 0, BlockSize);
  if (InCount == 0) return false;
  InPos = 0;
  return true;
}

void TVarnStreamCompress::Decompress() {
  ResetPredictor();
  InPos = 1;
  InCount = 0;

  uint8_t* const Table = PredictionTable.data();
  const uint8_t* const In = InBuffer.data();
  uint8_t* const Out = OutBuffer.data();
  uint32_t Last = 0, Second = 0;
  int32_t Pos = InPos, Count = InCount, Pending = 0;

  // Writes the local state back before a handler runs, and takes it up again afterwards.
  const auto Store = [&] {
    InPos = Pos;
    OutCount = Pending;
    LastByte = static_cast<uint8_t>(Last);
    SecondLastByte = static_cast<uint8_t>(Second);
  };
  // GetByte: false when the input is exhausted.
  const auto Refill = [&]() -> bool {
    Store();
    const bool Got = RefillInput();
    Pos = InPos;
    Count = InCount;
    return Got;
  };
  const auto Finish = [&] {
    Store();
    FlushOutput();
  };

  for (;;) {
    if (Pos >= Count && !Refill()) return Finish();
    uint32_t Flag = In[Pos++];

    if (Count - Pos >= 8 && Pending <= BlockSize - 8) {
      // The whole group fits: no refill and no delivery can fall inside it.
      uint8_t* Target = Out + Pending;
      const uint8_t* Source = In + Pos;
      for (int Bit = 0; Bit < 8; ++Bit) {
        const uint32_t Index = (Second << 7) ^ Last;
        uint32_t C;
        if (Flag & 1) {
          C = Table[Index];
        } else {
          C = *Source++;
          Table[Index] = static_cast<uint8_t>(C);
        }
        *Target++ = static_cast<uint8_t>(C);
        Second = Last;
        Last = C;
        Flag >>= 1;
      }
      Pos = static_cast<int32_t>(Source - In);
      Pending += 8;
      continue;
    }

    for (int Bit = 0; Bit < 8; ++Bit, Flag >>= 1) {
      const uint32_t Index = (Second << 7) ^ Last;
      uint32_t C;
      if (Flag & 1) {
        C = Table[Index];
      } else {
        if (Pos >= Count && !Refill()) return Finish();
        C = In[Pos++];
        Table[Index] = static_cast<uint8_t>(C);
      }
      // PutByte: a full block goes out only now that a further byte has arrived.
      if (Pending >= BlockSize) {
        Store();
        if (OnWriteBuffer) OnWriteBuffer(*this, OutBuffer, OutCount);
        Pending = 0;
        OutCount = 0;
      }
      Out[Pending++] = static_cast<uint8_t>(C);
      Second = Last;
      Last = C;
    }
  }
}
