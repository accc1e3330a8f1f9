#include <varn/archive/SigningKeys.h>

#include <algorithm>
#include <cstring>

namespace varn {
namespace {

constexpr uint8_t EcPublicKeyOid[] = {0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01};
constexpr uint8_t Prime256v1Oid[] = {0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};
constexpr uint8_t TagInteger = 0x02, TagBitString = 0x03, TagOctetString = 0x04, TagOid = 0x06,
                  TagSequence = 0x30, TagParameters = 0xa0, TagPublicKey = 0xa1;

const char Base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const std::vector<uint8_t>& Bytes) {
  std::string Text;
  for (size_t At = 0; At < Bytes.size(); At += 3) {
    const size_t Count = std::min<size_t>(3, Bytes.size() - At);
    uint32_t Group = 0;
    for (size_t I = 0; I < 3; ++I)
      Group = Group << 8 | (I < Count ? Bytes[At + I] : 0);
    for (size_t I = 0; I < 4; ++I)
      Text += I <= Count ? Base64Digits[(Group >> (18 - 6 * I)) & 63] : '=';
  }
  return Text;
}

// Nothing but digits, '=' only at the end, whitespace anywhere; false otherwise.
bool FromBase64(const std::string& Text, std::vector<uint8_t>& Bytes) {
  uint32_t Group = 0;
  int Bits = 0;
  bool Padding = false;
  for (const char C : Text) {
    if (C == ' ' || C == '\t' || C == '\r' || C == '\n') continue;
    if (C == '=') {
      Padding = true;
      continue;
    }
    const char* Digit = std::strchr(Base64Digits, C);
    if (!Digit || C == '\0' || Padding) return false;
    Group = (Group << 6 | static_cast<uint32_t>(Digit - Base64Digits)) & 0xFFFFFF;
    Bits += 6;
    if (Bits >= 8) {
      Bits -= 8;
      Bytes.push_back(static_cast<uint8_t>(Group >> Bits));
    }
  }
  return true;
}

struct PemBlock {
  std::string Label;
  std::vector<uint8_t> Bytes;
};

// The first "-----BEGIN LABEL-----" ... "-----END LABEL-----" of Text; nothing when there is
// none, or its body is no base64 (an encrypted PEM's headers, say).
std::optional<PemBlock> FirstPemBlock(const std::string& Text) {
  const std::string Begin = "-----BEGIN ", Dashes = "-----";
  const size_t Start = Text.find(Begin);
  if (Start == std::string::npos) return std::nullopt;
  const size_t LabelAt = Start + Begin.size();
  const size_t LabelEnd = Text.find(Dashes, LabelAt);
  if (LabelEnd == std::string::npos) return std::nullopt;
  PemBlock Block;
  Block.Label = Text.substr(LabelAt, LabelEnd - LabelAt);
  const size_t Body = LabelEnd + Dashes.size();
  const size_t End = Text.find("-----END " + Block.Label + Dashes, Body);
  if (End == std::string::npos || !FromBase64(Text.substr(Body, End - Body), Block.Bytes))
    return std::nullopt;
  return Block;
}

std::string Pem(const std::string& Label, const std::vector<uint8_t>& Bytes) {
  const std::string Digits = Base64(Bytes);
  std::string Text = "-----BEGIN " + Label + "-----\n";
  for (size_t At = 0; At < Digits.size(); At += 64)
    Text += Digits.substr(At, 64) + "\n";
  return Text + "-----END " + Label + "-----\n";
}

// One DER element after another, each read only within the bytes of its parent.
class DerReader {
 public:
  DerReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}

  bool AtEnd() const { return FAt == FSize; }
  uint8_t PeekTag() const { return AtEnd() ? 0 : FData[FAt]; }

  // The next element if it has Tag: its contents in Inner.
  bool Next(uint8_t Tag, DerReader& Inner) {
    if (FSize - FAt < 2 || FData[FAt] != Tag) return false;
    size_t At = FAt + 1, Length = FData[At++];
    if (Length & 0x80) {
      const size_t Octets = Length & 0x7F;
      if (Octets == 0 || Octets > 2 || FSize - At < Octets) return false;
      Length = 0;
      for (size_t I = 0; I < Octets; ++I)
        Length = Length << 8 | FData[At++];
    }
    if (FSize - At < Length) return false;
    Inner = DerReader(FData + At, Length);
    FAt = At + Length;
    return true;
  }

  bool Is(const uint8_t* Bytes, size_t Count) const {
    return FSize == Count && std::equal(Bytes, Bytes + Count, FData);
  }
  template <size_t Count>
  bool Is(const uint8_t (&Bytes)[Count]) const {
    return Is(Bytes, Count);
  }
  const uint8_t* Data() const { return FData; }
  size_t Size() const { return FSize; }

 private:
  const uint8_t* FData;
  size_t FSize;
  size_t FAt = 0;
};

bool ExpectOid(DerReader& Parent, const uint8_t* Oid, size_t Count) {
  DerReader Inner(nullptr, 0);
  return Parent.Next(TagOid, Inner) && Inner.Is(Oid, Count);
}

bool IsInteger(DerReader& Parent, uint8_t Value) {
  DerReader Inner(nullptr, 0);
  return Parent.Next(TagInteger, Inner) && Inner.Size() == 1 && Inner.Data()[0] == Value;
}

// SEC1's ECPrivateKey: version 1, the scalar, the curve (when given) and the public point.
bool ReadEcPrivateKey(DerReader Bytes, platform::P256PrivateKey& Private,
                      std::optional<TPublisherKey>& Public) {
  DerReader Key(nullptr, 0), Scalar(nullptr, 0);
  if (!Bytes.Next(TagSequence, Key) || !IsInteger(Key, 1) || !Key.Next(TagOctetString, Scalar) ||
      Scalar.Size() != Private.size())
    return false;
  std::copy_n(Scalar.Data(), Private.size(), Private.begin());
  DerReader Field(nullptr, 0);
  if (Key.PeekTag() == TagParameters &&
      (!Key.Next(TagParameters, Field) || !ExpectOid(Field, Prime256v1Oid, sizeof Prime256v1Oid)))
    return false;
  DerReader Point(nullptr, 0);
  if (Key.PeekTag() == TagPublicKey && Key.Next(TagPublicKey, Field) &&
      Field.Next(TagBitString, Point) && Point.Size() == 66 && Point.Data()[0] == 0 &&
      Point.Data()[1] == 0x04) {
    platform::P256PublicKey XY{};
    std::copy_n(Point.Data() + 2, XY.size(), XY.begin());
    Public = TPublisherKey(XY);
  }
  return true;
}

// PKCS#8's PrivateKeyInfo of an EC key on P-256.
bool ReadPkcs8(const std::vector<uint8_t>& Bytes, platform::P256PrivateKey& Private,
               std::optional<TPublisherKey>& Public) {
  DerReader Whole(Bytes.data(), Bytes.size()), Info(nullptr, 0), Algorithm(nullptr, 0),
      Key(nullptr, 0);
  return Whole.Next(TagSequence, Info) && IsInteger(Info, 0) && Info.Next(TagSequence, Algorithm) &&
         ExpectOid(Algorithm, EcPublicKeyOid, sizeof EcPublicKeyOid) &&
         ExpectOid(Algorithm, Prime256v1Oid, sizeof Prime256v1Oid) && Algorithm.AtEnd() &&
         Info.Next(TagOctetString, Key) && ReadEcPrivateKey(Key, Private, Public);
}

std::vector<uint8_t> Concatenated(std::initializer_list<std::vector<uint8_t>> Parts) {
  std::vector<uint8_t> Bytes;
  for (const auto& Part : Parts)
    Bytes.insert(Bytes.end(), Part.begin(), Part.end());
  return Bytes;
}

// A DER element of short length (below 128 bytes, as every part of a P-256 key is) or of one
// length octet.
std::vector<uint8_t> Element(uint8_t Tag, const std::vector<uint8_t>& Contents) {
  std::vector<uint8_t> Bytes{Tag};
  if (Contents.size() >= 0x80) Bytes.push_back(0x81);
  Bytes.push_back(static_cast<uint8_t>(Contents.size()));
  Bytes.insert(Bytes.end(), Contents.begin(), Contents.end());
  return Bytes;
}

}  // namespace

TSigningKey GenerateSigningKey() {
  platform::P256PrivateKey Private{};
  platform::P256PublicKey Public{};
  if (!platform::GenerateP256(Private, Public))
    throw ESigningKey("This system offers no ECDSA P-256 to make a key with");
  return TSigningKey{Private, TPublisherKey(Public)};
}

std::string PrivateKeyPem(const TSigningKey& Key) {
  const auto& Point = Key.Public.Bytes();
  const std::vector<uint8_t> Curve(std::begin(Prime256v1Oid), std::end(Prime256v1Oid));
  const std::vector<uint8_t> EcKey = Element(
      TagSequence,
      Concatenated({{TagInteger, 1, 1},
                    Element(TagOctetString, {Key.Private.begin(), Key.Private.end()}),
                    Element(TagPublicKey,
                            Element(TagBitString,
                                    Concatenated({{0}, {Point.begin() + 26, Point.end()}})))}));
  const std::vector<uint8_t> Info = Element(
      TagSequence,
      Concatenated({{TagInteger, 1, 0},
                    Element(TagSequence, Concatenated({Element(TagOid, {std::begin(EcPublicKeyOid),
                                                                        std::end(EcPublicKeyOid)}),
                                                       Element(TagOid, Curve)})),
                    Element(TagOctetString, EcKey)}));
  return Pem("PRIVATE KEY", Info);
}

std::string PublicKeyPem(const TPublisherKey& Key) {
  return Pem("PUBLIC KEY", {Key.Bytes().begin(), Key.Bytes().end()});
}

TSigningKey ReadPrivateKeyPem(const std::string& Text, const std::string& Origin) {
  const std::optional<PemBlock> Block = FirstPemBlock(Text);
  if (!Block) throw ESigningKey(Origin + " holds no key in PEM form");
  if (Block->Label == "PUBLIC KEY")
    throw ESigningKey(Origin + " holds a public key; signing takes the private key (NAME.key)");
  if (Block->Label == "ENCRYPTED PRIVATE KEY")
    throw ESigningKey(Origin + " holds an encrypted private key; varn takes it unencrypted");
  platform::P256PrivateKey Private{};
  std::optional<TPublisherKey> Public;
  const bool Read =
      Block->Label == "PRIVATE KEY" ? ReadPkcs8(Block->Bytes, Private, Public)
      : Block->Label == "EC PRIVATE KEY"
          ? ReadEcPrivateKey(DerReader(Block->Bytes.data(), Block->Bytes.size()), Private, Public)
          : false;
  if (!Read) throw ESigningKey(Origin + " holds no ECDSA P-256 private key");
  if (!Public) throw ESigningKey(Origin + " holds a private key without its public key");
  return TSigningKey{Private, *Public};
}

TPublisherKey ReadPublicKeyPem(const std::string& Text, const std::string& Origin) {
  const std::optional<PemBlock> Block = FirstPemBlock(Text);
  if (!Block) throw ESigningKey(Origin + " holds no key in PEM form");
  if (Block->Label.find("PRIVATE KEY") != std::string::npos)
    throw ESigningKey(Origin + " holds a private key; give the public key (NAME.pub) instead");
  std::optional<TPublisherKey> Key;
  if (Block->Label == "PUBLIC KEY")
    Key = TPublisherKey::FromBytes(Block->Bytes.data(), Block->Bytes.size());
  if (!Key) throw ESigningKey(Origin + " holds no ECDSA P-256 public key");
  return *Key;
}

std::vector<uint8_t> SignSeal(const TSigningKey& Key, const std::vector<uint8_t>& SealBytes) {
  const platform::Sha256Digest Digest = SealDigest(SealBytes);
  platform::P256Signature Value{};
  if (!platform::SignP256(Key.Private, Key.Public.Point(), Digest, Value))
    throw ESigningKey("This system cannot sign with this key (ECDSA P-256)");
  if (platform::VerifyP256(Key.Public.Point(), Digest, Value) != platform::SignatureCheck::Valid)
    throw ESigningKey("The public key in the key file does not belong to its private key");
  return EncodeSignature(Key.Public, Value);
}

std::string KeyIdentifierText(const TKeyIdentifier& Identifier) {
  return DigestText(Identifier);
}

}  // namespace varn
