#include <varn/framework/Streams.h>

#include <gtest/gtest.h>

#include <tuple>

#include <varn/framework/DateTime.h>
#include <varn/framework/Exceptions.h>
#include "tests/common/TestSupport.h"

using namespace varn;

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(MemoryStream, ReadsWritesAndSeeksWithinBounds) {
  TMemoryStream S;
  EXPECT_EQ(S.Write("hello", 5), 5);
  EXPECT_EQ(S.Size(), 5);
  EXPECT_EQ(S.Position(), 5);
  EXPECT_EQ(S.Seek(-2, TSeekOrigin::soEnd), 3);
  char Buffer[8] = {};
  EXPECT_EQ(S.Read(Buffer, 8), 2);
  EXPECT_EQ(std::string(Buffer, 2), "lo");
  EXPECT_EQ(S.Read(Buffer, 8), 0);
  EXPECT_EQ(S.Seek(-1, TSeekOrigin::soBeginning), -1);
  EXPECT_EQ(S.Position(), 5);
  S.SetPosition(100);
  EXPECT_EQ(S.Read(Buffer, 1), 0);
  S.SetPosition(0);
  EXPECT_THROW(S.ReadBuffer(Buffer, 6), EReadError);
}

TEST(FileStream, CreatesTruncatesAndReadsBack) {
  TempDir Dir;
  const std::string Path = Dir / "f.bin";
  WriteFile(Path, std::string(100, 'x'));
  {
    TFileStream Out(Path, TFileMode::fmCreate);
    EXPECT_EQ(Out.Size(), 0);
    Out.WriteBuffer("abc", 3);
  }
  EXPECT_EQ(ReadFile(Path), "abc");
  TFileStream In(Path, TFileMode::fmOpenReadShared);
  EXPECT_EQ(In.Seek(1, TSeekOrigin::soBeginning), 1);
  char Buffer[4] = {};
  EXPECT_EQ(In.Read(Buffer, 4), 2);
  EXPECT_EQ(std::string(Buffer, 2), "bc");
  EXPECT_EQ(In.Write("z", 1), 0);  // read-only
  EXPECT_EQ(In.Seek(-10, TSeekOrigin::soCurrent), -1);
}

TEST(BufferedFileStream, ReadsSeeksAndWritesAsAFileStreamDoes) {
  TempDir Dir;
  const std::string Path = Dir / "f.bin";
  std::string Content;
  for (int I = 0; I < 100; ++I)
    Content += static_cast<char>('0' + I % 64);
  WriteFile(Path, Content);
  TBufferedFileStream S(Path, TFileMode::fmCreate, 16);
  S.WriteBuffer(Content.data(), static_cast<int32_t>(Content.size()));
  S.SetPosition(0);

  // Reads smaller than, across and larger than the buffer, each from where the last one ended.
  std::string Got;
  for (int32_t Step : {3, 13, 5, 40, 1, 30, 50}) {
    char Buffer[64];
    const int32_t N = S.Read(Buffer, Step);
    Got.append(Buffer, static_cast<size_t>(N));
    EXPECT_EQ(S.Position(), static_cast<int64_t>(Got.size()));
  }
  EXPECT_EQ(Got, Content);

  // Seeks within what was read ahead, behind it, before it and from the end.
  char C = 0;
  S.SetPosition(20);
  S.ReadBuffer(&C, 1);
  for (const auto& [Offset, Origin, Expected] : {std::tuple{2, TSeekOrigin::soCurrent, 23},
                                                 {-6, TSeekOrigin::soCurrent, 18},
                                                 {50, TSeekOrigin::soCurrent, 69},
                                                 {-30, TSeekOrigin::soCurrent, 40},
                                                 {-1, TSeekOrigin::soEnd, 99},
                                                 {5, TSeekOrigin::soBeginning, 5}}) {
    EXPECT_EQ(S.Seek(Offset, Origin), Expected);
    S.ReadBuffer(&C, 1);
    EXPECT_EQ(C, Content[static_cast<size_t>(Expected)]) << Offset;
  }
  EXPECT_EQ(S.Seek(-100, TSeekOrigin::soCurrent), -1);
  EXPECT_EQ(S.Position(), 6);

  // A write lands where the reader stands, not where the read-ahead left the file.
  S.WriteBuffer("##", 2);
  EXPECT_EQ(S.Position(), 8);
  EXPECT_EQ(S.Size(), 100);
  S.SetPosition(0);
  Got.assign(100, ' ');
  S.ReadBuffer(Got.data(), 100);
  EXPECT_EQ(Got, Content.substr(0, 6) + "##" + Content.substr(8));
}

TEST(FileStream, ReportsWhatCannotBeOpenedOrCreated) {
  TempDir Dir;
  try {
    TFileStream S(Dir / "missing", TFileMode::fmOpenReadShared);
    FAIL();
  } catch (const EFOpenError& E) {
    EXPECT_EQ(E.Message(), "Cannot open file " + (Dir / "missing"));
  }
  // A directory is no file, neither to open nor to create.
  EXPECT_THROW(TFileStream(Dir.Path(), TFileMode::fmOpenReadShared), EFOpenError);
  EXPECT_THROW(TFileStream(Dir.Path(), TFileMode::fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(Dir / "no\\such\\dir", TFileMode::fmCreate), EFCreateError);
}

TEST(FileStream, KeepsFileDatesToTwoSeconds) {
  TempDir Dir;
  TFileStream S(Dir / "dated", TFileMode::fmCreate);
  const int32_t Date = DateTimeToFileDate(EncodeDate(2021, 3, 4) + EncodeTime(5, 6, 7, 0));
  ASSERT_TRUE(S.SetFileDate(Date));
  EXPECT_EQ(S.GetFileDate(), Date);
  EXPECT_EQ(FileDateToDateTime(S.GetFileDate()), EncodeDate(2021, 3, 4) + EncodeTime(5, 6, 6, 0));
  // The packed value 0 (a date outside the packed range) names no valid date.
  EXPECT_FALSE(S.SetFileDate(0));
}

}  // namespace
