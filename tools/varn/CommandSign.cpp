// varn keygen, sign, stamp and verify: a publisher's key pair, signed media, and loaders that
// take only media signed with the publisher's key (ArchiveSignature.h, SigningKeys.h,
// SignArchive.h, ProgramStamp.h).
#include <memory>
#include <string>
#include <vector>

#include <varn/archive/ArchiveSignature.h>
#include <varn/archive/ProgramStamp.h>
#include <varn/archive/SignArchive.h>
#include <varn/archive/SigningKeys.h>
#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>
#include "tools/varn/Commands.h"
#include "tools/varn/Safeguards.h"

namespace varn::cli {

namespace {

// The file Native (native path), open for reading; Exception naming it when it cannot be.
std::unique_ptr<TFileStream> OpenToRead(const std::string& Native) {
  try {
    return std::make_unique<TFileStream>(platform::InternalPath(Native),
                                         TFileMode::fmOpenReadShared);
  } catch (const EFOpenError&) {
    throw Exception("Cannot open file " + Native);
  }
}

}  // namespace

std::string ReadKeyText(const std::string& Native) {
  const std::unique_ptr<TFileStream> File = OpenToRead(Native);
  // A key is a few hundred bytes: a wrong file is not read whole.
  std::string Text;
  char Buffer[4096];
  for (int32_t Count; Text.size() < (1 << 20) && (Count = File->Read(Buffer, sizeof Buffer)) > 0;)
    Text.append(Buffer, static_cast<size_t>(Count));
  return Text;
}

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& Native) {
  const std::unique_ptr<TFileStream> File = OpenToRead(Native);
  std::vector<uint8_t> Bytes;
  uint8_t Buffer[65536];
  for (int32_t Count; (Count = File->Read(Buffer, sizeof Buffer)) > 0;)
    Bytes.insert(Bytes.end(), Buffer, Buffer + Count);
  if (static_cast<int64_t>(Bytes.size()) != File->Size())
    throw Exception("Could not read all of " + Native);
  return Bytes;
}

// Writes Bytes under a temporary name beside Native, flushes them and renames the file into
// place, replacing one of that name: the file is there whole or not at all. OwnerOnly, and the
// permissions of PermissionsFrom when given: see platform::CreateNewFile, CopyPermissions.
void WriteFileWhole(const std::string& Native, const std::vector<uint8_t>& Bytes, bool OwnerOnly,
                    const std::string& PermissionsFrom = std::string()) {
  const std::string Final = platform::InternalPath(Native);
  std::string Temporary;
  platform::FileHandle File = platform::InvalidFileHandle;
  for (int Attempt = 1; Attempt <= 100 && File == platform::InvalidFileHandle; ++Attempt) {
    Temporary = Final + ".varn-new" + (Attempt == 1 ? std::string() : std::to_string(Attempt));
    File = platform::CreateNewFile(Temporary, OwnerOnly);
    if (File == platform::InvalidFileHandle && !platform::FileAttributes(Temporary)) break;
  }
  if (File == platform::InvalidFileHandle) throw Exception("Cannot create file " + Native);
  bool Written = true;
  for (size_t At = 0; Written && At < Bytes.size();) {
    const auto Piece = static_cast<int32_t>(std::min<size_t>(Bytes.size() - At, 1 << 20));
    Written = platform::WriteFile(File, Bytes.data() + At, Piece) == Piece;
    At += static_cast<size_t>(Piece);
  }
  Written = Written && (PermissionsFrom.empty() ||
                        platform::CopyPermissions(platform::InternalPath(PermissionsFrom), File));
  Written = platform::FlushFile(File) && Written;
  platform::CloseFile(File);
  if (!Written || !platform::RenameFile(Temporary, Final)) {
    platform::DeleteFile(Temporary);
    throw Exception("Could not write " + Native + "; the disk may be full");
  }
}

// The directory part of a native path, in the program's form ("" for none).
std::string DirectoryOf(const std::string& Native) {
  const std::string Path = platform::InternalPath(Native);
  return Path.substr(0, Path.find_last_of("\\/") + 1);
}

std::string KeyId(const TPublisherKey& Key) {
  return KeyIdentifierText(Key.Identifier());
}

// NAME, or NAME.key / NAME.pub as typed: the name both files are made of.
std::string KeyBase(std::string Name) {
  for (const char* Extension : {".key", ".pub"})
    if (Name.size() > 4 && Name.compare(Name.size() - 4, 4, Extension) == 0)
      return Name.substr(0, Name.size() - 4);
  return Name;
}

std::string OneOperand(const ParsedArguments& Parsed, const char* What) {
  if (Parsed.Operands.empty()) throw UsageError(std::string("no ") + What + " given");
  if (Parsed.Operands.size() > 1) throw UsageError(std::string("more than one ") + What + " given");
  return Parsed.Operands[0];
}

int RunKeygen(const ParsedArguments& Parsed) {
  if (!Parsed.Operands.empty()) throw UsageError("keygen takes no operand; name the key with -o");
  const std::string Base = KeyBase(Parsed.Value("--output").value_or(""));
  if (Base.empty()) throw UsageError("no key name given (-o NAME)");
  const std::string Private = Base + ".key", Public = Base + ".pub";
  if (!Parsed.Has("--force"))
    for (const std::string& Name : {Private, Public})
      if (platform::FileAttributes(platform::InternalPath(Name)))
        throw Exception(Name + " exists already; --force replaces it (and its key is lost)");
  CreateOutputDirectory(DirectoryOf(Base));
  const TSigningKey Key = GenerateSigningKey();
  const std::string PrivateText = PrivateKeyPem(Key), PublicText = PublicKeyPem(Key.Public);
  WriteFileWhole(Private, {PrivateText.begin(), PrivateText.end()}, true);
  WriteFileWhole(Public, {PublicText.begin(), PublicText.end()}, false);
  if (!Parsed.Has("--quiet"))
    Print("made " + Private + " (keep it secret) and " + Public + ", key " + KeyId(Key.Public) +
          "\n");
  return 0;
}

int RunSign(const ParsedArguments& Parsed) {
  if (Parsed.Operands.size() != 2)
    throw UsageError(Parsed.Operands.size() < 2 ? "sign needs a key file and an archive"
                                                : "sign takes one key file and one archive");
  const std::string& KeyFile = Parsed.Operands[0];
  const TSigningKey Key = ReadPrivateKeyPem(ReadKeyText(KeyFile), KeyFile);
  platform::CatchInterrupts();
  SignedArchive Signed;
  try {
    Signed =
        SignArchiveFiles(platform::InternalPath(Parsed.Operands[1]),
                         [&Key](const std::vector<uint8_t>& Seal) { return SignSeal(Key, Seal); });
  } catch (const EVCDamagedFile& E) {
    throw Exception(EVCDamagedFile(ShownName(E.FileName)).Message() +
                    "; nothing was signed, the medium is as it was");
  }
  EndIfInterrupted();
  if (!Parsed.Has("--quiet"))
    Print("signed " +
          platform::NativePath(ReplaceExtension(platform::InternalPath(Parsed.Operands[1]), ".1")) +
          " (" + std::to_string(Signed.Plan.VolumeCount) +
          (Signed.Plan.VolumeCount == 1 ? " volume" : " volumes") + ") with key " +
          KeyId(Key.Public) + "\n");
  return 0;
}

int RunStamp(const ParsedArguments& Parsed) {
  const std::string Program = OneOperand(Parsed, "program");
  const std::string KeyFile = Parsed.Value("--key").value_or("");
  const std::string Output = Parsed.Value("--output").value_or("");
  if (KeyFile.empty()) throw UsageError("no public key given (--key NAME.pub)");
  if (Output.empty()) throw UsageError("no output given (-o FILE)");
  const TPublisherKey Key = ReadPublicKeyPem(ReadKeyText(KeyFile), KeyFile);
  std::vector<uint8_t> Image = ReadWholeFile(Program);
  const TStampedKey Before = StampProgram(Image, Key, Program);
  CreateOutputDirectory(DirectoryOf(Output));
  WriteFileWhole(Output, Image, false, Program);
  if (!Parsed.Has("--quiet"))
    Print("stamped " + Output + " with key " + KeyId(Key) +
          (Before.Key && *Before.Key != Key ? " in place of key " + KeyId(*Before.Key) : "") +
          ": it installs only media signed with that key\n");
  return 0;
}

int RunVerify(const ParsedArguments& Parsed) {
  UseCodePage(Parsed);
  const std::string Operand = OneOperand(Parsed, "archive");
  const std::string KeyFile = Parsed.Value("--key").value_or("");
  std::optional<TPublisherKey> Given;
  if (!KeyFile.empty()) Given = ReadPublicKeyPem(ReadKeyText(KeyFile), KeyFile);

  TArchiveTester Archive;
  Archive.CheckSeal = true;
  OpenArchive(Archive, Operand);
  const std::string Shown = platform::NativePath(Archive.CompressedFile());
  // The catalogue and seal are read once: the signature is checked against them, and every
  // file against the seal.
  ShowingNativePaths(Archive, [&] { Archive.ReadHeaders(); });
  TSignatureReading Signature;
  {
    TFileStream Volume1(Archive.CompressedFile(), TFileMode::fmOpenReadShared);
    Signature = ReadArchiveSignature(Volume1, Archive.Seal());
  }
  if (Archive.Seal().State != TSealState::Present)
    throw Exception(Shown + (Archive.Seal().State == TSealState::Absent
                                 ? " is not sealed, so not signed"
                                 : " has a seal of a kind this varn cannot check"));
  switch (Signature.State) {
    case TSignatureState::Absent:
      throw Exception(Shown + " is not signed");
    case TSignatureState::Damaged:
      throw Exception("The signature of " + Shown + " is damaged");
    case TSignatureState::Unknown:
      throw Exception("The signature of " + Shown +
                      " is of a kind this varn cannot check (version " +
                      std::to_string(Signature.Version) + ")");
    case TSignatureState::Present:
      break;
  }
  const TPublisherKey Named = *Signature.Signer;
  if (Named.Identifier() != Signature.KeyIdentifier)
    throw Exception("The signature of " + Shown +
                    " is damaged: its key identifier is not its key's");
  const TPublisherKey& Key = Given ? *Given : Named;
  switch (CheckSignature(Archive.Headers(), Archive.Seal(), Signature, Key)) {
    case TSignatureCheck::CannotCheck:
      throw Exception("This system offers no ECDSA P-256 to check the signature with");
    case TSignatureCheck::NotSigned:
      throw Exception(Given && *Given != Named ? Shown + " is signed by key " + KeyId(Named) +
                                                     ", not by " + KeyId(*Given)
                                               : "The signature of " + Shown +
                                                     " does not match the medium: it was "
                                                     "changed after it was signed");
    case TSignatureCheck::Signed:
      break;
  }
  Print(Shown + ": signed by key " + KeyId(Key) + "\n");

  const int32_t Count = Archive.FileCount();
  int32_t Failed = 0;
  for (int32_t I = 0; I < Count; ++I) {
    const TFileHeaderRecord& Header = Archive.Headers().GetFileHeaders(I).Record;
    const std::string Name = Header.FileName();
    std::string Problem;
    if (Archive.Headers().IndexOfName(Name) != I) {
      Problem = "an earlier entry has the same name, so this one is never extracted";
    } else {
      Archive.FilesToProcess().push_back(Name);
      try {
        Archive.Extract();
      } catch (const EVCDamagedFile&) {
        Problem = "its bytes differ from those signed";
      } catch (const Exception& E) {
        Problem = E.Message();
      }
    }
    Print((Problem.empty() ? "ok      " + ShownName(Name)
                           : "FAILED  " + ShownName(Name) + ": " + Problem) +
          "\n");
    if (!Problem.empty()) ++Failed;
  }
  if (Failed)
    throw Exception(std::to_string(Failed) + " of " + std::to_string(Count) +
                    (Count == 1 ? " file" : " files") + " are not as signed");
  Print("signed by key " + KeyId(Key) + "; " + std::to_string(Count) +
        (Count == 1 ? " file" : " files") + " as signed\n");
  return 0;
}

}  // namespace

const Command KeygenCommand = {
    "keygen",
    {{.Long = "--output",
      .Short = 'o',
      .Value = "NAME",
      .Help = "the name of both files (a .key or .pub given is dropped)"},
     {.Long = "--force", .Help = "replace existing files of those names"},
     {.Long = "--quiet", .Short = 'q', .Help = "print nothing"}},
    "",
    "Makes a publisher's key pair for signing media (ECDSA P-256): NAME.key, the private key\n"
    "(PKCS#8 in PEM, readable by its owner alone), and NAME.pub, the public key\n"
    "(SubjectPublicKeyInfo in PEM), and prints the key identifier: the SHA-256 of the public\n"
    "key's DER bytes (openssl pkey -pubin -in NAME.pub -outform DER | sha256sum). Keep\n"
    "NAME.key secret and safe: media signed with it can be signed by nobody else, and without\n"
    "it by nobody at all. Give NAME.pub to varn stamp and to whoever checks your media.\n",
    "Exit status: 0 when both files were written; 1 on a failure (an existing file without\n"
    "--force); 2 on a usage error.\n",
    RunKeygen};

const Command SignCommand = {
    "sign",
    {{.Long = "--quiet", .Short = 'q', .Help = "print nothing"}},
    "KEY ARCHIVE",
    "Signs the sealed medium ARCHIVE (any of its volumes) with the private key KEY (NAME.key\n"
    "of keygen, or any ECDSA P-256 key in PKCS#8 or SEC1 PEM). The signature lies after the\n"
    "seal in volume 1; readers that do not know it read the medium as before. The medium is\n"
    "written anew, every file's data checked against the seal as it is copied, under\n"
    "temporary names, and replaces the old one only when all is done; its volume size is kept.\n"
    "A medium signed already is signed anew. pack --sign KEY signs while packing.\n",
    "Exit status: 0 when the medium was signed; 1 on a failure (an unsealed or damaged medium\n"
    "is left as it was); 2 on a usage error.\n",
    RunSign};

const Command StampCommand = {
    "stamp",
    {{.Long = "--key",
      .Value = "NAME.pub",
      .Help = "the public key (SubjectPublicKeyInfo PEM, as keygen writes it)"},
     {.Long = "--output",
      .Short = 'o',
      .Value = "FILE",
      .Help = "the stamped copy, written whole or not at all"},
     {.Long = "--quiet", .Short = 'q', .Help = "print nothing"}},
    "PROGRAM",
    "Writes a copy of the loader PROGRAM (loader.exe, or the Linux loader) to FILE with the\n"
    "publisher's public key in it: the copy installs only media signed with that key, and\n"
    "refuses every other medium before it extracts anything. Stamp first, then sign the program\n"
    "(Authenticode): a signed program is refused, since the stamp would break its signature.\n"
    "A stamped program is stamped anew. --key and -o are required.\n",
    "Exit status: 0 when FILE was written; 1 on a failure; 2 on a usage error.\n",
    RunStamp};

const Command VerifyCommand = {
    "verify",
    {{.Long = "--key", .Value = "NAME.pub", .Help = "the publisher's public key"},
     {.Long = "--codepage",
      .Value = "N",
      .Help = "the Windows code page of the archived names (default 1252)"}},
    "ARCHIVE",
    "Checks that the medium ARCHIVE (any of its volumes) is signed and unchanged since: the\n"
    "signature over the seal, and every file against the seal. Prints who signed (the key\n"
    "identifier) and one line per file. Without --key it checks the medium against the key its\n"
    "signature names; compare the identifier with the publisher's. With --key, the medium must\n"
    "be signed by that key.\n",
    "Exit status: 0 when the medium is signed (by the given key) and every file is as signed; 1\n"
    "otherwise; 2 on a usage error.\n",
    RunVerify};

}  // namespace varn::cli
