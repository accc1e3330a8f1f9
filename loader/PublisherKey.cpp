// The publisher's key of this program: the block that `varn stamp` finds by its marker in a copy
// of the program file and writes the key into (ArchiveSignature.h, key_block). In the program
// as built it holds no key, and the loader runs every medium as it always did.
#include <varn/archive/ArchiveSignature.h>
#include "loader/LoaderEnvironment.h"

using namespace varn;

// Volatile, so that no compiler or linker takes the contents of this definition for those of
// the program (a stamped program has others) or folds it away; used, so that it is kept. Its
// name must not hold the marker: sanitizers keep the names of globals among the constants.
extern "C" const volatile uint8_t LoaderKeyBlock[key_block::Size];
extern "C" __attribute__((used)) const volatile uint8_t LoaderKeyBlock[key_block::Size] = {
    'V', 'a', 'r', 'n', 'P', 'u', 'b', 'l', 'i', 's', 'h', 'e', 'r', 'K', 'e', 'y'};

TStampedKey TLoaderEnvironment::PublisherKey() {
  uint8_t Block[key_block::Size];
  for (size_t I = 0; I < key_block::Size; ++I)
    Block[I] = LoaderKeyBlock[I];
  return DecodeKeyBlock(Block, sizeof Block);
}
