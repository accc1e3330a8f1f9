#include <varn/versioninfo/LoadVersionBlock.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <varn/framework/Exceptions.h>
#include <varn/framework/Streams.h>
#include <varn/framework/platform/VersionInfo.h>
#include <varn/versioninfo/PeVersionResource.h>
#include <varn/versioninfo/ResourceVersionBlock.h>

namespace varn::versioninfo {
namespace {

// A block loaded by GetVersionInfo, answered by the platform's QueryVersionValue. The interface
// hands back bare pointers, so each answer is checked to lie within the buffer before it is
// read: a corrupt file must not make us read past it.
class ApiVersionBlock : public VersionBlock {
 public:
  explicit ApiVersionBlock(std::vector<uint8_t> Buffer) : FBuffer(std::move(Buffer)) {}

  std::optional<FixedFileInfoRecord> FixedFileInfo() const override {
    const void* Value = nullptr;
    uint32_t Length = 0;
    if (!platform::QueryVersionValue(FBuffer.data(), "\\", Value, Length)) return std::nullopt;
    const size_t Available = BytesFrom(Value);
    return FixedFileInfoRecord::Decode(static_cast<const uint8_t*>(Value),
                                       std::min<size_t>(Length, Available));
  }

  std::optional<std::string> QueryString(const std::string& KeyPath) const override {
    const void* Value = nullptr;
    uint32_t Length = 0;
    if (!platform::QueryVersionValue(FBuffer.data(), KeyPath, Value, Length)) return std::nullopt;
    const size_t Available = BytesFrom(Value);
    if (Available == 0) return std::nullopt;
    const char* Text = static_cast<const char*>(Value);
    const void* Terminator = std::memchr(Text, 0, Available);
    return std::string(Text, Terminator ? static_cast<const char*>(Terminator) - Text : Available);
  }

 private:
  // How many bytes of the buffer there are from Value on; 0 when it points elsewhere.
  size_t BytesFrom(const void* Value) const {
    const auto Address = reinterpret_cast<uintptr_t>(Value);
    const auto Start = reinterpret_cast<uintptr_t>(FBuffer.data());
    if (Address < Start || Address >= Start + FBuffer.size()) return 0;
    return Start + FBuffer.size() - Address;
  }

  std::vector<uint8_t> FBuffer;
};

}  // namespace

std::unique_ptr<VersionBlock> LoadVersionBlock(const std::string& FileName) {
  if (platform::VersionInfoApiAvailable()) return LoadVersionBlockThroughApi(FileName);
  return LoadVersionBlockFromFile(FileName);
}

std::unique_ptr<VersionBlock> LoadVersionBlockFromFile(const std::string& FileName) {
  std::optional<std::vector<uint8_t>> Block;
  try {
    TFileStream File(FileName, TFileMode::fmOpenReadShared);
    Block = ReadVersionResource(File);
  } catch (const EStreamError&) {
    return nullptr;
  }
  if (!Block) return nullptr;
  return std::make_unique<ResourceVersionBlock>(std::move(*Block));
}

std::unique_ptr<VersionBlock> LoadVersionBlockThroughApi(const std::string& FileName) {
  uint32_t Handle = 0;
  const uint32_t Size = platform::GetVersionInfoSize(FileName, Handle);
  if (Size == 0) return nullptr;
  std::vector<uint8_t> Buffer(Size);
  if (!platform::GetVersionInfo(FileName, Handle, Size, Buffer.data())) return nullptr;
  return std::make_unique<ApiVersionBlock>(std::move(Buffer));
}

}  // namespace varn::versioninfo
