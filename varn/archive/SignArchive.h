#pragma once
// Signing a medium that exists already: volume 1 has the first file's data directly after the
// seal, so the signature block needs room the medium does not have. The medium is written anew
// through the archive writer and PendingVolumes, as varn pack writes one: the same catalogue
// entries (names, dates, versions, sizes), the same coded data copied as it is, the same seal
// of the files, with the block after it; the old volumes stay as they were until every new one
// is complete, and are then replaced whole. A medium packed with the same inputs by
// `varn pack --sign` has the same bytes but for the signature's own 64, which differ between
// any two signatures (ECDSA's random nonce). A signed medium is signed anew the same way.
//
// Nothing is signed that the seal does not vouch for: every file's coded data is decoded as it
// is copied and must give the size and the SHA-256 sealed for it.
#include <functional>
#include <string>
#include <vector>

#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/PendingVolumes.h>

namespace varn {

struct SignedArchive {
  ArchivePlan Plan;
  PendingVolumes::Outcome Replaced;
};

// Signs the medium of FirstVolume (any volume's name: its extension becomes ".1") with the
// blocks Sign makes of a seal's bytes (SignSeal of SigningKeys.h). The volume size is kept:
// that of volume 1 when the medium has more than one, none when it has one.
// Raises the component's catalogue errors (EVCCouldNotOpenCompressedFile, EVCFHCannotReadHeaders,
// EVCDamagedCatalogue, EVCDamagedSeal), EVCDamagedFile for a file whose data does not match the
// seal, EArchiveWriter for a medium without a seal this writer knows, a volume that cannot be
// opened, or entries that describe no data in the volumes, and whatever writing raises; in
// every case the medium stays as it was. Ends early, the same way, once platform::Interrupted()
// is true.
SignedArchive SignArchiveFiles(
    const std::string& FirstVolume,
    const std::function<std::vector<uint8_t>(const std::vector<uint8_t>& SealBytes)>& Sign);

}  // namespace varn
