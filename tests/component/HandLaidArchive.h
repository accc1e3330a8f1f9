#pragma once
// Archives laid out by hand, byte by byte, for the component tests: independent of the
// project's archive writer, so that writer and reader cannot drift together unnoticed.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <varn/archive/cmp_TFileHeaders.h>

namespace hand_laid {

// The stream that codes Content with every byte a literal: a flag byte 0x00 before each group
// of eight. It decodes to Content from any starting table.
std::vector<uint8_t> LiteralStream(const std::vector<uint8_t>& Content);
std::vector<uint8_t> Bytes(const std::string& Text);

struct Entry {
  std::string Name;
  std::vector<uint8_t> Compressed;  // the stream as stored
  int32_t OriginalSize = 0;         // what the header claims
  double FileDate = 44000.5;        // 20 June 2020, 12:00
  std::string Version;
};

// An entry whose stream is the literal coding of Content.
Entry LiteralEntry(const std::string& Name, const std::vector<uint8_t>& Content);
// An entry of Count flag bytes 0xFF: from a fresh table that is 8 * Count zero bytes.
Entry ZeroEntry(const std::string& Name, int32_t Count);

// Lays out the catalogue (count, tag, headers chained from offset 5) and then the data of each
// entry in order, as one byte sequence cut into volumes of VolumeSize bytes (0: one volume),
// and fills FirstDisk, DataStart, LastDisk, DataEnd and the sizes accordingly. Writes
// Base.1, Base.2, ... and returns the headers as written.
std::vector<varn::TFileHeaderRecord> Write(const std::string& Base,
                                           const std::vector<Entry>& Entries,
                                           int64_t VolumeSize = 0);

// The volume files' bytes without writing them (Volumes[0] is volume 1).
std::vector<std::vector<uint8_t>> Layout(const std::vector<Entry>& Entries, int64_t VolumeSize,
                                         std::vector<varn::TFileHeaderRecord>* Headers = nullptr);

// Rewrites header Index of a written volume 1 in place.
void PatchHeader(const std::string& Volume1, int Index,
                 const std::function<void(varn::TFileHeaderRecord&)>& Change);

}  // namespace hand_laid
