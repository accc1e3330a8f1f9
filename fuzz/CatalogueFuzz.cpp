// The catalogue reader and the seal reader over arbitrary bytes standing for volume 1.
#include <cstdint>
#include <vector>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/cmp_TFileHeaders.h>
#include "fuzz/FuzzCheck.h"

using namespace varn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream Stream(std::vector<uint8_t>(Data, Data + Size));
  TFileHeaders Headers;
  try {
    Headers.ReadFromStream(Stream);
  } catch (const EVCFH&) {
    // A clear error; the headers read before it stay and must be as sound as any others.
  }
  const int64_t MostRecords = Size < 5 ? 0 : static_cast<int64_t>(Size - 5) / 164;
  FUZZ_CHECK(Headers.Count() >= 0 && Headers.Count() <= MostRecords);
  for (int32_t I = 0; I < Headers.Count(); ++I) {
    const TFileHeader& Header = Headers.GetFileHeaders(I);
    FUZZ_CHECK(Header.IsValid());
    FUZZ_CHECK(Header.Record.FileName().size() <= TFileHeaderRecord::FileNameMax);
    FUZZ_CHECK(Header.Record.Version().size() <= TFileHeaderRecord::VersionMax);
    TlzhFileStats Stats;
    Header.CopyToStats(Stats);
    FUZZ_CHECK(Stats.FileName == Header.Record.FileName());
    // The lookup ignores what follows a ';', so only a name without one is found by itself.
    if (Header.Record.FileName().find(';') == std::string::npos) {
      const int32_t Found = Headers.IndexOfName(Header.Record.FileName() + ";1");
      FUZZ_CHECK(Found >= 0 && Found <= I);
    }
  }
  TlzhFileStats Stats;
  Headers.ResetStats(Stats);

  // A seal reads whole within the volume, matching its catalogue, or fails clearly.
  try {
    const TSealReading Seal = ReadArchiveSeal(Stream, "setup.1");
    if (Seal.State == TSealState::Present) {
      const int32_t Count =
          Size < 4 ? 0
                   : static_cast<int32_t>(Data[0] | Data[1] << 8 | Data[2] << 16 | Data[3] << 24);
      FUZZ_CHECK(Seal.Offset == 5 + 164 * static_cast<int64_t>(Count < 0 ? 0 : Count));
      FUZZ_CHECK(static_cast<int64_t>(Seal.Seal.FileHashes.size()) == (Count < 0 ? 0 : Count));
      FUZZ_CHECK(Seal.Offset + seal::SizeFor(Count < 0 ? 0 : Count) <= static_cast<int64_t>(Size));
    }
  } catch (const EVCDamaged&) {
  }
  return 0;
}
