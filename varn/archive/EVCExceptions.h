#pragma once
// The archive library's exception classes. Each message is fixed; where the error concerns a
// file, the name follows the fixed text directly.
#include <cstdint>
#include <string>

#include <varn/framework/Exceptions.h>

namespace varn {

class EVC : public Exception {
 protected:
  using Exception::Exception;
};

class EVCCouldNotOpenFile : public EVC {
 public:
  std::string FileName;

 protected:
  using EVC::EVC;
};

// FileName stays empty: only the message carries the name.
class EVCCouldNotOpenCompressedFile : public EVCCouldNotOpenFile {
 public:
  explicit EVCCouldNotOpenCompressedFile(const std::string& Name)
      : EVCCouldNotOpenFile(
            "Could not open the compressed file. The following value is the current value of "
            "the CompressedFile property: " +
            Name) {}
};

class EVCCouldNotCreateFile : public EVC {
 public:
  explicit EVCCouldNotCreateFile(const std::string& Name)
      : EVC("Could not create the file " + Name), FileName(Name) {}
  std::string FileName;
};

class EVCDiskFull : public EVC {
 public:
  EVCDiskFull() : EVC("Disk is full") {}
};

class EVCStop : public EVC {
 public:
  EVCStop() : EVC("Operation aborted by user") {}
};

class EVCWrongDecompressedSize : public EVC {
 public:
  explicit EVCWrongDecompressedSize(const std::string& Name)
      : EVC("The decompressed file's size does not match with the actual size the file.  The "
            "file is " +
            Name),
        FileName(Name) {}
  std::string FileName;
};

// A volume that extraction needs and does not find, also after OnNewDisk's attempts. It derives
// from Exception itself, not from EVC: callers that catch EVC have never taken it.
class EMissingVolume : public Exception {
 public:
  explicit EMissingVolume(int32_t Number)
      : Exception("Could not open the correct disk file " + std::to_string(Number)),
        DiskNumber(Number) {}
  int32_t DiskNumber;
};

class EVCFH : public EVC {
 protected:
  using EVC::EVC;
};

class EVCFHInvalidNewFileHeader : public EVCFH {
 public:
  EVCFHInvalidNewFileHeader() : EVCFH("Tried to add an invalid file header") {}
};

class EVCFHFileNotInArchive : public EVCFH {
 public:
  explicit EVCFHFileNotInArchive(const std::string& Name)
      : EVCFH("The following file was not found in the archive: " + Name), FileName(Name) {}
  std::string FileName;
};

class EVCFHCannotReadHeaders : public EVCFH {
 public:
  EVCFHCannotReadHeaders()
      : EVCFH(
            "Could not read the file headers for the compressed file. The Archive file could "
            "possible be corrupt.") {}
};

class EVCFHCannotReadHeaderCount : public EVCFH {
 public:
  EVCFHCannotReadHeaderCount()
      : EVCFH("Could not read the file header count for the compressed file") {}
};

// A sealed archive that does not match its seal. FileName names what is damaged: the archived
// file, or volume 1 for the catalogue and for the seal itself.
class EVCDamaged : public EVC {
 public:
  std::string FileName;

 protected:
  EVCDamaged(const std::string& Message, const std::string& Name)
      : EVC(Message + Name), FileName(Name) {}
};

// A file whose decoded bytes differ from those sealed; Name is its catalogue FileName.
class EVCDamagedFile : public EVCDamaged {
 public:
  explicit EVCDamagedFile(const std::string& Name)
      : EVCDamaged("The file does not match the seal of the archive: ", Name) {}
};

class EVCDamagedCatalogue : public EVCDamaged {
 public:
  explicit EVCDamagedCatalogue(const std::string& Volume1)
      : EVCDamaged("The catalogue does not match the seal of the archive: ", Volume1) {}
};

// The seal's own hash fails: the seal, not necessarily any file, is damaged.
class EVCDamagedSeal : public EVCDamaged {
 public:
  explicit EVCDamagedSeal(const std::string& Volume1)
      : EVCDamaged("The seal of the archive is damaged: ", Volume1) {}
};

class EVCCannotCheckSeal : public EVC {
 public:
  EVCCannotCheckSeal()
      : EVC("The archive is sealed, but this system offers no SHA-256 to check the seal "
            "with") {}
};

}  // namespace varn
