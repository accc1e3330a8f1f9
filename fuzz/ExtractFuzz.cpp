// A whole extraction of a fuzzed volume set into a scratch directory. Whatever the volumes
// hold, the run ends with the library's own exceptions or none, leaves the volumes as they
// were, and writes nothing but plain files directly inside the extraction directory.
//
// Input: a flag byte, the lengths of volume 1 (the catalogue and the data after it) and of
// volume 2 as 16-bit little-endian numbers, then the bytes of the volumes; volume 3 is the rest.
// Flags: bits 0-1 the volumes written (1, 2, 3, or 3 with volume 2 missing); bits 2-4 the
// overwrite mode; bit 5 an OnNewDisk handler that names the archive's own directory again;
// bit 6 a file already at every target; bit 7 a stop requested at the first status report.
// The seal is always checked, as the loader checks it; media without one are unaffected.
//
// Built with VARN_FUZZ_RESEAL (the target "resealed") it first seals the volumes it was given:
// the catalogue then names a seal that holds the digests of the catalogue and of what each entry
// decodes to, so that mutations reach what lies behind the seal's own checks.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/TargetPath.h>
#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/platform/Platform.h>
#include "fuzz/FuzzCheck.h"
#include "tests/common/TreeSnapshot.h"
#include "varn/support/ByteReader.h"

using namespace varn;

namespace fs = std::filesystem;
using testing_support::SnapshotTree;
using testing_support::TreeDifferencesOutside;
using testing_support::TreeSnapshot;

namespace {

// One scratch directory per process, removed at exit; every run starts from an empty one.
class Scratch {
 public:
  Scratch() {
    std::random_device Random;
    do {
      FBase = fs::temp_directory_path() / ("varn-fuzz-extract-" + std::to_string(Random()));
    } while (!fs::create_directory(FBase));
  }
  ~Scratch() {
    std::error_code Ignored;
    fs::remove_all(FBase, Ignored);
  }
  const fs::path& Base() const { return FBase; }

 private:
  fs::path FBase;
};

void WriteBytes(const fs::path& Path, const uint8_t* Data, size_t Size) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
}

std::string Internal(const fs::path& Path) {
  return platform::InternalPath(Path.string());
}

#ifdef VARN_FUZZ_RESEAL
// Decodes entries as an extraction does, into a digest instead of a file.
class TDigester : public TVarnCompress {
 public:
  TSealDigest Digest(const std::string& Name) {
    FHash = std::make_unique<platform::Sha256>();
    FilesToProcess().push_back(Name);
    try {
      Extract();
    } catch (const Exception&) {
    }
    TSealDigest Result{};
    FHash->Finish(Result);
    return Result;
  }

 protected:
  class HashingStream : public TStream {
   public:
    explicit HashingStream(platform::Sha256& Hash) : FHash(Hash) {}
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* Buffer, int32_t Count) override {
      FHash.Update(Buffer, static_cast<size_t>(Count));
      FSize += Count;
      return Count;
    }
    int64_t Seek(int64_t, TSeekOrigin Origin) override {
      return Origin == TSeekOrigin::soEnd ? FSize : 0;
    }

   private:
    platform::Sha256& FHash;
    int64_t FSize = 0;
  };
  std::unique_ptr<TStream> CreateDestination(const std::string&) override {
    return std::make_unique<HashingStream>(*FHash);
  }
  bool SetDestinationDate(TStream&, int32_t) override { return true; }

 private:
  std::unique_ptr<platform::Sha256> FHash;
};

// Seals volume 1 of Archive as the writer would: the last record of the chain names the seal
// after the records, which holds the catalogue's digest and each entry's.
void Reseal(const fs::path& Archive, const uint8_t* Volume, size_t Size) {
  std::vector<uint8_t> Bytes(Volume, Volume + Size);
  TMemoryStream Stream(Bytes);
  TFileHeaders Headers;
  try {
    Headers.ReadFromStream(Stream);
  } catch (const Exception&) {
    return;
  }
  const int32_t Count = Headers.Count();
  if (Count == 0) return;
  const auto Room = static_cast<size_t>(CatalogueSize(Count));
  Bytes.resize(std::max(Bytes.size(), Room + static_cast<size_t>(seal::SizeFor(Count))));
  size_t Last = CataloguePrologueSize;
  for (int32_t I = 1; I < Count; ++I)
    Last = static_cast<size_t>(bytes::LoadI32(&Bytes[Last + TFileHeaderRecord::NextHeaderOffset]));
  bytes::StoreI32(&Bytes[Last + TFileHeaderRecord::NextHeaderOffset], static_cast<int32_t>(Room));

  TArchiveSeal Seal;
  Seal.FileHashes.resize(static_cast<size_t>(Count));
  const auto Place = [&] {
    Seal.CatalogueHash = CatalogueDigest(std::vector<uint8_t>(Bytes.begin(), Bytes.begin() + Room));
    const std::vector<uint8_t> Encoded = EncodeSeal(Seal);
    std::copy(Encoded.begin(), Encoded.end(), Bytes.begin() + static_cast<std::ptrdiff_t>(Room));
    WriteBytes(Archive / "setup.1", Bytes.data(), Bytes.size());
  };
  Place();  // first, so that what the entries decode to is what they decode to with the seal
  // Pointing the last record at the seal can break a chain that loops back onto itself; such
  // input stays sealed with empty file hashes, which the reader must still judge sanely.
  try {
    for (int32_t I = 0; I < Count; ++I) {
      TDigester Digester;
      Digester.SetCompressedFile(Internal(Archive / "setup.1"));
      if (Digester.FileCount() != Count) return;
      Seal.FileHashes[static_cast<size_t>(I)] =
          Digester.Digest(Digester.Headers().GetFileHeaders(I).Record.FileName());
    }
  } catch (const Exception&) {
    return;
  }
  Place();
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static Scratch Scratch;
  if (Size < 5) return 0;
  const uint8_t Flags = Data[0];
  const size_t Volume1 = std::min<size_t>(Data[1] | Data[2] << 8, Size - 5);
  const size_t Volume2 = std::min<size_t>(Data[3] | Data[4] << 8, Size - 5 - Volume1);
  const uint8_t* Bytes = Data + 5;
  const size_t Volume3 = Size - 5 - Volume1 - Volume2;

  const fs::path Run = Scratch.Base() / "run";
  const fs::path Archive = Run / "archive";
  const fs::path Out = Run / "out";
  std::error_code Ignored;
  fs::remove_all(Run, Ignored);
  fs::create_directories(Archive);
  fs::create_directories(Out);

  const int Layout = Flags & 3;
  WriteBytes(Archive / "setup.1", Bytes, Volume1);
  if (Layout == 1 || Layout == 2) WriteBytes(Archive / "setup.2", Bytes + Volume1, Volume2);
  if (Layout >= 2) WriteBytes(Archive / "setup.3", Bytes + Volume1 + Volume2, Volume3);
#ifdef VARN_FUZZ_RESEAL
  Reseal(Archive, Bytes, Volume1);
#endif

  TVarnCompress C;
  C.SetCompressedFile(Internal(Archive / "setup.1"));
  C.ExtractDirectory = Internal(Out);
  C.Overwrite = static_cast<TOverwriteType>((Flags >> 2 & 7) % 5);
  C.CheckSeal = true;
  if (Flags & 0x20) {
    const std::string Directory = Internal(Archive);
    C.OnNewDisk = [Directory](TVarnCompress&, int32_t, std::string& Path) { Path = Directory; };
  }
  if (Flags & 0x80) C.OnStatus = [](TVarnCompress& VC, const TlzhFileStats&) { VC.Abort = true; };

  try {
    C.ReadHeaders();
  } catch (const EVCFHCannotReadHeaders&) {
    return 0;
  } catch (const EVCDamaged& E) {
    FUZZ_CHECK(!C.CatalogueLoaded());
    FUZZ_CHECK(E.FileName == C.CompressedFile());
    return 0;
  } catch (const EVCCouldNotOpenCompressedFile&) {
    FUZZ_CHECK(false);  // volume 1 is there
  }
  for (int32_t I = 0; I < C.Headers().Count(); ++I) {
    const std::string Name = C.Headers().GetFileHeaders(I).Record.FileName();
    C.FilesToProcess().push_back(Name);
    const std::string Target = TargetFileName(Name);
    if ((Flags & 0x40) && IsSafeTargetName(Target)) {
      const uint8_t Old[] = {'o', 'l', 'd'};
      std::ofstream(platform::NativePath(C.ExtractDirectory + "\\" + Target), std::ios::binary)
          .write(reinterpret_cast<const char*>(Old), sizeof Old);
    }
  }

  const TreeSnapshot Before = SnapshotTree(Scratch.Base());
  try {
    C.Extract();
  } catch (const Exception&) {
    // Every failure is one of the library's clear errors; anything else escapes and is a
    // finding.
    FUZZ_CHECK(C.Abort);
  }
  FUZZ_CHECK(C.FilesToProcess().empty());
  FUZZ_CHECK(C.TargetName.empty());

  const TreeSnapshot After = SnapshotTree(Scratch.Base());
  FUZZ_CHECK(TreeDifferencesOutside(Before, After, "run/out").empty());
  for (const auto& Entry : fs::directory_iterator(Out))
    FUZZ_CHECK(Entry.symlink_status().type() == fs::file_type::regular);
  return 0;
}
