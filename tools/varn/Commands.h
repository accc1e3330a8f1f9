#pragma once
// The commands of varn, one source file each; main.cpp lists them.
#include <functional>
#include <string>

#include <memory>

#include <varn/archive/cmp_TVarnCompress.h>
#include "tools/varn/Cli.h"

namespace varn::cli {

extern const Command PackCommand;     // CommandPack.cpp
extern const Command ListCommand;     // CommandList.cpp
extern const Command TestCommand;     // CommandExtract.cpp
extern const Command ExtractCommand;  // CommandExtract.cpp
extern const Command VersionCommand;  // CommandVersion.cpp
extern const Command KeygenCommand;   // CommandSign.cpp
extern const Command SignCommand;     // CommandSign.cpp
extern const Command StampCommand;    // CommandSign.cpp
extern const Command VerifyCommand;   // CommandSign.cpp

// What the commands that read an archive share (CommandExtract.cpp).
// Names the archive by the native Operand, which names any volume, as CompressedFile does.
void OpenArchive(TVarnCompress& Archive, const std::string& Operand);
// Runs Body, turning the paths and names in the library's exceptions into those the user reads.
void ShowingNativePaths(TVarnCompress& Archive, const std::function<void()>& Body);

// The text of a key file (a native path) of keygen, for pack --sign, sign, stamp and verify.
std::string ReadKeyText(const std::string& Native);

// Decodes into a counter instead of a file: test and verify read exactly what an extraction
// reads and check the decoded size and the seal, without writing anything.
class TArchiveTester : public TVarnCompress {
 protected:
  class CountingStream : public TStream {
   public:
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void*, int32_t Count) override {
      if (Count > 0) FSize += Count;
      return Count;
    }
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
      return Origin == TSeekOrigin::soEnd && Offset == 0 ? FSize : 0;
    }

   private:
    int64_t FSize = 0;
  };
  std::unique_ptr<TStream> CreateDestination(const std::string&) override {
    return std::make_unique<CountingStream>();
  }
  bool SetDestinationDate(TStream&, int32_t) override { return true; }
};

}  // namespace varn::cli
