#pragma once
// The operating-system roles the program needs, named by role. One backend per platform
// (posix/ or win32/) implements this header; which one is chosen at build time.
//
// Paths are in the program's own form everywhere: backslash as separator, as on Windows.
// The POSIX backend turns '\' into '/' for paths it passes to the OS and '/' into '\' for paths
// it hands back (current directory, temporary path, module path, names it finds), so the path
// rules of the support layer hold unchanged on every platform.
//
// No function here throws; failures come back as results.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varn::platform {

// A file time: 100-nanosecond intervals since 1 January 1601, as Windows counts them. Whether
// it is universal or local time depends on where it comes from (see each function).
struct FileTime {
  uint64_t Ticks = 0;
  friend bool operator==(const FileTime&, const FileTime&) = default;
};

constexpr uint32_t AttributeReadOnly = 0x01;
constexpr uint32_t AttributeDirectory = 0x10;
constexpr uint32_t AttributeArchive = 0x20;

struct DirectoryEntry {
  std::string Name;  // the entry's own name, without directory (for a plain name: as given)
  uint32_t Attributes = 0;
  FileTime LastWriteTime;  // universal time
};

// Searches for a directory entry as FindFirstFileA does: '*' and '?' in the last component act
// as wildcards (ASCII case folded), and the first entry found is returned. A plain name is
// looked up as it is. Nothing when no entry matches or the search fails.
std::optional<DirectoryEntry> FindEntry(const std::string& Pattern);

// The attributes of a path (AttributeDirectory, ...), or nothing when the call fails.
std::optional<uint32_t> FileAttributes(const std::string& Path);

// Creates one directory; false when it could not be created (or exists already).
bool CreateDirectory(const std::string& Path);

// Renames a file within its directory; a file of the new name is replaced in the same step.
// False when it cannot be done (a directory of the new name, a file in use on Windows, ...).
bool RenameFile(const std::string& From, const std::string& To);

// Whether RenameFile may put a new file in place of what is at Path where CreateFile would have
// written it: true when nothing is there or a regular file that is not read-only; false for a
// directory, a symbolic link, a device, and on Windows a hidden or system file or a reparse
// point, which CreateFile refuses too.
bool CanReplaceFile(const std::string& Path);

// Gives the file Existing a second name, Link, in the same directory (a hard link); false when
// it cannot be done (Link exists, a file system without hard links, ...).
bool LinkFile(const std::string& Existing, const std::string& Link);

// Has the names in Directory (empty: the current one) written through to the disk, so that the
// renames made in it survive a crash; false when that fails. On Windows a rename is written
// through when it returns, and this does nothing.
bool FlushDirectory(const std::string& Directory);

// What tells one file from another by whatever path it is reached (links included): device and
// inode number on POSIX, volume serial number and file index on Windows.
struct FileIdentity {
  uint64_t Volume = 0;
  uint64_t Index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file or directory at Path; nothing when there is none or it cannot be
// reached.
std::optional<FileIdentity> IdentifyFile(const std::string& Path);

// An open file. Files are opened by these two calls only and closed by CloseFile. Both fail for
// a path holding a NUL: the OS would open only the part before it.
using FileHandle = std::intptr_t;
constexpr FileHandle InvalidFileHandle = -1;

// Opens an existing file for reading only; others may read and write it meanwhile.
FileHandle OpenFile(const std::string& Path);

// Creates a file afresh (an existing one is truncated) for reading and writing, not shared,
// with normal attributes. A symbolic link at Path is never followed: the call fails instead.
FileHandle CreateFile(const std::string& Path);

// Creates a file only if no entry of that name exists (a symbolic link included), for reading
// and writing, not shared; fails otherwise. So a name chosen for a file of our own can never
// lead into a file that someone else placed there. OwnerOnly (a private key, say): on POSIX
// only the owner may read or write it (0600) from the start; on Windows it takes the
// permissions of its directory, as every file does.
FileHandle CreateNewFile(const std::string& Path, bool OwnerOnly = false);

// Gives the file To the permissions of the file at From (on POSIX its mode bits, so that a copy
// of a program can be run too); Windows has nothing to copy. False when that fails.
bool CopyPermissions(const std::string& From, FileHandle To);

// The number of bytes read (0 at the end), or -1 when the call fails.
int32_t ReadFile(FileHandle File, void* Buffer, int32_t Count);

// The system's code for why the last call of this layer that failed did (errno, GetLastError),
// to be read right after it; and the system's own words for such a code (strerror,
// FormatMessage), for a message that says more than "it failed".
int32_t LastErrorCode();
std::string ErrorText(int32_t Code);

// The number of bytes stored, which is less than Count when the disk is full; -1 on failure.
int32_t WriteFile(FileHandle File, const void* Buffer, int32_t Count);

enum class SeekOrigin { Beginning, Current, End };

// Moves the file position; returns the new position, or -1 when the call fails (a negative
// target position fails and leaves the position unchanged).
int64_t SeekFile(FileHandle File, int64_t Offset, SeekOrigin Origin);

void CloseFile(FileHandle File);

// Has the file's data written through to the disk; false when that fails.
bool FlushFile(FileHandle File);

// Removes a file (never a directory); false when it could not be removed.
bool DeleteFile(const std::string& Path);

// The last-write time of an open file, universal time.
bool GetFileLastWriteTime(FileHandle File, FileTime& Universal);

// Sets the last-write time of a file opened by CreateFile; creation and access times stay.
bool SetFileLastWriteTime(FileHandle File, const FileTime& Universal);

// Conversions between universal and local file time, and to and from the packed date and time
// of file allocation tables (2-second resolution; the packed form holds the years 1980 to 2107,
// a time outside them fails).
bool FileTimeToLocalFileTime(const FileTime& Universal, FileTime& Local);
bool LocalFileTimeToFileTime(const FileTime& Local, FileTime& Universal);
bool FileTimeToDosDateTime(const FileTime& Time, uint16_t& FatDate, uint16_t& FatTime);
bool DosDateTimeToFileTime(uint16_t FatDate, uint16_t FatTime, FileTime& Time);

// A path as the user or the OS writes it (native text, see below), in the program's form ('/'
// becomes '\', and the text is converted as the Text of names section below says), and back.
// For command-line tools, which take and show native paths.
std::string InternalPath(const std::string& Native);
std::string NativePath(const std::string& Internal);

// The last part of a native path as the OS splits it: after the last '/' on POSIX (where a
// '\' or ':' is part of a name), after the last '\' or '/' or a drive's colon on Windows.
std::string NativeFileName(const std::string& Native);

// Text of names. Inside the program, names and paths are 8-bit text in a Windows code page, as
// archives store them. Native text, what the user types and the tools show, is UTF-8 on every
// platform.
// - POSIX names files in UTF-8: every path the backend passes to the OS or hands back is
//   converted there in the code page set here (Windows-1252 unless set otherwise).
// - Windows: the backend calls the system's wide-character functions and converts paths between
//   the ANSI code page and UTF-16 as the system's ANSI functions do, so a path means what it
//   meant to them; the code page set here only says how names are shown and typed.
// A byte the code page leaves undefined shows as the four characters \xNN (NN in upper-case
// hexadecimal), which read back as the byte, so every archived name has a native form. A
// component of a path from the OS that has no form in the code page of paths (a user's profile
// folder named Łukasz on a Western Windows), or on POSIX one that holds a '\' (a character of a
// POSIX name, a separator inside), is carried inside as its UTF-8 behind the byte 0x01, a '\' in
// it as 0x01 too, so the user's own paths always work.

// Sets the code page of names (a Windows code page number: 1252, 1251, 437, ...); false,
// changing nothing, when it is not a single-byte code page the system can convert.
bool SetNameCodePage(uint32_t CodePage);

// The code page of names: the one set, or 1252 on POSIX and the ANSI code page on Windows.
uint32_t NameCodePage();

enum class ControlCharacters { Kept, Escaped };

// 8-bit text as native text (UTF-8). Escaped: control
// characters (codes 0 to 31 and 127) become \xNN too, for a line of output.
std::string NativeText(const std::string& Text,
                       ControlCharacters Controls = ControlCharacters::Kept);

// Native text (a name the user typed or the OS gave) as 8-bit text; \xNN of an undefined byte
// or a control character reads as that byte. Nothing when a character has no form in the code
// page, or the text is no UTF-8.
std::optional<std::string> InternalText(const std::string& Native);

// 8-bit text as UTF-8 on every platform (for JSON), undefined bytes as \xNN.
std::string Utf8Text(const std::string& Text);

// A name (8-bit text in the code page of names) with every letter in upper case as Windows
// folds names when it compares them: the letters of the code page, not only ASCII (é to É in
// 1252). A character whose upper case the code page lacks stays as it is. Two names that come
// out equal are one file on Windows.
std::string UpperCaseName(const std::string& Name);

// The columns that native text takes on a terminal: one per character.
size_t NativeTextWidth(const std::string& Native);

// Fills Buffer with Count bytes of the system's random numbers; false when it gives none.
bool RandomBytes(void* Buffer, size_t Count);

// The process's current directory: no trailing backslash, except at a root.
std::string CurrentDirectory();

// The directory for temporary files, with a trailing backslash, read whole whatever its
// length; nothing when the platform cannot name one. The shared directory itself ($TMPDIR or
// /tmp, %TEMP%) is no such place: any process may have left files there under the names a
// program is about to write and start (a DLL that Windows loads from a program's own directory
// first). So it is a new directory of this process alone below it, varn-setup.XXXXXX, made
// exclusively under a random name by the first call (mode 0700 on POSIX; on Windows open to the
// user, SYSTEM and Administrators only); later calls give the same one. Nothing removes it: a
// program started from it may still need its files.
std::optional<std::string> TemporaryPath();

// How a start went. Reason is the system's own text for the error (no full stop at its end),
// empty after a start.
struct StartResult {
  bool Started = false;
  // Windows would start the program only with administrator rights, which its manifest (or the
  // system's installer detection) asks for: StartProgramElevated can start it.
  bool ElevationRequired = false;
  std::string Reason;
};

// Starts a program from a command line. The command line is the program's path, one blank and
// one argument, each of the two enclosed in double quotes when it holds a blank or a tab.
// Windows hands the line to the new process as it is, shown normally. POSIX has no command
// line: the program is marked executable for its owner and run without a shell, with the
// argument (its quotes removed) in native form; whether the exec failed is known before this
// returns. Wait: wait until the program has ended; otherwise it goes on on its own.
StartResult StartProgram(const std::string& CommandLine, bool Wait = false);

// Starts a program through the shell, which asks the user's consent to run it with
// administrator rights: Program's path as the file, Parameters as its argument text, the window
// OwnerWindow (0 for none) as the owner of the consent prompt. Only a program is ever started,
// never a document through its file association. Fails on POSIX.
StartResult StartProgramElevated(const std::string& Program, const std::string& Parameters,
                                 std::uintptr_t OwnerWindow);

// The full path of the running program's executable file.
std::string ModuleFileName();

enum class StandardStream { Input, Output, Error };

// True when the standard stream is an interactive terminal (a console on Windows).
bool IsTerminal(StandardStream Stream);

// Writes native text on the standard output or error stream as its reader takes it: unchanged
// on POSIX; on Windows as UTF-16 to a console, and in the console's code page (the ANSI one
// without a console) to a file or pipe, or as it is, UTF-8, when Utf8 says so (JSON). False
// when the write failed (see LastWriteHadNoReader).
bool WriteText(StandardStream Stream, const std::string& Text, bool Utf8 = false);

// The program's arguments (without the program's name) as native text: argv on POSIX; on
// Windows read from the wide command line, so no character is lost to the ANSI code page.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// The width in columns of the terminal that the standard stream is; 0 when it is none or the
// width is unknown.
int TerminalColumns(StandardStream Stream);

// From now on an interrupt (SIGINT, SIGTERM or SIGHUP on POSIX; Ctrl-C or Ctrl-Break on
// Windows) does not end the process but is only noted, so that a long run can stop at a point
// of its choosing and clean up. A signal that was ignored when the process started stays
// ignored (a program started in the background by a shell is not meant to be interrupted).
// A blocking read from a terminal returns early when an interrupt comes.
void CatchInterrupts();

// Whether an interrupt has come since CatchInterrupts.
bool Interrupted();

// Ends the process as the interrupt that came would have ended it, had it not been caught, so
// that whoever started the program sees it was interrupted.
[[noreturn]] void EndAsInterrupted();

// Right after a write to a standard stream failed: true when it failed because the stream is
// a pipe whose reader has closed it (EPIPE on POSIX; on Windows the broken-pipe errors, which
// the C runtime does not all report as EPIPE).
bool LastWriteHadNoReader();

// Ends the process as a program ends whose standard output went to a pipe that its reader has
// closed: on POSIX by SIGPIPE, as coreutils end (InitializeProcess ignores it, so writes fail
// instead); on Windows, which has no such signal, with exit status 0. Nothing is written.
[[noreturn]] void EndAsOutputClosed();

// Called first by every program entry: sets up the process so that failures come back as
// results rather than as system dialogs or signals (a full disk or a file-size limit shows as
// a short write, a missing disk as a failed open).
void InitializeProcess();

}  // namespace varn::platform
