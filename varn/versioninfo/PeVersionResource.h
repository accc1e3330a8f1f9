#pragma once
// Finds the version resource of a PE file (PE32 or PE32+): the RT_VERSION (16) type, its first
// name and that name's language as the Windows resource loader picks it (neutral, the user's
// default language, US English, else the first), whose data entry gives the block (see PeImage for
// the bounds every read keeps). The block is at most 65535 bytes (the format's 16-bit root length);
// a data entry declaring more is cut to that. Nothing when the file is no PE file, has no
// version resource, or is too short for what its headers declare.
#include <cstdint>
#include <optional>
#include <vector>

#include <varn/framework/Streams.h>

namespace varn::versioninfo {

std::optional<std::vector<uint8_t>> ReadVersionResource(TStream& File);

}  // namespace varn::versioninfo
