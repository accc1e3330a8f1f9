#pragma once
// The \xNN form of a byte that has no character of its own in a name shown to the user; both
// backends write and read it the same way.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varn::platform {

inline bool IsControlCharacter(uint8_t Byte) {
  return Byte < 32 || Byte == 127;
}

inline void AppendByteEscape(std::string& Out, uint8_t Byte) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  Out += "\\x";
  Out += Hex[Byte >> 4];
  Out += Hex[Byte & 15];
}

// The byte of a \xNN (either letter case) at Position of Text; nothing when there is none.
inline std::optional<uint8_t> ByteEscapeAt(std::string_view Text, size_t Position) {
  const auto Digit = [](char C) -> int {
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    return -1;
  };
  if (Position + 4 > Text.size() || Text[Position] != '\\' || Text[Position + 1] != 'x')
    return std::nullopt;
  const int High = Digit(Text[Position + 2]), Low = Digit(Text[Position + 3]);
  if (High < 0 || Low < 0) return std::nullopt;
  return static_cast<uint8_t>(High * 16 + Low);
}

// The length of the UTF-8 character at Position of Text: its lead byte and the continuation
// bytes after it, at most 4; whether they form a character is for the decoder to say.
inline size_t Utf8CharacterLength(std::string_view Text, size_t Position) {
  size_t Length = 1;
  if (static_cast<uint8_t>(Text[Position]) >= 0x80)
    while (Position + Length < Text.size() && Length < 4 &&
           (static_cast<uint8_t>(Text[Position + Length]) & 0xC0) == 0x80)
      ++Length;
  return Length;
}

}  // namespace varn::platform
