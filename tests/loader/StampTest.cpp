// varn stamp's library part on real programs: the loader of this build (ELF natively, PE under
// Wine) and a Windows program of the version-information fixtures given a key block. The key
// goes into the block and nowhere else, a PE's CheckSum is made right, and what cannot be
// stamped is refused.
#include <varn/archive/ProgramStamp.h>

#include <gtest/gtest.h>

#include <functional>

#include <varn/archive/SigningKeys.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/ByteReader.h>
#include <varn/support/PathHelpers.h>
#include <varn/versioninfo/PeImage.h>
#include "tests/common/TestKeys.h"
#include "tests/common/TestSupport.h"

using namespace varn;

namespace {

using Bytes = std::vector<uint8_t>;
using versioninfo::PeImage;

Bytes ReadBeside(const std::string& Relative) {
  const std::string Text =
      testing_support::ReadFile(DirectoryPart(platform::ModuleFileName()) + Relative);
  return Bytes(Text.begin(), Text.end());
}

const TPublisherKey& TestKey() {
  static const TPublisherKey Key = ReadPublicKeyPem(test_keys::PublicPem, "test.pub");
  return Key;
}

std::optional<PeImage> OpenPe(const Bytes& File) {
  return PeImage::Open(File.size(), [&File](uint64_t Offset, size_t Count, Bytes& Out) {
    if (Offset > File.size() || Count > File.size() - Offset) return false;
    Out.assign(File.begin() + static_cast<std::ptrdiff_t>(Offset),
               File.begin() + static_cast<std::ptrdiff_t>(Offset + Count));
    return true;
  });
}

// A Windows program of the fixtures with an empty key block written over its bytes at Offset.
Bytes FixtureWithKeyBlock(size_t Offset) {
  Bytes File = ReadBeside("..\\versioninfo\\fixtures\\app.exe");
  std::fill_n(File.begin() + static_cast<std::ptrdiff_t>(Offset), key_block::Size, 0);
  std::copy(std::begin(key_block::Marker), std::end(key_block::Marker),
            File.begin() + static_cast<std::ptrdiff_t>(Offset));
  return File;
}

// Stamps Program twice and checks every byte of it.
void StampsOnlyTheKey(const Bytes& Program, decltype(TProgramKeyBlock::Format) Format) {
  const TProgramKeyBlock Block = FindProgramKeyBlock(Program, "program");
  EXPECT_EQ(Block.Format, Format);
  EXPECT_EQ(Block.Stamp.State, TStampedKey::Unstamped);
  const std::optional<PeImage> Pe = OpenPe(Program);
  const size_t CheckSum = Pe ? static_cast<size_t>(Pe->CheckSumOffset()) : Program.size();

  Bytes Stamped = Program;
  EXPECT_EQ(StampProgram(Stamped, TestKey(), "program").State, TStampedKey::Unstamped);
  ASSERT_EQ(Stamped.size(), Program.size());
  for (size_t At = 0; At < Program.size(); ++At) {
    const bool InBlock =
        At >= Block.Offset + key_block::LengthOffset && At < Block.Offset + key_block::Size;
    if (!InBlock && (At < CheckSum || At >= CheckSum + 4)) {
      ASSERT_EQ(Stamped[At], Program[At]) << "byte " << At << " outside the key block";
    }
  }
  if (Pe) {
    EXPECT_EQ(bytes::LoadU32(&Stamped[CheckSum]), PeImage::CheckSum(Stamped, CheckSum));
  }
  const TStampedKey Now = FindProgramKeyBlock(Stamped, "program").Stamp;
  ASSERT_EQ(Now.State, TStampedKey::Stamped);
  EXPECT_EQ(*Now.Key, TestKey());

  // Stamped anew with another key: the old one is reported and gone.
  const TPublisherKey Other = GenerateSigningKey().Public;
  const TStampedKey Before = StampProgram(Stamped, Other, "program");
  EXPECT_EQ(Before.Key, TestKey());
  EXPECT_EQ(FindProgramKeyBlock(Stamped, "program").Stamp.Key, Other);
}

TEST(ProgramStamp, TheLoaderOfThisBuildTakesTheKeyInItsBlockAlone) {
  StampsOnlyTheKey(ReadBeside("..\\..\\loader\\" VARN_LOADER_FILE_NAME),
                   VARN_LOADER_IS_PE ? TProgramKeyBlock::Pe : TProgramKeyBlock::Elf);
}

TEST(ProgramStamp, AWindowsProgramWithABlockGetsARightCheckSum) {
  const Bytes Program = FixtureWithKeyBlock(1024);
  const std::optional<PeImage> Pe = OpenPe(Program);
  ASSERT_TRUE(Pe);
  // The linker's CheckSum of the fixture, with the block written in, no longer holds.
  ASSERT_NE(bytes::LoadU32(&Program[Pe->CheckSumOffset()]),
            PeImage::CheckSum(Program, Pe->CheckSumOffset()));
  StampsOnlyTheKey(Program, TProgramKeyBlock::Pe);
}

TEST(ProgramStamp, WhatCannotBeStampedIsRefused) {
  const Bytes Fixture = ReadBeside("..\\versioninfo\\fixtures\\app.exe");
  const auto Signed = [] {
    Bytes File = FixtureWithKeyBlock(1024);
    const std::optional<PeImage> Pe = OpenPe(File);
    // The data directories begin 96 (PE32) or 112 (PE32+) bytes into the optional header,
    // whose CheckSum lies at 64.
    const size_t Directories = Pe->CheckSumOffset() + (Pe->IsPe32Plus() ? 48 : 32);
    bytes::StoreU32(&File[Directories + 8 * PeImage::DirectorySecurity], 0x4000);
    bytes::StoreU32(&File[Directories + 8 * PeImage::DirectorySecurity + 4], 0x800);
    EXPECT_TRUE(OpenPe(File)->HasDirectory(PeImage::DirectorySecurity));
    return File;
  };
  const auto TwoBlocks = [] {
    Bytes File = FixtureWithKeyBlock(1024);
    std::copy(std::begin(key_block::Marker), std::end(key_block::Marker), File.begin() + 2048);
    return File;
  };
  const auto CutShort = [&Fixture] {
    Bytes File = FixtureWithKeyBlock(Fixture.size() - key_block::Size);
    File.pop_back();
    return File;
  };
  const struct {
    const char* Name;
    Bytes File;
    const char* Message;
  } Cases[] = {
      {"no program", Bytes{'M', 'Z', 'n', 'o'}, "p is no Windows or Linux program"},
      {"a program without a block", Fixture,
       "p has no block for a publisher's key: it is no loader of varn that checks signed media"},
      {"two blocks", TwoBlocks(), "p has more than one block for a publisher's key"},
      {"a block cut short", CutShort(), "p has its block for a publisher's key cut short"},
      {"signed already", Signed(),
       "p is signed (Authenticode) already, and stamping would break its signature: stamp the "
       "program first, then sign it"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Bytes File = C.File;
    try {
      StampProgram(File, TestKey(), "p");
      ADD_FAILURE() << "stamped";
    } catch (const EProgramStamp& E) {
      EXPECT_EQ(E.Message(), C.Message);
    }
  }
}

}  // namespace
