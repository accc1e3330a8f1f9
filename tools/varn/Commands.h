#pragma once
// The commands of varn, one source file each; main.cpp lists them.
#include "tools/varn/Cli.h"

namespace varn::cli {

extern const Command PackCommand;  // CommandPack.cpp
extern const Command ListCommand;  // CommandList.cpp

}  // namespace varn::cli
