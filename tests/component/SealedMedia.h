#pragma once
// Sealed (or unsealed) media written by the project's writer into files, and single-byte damage
// to them, for the tests of the seal check in the component, the loader and the tools.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <varn/archive/ArchiveWriter.h>

namespace sealed_media {

struct Member {
  std::string Name;
  std::vector<uint8_t> Data;
};

// Writes Base.1, Base.2, ... in volumes of VolumeSize bytes (0: one volume), every member
// dated 18 June 2020, 12:00 local time, the first one the program; signed by Sign when given
// (ArchiveWriter::Sign).
varn::ArchivePlan Write(
    const std::string& Base, const std::vector<Member>& Members, int64_t VolumeSize,
    bool Seal = true,
    const std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)>& Sign = {});

// Where byte Position of the run of all volumes lies: volume number and offset in it.
std::pair<int32_t, int64_t> Locate(const varn::ArchivePlan& Plan, int64_t Position);

// XORs the byte at Offset of the file with Mask.
void FlipByte(const std::string& Path, int64_t Offset, uint8_t Mask = 0xFF);

}  // namespace sealed_media
