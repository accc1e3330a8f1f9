#pragma once
// Stamping a publisher's key into a copy of the loader (`varn stamp`): the key goes into the
// program's key block (ArchiveSignature.h, key_block), found by its marker; nothing else of the
// program changes but, in a Windows program, the header's CheckSum, which is computed anew. The
// key block is the same in loader.exe (PE) and the Linux loader (ELF).
//
// Stamping comes before Authenticode signing: a signed Windows program (one with a certificate
// table) is refused, since any change to it breaks its signature. Signing the stamped program
// keeps the key block as it is, and the loader reads it as before.
#include <cstdint>
#include <string>
#include <vector>

#include <varn/archive/ArchiveSignature.h>
#include <varn/framework/Exceptions.h>

namespace varn {

class EProgramStamp : public Exception {
 public:
  using Exception::Exception;
};

// What a program file holds: Pe or Elf, and the key block's offset.
struct TProgramKeyBlock {
  enum : uint8_t { Pe, Elf } Format = Pe;
  size_t Offset = 0;
  TStampedKey Stamp;  // what the block holds now
};

// Finds the key block of the program in Image. EProgramStamp, with Shown naming the file, when
// the file is neither a PE nor an ELF program, holds no key block or more than one (the marker
// must appear exactly once, the block whole after it).
TProgramKeyBlock FindProgramKeyBlock(const std::vector<uint8_t>& Image, const std::string& Shown);

// Writes Key into the key block of Image (a stamped program is stamped anew) and, for a PE
// file, its CheckSum. EProgramStamp as FindProgramKeyBlock does, and for a PE file that carries
// an Authenticode signature. Returns what the block held before.
TStampedKey StampProgram(std::vector<uint8_t>& Image, const TPublisherKey& Key,
                         const std::string& Shown);

}  // namespace varn
