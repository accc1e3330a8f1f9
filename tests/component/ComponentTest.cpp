#include <gtest/gtest.h>

#include <varn/archive/cmp_TVarnCompress.h>
#include "tests/common/TestSupport.h"
#include "tests/component/HandLaidArchive.h"

using namespace varn;

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

template <typename E>
std::string MessageOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const E& Error) {
    return Error.Message();
  }
  return "<nothing raised>";
}

TEST(Component, CompressedFileAlwaysNamesVolumeOne) {
  TVarnCompress C;
  C.SetCompressedFile("C:\\inst\\setup.exe");
  EXPECT_EQ(C.CompressedFile(), "C:\\inst\\setup.1");
  C.SetCompressedFile("C:\\inst\\setup");
  EXPECT_EQ(C.CompressedFile(), "C:\\inst\\setup.1");
  C.SetCompressedFile("D:\\dir.x\\setup.7");
  EXPECT_EQ(C.CompressedFile(), "D:\\dir.x\\setup.1");
}

TEST(Component, AnotherSpellingOfTheSameArchiveKeepsTheCatalogue) {
  TempDir Dir;
  hand_laid::Write(Dir / "setup", {hand_laid::LiteralEntry("a.txt", hand_laid::Bytes("a"))});
  TVarnCompress C;
  C.SetCompressedFile(Dir / "setup.1");
  C.ReadHeaders();
  ASSERT_TRUE(C.CatalogueLoaded());
  std::string Upper = Dir / "SETUP.1";
  for (char& Ch : Upper)
    if (Ch >= 'a' && Ch <= 'z') Ch = static_cast<char>(Ch - 32);
  C.SetCompressedFile(Upper);
  EXPECT_TRUE(C.CatalogueLoaded());
  EXPECT_EQ(C.CompressedFile(), Dir / "setup.1");
  C.SetCompressedFile(Dir / "other.1");
  EXPECT_FALSE(C.CatalogueLoaded());
}

TEST(Component, ReadHeadersReportsMissingAndUnreadableArchives) {
  TVarnCompress Fresh;
  EXPECT_EQ(MessageOf<EVCCouldNotOpenCompressedFile>([&] { Fresh.ReadHeaders(); }),
            "Could not open the compressed file. The following value is the current value of "
            "the CompressedFile property: ");

  TempDir Dir;
  TVarnCompress C;
  C.SetCompressedFile(Dir / "missing.1");
  EXPECT_EQ(MessageOf<EVCCouldNotOpenCompressedFile>([&] { C.FileCount(); }),
            "Could not open the compressed file. The following value is the current value of "
            "the CompressedFile property: " +
                (Dir / "missing.1"));

  // Any failure of the catalogue read becomes EVCFHCannotReadHeaders, and the next call
  // tries again.
  WriteFile(Dir / "short.1", std::string("\x01\x00", 2));
  C.SetCompressedFile(Dir / "short.1");
  for (int Attempt = 0; Attempt < 2; ++Attempt) {
    EXPECT_EQ(MessageOf<EVCFHCannotReadHeaders>([&] { C.FileCount(); }),
              "Could not read the file headers for the compressed file. The Archive file could "
              "possible be corrupt.");
    EXPECT_FALSE(C.CatalogueLoaded());
  }
  auto Blank = hand_laid::LiteralEntry("   ", hand_laid::Bytes("x"));
  hand_laid::Write(Dir / "blank", {hand_laid::LiteralEntry("ok", hand_laid::Bytes("x")), Blank});
  C.SetCompressedFile(Dir / "blank.1");
  EXPECT_THROW(C.ReadHeaders(), EVCFHCannotReadHeaders);
  EXPECT_EQ(C.Headers().Count(), 1);  // what was read before the failure stays
}

TEST(Component, GetFileStatsDescribesOneFileAndTheWholeCatalogue) {
  TempDir Dir;
  auto A = hand_laid::ZeroEntry("a", 50);
  A.OriginalSize = 100;
  auto B = hand_laid::ZeroEntry("b", 150);
  B.OriginalSize = 300;
  auto Empty = hand_laid::LiteralEntry("e", {});
  hand_laid::Write(Dir / "setup", {A, B, Empty});
  TVarnCompress C;
  C.SetCompressedFile(Dir / "setup.1");

  const TlzhFileStats S = C.GetFileStats(0);
  EXPECT_EQ(S.FileName, "a");
  EXPECT_EQ(S.CompressionRatio, 50);
  EXPECT_EQ(S.TotalOriginalSize, 400);
  EXPECT_EQ(S.TotalCompressedSize, 200);
  EXPECT_EQ(S.TotalCompressionRatio, 50);
  EXPECT_EQ(S.TotalPercent, 0);
  EXPECT_EQ(S.PercentDone, 0);
  EXPECT_FALSE(S.FileDone);
  EXPECT_EQ(S.Header.DataStart(), 5 + 3 * 164);
  EXPECT_EQ(C.GetFileStats(2).CompressionRatio, 0);  // OriginalSize 0

  EXPECT_EQ(MessageOf<Exception>([&] { C.GetFileStats(3); }),
            "Tried to access the 3th file. This file is not defined");
  EXPECT_EQ(MessageOf<Exception>([&] { C.GetFileStats(-1); }),
            "Tried to access the -1th file. This file is not defined");
}

TEST(Component, SettingFilesToProcessDropsBlankEntriesFromBothLists) {
  TVarnCompress C;
  std::vector<std::string> Names = {"a", " \t", "", "b"};
  C.SetFilesToProcess(Names);
  EXPECT_EQ(C.FilesToProcess(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Names, (std::vector<std::string>{"a", "b"}));
  std::vector<std::string> Padded = {" a "};
  C.SetFilesToProcess(Padded);
  EXPECT_EQ(C.FilesToProcess(), (std::vector<std::string>{" a "}));  // kept untrimmed
}

TEST(Component, DiskFullRaisesOnlyWithoutAHandler) {
  TVarnCompress C;
  EXPECT_EQ(MessageOf<EVCDiskFull>([&] { C.DiskFull(); }), "Disk is full");
  int Calls = 0;
  C.OnFullDisk = [&](TComponent& Sender) {
    EXPECT_EQ(&Sender, &C);
    ++Calls;
  };
  EXPECT_NO_THROW(C.DiskFull());
  EXPECT_EQ(Calls, 1);
}

TEST(Component, HandlersOutsideAnExtractionReportTheMissingStreams) {
  TVarnCompress C;
  EXPECT_EQ(MessageOf<Exception>([&] { C.Decompress(); }),
            "Sourcefile is nil in ExtractOnReadBuffer");
}

TEST(Component, ExceptionsCarryTheirNames) {
  EVCCouldNotCreateFile Create("C:\\x");
  EXPECT_EQ(Create.FileName, "C:\\x");
  EXPECT_EQ(Create.Message(), "Could not create the file C:\\x");
  EVCWrongDecompressedSize Size("a.exe");
  EXPECT_EQ(Size.Message(),
            "The decompressed file's size does not match with the actual size the file.  The "
            "file is a.exe");
  EVCFHFileNotInArchive Missing("x;1");
  EXPECT_EQ(Missing.FileName, "x;1");
  EXPECT_EQ(Missing.Message(), "The following file was not found in the archive: x;1");
  EVCCouldNotOpenCompressedFile Open("v.1");
  EXPECT_EQ(Open.FileName, "");
  EXPECT_EQ(EVCStop().Message(), "Operation aborted by user");
  EXPECT_EQ(EVCFHInvalidNewFileHeader().Message(), "Tried to add an invalid file header");
  EXPECT_EQ(EVCFHCannotReadHeaderCount().Message(),
            "Could not read the file header count for the compressed file");
}

}  // namespace
