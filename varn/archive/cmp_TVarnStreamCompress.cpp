#include <varn/archive/cmp_TVarnStreamCompress.h>

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

namespace varn {

// The decoding loop works on local copies of the context, the table pointer and the buffer
// positions, and writes them back to the fields only around a handler call (so a handler, or
// a derived class, sees the fields as the event contract has them). Per flag byte it picks one of
// two ways: when the input block holds eight more bytes and the output block has room for
// eight, the whole group is decoded at once, without any check; otherwise bit by bit, with
// GetByte and PutByte in their plain form. Either way the events fire at the same points.
//
// The whole-group way dispatches once on the flag byte to a routine made for that value, in
// which each bit is fixed at compile time: no branch per bit (the bits of real data are close
// to random, so such branches mispredict often), and a literal's index does not wait for the
// bytes before it unless they were predicted.

namespace {

constexpr int32_t BlockSize = static_cast<int32_t>(std::tuple_size_v<TVSCBuffer>);

struct GroupState {
  const uint8_t* Source;  // the group's first literal
  uint32_t Last, Second;
};

using GroupRoutine = GroupState (*)(GroupState State, uint8_t* Table, uint8_t* Target);

template <uint32_t Flag, uint32_t Bit>
[[gnu::always_inline]] inline void DecodeBit(const uint8_t* Source, uint8_t* Table, uint8_t* Target,
                                             uint32_t& Last, uint32_t& Second) {
  const uint32_t Index = (Second << 7) ^ Last;
  uint32_t C;
  if constexpr ((Flag >> Bit) & 1) {
    C = Table[Index];
  } else {
    // The literal's place: the clear bits below this one.
    C = Source[Bit - std::popcount(Flag & ((1u << Bit) - 1))];
    Table[Index] = static_cast<uint8_t>(C);
  }
  Target[Bit] = static_cast<uint8_t>(C);
  Second = Last;
  Last = C;
}

template <uint32_t Flag, uint32_t... Bits>
GroupState DecodeGroup(GroupState State, uint8_t* Table, uint8_t* Target,
                       std::integer_sequence<uint32_t, Bits...>) {
  (DecodeBit<Flag, Bits>(State.Source, Table, Target, State.Last, State.Second), ...);
  State.Source += 8 - std::popcount(Flag);
  return State;
}

template <uint32_t Flag>
GroupState DecodeGroup(GroupState State, uint8_t* Table, uint8_t* Target) {
  return DecodeGroup<Flag>(State, Table, Target, std::make_integer_sequence<uint32_t, 8>());
}

template <uint32_t... Flags>
constexpr std::array<GroupRoutine, 256> MakeGroupRoutines(
    std::integer_sequence<uint32_t, Flags...>) {
  return {&DecodeGroup<Flags>...};
}

constexpr std::array<GroupRoutine, 256> GroupRoutines =
    MakeGroupRoutines(std::make_integer_sequence<uint32_t, 256>());

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
      const GroupState State = GroupRoutines[Flag]({In + Pos, Last, Second}, Table, Out + Pending);
      Pos = static_cast<int32_t>(State.Source - In);
      Last = State.Last;
      Second = State.Second;
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

}  // namespace varn
