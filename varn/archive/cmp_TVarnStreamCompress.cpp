#include <varn/archive/cmp_TVarnStreamCompress.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace varn {

// The decoding loop works on local copies of the context, the table pointer and the buffer
// positions, and writes them back to the fields only around a handler call (so a handler, or
// a derived class, sees the fields as the event contract has them). It counts the groups (a flag
// byte and its literals) that surely fit into what is left of the input block and of the output
// block, and decodes that many at once, without any check; a group that may not fit goes bit by
// bit, with GetByte and PutByte in their plain form. Either way the events fire at the same points.
//
// A group is decoded by a routine made for its flag value, in which each bit is fixed at compile
// time: no branch per bit (the bits of real data are close to random, so such branches mispredict
// often), and a literal's index does not wait for the bytes before it unless they were predicted.
// Each routine jumps on to the next group's routine itself rather than returning to a loop: the
// jump at the end of each routine is one more place where the processor can learn which flag
// tends to follow which. Where the download's size counts more (VARN_SMALL_DECODER: the Windows
// build), the routines return to a loop instead, which spares that jump's code in all 256 of them,
// and runs of one value take the table chain like any other group.

namespace {

constexpr int32_t BlockSize = static_cast<int32_t>(std::tuple_size_v<TVSCBuffer>);
#ifdef VARN_SMALL_DECODER
constexpr bool SmallDecoder = true;
#else
constexpr bool SmallDecoder = false;
#endif

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

// Decodes the group whose flag byte is at Source into Target[0..8); returns the next flag's place.
template <uint32_t Flag, uint32_t... Bits>
[[gnu::always_inline]] inline const uint8_t* DecodeGroup(const uint8_t* Source, uint8_t* Table,
                                                         uint8_t* Target, uint32_t& Last,
                                                         uint32_t& Second,
                                                         std::integer_sequence<uint32_t, Bits...>) {
  ++Source;
  if (Flag == 0xFF && !SmallDecoder && Last == Second && Table[(Last << 7) ^ Last] == Last) {
    // A run of one byte value (padding, mostly) predicts itself: eight bytes without waiting
    // for eight table reads in a row.
    std::memset(Target, static_cast<int>(Last), 8);
  } else {
    (DecodeBit<Flag, Bits>(Source, Table, Target, Last, Second), ...);
  }
  return Source + 8 - std::popcount(Flag);
}

constexpr auto EightBits = std::make_integer_sequence<uint32_t, 8>();

#ifndef VARN_SMALL_DECODER

// Decodes Groups (at least 1) groups from Source into Target; returns the input position after
// the last one.
using GroupRoutine = const uint8_t* (*)(const uint8_t* Source, uint8_t* Table, uint8_t* Target,
                                        uint32_t Last, uint32_t Second, int32_t Groups);
extern const std::array<GroupRoutine, 256> GroupRoutines;

template <uint32_t Flag>
const uint8_t* DecodeGroups(const uint8_t* Source, uint8_t* Table, uint8_t* Target, uint32_t Last,
                            uint32_t Second, int32_t Groups) {
  Source = DecodeGroup<Flag>(Source, Table, Target, Last, Second, EightBits);
  if (--Groups == 0) return Source;
  return GroupRoutines[*Source](Source, Table, Target + 8, Last, Second, Groups);
}

#else

struct GroupState {
  const uint8_t* Source;
  uint32_t Last, Second;
};
using GroupRoutine = GroupState (*)(GroupState State, uint8_t* Table, uint8_t* Target);

template <uint32_t Flag>
GroupState DecodeGroups(GroupState State, uint8_t* Table, uint8_t* Target) {
  State.Source =
      DecodeGroup<Flag>(State.Source, Table, Target, State.Last, State.Second, EightBits);
  return State;
}

#endif

template <uint32_t... Flags>
constexpr std::array<GroupRoutine, 256> MakeGroupRoutines(
    std::integer_sequence<uint32_t, Flags...>) {
  return {&DecodeGroups<Flags>...};
}

constexpr std::array<GroupRoutine, 256> GroupRoutines =
    MakeGroupRoutines(std::make_integer_sequence<uint32_t, 256>());

// Groups (at least 1) groups, which surely fit, from Source into Target; the context follows
// the output.
#ifndef VARN_SMALL_DECODER
const uint8_t* DecodeFitting(const uint8_t* Source, uint8_t* Table, uint8_t* Target, uint32_t& Last,
                             uint32_t& Second, int32_t Groups) {
  Source = GroupRoutines[*Source](Source, Table, Target, Last, Second, Groups);
  Last = Target[8 * Groups - 1];
  Second = Target[8 * Groups - 2];
  return Source;
}
#else
const uint8_t* DecodeFitting(const uint8_t* Source, uint8_t* Table, uint8_t* Target, uint32_t& Last,
                             uint32_t& Second, int32_t Groups) {
  GroupState State{Source, Last, Second};
  for (uint8_t* const End = Target + 8 * Groups; Target != End; Target += 8)
    State = GroupRoutines[*State.Source](State, Table, Target);
  Last = State.Last;
  Second = State.Second;
  return State.Source;
}
#endif

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
    // A group takes at most nine input bytes and exactly eight output bytes.
    const int32_t Groups = std::min((Count - Pos) / 9, (BlockSize - Pending) / 8);
    if (Groups > 0) {
      Pos = static_cast<int32_t>(
          DecodeFitting(In + Pos, Table, Out + Pending, Last, Second, Groups) - In);
      Pending += 8 * Groups;
      continue;
    }

    uint32_t Flag = In[Pos++];
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
