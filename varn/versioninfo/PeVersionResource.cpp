#include <varn/versioninfo/PeVersionResource.h>

#include <algorithm>

#include <varn/framework/platform/VersionInfo.h>
#include <varn/versioninfo/PeImage.h>

namespace varn::versioninfo {
namespace {

constexpr uint32_t MaximumBlockSize = 0xFFFF;

// Reads whole byte ranges of a stream; PeImage checks each against the size first.
bool ReadStream(TStream& File, uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes) {
  Bytes.assign(Count, 0);
  if (File.Seek(static_cast<int64_t>(Offset), TSeekOrigin::soBeginning) !=
      static_cast<int64_t>(Offset))
    return false;
  for (size_t Done = 0; Done < Count;) {
    const size_t Chunk = std::min<size_t>(Count - Done, 1u << 20);
    const int32_t Got = File.Read(Bytes.data() + Done, static_cast<int32_t>(Chunk));
    if (Got <= 0) return false;
    Done += static_cast<size_t>(Got);
  }
  return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadVersionResource(TStream& File) {
  const std::optional<PeImage> Image =
      PeImage::Open(static_cast<uint64_t>(std::max<int64_t>(File.Size(), 0)),
                    [&File](uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes) {
                      return ReadStream(File, Offset, Count, Bytes);
                    });
  if (!Image) return std::nullopt;
  return Image->ReadResource(PeImage::ResourceVersion, MaximumBlockSize,
                             platform::UserDefaultLanguage());
}

}  // namespace varn::versioninfo
