// varn extract and varn test: the archive component at work, with a progress bar on a
// terminal and a question for a missing volume.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/TargetPath.h>
#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>
#include <varn/ui/ProgressLine.h>
#include "tools/varn/Commands.h"
#include "tools/varn/ExtractAhead.h"
#include "tools/varn/Safeguards.h"

namespace varn::cli {

// Any volume's name leads to volume 1, as with CompressedFile.
void OpenArchive(TVarnCompress& Archive, const std::string& Operand) {
  Archive.SetCompressedFile(platform::InternalPath(Operand));
}

// The library names files in the program's form; the user reads them in the native one.
void ShowingNativePaths(TVarnCompress& Archive, const std::function<void()>& Body) {
  try {
    Body();
  } catch (const EVCCouldNotOpenCompressedFile&) {
    throw EVCCouldNotOpenCompressedFile(platform::NativePath(Archive.CompressedFile()));
  } catch (const EVCCouldNotCreateFile& E) {
    throw EVCCouldNotCreateFile(platform::NativePath(E.FileName));
  } catch (const EVCDamagedCatalogue& E) {
    throw EVCDamagedCatalogue(platform::NativePath(E.FileName));
  } catch (const EVCDamagedSeal& E) {
    throw EVCDamagedSeal(platform::NativePath(E.FileName));
  } catch (const EVCDamagedFile& E) {
    throw EVCDamagedFile(ShownName(E.FileName));
  } catch (const EVCFHFileNotInArchive& E) {
    throw EVCFHFileNotInArchive(ShownName(E.FileName));
  } catch (const EVCWrongDecompressedSize& E) {
    throw EVCWrongDecompressedSize(ShownName(E.FileName));
  }
}

namespace {

// What the test and the extraction can vouch for, said once before the files when it is less
// than the seal: an unsealed archive, or one sealed in a way this varn cannot check.
std::string SealRemark(const TSealReading& Seal) {
  if (Seal.State == TSealState::Absent)
    return "the archive has no seal: only the sizes of its files can be checked";
  if (Seal.State == TSealState::Unknown)
    return "the archive's seal is of a kind this varn cannot check (version " +
           std::to_string(Seal.Version) + "): only the sizes of its files can be checked";
  return std::string();
}

TOverwriteType ParseOverwrite(const std::string& Mode) {
  static const std::pair<const char*, TOverwriteType> Modes[] = {{"always", owAlways},
                                                                 {"never", owNever},
                                                                 {"version", owVersion},
                                                                 {"date", owDate},
                                                                 {"version-date", owVersionDate}};
  for (const auto& [Name, Value] : Modes)
    if (Mode == Name) return Value;
  throw UsageError("unknown overwrite mode \"" + Mode +
                   "\" (always, never, version, date or version-date)");
}

// --threads: 1 to 64; by default one per processor, at most 4 (more seldom pays: the files
// then wait for the disk, and for each other in putting them in place).
int ParseThreads(const std::optional<std::string>& Value) {
  if (!Value) return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
  int Threads = 0;
  const auto [End, Error] = std::from_chars(Value->data(), Value->data() + Value->size(), Threads);
  if (Error != std::errc() || End != Value->data() + Value->size() || Threads < 1 || Threads > 64)
    throw UsageError("option --threads needs a number from 1 to 64, not \"" + *Value + "\"");
  return Threads;
}

// The component's attempts at one volume: it looks where it expects the volume, then in the
// directory each OnNewDisk names.
constexpr int VolumeAttempts = 4;

std::string ShownDirectory(const std::string& Directory) {
  return Directory.empty() ? "the current directory" : platform::NativePath(Directory);
}

std::string ListOf(const std::vector<std::string>& Items) {
  std::string List;
  for (size_t I = 0; I < Items.size(); ++I)
    List += (I == 0 ? "" : I + 1 == Items.size() ? " and " : ", ") + Items[I];
  return List;
}

// Finds missing volumes: in --volumes DIR and beside ARCHIVE (after a volume was found in one,
// the component looks for the next one there first), then, on a terminal, by asking. It keeps
// where it looked, so that a failure can say so.
class VolumeFinder {
 public:
  VolumeFinder(const std::string& VolumesDirectory, const std::string& Archive, bool Interactive)
      : FArchive(Archive), FInteractive(Interactive) {
    if (!VolumesDirectory.empty()) FPlaces.push_back(RemoveBackslash(VolumesDirectory));
    FPlaces.push_back(RemoveBackslash(DirectoryPart(Archive)));
  }

  TlzhNewDiskEvent Handler() {
    return [this](TVarnCompress& Archive, int32_t Number, std::string& Path) {
      Find(Archive, Number, Path);
    };
  }

  // The line that follows the failure to find volume Number when it is the volume last looked
  // for: the volume's file, the directories searched, and what the user can do; or, when the
  // data ran on past the volume the catalogue ends it in, why that volume ended. Empty
  // otherwise.
  std::string Advice(int32_t Number) const {
    if (FDisk == 0 || Number != FDisk) return std::string();
    if (!FEnded.empty()) return FEnded;
    std::vector<std::string> Shown;
    for (const std::string& Directory : FLooked)
      Shown.push_back(ShownDirectory(Directory));
    return "looked for " +
           ShownName(FileNamePart(ReplaceExtension(FArchive, "." + std::to_string(FDisk)))) +
           " in " + ListOf(Shown) +
           (FInteractive && FCalls >= VolumeAttempts
                ? ": " + std::to_string(VolumeAttempts) + " attempts is the limit"
                : "; give its directory with --volumes DIR");
  }

 private:
  void Looked(const std::string& Directory) {
    if (std::find(FLooked.begin(), FLooked.end(), Directory) == FLooked.end())
      FLooked.push_back(Directory);
  }

  // The volume before Number ended before the data of the current file did, though the
  // catalogue ends that data there: the medium has no volume Number to look for.
  static std::string EndedEarly(TVarnCompress& Archive, int32_t Number) {
    const TFileHeader* Header = Archive.CurrentHeader();
    if (!Header || Number != Archive.CurrentDisk() ||
        Number <= std::max<int32_t>(Header->Record.LastDisk(), 1) ||
        Number - 1 < std::max<int32_t>(Header->Record.FirstDisk(), 1))
      return std::string();
    const std::string Ended = platform::NativePath(
        ReplaceExtension(Archive.CompressedFile(), "." + std::to_string(Number - 1)));
    if (Archive.VolumeReadError() != 0)
      return "reading " + Ended + " failed: " + platform::ErrorText(Archive.VolumeReadError());
    return Ended + " ends before the data of " + ShownName(Header->Record.FileName()) +
           " does: the medium is truncated";
  }

  void Find(TVarnCompress& Archive, int32_t Number, std::string& Path) {
    if (Number != FDisk) {
      FDisk = Number;
      FNext = 0;
      FCalls = 0;
      FLooked.clear();
    }
    FEnded = EndedEarly(Archive, Number);
    if (!FEnded.empty()) throw EMissingVolume(Number);
    ++FCalls;
    Looked(Path);
    while (FNext < FPlaces.size()) {
      const std::string& Place = FPlaces[FNext++];
      if (Place != Path) {
        Path = Place;
        Looked(Path);
        return;
      }
    }
    if (!FInteractive) throw EMissingVolume(Number);
    const std::string Answer = Ask(Number, Path);
    if (Answer.empty()) throw EMissingVolume(Number);
    Path = RemoveBackslash(platform::InternalPath(Answer));
    Looked(Path);
  }

  // Asks on the terminal for the directory of a missing volume.
  std::string Ask(int32_t Number, const std::string& Where) const {
    const std::string Volume =
        ShownName(FileNamePart(ReplaceExtension(FArchive, "." + std::to_string(Number))));
    platform::WriteText(
        platform::StandardStream::Error,
        "\nvarn: volume " + std::to_string(Number) + " is not in " + ShownDirectory(Where) +
            ".\nInsert the disk, or type the directory that holds " + Volume +
            ", then press Enter" + (FCalls >= VolumeAttempts ? " (the last attempt)" : "") +
            ". An empty answer gives up: ");
    std::fflush(stderr);
    char Line[4096];
    if (!std::fgets(Line, sizeof Line, stdin)) return std::string();
    std::string Answer(Line);
    while (!Answer.empty() && (Answer.back() == '\n' || Answer.back() == '\r'))
      Answer.pop_back();
    return Answer;
  }

  std::vector<std::string> FPlaces;
  std::string FArchive;
  bool FInteractive;
  int32_t FDisk = 0;
  size_t FNext = 0;
  int FCalls = 0;
  std::vector<std::string> FLooked;
  std::string FEnded;
};

// A bar on stderr, redrawn in place, over the files selected: the component's TotalPercent
// counts the whole catalogue. Redrawn when the percentage changes, otherwise at most ten times a
// second; cleared at the end.
class ProgressBar {
 public:
  explicit ProgressBar(bool Shown) : FShown(Shown) {}
  ~ProgressBar() { Clear(); }
  // The compressed bytes of the files selected.
  void SetTotal(int64_t Total) { FTotal = Total; }
  // The bytes done elsewhere that count as well: by the threads extracting ahead.
  void CountAlso(std::function<int64_t()> Elsewhere) { FElsewhere = std::move(Elsewhere); }
  void Show(const TlzhFileStats& Stats) {
    FName = Stats.FileName;
    FCurrent = Stats.BytesDone;
    if (Stats.FileDone) Finished(Stats.CompressedSize, Stats.FileName);
    Draw();
  }
  // A whole file of Size compressed bytes done.
  void Finished(int64_t Size, const std::string& Name) {
    FFinished += Size;
    FCurrent = 0;
    FName = Name;
  }
  void Draw() {
    if (!FShown) return;
    const int64_t Done = FFinished + FCurrent + (FElsewhere ? FElsewhere() : 0);
    const int Percent =
        FTotal > 0 ? static_cast<int>(std::clamp<int64_t>(Done, 0, FTotal) * 100 / FTotal) : 0;
    const auto Now = std::chrono::steady_clock::now();
    if (FDrawn && Percent == FPercent && Now - FLast < std::chrono::milliseconds(100)) return;
    FPercent = Percent;
    FLast = Now;
    const std::string Line = ProgressLine(
        Percent, ShownName(FName), platform::TerminalColumns(platform::StandardStream::Error));
    platform::WriteText(platform::StandardStream::Error, "\r" + Line + "\x1b[K");
    std::fflush(stderr);
    FDrawn = true;
  }
  // Before other output, and at the end: the line is left empty.
  void Clear() {
    if (FDrawn) {
      std::fputs("\r\x1b[K", stderr);
      std::fflush(stderr);
    }
    FDrawn = false;
  }

 private:
  bool FShown;
  bool FDrawn = false;
  int64_t FTotal = 0, FFinished = 0, FCurrent = 0;
  std::string FName;
  std::function<int64_t()> FElsewhere;
  int FPercent = -1;
  std::chrono::steady_clock::time_point FLast;
};

// The compressed bytes of the entries that the names select, as the component looks them up.
int64_t SelectedSize(TVarnCompress& Archive, const std::vector<std::string>& Names) {
  int64_t Total = 0;
  for (const std::string& Name : Names) {
    const int32_t Index = Archive.Headers().IndexOfName(Name.substr(0, Name.find(';')));
    if (Index >= 0) Total += Archive.Headers().GetFileHeaders(Index).Record.CompressedSize();
  }
  return Total;
}

// The library's "Disk is full", with the file and the directory it could not be written in.
std::string DiskFullMessage(const std::string& Target) {
  const std::string Directory = RemoveBackslash(DirectoryPart(Target));
  return "Disk is full: could not write all of " + ShownName(FileNamePart(Target)) + " in " +
         (Directory.empty() ? "the current directory" : platform::NativePath(Directory));
}

// Takes out of the selection every file whose target is one of the medium's own volumes (the
// same file, by whatever name it is reached, beside the archive or in VolumesDirectory):
// writing it would destroy the medium while it is read. Says so for each, and returns how many.
int32_t RefuseVolumeTargets(TVarnCompress& Archive, const std::string& VolumesDirectory) {
  int32_t Last = 1;
  for (int32_t I = 0; I < Archive.Headers().Count(); ++I) {
    const TFileHeaderRecord& Header = Archive.Headers().GetFileHeaders(I).Record;
    Last = std::max<int32_t>({Last, Header.FirstDisk(), Header.LastDisk()});
  }
  struct Volume {
    int32_t Number;
    std::string Path;
    platform::FileIdentity Identity;
  };
  std::vector<Volume> Volumes;
  std::vector<std::string> Places = {DirectoryPart(Archive.CompressedFile())};
  if (!VolumesDirectory.empty()) Places.push_back(AddBackslash(VolumesDirectory));
  for (int32_t Number = 1; Number <= std::min(Last, MaxVolumes); ++Number)
    for (const std::string& Place : Places) {
      const std::string Path =
          Place + FileNamePart(VolumeFileName(Archive.CompressedFile(), Number));
      if (const auto Identity = platform::IdentifyFile(Path))
        Volumes.push_back({Number, Path, *Identity});
    }
  int32_t Refused = 0;
  std::vector<std::string>& Selected = Archive.FilesToProcess();
  for (auto It = Selected.begin(); It != Selected.end();) {
    const int32_t Index = Archive.Headers().IndexOfName(It->substr(0, It->find(';')));
    const std::string Target =
        Index < 0 ? std::string()
                  : AddBackslash(Archive.ExtractDirectory) +
                        TargetFileName(Archive.Headers().GetFileHeaders(Index).Record.FileName());
    const platform::FileIdentity Identity =
        Target.empty() ? platform::FileIdentity{}
                       : platform::IdentifyFile(Target).value_or(platform::FileIdentity{});
    const auto Same = std::find_if(Volumes.begin(), Volumes.end(),
                                   [&](const Volume& V) { return V.Identity == Identity; });
    if (Identity == platform::FileIdentity{} || Same == Volumes.end()) {
      ++It;
      continue;
    }
    const std::string Shown = platform::NativePath(Target);
    const std::string Volume = platform::NativePath(Same->Path);
    Note("Cannot extract " + ShownName(*It) + " over " + Shown + ": it is " +
         (Volume == Shown ? "" : Volume + ", ") + "volume " + std::to_string(Same->Number) +
         " of the medium being read");
    It = Selected.erase(It);
    ++Refused;
  }
  return Refused;
}

int RunExtract(const ParsedArguments& Parsed) {
  UseCodePage(Parsed);
  const std::string Directory = platform::InternalPath(Parsed.Value("--directory").value_or(""));
  const std::string Volumes = platform::InternalPath(Parsed.Value("--volumes").value_or(""));
  const TOverwriteType Mode = ParseOverwrite(Parsed.Value("--overwrite").value_or("always"));
  const bool Quiet = Parsed.Has("--quiet"), Verbose = Parsed.Has("--verbose"),
             KeepIncomplete = Parsed.Has("--keep-incomplete");
  const int Threads = ParseThreads(Parsed.Value("--threads"));
  if (Parsed.Operands.empty()) throw UsageError("no archive given");

  platform::CatchInterrupts();
  TExtractingArchive Archive;
  OpenArchive(Archive, Parsed.Operands[0]);
  Archive.ExtractDirectory = Directory;
  Archive.Overwrite = Mode;
  Archive.CheckSeal = true;
  Archive.SafeReplace = true;
  const bool Terminal = platform::IsTerminal(platform::StandardStream::Error);
  VolumeFinder Finder(Volumes, Archive.CompressedFile(),
                      Terminal && platform::IsTerminal(platform::StandardStream::Input));
  Archive.OnNewDisk = Finder.Handler();
  ProgressBar Bar(Terminal && !Quiet);
  Archive.OnStatus = [&](TVarnCompress&, const TlzhFileStats& Stats) {
    // The stop request takes effect at the next block, with everything closed behind it.
    if (platform::Interrupted()) Archive.Abort = true;
    Bar.Show(Stats);
  };
  // A target that existed and saw no OnReplace was kept.
  int32_t Written = 0, Kept = 0, Refused = 0;
  bool Existed = false, Replaced = false;
  std::string Target;
  Archive.OnBeforeExtracting = [&](TVarnCompress& V, const TlzhFileStats&) {
    Target = AddBackslash(V.ExtractDirectory) + TargetFileName(V.TargetName);
    Existed = IsExistingFile(Target);
    Replaced = false;
  };
  Archive.OnReplace = [&](TVarnCompress&, const TlzhFileStats&) { Replaced = true; };
  // The names are a report on the work: a reader that stops reading them does not stop it.
  if (Verbose) KeepWorkingWithoutOutput();
  const auto AfterExtracting = [&] {
    const bool WasWritten = !(Existed && !Replaced);
    ++(WasWritten ? Written : Kept);
    if (Verbose && WasWritten) {
      Bar.Clear();
      Print(platform::NativePath(Target) + "\n");
    }
  };
  Archive.OnAfterExtracting = [&](TVarnCompress&, const TlzhFileStats&) { AfterExtracting(); };
  // Extracts the selection, the files after the first run ahead on threads of their own.
  const auto ExtractSelection = [&] {
    const int Runs = ExtractAhead::Runs(Archive, Threads);
    if (Runs < 2) return Archive.Extract();
    ExtractAhead Ahead(Archive, Runs, [&](TVarnCompress& Other) {
      // Never asks: a volume it cannot find is looked for again, and asked for, by this run.
      auto Own = std::make_shared<VolumeFinder>(Volumes, Archive.CompressedFile(), false);
      Other.OnNewDisk = [Own, Find = Own->Handler()](TVarnCompress& V, int32_t Number,
                                                     std::string& Path) { Find(V, Number, Path); };
    });
    Bar.CountAlso([&Ahead] { return Ahead.BytesAhead(); });
    const std::unique_ptr<ProgressBar, void (*)(ProgressBar*)> Uncount(
        &Bar, [](ProgressBar* B) { B->CountAlso(nullptr); });
    Archive.Extract();
    if (Archive.Abort) return;
    std::vector<std::string> Rest = Ahead.HandOver(
        [&](const ExtractAhead::File& File) {
          Target = File.Target;
          Existed = File.Existed;
          Replaced = File.Replaced;
          Bar.Finished(File.CompressedSize, File.Name);
          Bar.Draw();
          AfterExtracting();
        },
        [&] { Bar.Draw(); });
    if (platform::Interrupted()) {
      Archive.Abort = true;
    } else if (!Rest.empty()) {
      Archive.FilesToProcess() = std::move(Rest);
      Archive.Extract();
    }
  };

  try {
    ShowingNativePaths(Archive, [&] {
      Archive.ReadHeaders();
      CreateOutputDirectory(Archive.ExtractDirectory);
      if (Parsed.Operands.size() == 1) {
        for (int32_t I = 0; I < Archive.FileCount(); ++I)
          Archive.FilesToProcess().push_back(Archive.GetFileStats(I).FileName);
      } else {
        for (size_t I = 1; I < Parsed.Operands.size(); ++I) {
          // A name with a character the code page lacks cannot be in the archive.
          const auto Name = platform::InternalText(Parsed.Operands[I]);
          if (!Name) throw Exception(EVCFHFileNotInArchive(Parsed.Operands[I]).Message());
          Archive.FilesToProcess().push_back(*Name);
        }
      }
      if (!Quiet && !SealRemark(Archive.Seal()).empty()) Note(SealRemark(Archive.Seal()));
      Refused = RefuseVolumeTargets(Archive, Volumes);
      Bar.SetTotal(SelectedSize(Archive, Archive.FilesToProcess()));
      ExtractSelection();
    });
  } catch (const EVCDiskFull&) {
    Bar.Clear();
    const std::string Full = DiskFullMessage(Archive.Incomplete());
    Archive.CleanUp(KeepIncomplete, "incomplete");
    throw Exception(Full);
  } catch (const EVCDamagedFile&) {
    // A damaged file is no installation file: it goes, unless the user wants to look at it.
    Bar.Clear();
    Archive.CleanUp(KeepIncomplete, "damaged");
    throw;
  } catch (const EMissingVolume& E) {
    Bar.Clear();
    Archive.CleanUp(KeepIncomplete, "incomplete");
    const std::string Advice = Finder.Advice(E.DiskNumber);
    if (Advice.empty()) throw;
    throw AdvisedFailure(E.Message(), Advice);
  } catch (...) {
    Bar.Clear();
    Archive.CleanUp(KeepIncomplete, "incomplete");
    throw;
  }
  Bar.Clear();
  if (Archive.Abort) {
    Archive.CleanUp(KeepIncomplete, "incomplete");
    throw Exception("Operation aborted by user");
  }
  if (!Quiet)
    Tell("extracted " + std::to_string(Written) + (Written == 1 ? " file" : " files") +
         (Kept ? ", kept " + std::to_string(Kept) + " existing" : ""));
  if (Refused)
    throw Exception(std::to_string(Refused) + (Refused == 1 ? " file was" : " files were") +
                    " not extracted, to keep the medium whole");
  return 0;
}

int RunTest(const ParsedArguments& Parsed) {
  UseCodePage(Parsed);
  const std::string Volumes = platform::InternalPath(Parsed.Value("--volumes").value_or(""));
  const bool Quiet = Parsed.Has("--quiet");
  if (Parsed.Operands.empty()) throw UsageError("no archive given");
  if (Parsed.Operands.size() > 1) throw UsageError("more than one archive given");

  TArchiveTester Archive;
  OpenArchive(Archive, Parsed.Operands[0]);
  Archive.CheckSeal = true;
  VolumeFinder Finder(Volumes, Archive.CompressedFile(),
                      platform::IsTerminal(platform::StandardStream::Error) &&
                          platform::IsTerminal(platform::StandardStream::Input));
  Archive.OnNewDisk = Finder.Handler();
  ProgressBar Bar(!Quiet && platform::IsTerminal(platform::StandardStream::Error));
  Archive.OnStatus = [&](TVarnCompress&, const TlzhFileStats& Stats) { Bar.Show(Stats); };
  int32_t Count = 0, Failed = 0;
  std::string Advice;
  ShowingNativePaths(Archive, [&] { Count = Archive.FileCount(); });
  // Every entry but a shadowed duplicate is decoded.
  std::vector<std::string> Decoded;
  for (int32_t I = 0; I < Count; ++I) {
    const std::string Name = Archive.Headers().GetFileHeaders(I).Record.FileName();
    if (Archive.Headers().IndexOfName(Name) == I) Decoded.push_back(Name);
  }
  Bar.SetTotal(SelectedSize(Archive, Decoded));
  const auto Report = [&](const std::string& Line) {
    Bar.Clear();
    Print(Line);
    std::fflush(stdout);
  };
  if (!SealRemark(Archive.Seal()).empty()) Print(SealRemark(Archive.Seal()) + "\n");
  for (int32_t I = 0; I < Count; ++I) {
    const TFileHeaderRecord& Header = Archive.Headers().GetFileHeaders(I).Record;
    const std::string Name = Header.FileName();
    std::string Problem;
    bool Damaged = false;
    if (Archive.Headers().IndexOfName(Name) != I) {
      Problem = "an earlier entry has the same name, so this one is never extracted";
    } else {
      Archive.FilesToProcess().push_back(Name);
      try {
        ShowingNativePaths(Archive, [&] { Archive.Extract(); });
      } catch (const EVCDamagedFile&) {
        Damaged = true;
      } catch (const EMissingVolume& E) {
        Problem = E.Message();
        if (!Finder.Advice(E.DiskNumber).empty()) Advice = Finder.Advice(E.DiskNumber);
      } catch (const Exception& E) {
        Problem = E.Message();
      }
    }
    if (Damaged) {
      Report("damaged " + ShownName(Name) + ": its bytes differ from those sealed\n");
      ++Failed;
    } else if (Problem.empty()) {
      Report("ok      " + ShownName(Name) + " (" + std::to_string(Header.OriginalSize()) +
             " bytes)\n");
    } else {
      Report("FAILED  " + ShownName(Name) + ": " + Problem + "\n");
      ++Failed;
    }
  }
  Bar.Clear();
  if (Failed) {
    const std::string Summary = std::to_string(Failed) + " of " + std::to_string(Count) +
                                (Count == 1 ? " file" : " files") + " failed the test";
    if (Advice.empty()) throw Exception(Summary);
    throw AdvisedFailure(Summary, Advice);
  }
  Print(std::to_string(Count) + (Count == 1 ? " file" : " files") + " tested, all ok\n");
  return 0;
}

}  // namespace

const Command ExtractCommand = {
    "extract",
    {{.Long = "--directory",
      .Short = 'd',
      .Value = "DIR",
      .Help = "where the files go, created when missing (default: the current directory)"},
     {.Long = "--overwrite",
      .Value = "MODE",
      .Help = "what happens to an existing file: always (default), never, version (replaced by "
              "a newer file version), date (replaced by a newer file), version-date (by "
              "version, and by date when the versions are equal)"},
     {.Long = "--volumes",
      .Value = "DIR",
      .Help = "where to look for a volume that is not beside ARCHIVE; without it a terminal "
              "asks for the directory"},
     {.Long = "--quiet", .Short = 'q', .Help = "no progress bar and no summary"},
     {.Long = "--verbose", .Short = 'v', .Help = "name each file on stdout as it is written"},
     {.Long = "--threads",
      .Short = 'T',
      .Value = "N",
      .Help = "decode up to N files at once, on a thread each (default: one per processor, at "
              "most 4); the files are put in place, named and counted in their order, and what "
              "is on disk and said in the end is the same for every N"},
     {.Long = "--keep-incomplete",
      .Help = "put the file being written in its target's place all the same when the run "
              "fails or is interrupted, or when it failed its check, and name it (by default it "
              "is removed and the target left as it was)"},
     {.Long = "--codepage",
      .Value = "N",
      .Help = "the Windows code page of the archived names (default 1252); a byte it leaves "
              "undefined is written \\xNN in names, here as in list"}},
    "ARCHIVE [NAME...]",
    "Extracts the named files (all when none are named) of ARCHIVE, which names any volume of\n"
    "the archive, into DIR; names are matched without regard to case. Each file is written under\n"
    "a temporary name and takes its target's place only when it is complete and, for a sealed\n"
    "archive (see pack), its bytes are those sealed; otherwise the run ends and the target stays\n"
    "as it was. A target that is one of the archive's own volumes is refused.\n"
    "On a terminal a progress bar is drawn on stderr, and a summary follows.\n",
    "Exit status: 0 when every file was extracted or kept as MODE says; 1 on a failure (a\n"
    "missing file, volume or directory, a damaged file, a full disk, an interrupt); 2 on a\n"
    "usage error.\n",
    RunExtract};

const Command TestCommand = {
    "test",
    {{.Long = "--volumes",
      .Value = "DIR",
      .Help = "where to look for a volume that is not beside ARCHIVE"},
     {.Long = "--quiet", .Short = 'q', .Help = "no progress bar"},
     {.Long = "--codepage",
      .Value = "N",
      .Help = "the Windows code page of the archived names (default 1252)"}},
    "ARCHIVE",
    "Decodes every file of ARCHIVE without writing it: one line per file (ok, damaged or\n"
    "FAILED) on stdout and a summary. Every file's size is checked, and so are a missing\n"
    "volume and data that cannot be decoded. Whether the content is right can be checked only\n"
    "when the archive is sealed (see pack), by its SHA-256; an unsealed archive says so first.\n"
    "On a terminal a progress bar is drawn on stderr.\n",
    "Exit status: 0 when every file is ok; 1 when any fails or the archive cannot be read; 2 on\n"
    "a usage error.\n",
    RunTest};

}  // namespace varn::cli
