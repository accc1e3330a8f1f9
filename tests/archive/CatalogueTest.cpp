#include <gtest/gtest.h>

#include <chrono>

#include <varn/archive/cmp_TFileHeaders.h>
#include "tests/archive/ArchiveFixtures.h"

using namespace varn;

namespace {

using fixtures::Append;
using fixtures::Bytes;
using fixtures::Header;
using fixtures::Prologue;
using fixtures::Record;

void Read(TFileHeaders& Headers, const Bytes& Volume) {
  TMemoryStream Stream(Volume);
  Headers.ReadFromStream(Stream);
}

Header Named(const std::string& Name, int32_t Next) {
  Header H;
  H.FileName = Name;
  H.NextHeader = Next;
  return H;
}

TEST(Catalogue, ShortPrologueFailsWithHeaderCount) {
  for (size_t Size = 0; Size < 5; ++Size) {
    TFileHeaders Headers;
    try {
      Read(Headers, Bytes(Size, 1));
      FAIL() << Size;
    } catch (const EVCFHCannotReadHeaderCount& E) {
      EXPECT_EQ(E.Message(), "Could not read the file header count for the compressed file");
    }
  }
}

TEST(Catalogue, CountZeroOrNegativeIsEmptyAndIgnoresTheRest) {
  for (int32_t Count : {0, -1, INT32_MIN}) {
    Bytes Volume = Prologue(Count, 0x5A);
    Append(Volume, Bytes(300, 0xEE));
    TFileHeaders Headers;
    Read(Headers, Volume);
    EXPECT_EQ(Headers.Count(), 0);
    EXPECT_EQ(Headers.CatalogueTag, 0x5A);
  }
}

TEST(Catalogue, ChainLongerThanTheRecordsFailsAndKeepsWhatWasRead) {
  Bytes Volume = Prologue(3, 0);
  Append(Volume, Record(Named("a", 169)));
  Append(Volume, Record(Named("b", 520)));  // 520: fewer than 164 bytes remain there
  Append(Volume, Bytes(200, 0));            // data, so that three records could fit
  TFileHeaders Headers;
  try {
    Read(Headers, Volume);
    FAIL();
  } catch (const EVCFHCannotReadHeaders& E) {
    EXPECT_EQ(E.Message(),
              "Could not read the file headers for the compressed file. The Archive file could "
              "possible be corrupt.");
  }
  ASSERT_EQ(Headers.Count(), 2);
  EXPECT_EQ(Headers.GetFileHeaders(1).Record.FileName(), "b");
}

TEST(Catalogue, NegativeNextHeaderFails) {
  Bytes Volume = Prologue(2, 0);
  Append(Volume, Record(Named("a", -1)));
  Append(Volume, Bytes(200, 0));
  TFileHeaders Headers;
  EXPECT_THROW(Read(Headers, Volume), EVCFHCannotReadHeaders);
  EXPECT_EQ(Headers.Count(), 1);
}

TEST(Catalogue, ChainLoopingBackIsFollowedForHeaderCountRecords) {
  Bytes Volume = Prologue(3, 0);
  Append(Volume, Record(Named("a", 169)));
  Append(Volume, Record(Named("b", 5)));
  Append(Volume, Bytes(200, 0));
  TFileHeaders Headers;
  Read(Headers, Volume);
  ASSERT_EQ(Headers.Count(), 3);
  EXPECT_EQ(Headers.GetFileHeaders(0).Record.FileName(), "a");
  EXPECT_EQ(Headers.GetFileHeaders(1).Record.FileName(), "b");
  EXPECT_EQ(Headers.GetFileHeaders(2).Record.FileName(), "a");
}

TEST(Catalogue, HugeCountFailsAtOnceWithoutExhaustingMemory) {
  // A chain that loops on itself would otherwise be followed 2^31 - 1 times.
  Bytes Volume = Prologue(0x7FFFFFFF, 0);
  Append(Volume, Record(Named("a", 5)));
  TFileHeaders Headers;
  const auto Start = std::chrono::steady_clock::now();
  EXPECT_THROW(Read(Headers, Volume), EVCFHCannotReadHeaders);
  EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(5));
  EXPECT_EQ(Headers.Count(), 0);
}

TEST(Catalogue, BlankNamesAreInvalid) {
  for (const std::string& Name : {std::string(), std::string("   "), std::string("\t\r\n \x01")}) {
    Bytes Volume = Prologue(2, 0);
    Append(Volume, Record(Named("good", 169)));
    Append(Volume, Record(Named(Name, 0)));
    TFileHeaders Headers;
    try {
      Read(Headers, Volume);
      FAIL();
    } catch (const EVCFHInvalidNewFileHeader& E) {
      EXPECT_EQ(E.Message(), "Tried to add an invalid file header");
    }
    EXPECT_EQ(Headers.Count(), 1);
  }
}

TEST(Catalogue, LengthBytesAboveTheSlotAreCappedAtTheSlot) {
  Bytes R = Record(Named("x", 0));
  R[20] = 200;  // FileName: 103 fit
  std::fill(R.begin() + 21, R.begin() + 124, 'n');
  R[141] = 255;  // Version: 22 fit
  std::fill(R.begin() + 142, R.end(), 'v');
  Bytes Volume = Prologue(1, 0);
  Append(Volume, R);
  Append(Volume, Bytes(64, 'z'));  // what lies beyond the record must never show
  TFileHeaders Headers;
  Read(Headers, Volume);
  EXPECT_EQ(Headers.GetFileHeaders(0).Record.FileName(), std::string(103, 'n'));
  EXPECT_EQ(Headers.GetFileHeaders(0).Record.Version(), std::string(22, 'v'));
}

TEST(Catalogue, ReadingAgainReplacesTheList) {
  Bytes Volume = Prologue(1, 7);
  Append(Volume, Record(Named("only", 0)));
  TFileHeaders Headers;
  Read(Headers, Volume);
  Read(Headers, Volume);
  EXPECT_EQ(Headers.Count(), 1);
  EXPECT_EQ(Headers.IndexOfName("ONLY;whatever"), 0);
  EXPECT_EQ(Headers.IndexOfName("onl"), -1);
}

}  // namespace
