#include "loader/mainform_LoadProgram.h"

#include <varn/framework/Exceptions.h>
#include <varn/support/PathHelpers.h>
#include <varn/ui/Application.h>

using namespace varn;

TForm1* Form1 = nullptr;

namespace {

// A part that holds a blank or a tab is quoted, or the system would start the wrong program or
// split the argument; anything else goes in unchanged.
std::string CommandLinePart(const std::string& Text) {
  if (Text.find_first_of(" \t") == std::string::npos) return Text;
  return '"' + Text + '"';
}

// With a publisher's key stamped in, the one message for media other than that publisher signed
// them: unsigned, signed by another key, or changed since (the seal finds what changed).
[[noreturn]] void NotThePublishers(const std::string& Volume1) {
  throw Exception(
      "LOADER: The installation files are not signed by the publisher of this program: " +
      FileNamePart(Volume1));
}

// A sealed medium whose files do not match their seal: the one message the user gets for it,
// naming the damaged file (or setup.1 for its catalogue and seal).
void ReportingDamage(const TStampedKey& Publisher, const std::string& Volume1,
                     TVarnCompress& Archive, void (TVarnCompress::*Step)()) {
  try {
    (Archive.*Step)();
  } catch (const EVCDamaged& E) {
    if (Publisher.State != TStampedKey::Unstamped) NotThePublishers(Volume1);
    throw Exception("LOADER: The installation files are damaged: " + FileNamePart(E.FileName));
  } catch (const EVCWrongDecompressedSize&) {
    // Data changed so that it decodes to another size fails that check before the seal's.
    if (Publisher.State != TStampedKey::Unstamped) NotThePublishers(Volume1);
    throw;
  }
}

// Before anything is extracted: the catalogue and seal just read are the ones the publisher
// signed. A damaged key block checks nothing, and so passes nothing.
void RequirePublishersSignature(const TStampedKey& Publisher, TVarnCompress& Archive) {
  TSignatureCheck Check = TSignatureCheck::NotSigned;
  if (Publisher.Key) {
    try {
      TFileStream Volume1(Archive.CompressedFile(), TFileMode::fmOpenReadShared);
      Check = CheckSignature(Archive.Headers(), Archive.Seal(),
                             ReadArchiveSignature(Volume1, Archive.Seal()), *Publisher.Key);
    } catch (const EFOpenError&) {
    }
  }
  if (Check == TSignatureCheck::CannotCheck)
    throw Exception(
        "LOADER: This system cannot check the publisher's signature of the installation files");
  if (Check != TSignatureCheck::Signed) NotThePublishers(Archive.CompressedFile());
}

}  // namespace

const TFormLayout<TForm1, 4> TForm1::Layout = {
    .Name = "Form1",
    .Caption = "Setup",
    .Left = 202,
    .Top = 109,
    .ClientWidth = 337,
    .ClientHeight = 65,
    .Position = poScreenCenter,
    .BorderStyle = bsSingle,
    .BorderIcons = {},
    .FormStyle = fsStayOnTop,
    .Visible = true,
    .Font =
        {.Name = "Arial", .Height = -11, .Pitch = fpVariable, .Style = {}, .Color = clWindowText},
    .PixelsPerInch = 96,
    .TextHeight = 14,
    .OnActivate = &TForm1::FormActivate,
    .Components = {{
        {.Name = "Label1",
         .Field = &TForm1::Label1,
         .Left = 24,
         .Top = 8,
         .Width = 289,
         .Height = 14,
         .Caption = "Initializing installation software.",
         .AutoSize = false},
        {.Name = "Button1",
         .Field = &TForm1::Button1,
         .Left = 8,
         .Top = 32,
         .Width = 323,
         .Height = 25,
         .Caption = "&Shutdown this program",
         .Visible = false,
         .TabOrder = 0,
         .OnClick = &TForm1::Button1Click},
        {.Name = "ProgressBar1",
         .Field = &TForm1::ProgressBar1,
         .Left = 24,
         .Top = 32,
         .Width = 289,
         .Height = 25,
         .TabOrder = 1,
         .Min = 0,
         .Max = 100,
         .Position = 0},
        {.Name = "VarnCompress1",
         .Left = 8,
         .Top = 8,
         .Configure =
             [](TForm1& Form) {
               Form.VarnCompress1.Name = "VarnCompress1";
               Form.VarnCompress1.Abort = false;
               Form.VarnCompress1.Overwrite = owAlways;
               Form.VarnCompress1.CheckSeal = true;
               Form.VarnCompress1.SafeReplace = true;
               Form.VarnCompress1.OnStatus = [&Form](TVarnCompress& VarnCompress,
                                                     const TlzhFileStats& FileStats) {
                 Form.VarnCompress1Status(VarnCompress, FileStats);
               };
             }},
    }},
};

TForm1::TForm1(TApplication& AOwner) : TForm1(AOwner, CreatePlatformLoaderEnvironment(AOwner)) {}

TForm1::TForm1(TApplication& AOwner, std::unique_ptr<TLoaderEnvironment> Environment)
    : TForm(AOwner), FEnvironment(std::move(Environment)) {
  ReadLayout(Layout);
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::FormActivate(TComponent&) {
  // Extraction pumps messages, and switching windows meanwhile activates this one again.
  if (Activated) return;
  Activated = true;
  Repaint();
  RunLoader();
}

void TForm1::Button1Click(TComponent&) {
  Close();
}

void TForm1::VarnCompress1Status(TVarnCompress&, const TlzhFileStats& FileStats) {
  ProgressBar1.SetPosition(FileStats.TotalPercent);
}

void TForm1::RunLoader() {
  try {
    LoaderDirectory = FEnvironment->CurrentDirectory();
    const std::string ArchivePath = AddBackslash(LoaderDirectory) + "setup.1";
    if (!IsExistingFile(ArchivePath))
      throw Exception("LOADER: Setup.1 must be in the same directory as the the loader program");
    VarnCompress1.SetCompressedFile(ArchivePath);
    const TStampedKey Publisher = FEnvironment->PublisherKey();
    // The catalogue before the temporary path: an unreadable archive is the error reported.
    ReportingDamage(Publisher, ArchivePath, VarnCompress1, &TVarnCompress::ReadHeaders);
    if (Publisher.State != TStampedKey::Unstamped)
      RequirePublishersSignature(Publisher, VarnCompress1);

    const std::optional<std::string> TemporaryDirectory = FEnvironment->TemporaryPath();
    if (!TemporaryDirectory) throw Exception("LOADER: Cannot create the temporary path");
    VarnCompress1.ExtractDirectory = RemoveBackslash(*TemporaryDirectory);
    if (VarnCompress1.FileCount() <= 0) throw Exception("LOADER: No files in setup.1");
    const std::string ProgramName = VarnCompress1.GetFileStats(0).FileName;
    const int32_t Count = VarnCompress1.FileCount();
    for (int32_t Index = 0; Index < Count; ++Index)
      VarnCompress1.FilesToProcess().push_back(VarnCompress1.GetFileStats(Index).FileName);
    ReportingDamage(Publisher, ArchivePath, VarnCompress1, &TVarnCompress::Extract);

    const std::string ProgramPath = AddBackslash(*TemporaryDirectory) + FileNamePart(ProgramName);
    if (!IsExistingFile(ProgramPath))
      throw Exception(
          "LOADER: Cannot find the installation executable file in the temporary directory");
    const std::string Argument = CommandLinePart(RemoveBackslash(LoaderDirectory));
    platform::StartResult Start =
        FEnvironment->StartProgram(CommandLinePart(ProgramPath) + " " + Argument);
    // Most installation programs ask for administrator rights, which only the shell can give
    // them, with the user's consent.
    if (Start.ElevationRequired)
      Start = FEnvironment->StartProgramElevated(ProgramPath, Argument, Handle());
    if (!Start.Started)
      throw Exception("LOADER: Cannot start the installation program " + FileNamePart(ProgramName) +
                      ": " + Start.Reason);
    FEnvironment->PostQuit(0);
  } catch (...) {
    ProgressBar1.Hide();
    Button1.Show();
    throw;
  }
}
