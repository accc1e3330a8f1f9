#include "tests/component/SealedMedia.h"

#include <stdexcept>

#include <varn/archive/PendingVolumes.h>
#include <varn/framework/Streams.h>
#include "tests/common/TestSupport.h"

namespace sealed_media {

varn::ArchivePlan Write(
    const std::string& Base, const std::vector<Member>& Members, int64_t VolumeSize, bool Seal,
    const std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)>& Sign) {
  varn::ArchiveWriter Writer;
  Writer.VolumeSize = VolumeSize;
  Writer.Seal = Seal;
  Writer.Sign = Sign;
  for (const Member& M : Members) {
    varn::ArchiveMember A;
    A.Name = M.Name;
    A.FileDate = 44000.5;
    A.Origin = M.Name;
    A.OpenData = [Data = M.Data] { return std::make_unique<varn::TMemoryStream>(Data); };
    Writer.Members.push_back(A);
  }
  return varn::WriteArchiveFiles(Writer, Base + ".1");
}

std::pair<int32_t, int64_t> Locate(const varn::ArchivePlan& Plan, int64_t Position) {
  if (Plan.VolumeSize == 0) return {1, Position};
  return {static_cast<int32_t>(Position / Plan.VolumeSize + 1), Position % Plan.VolumeSize};
}

void FlipByte(const std::string& Path, int64_t Offset, uint8_t Mask) {
  std::string Bytes = testing_support::ReadFile(Path);
  if (Offset < 0 || static_cast<size_t>(Offset) >= Bytes.size())
    throw std::out_of_range("no byte " + std::to_string(Offset) + " in " + Path);
  Bytes[static_cast<size_t>(Offset)] ^= static_cast<char>(Mask);
  testing_support::WriteFile(Path, Bytes);
}

}  // namespace sealed_media
