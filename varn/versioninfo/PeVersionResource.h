#pragma once
// Finds the version resource of a PE file (PE32 or PE32+): DOS header, PE signature, file and
// optional headers, section table, resource directory; there the RT_VERSION (16) type, its first
// name and that name's first language, whose data entry gives the block.
//
// Bounds: every read is checked against the file's size and, for resource data, against the raw
// data of the section that holds it, whatever the headers say; the directory is walked exactly
// three levels deep, so a directory that points at itself cannot loop. The block is at most
// 65535 bytes (the format's 16-bit root length); a data entry declaring more is cut to that.
// Nothing when the file is no PE file, has no version resource, or is too short for what its
// headers declare.
#include <cstdint>
#include <optional>
#include <vector>

#include <varn/framework/Streams.h>

namespace varn::versioninfo {

std::optional<std::vector<uint8_t>> ReadVersionResource(TStream& File);

}  // namespace varn::versioninfo
