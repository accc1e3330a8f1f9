// varn list: prints the catalogue of an archive as a table or as JSON.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/ArchiveSignature.h>
#include <varn/archive/SigningKeys.h>
#include <varn/archive/cmp_TFileHeaders.h>
#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/DateTime.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>
#include "tools/varn/Commands.h"

namespace varn::cli {
namespace {

// The signature after the seal of the archive whose catalogue Archive read, in volume 1.
TSignatureReading ReadSignature(const TVarnCompress& Archive) {
  try {
    TFileStream Volume(Archive.CompressedFile(), TFileMode::fmOpenReadShared);
    return ReadArchiveSignature(Volume, Archive.Seal());
  } catch (const EFOpenError&) {
    throw EVCCouldNotOpenCompressedFile(platform::NativePath(Archive.CompressedFile()));
  }
}

// What the listing says of the signature: whether the medium is as the key its block names
// signed it (who that is, only the identifier can tell the reader).
struct SignatureVerdict {
  const char* State;  // none, signed, damaged, unknown, unchecked
  std::string KeyId;  // the key the block names, when it names one
};

SignatureVerdict JudgeSignature(const TFileHeaders& Headers, const TSealReading& Seal,
                                const TSignatureReading& Signature) {
  switch (Signature.State) {
    case TSignatureState::Absent:
      return {"none", ""};
    case TSignatureState::Damaged:
      return {"damaged", ""};
    case TSignatureState::Unknown:
      return {"unknown", ""};
    case TSignatureState::Present:
      break;
  }
  const TPublisherKey& Named = *Signature.Signer;
  const std::string KeyId = KeyIdentifierText(Signature.KeyIdentifier);
  if (Named.Identifier() != Signature.KeyIdentifier) return {"damaged", KeyId};
  switch (CheckSignature(Headers, Seal, Signature, Named)) {
    case TSignatureCheck::Signed:
      return {"signed", KeyId};
    case TSignatureCheck::CannotCheck:
      return {"unchecked", KeyId};
    default:
      return {"damaged", KeyId};
  }
}

std::string SignatureRemark(const SignatureVerdict& Verdict) {
  const std::string State = Verdict.State;
  if (State == "signed") return ", signed by " + Verdict.KeyId;
  if (State == "damaged") return ", signature damaged";
  if (State == "unknown") return ", signature of a kind this varn cannot check";
  if (State == "unchecked") return ", signature by " + Verdict.KeyId + " not checked (no ECDSA)";
  return "";
}

bool IsSealed(const TSealReading& Seal) {
  return Seal.State == TSealState::Present;
}

std::string FileDigest(const TSealReading& Seal, int32_t Index) {
  return DigestText(Seal.Seal.FileHashes.at(static_cast<size_t>(Index)));
}

std::string Disks(const TFileHeaderRecord& R) {
  return R.FirstDisk() == R.LastDisk()
             ? std::to_string(R.FirstDisk())
             : std::to_string(R.FirstDisk()) + "-" + std::to_string(R.LastDisk());
}

std::string Table(const TFileHeaders& Headers, const TlzhFileStats& Totals,
                  const TSealReading& Seal, const SignatureVerdict& Signature) {
  std::vector<std::vector<std::string>> Rows = {
      {"Index", "Name", "Size", "Compressed", "Ratio", "Date", "Version", "Disks", "Start", "End"}};
  if (IsSealed(Seal)) Rows[0].push_back("SHA-256");
  for (int32_t I = 0; I < Headers.Count(); ++I) {
    const TFileHeader& H = Headers.GetFileHeaders(I);
    TlzhFileStats Stats;
    H.CopyToStats(Stats);
    const TFileHeaderRecord& R = H.Record;
    Rows.push_back({std::to_string(I), ShownName(R.FileName()), HumanSize(R.OriginalSize()),
                    HumanSize(R.CompressedSize()), std::to_string(Stats.CompressionRatio) + "%",
                    FormatDateTime(R.FileDate()), ShownName(R.Version()), Disks(R),
                    std::to_string(R.DataStart()), std::to_string(R.DataEnd())});
    if (IsSealed(Seal)) Rows.back().push_back(FileDigest(Seal, I));
  }
  const int32_t Count = Headers.Count();
  int32_t Volumes = 1;
  for (int32_t I = 0; I < Count; ++I)
    Volumes = std::max<int32_t>(Volumes, Headers.GetFileHeaders(I).Record.LastDisk());
  return FormatTable(Rows, {true, false, true, true, true, false, false, true, true, true}) +
         std::to_string(Count) + (Count == 1 ? " file in " : " files in ") +
         std::to_string(Volumes) + (Volumes == 1 ? " volume, " : " volumes, ") +
         HumanSize(Totals.TotalOriginalSize) + ", " + HumanSize(Totals.TotalCompressedSize) +
         " compressed (" + std::to_string(Totals.TotalCompressionRatio) + "%), catalogue tag " +
         std::to_string(Headers.CatalogueTag) + (IsSealed(Seal) ? ", sealed" : ", not sealed") +
         SignatureRemark(Signature) + "\n";
}

std::string Json(const TFileHeaders& Headers, const TlzhFileStats& Totals, const TSealReading& Seal,
                 const SignatureVerdict& Signature) {
  std::string Out =
      "{\"catalogue_tag\":" + std::to_string(Headers.CatalogueTag) +
      ",\"sealed\":" + (IsSealed(Seal) ? "true" : "false") + ",\"signature\":\"" + Signature.State +
      "\",\"signed_by\":" + (Signature.KeyId.empty() ? "null" : "\"" + Signature.KeyId + "\"") +
      ",\"total_original_size\":" + std::to_string(Totals.TotalOriginalSize) +
      ",\"total_compressed_size\":" + std::to_string(Totals.TotalCompressedSize) +
      ",\"total_compression_ratio\":" + std::to_string(Totals.TotalCompressionRatio) +
      ",\"files\":[";
  for (int32_t I = 0; I < Headers.Count(); ++I) {
    const TFileHeader& H = Headers.GetFileHeaders(I);
    TlzhFileStats Stats;
    H.CopyToStats(Stats);
    const TFileHeaderRecord& R = H.Record;
    if (I) Out += ",";
    Out += "{\"index\":" + std::to_string(I) + ",\"name\":" + JsonString(R.FileName()) +
           ",\"original_size\":" + std::to_string(R.OriginalSize()) +
           ",\"compressed_size\":" + std::to_string(R.CompressedSize()) +
           ",\"compression_ratio\":" + std::to_string(Stats.CompressionRatio) +
           ",\"file_date\":" + JsonNumber(R.FileDate()) +
           ",\"date\":" + JsonString(FormatDateTime(R.FileDate())) +
           ",\"version\":" + JsonString(R.Version()) +
           ",\"first_disk\":" + std::to_string(R.FirstDisk()) +
           ",\"last_disk\":" + std::to_string(R.LastDisk()) +
           ",\"data_start\":" + std::to_string(R.DataStart()) +
           ",\"data_end\":" + std::to_string(R.DataEnd()) +
           (IsSealed(Seal) ? ",\"sha256\":\"" + FileDigest(Seal, I) + "\"" : "") + "}";
  }
  return Out + "]}\n";
}

int RunList(const ParsedArguments& Parsed) {
  UseCodePage(Parsed);
  const bool AsJson = Parsed.Has("--json");
  if (Parsed.Operands.empty()) throw UsageError("no archive given");
  if (Parsed.Operands.size() > 1) throw UsageError("more than one archive given");

  // The component's reading, with its seal as the loader checks it: list fails where the loader
  // would.
  TVarnCompress Archive;
  OpenArchive(Archive, Parsed.Operands[0]);
  Archive.CheckSeal = true;
  ShowingNativePaths(Archive, [&] { Archive.ReadHeaders(); });
  const TFileHeaders& Headers = Archive.Headers();
  const TSealReading& Seal = Archive.Seal();
  const SignatureVerdict Verdict = JudgeSignature(Headers, Seal, ReadSignature(Archive));
  if (Seal.State == TSealState::Unknown)
    Note("the seal is of a kind this varn cannot read (version " + std::to_string(Seal.Version) +
         "); the archive is listed as not sealed");
  TlzhFileStats Totals;
  Headers.ResetStats(Totals);
  const std::string Text =
      AsJson ? Json(Headers, Totals, Seal, Verdict) : Table(Headers, Totals, Seal, Verdict);
  Print(Text, AsJson);
  return 0;
}

}  // namespace

const Command ListCommand = {
    "list",
    {{.Long = "--json", .Help = "one JSON object instead of the table"},
     {.Long = "--codepage",
      .Value = "N",
      .Help = "the Windows code page of the archived names (default 1252)"}},
    "ARCHIVE",
    "Prints the catalogue of ARCHIVE, which names any volume of the archive (its extension is\n"
    "replaced by .1). Sizes and offsets are the catalogue's values; Ratio is the compressed\n"
    "size in percent of the original size; Date is the archived modification time. A sealed\n"
    "archive (see pack) is checked against its seal and its files' SHA-256 are shown; a\n"
    "signed one (see sign) says by whose key (verify checks the files too). The\n"
    "table shows sizes in units of 1024; the JSON object gives every value exactly.\n",
    "Exit status: 0 when the catalogue was read; 1 when it cannot be (missing, damaged, or not\n"
    "matching its seal); 2 on a usage error.\n",
    RunList};

}  // namespace varn::cli
