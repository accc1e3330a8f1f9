#include "archive/cmp_TVarnStreamCompress.h"

void TVarnStreamCompress::ResetPredictor() {
  PredictionTable.fill(0);
  OutCount = 0;
  LastByte = 0;
  SecondLastByte = 0;
}

void TVarnStreamCompress::FlushOutput() {
  if (OutCount == 0) return;
  if (OnWriteBuffer) OnWriteBuffer(*this, OutBuffer, OutCount);
  OutCount = 0;
}

void TVarnStreamCompress::Decompress() {
  ResetPredictor();
  InPos = 1;
  InCount = 0;
  auto GetByte = [this](uint8_t& C) {
    if (InPos >= InCount) {
      InCount = 0;
      if (OnReadBuffer) OnReadBuffer(*this, InBuffer, InCount);
      if (InCount <= 0) return false;
      if (InCount > 8192) InCount = 8192;
      InPos = 0;
    }
    C = InBuffer[static_cast<size_t>(InPos++)];
    return true;
  };
  auto PutByte = [this](uint8_t C) {
    if (OutCount >= 8192) {
      if (OnWriteBuffer) OnWriteBuffer(*this, OutBuffer, OutCount);
      OutCount = 0;
    }
    OutBuffer[static_cast<size_t>(OutCount++)] = C;
  };
  uint8_t Flags;
  while (GetByte(Flags)) {
    for (int Bit = 0; Bit < 8; ++Bit) {
      const size_t Index = (static_cast<size_t>(SecondLastByte) << 7) ^ LastByte;
      uint8_t C;
      if (Flags & (1u << Bit)) {
        C = PredictionTable[Index];
      } else {
        if (!GetByte(C)) {
          FlushOutput();
          return;
        }
        PredictionTable[Index] = C;
      }
      PutByte(C);
      SecondLastByte = LastByte;
      LastByte = C;
    }
  }
  FlushOutput();
}
