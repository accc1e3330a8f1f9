// The catalogue reader over arbitrary bytes standing for volume 1.
#include <cstdint>
#include <vector>

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
  return 0;
}
