#pragma once
// The commands of varn, one source file each; main.cpp lists them.
#include "tools/varn/Cli.h"

namespace varn::cli {

extern const Command PackCommand;     // CommandPack.cpp
extern const Command ListCommand;     // CommandList.cpp
extern const Command TestCommand;     // CommandExtract.cpp
extern const Command ExtractCommand;  // CommandExtract.cpp
extern const Command VersionCommand;  // CommandVersion.cpp

}  // namespace varn::cli
