#include <varn/archive/PredictionEncoder.h>

#include <cstring>

namespace varn {

void PredictionEncoder::Reset() {
  FTable.fill(0);
  FLast = 0;
  FSecond = 0;
  FGroupBits = 0;
  FGroupLength = 0;
}

void PredictionEncoder::AddToGroup(uint8_t C) {
  if (FGroupBits == 0) {
    FGroup[0] = 0;
    FGroupLength = 1;
  }
  const uint32_t Index = (FSecond << 7) ^ FLast;
  if (FTable[Index] == C) {
    FGroup[0] = static_cast<uint8_t>(FGroup[0] | (1u << FGroupBits));
  } else {
    FTable[Index] = C;
    FGroup[FGroupLength++] = C;
  }
  ++FGroupBits;
  FSecond = FLast;
  FLast = C;
}

size_t PredictionEncoder::Encode(const uint8_t* Data, size_t Count, uint8_t* Out) {
  uint8_t* Target = Out;
  size_t I = 0;
  while (FGroupBits != 0 && I < Count) {
    AddToGroup(Data[I++]);
    if (FGroupBits == 8) {
      std::memcpy(Target, FGroup.data(), FGroupLength);
      Target += FGroupLength;
      FGroupBits = 0;
    }
  }

  // Whole groups straight into Out, on local copies of the state.
  uint8_t* const Table = FTable.data();
  uint32_t Last = FLast, Second = FSecond;
  for (; Count - I >= 8; I += 8) {
    uint8_t* const FlagByte = Target++;
    uint32_t Flag = 0;
    for (uint32_t Bit = 0; Bit < 8; ++Bit) {
      const uint32_t C = Data[I + Bit];
      const uint32_t Index = (Second << 7) ^ Last;
      if (Table[Index] == C) {
        Flag |= 1u << Bit;
      } else {
        Table[Index] = static_cast<uint8_t>(C);
        *Target++ = static_cast<uint8_t>(C);
      }
      Second = Last;
      Last = C;
    }
    *FlagByte = static_cast<uint8_t>(Flag);
  }
  FLast = Last;
  FSecond = Second;

  while (I < Count)
    AddToGroup(Data[I++]);
  return static_cast<size_t>(Target - Out);
}

size_t PredictionEncoder::Finish(uint8_t* Out) {
  size_t Written = 0;
  if (FGroupBits != 0) {
    std::memcpy(Out, FGroup.data(), FGroupLength);
    Written = FGroupLength;
  }
  Reset();
  return Written;
}

std::vector<uint8_t> PredictionEncoder::EncodeAll(const uint8_t* Data, size_t Count) {
  PredictionEncoder Encoder;
  std::vector<uint8_t> Out(MaxEncodedSize(Count));
  size_t Length = Encoder.Encode(Data, Count, Out.data());
  Length += Encoder.Finish(Out.data() + Length);
  Out.resize(Length);
  return Out;
}

}  // namespace varn
