// The seal check of the file just decoded.
#include <varn/archive/cmp_TVarnCompress.h>

namespace varn {

void TVarnCompress::CheckSealOfCurrentFile() {
  TSealDigest Digest{};
  if (!FOutputHash->Finish(Digest)) throw EVCCannotCheckSeal();
  FOutputHash.reset();
  const std::vector<TSealDigest>& Sealed = FSeal.Seal.FileHashes;
  const auto Index = static_cast<size_t>(FCurrentIndex);
  if (FCurrentIndex < 0 || Index >= Sealed.size() || Sealed[Index] != Digest)
    throw EVCDamagedFile(FCurrentHeader->Record.FileName());
}

}  // namespace varn
