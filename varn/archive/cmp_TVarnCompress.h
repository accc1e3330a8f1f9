#pragma once
// TVarnCompress: the archive component. It names an archive by its volume 1, reads the
// catalogue, describes and selects archived files and extracts the selection across volumes,
// reporting through its events. It shows nothing itself: front ends decide what the user sees.
// All of it runs on the caller's thread; the process's message pump (ProcessApplication()) runs
// once per block in and out, so window handlers may run (and set Abort) in the middle of an
// extraction.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/EVCExceptions.h>
#include <varn/archive/cmp_TFileHeaders.h>
#include <varn/archive/cmp_TVarnStreamCompress.h>
#include <varn/framework/Component.h>
#include <varn/framework/Streams.h>

namespace varn {

enum TOverwriteType : uint8_t { owAlways, owNever, owVersion, owDate, owVersionDate };

class TVarnCompress;

using TlzhFileStatsEvent =
    std::function<void(TVarnCompress& VarnCompress, const TlzhFileStats& FileStats)>;
using TlzhNewDiskEvent =
    std::function<void(TVarnCompress& VarnCompress, int32_t DiskNumber, std::string& Path)>;

class TVarnCompress : public TVarnStreamCompress {
 public:
  explicit TVarnCompress(TComponent* AOwner = nullptr);
  ~TVarnCompress() override;

  // Stop request: set while Extract runs (from a handler or the message pump), it stops the
  // run at the next block of output. A stop is no failure: Extract fires OnAborted and returns
  // normally, so OnAborted is the only sign of it; the file being written stays as it is.
  // Extract clears Abort when it starts and sets it when it fails (other than by a stop).
  bool Abort = false;

  // Volume 1 of the archive, always with the extension ".1". The setter takes any volume's
  // name; a name that differs from the current one (ASCII case ignored) drops the loaded
  // catalogue. During extraction it follows the volume being read.
  const std::string& CompressedFile() const { return FCompressedFile; }
  void SetCompressedFile(const std::string& Value);

  std::string ExtractDirectory;

  // The names to extract, each a catalogue FileName, optionally followed by ";" and text the
  // lookup ignores. Every Extract empties it, whether it succeeds or fails.
  std::vector<std::string>& FilesToProcess() { return FFilesToProcess; }
  // Beware: changes the caller's list. The blank entries (nothing but characters of codes 0 to
  // 32) are deleted from Value itself, then the rest is copied, untrimmed, into the component's
  // list. Appending to the list FilesToProcess() returns bypasses that filter.
  void SetFilesToProcess(std::vector<std::string>& Value);

  TOverwriteType Overwrite = owAlways;

  // Off by default. When set, ReadHeaders also reads the archive's seal (ArchiveSeal.h) and
  // fails with EVCDamagedCatalogue or EVCDamagedSeal when catalogue and seal do not match, and
  // Extract hashes each file's output as it writes it and, once the file is decoded, raises
  // EVCDamagedFile naming it when the bytes differ from those sealed (before the size check
  // and before the file gets its time). An archive without a seal, or with one of a later
  // version, is extracted as with the check off. EVCCannotCheckSeal when the system has no
  // SHA-256 for a sealed archive.
  bool CheckSeal = false;

  // Off by default: then each file is created (or truncated) at its target and written there,
  // and a failure leaves what was written. When set, each file is written under a new temporary
  // name in the target's directory (created there, exclusively, so never a file that was there)
  // and renamed over the target only once it is complete, of the right size and, with
  // CheckSeal, matching the seal; a failure or a stop discards the temporary file
  // (DiscardTemporary) and leaves the target as it was. A link or someone else's file at the
  // target is replaced, never written through. Everything else is as without it: the blocks
  // reach the (temporary) file before their OnStatus, the date is set on the file before it is
  // put in place (a complete file whose date cannot be set is still put in place before that
  // error), and a target that is read-only, a directory, a link or a device (on Windows also a
  // hidden or system file) is refused with EVCCouldNotCreateFile before anything is written; a
  // target that cannot be replaced when the file is done gives that error then.
  bool SafeReplace = false;

  // The component only reads and extracts; OnAfterAdding, OnBeforeAdding and OnListing are
  // never fired. They are kept so that the component's interface is whole: code written for
  // it may assign them, and then simply never hears from them.
  TNotifyEvent OnAborted;
  TlzhFileStatsEvent OnAfterAdding;
  TlzhFileStatsEvent OnBeforeAdding;
  TlzhFileStatsEvent OnAfterExtracting;
  TlzhFileStatsEvent OnBeforeExtracting;
  TNotifyEvent OnFullDisk;
  TlzhFileStatsEvent OnListing;
  TlzhNewDiskEvent OnNewDisk;
  TlzhFileStatsEvent OnReplace;
  TlzhFileStatsEvent OnStatus;

  // The name (without directory) the current file is written under. A handler of
  // OnBeforeExtracting or OnReplace may change it; empty between files.
  std::string TargetName;

  // Rereads the catalogue of CompressedFile. EVCCouldNotOpenCompressedFile when volume 1 is
  // missing or cannot be opened; EVCFHCannotReadHeaders in place of any failure of the read
  // (with CheckSeal, EVCDamagedCatalogue instead when the archive is sealed).
  void ReadHeaders();
  // The number of catalogue entries; reads the catalogue first if none is loaded.
  int32_t FileCount();
  // Describes file Index (0-based) and the whole catalogue; Exception "Tried to access the
  // <Index>th file. This file is not defined" when out of range.
  TlzhFileStats GetFileStats(int32_t Index);
  // Extracts the files named in FilesToProcess into ExtractDirectory. A stop (Abort) fires
  // OnAborted and returns; EAbort from a handler returns quietly; any other exception sets
  // Abort and travels on. Nothing written is rolled back. A volume that is not found, also
  // after OnNewDisk, raises EMissingVolume.
  void Extract();
  // Called when a block of output could not be written whole: fires OnFullDisk, or raises
  // EVCDiskFull when it is not assigned.
  virtual void DiskFull();

  // What the component last did: opNone until the first Extract, then opExtracting for good.
  // opAdding is never entered (see the adding events above).
  static constexpr uint8_t opNone = 0;
  static constexpr uint8_t opAdding = 1;
  static constexpr uint8_t opExtracting = 2;
  uint8_t Operation() const { return FOperation; }
  int32_t CurrentDisk() const { return FCurrentDisk; }
  bool CatalogueLoaded() const { return FCatalogueLoaded; }
  const TlzhFileStats& Stats() const { return FStats; }
  TFileHeaders& Headers() { return FHeaders; }
  // What the last ReadHeaders found of the seal; Absent when CheckSeal was off.
  const TSealReading& Seal() const { return FSeal; }
  const TFileHeader* CurrentHeader() const { return FCurrentHeader; }
  // When a read of the volume that the current file's data was last read from failed (rather
  // than met the volume's end) and so moved the input on to the next volume: the system's code
  // for it (platform::ErrorText words it); 0 otherwise. Says why a volume was asked for past the
  // file's LastDisk.
  int32_t VolumeReadError() const { return FVolumeReadError; }

 protected:
  // Opens volume Number (found by name, then through OnNewDisk, at most 4 attempts) into
  // Stream, rewriting Name to the volume's path. EMissingVolume when it is not found.
  void OpenVolume(std::unique_ptr<TFileStream>& Stream, int32_t Number, std::string& Name);
  void ExtractOnReadBuffer(TVarnStreamCompress& VSC, TVSCBuffer& Buf, int32_t& BIB);
  void ExtractOnWriteBuffer(TVarnStreamCompress& VSC, TVSCBuffer& Buf, int32_t BIB);
  // Whether an existing Target is replaced, under Overwrite.
  bool OverwriteDecision(const std::string& Target);
  bool NewerByVersion(const std::string& Target);
  bool NewerByDate(const std::string& Target);
  bool NewerByVersionDate(const std::string& Target);

  // Where the decoded bytes of a file go: by default the new file Target, created afresh
  // (EFCreateError when it cannot be). A descendant that checks an archive without writing it
  // returns another stream; it then also overrides SetDestinationDate. Not called with
  // SafeReplace, which writes a temporary file of its own.
  virtual std::unique_ptr<TStream> CreateDestination(const std::string& Target);
  // With SafeReplace, after a failure or a stop: what becomes of the closed temporary file that
  // was to replace Target. By default it is removed. Must not throw.
  virtual void DiscardTemporary(const std::string& Temporary, const std::string& Target);
  // Gives the finished destination the packed archived time; false when the platform refuses.
  virtual bool SetDestinationDate(TStream& Destination, int32_t FileDate);
  // With SafeReplace, once the temporary file is complete, checked, dated and closed: puts it in
  // Target's place; false when that cannot be done. A descendant may keep the temporary file
  // instead, to put it in place later itself.
  virtual bool PutInPlace(const std::string& Temporary, const std::string& Target);

 private:
  void ExtractSelection();
  void WriteCurrentFile(const std::string& Target);
  bool ReadCurrentVolume(TVSCBuffer& Buf, int32_t& Want, int32_t& Read);
  void MakeDoneReport();
  std::string TargetPath() const;

  uint8_t FOperation = opNone;
  int32_t FCurrentDisk = 0;
  std::unique_ptr<TStream> FDestFile;
  // The decoded bytes of the current file handed to FDestFile so far.
  int64_t FDecodedSize = 0;
  const TFileHeader* FCurrentHeader = nullptr;
  int32_t FCurrentIndex = -1;
  TlzhFileStats FStats;
  bool FCatalogueLoaded = false;
  std::unique_ptr<TFileStream> FSourceFile;
  // Set when the current file's data cannot start anywhere (a negative DataStart).
  bool FNoData = false;
  std::string FCompressedFile;
  TFileHeaders FHeaders;
  std::vector<std::string> FFilesToProcess;
  TSealReading FSeal;
  bool FSealRead = false;  // the loaded catalogue's seal was looked for
  TSealedFileCheck FSealCheck;
  int32_t FVolumeReadError = 0;
};

}  // namespace varn
