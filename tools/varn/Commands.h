#pragma once
// The commands of varn, one source file each; main.cpp lists them.
#include <functional>
#include <string>

#include "tools/varn/Cli.h"

namespace varn {
class TVarnCompress;
}

namespace varn::cli {

extern const Command PackCommand;     // CommandPack.cpp
extern const Command ListCommand;     // CommandList.cpp
extern const Command TestCommand;     // CommandExtract.cpp
extern const Command ExtractCommand;  // CommandExtract.cpp
extern const Command VersionCommand;  // CommandVersion.cpp

// What the commands that read an archive share (CommandExtract.cpp).
// Names the archive by the native Operand, which names any volume, as CompressedFile does.
void OpenArchive(TVarnCompress& Archive, const std::string& Operand);
// Runs Body, turning the paths and names in the library's exceptions into those the user reads.
void ShowingNativePaths(TVarnCompress& Archive, const std::function<void()>& Body);

}  // namespace varn::cli
