#pragma once
// The commands of varn, one source file each; main.cpp lists them.
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

}  // namespace varn::cli
