#pragma once
// Loading the version-information block of a file, through the platform's own interface where
// there is one and through our PE and version-resource readers elsewhere. Each gives nothing
// when the file is missing, unreadable or carries no version information; std::bad_alloc
// (the framework's out-of-memory) is the only exception that leaves them.
#include <memory>
#include <string>

#include <varn/versioninfo/VersionBlock.h>

namespace varn::versioninfo {

// The platform interface when it is available, else the file read by our readers.
std::unique_ptr<VersionBlock> LoadVersionBlock(const std::string& FileName);

// Always our readers, on every platform.
std::unique_ptr<VersionBlock> LoadVersionBlockFromFile(const std::string& FileName);

// Always the platform interface; nothing when it is unavailable.
std::unique_ptr<VersionBlock> LoadVersionBlockThroughApi(const std::string& FileName);

}  // namespace varn::versioninfo
