// UTF-8 as names on the brick and in world files may hold it: which bytes form a character, and
// which characters a terminal line or an XML file must not carry as they are.
#ifndef PROTOCOL_UTF8_H
#define PROTOCOL_UTF8_H

#include <cstddef>
#include <cstdint>

namespace Nxt {

// Length of the well-formed UTF-8 sequence starting at bytes[i] (its code point in `code`), or 0:
// overlong forms, UTF-16 surrogates and code points past U+10FFFF are not UTF-8.
inline std::size_t utf8Sequence(const std::uint8_t* bytes, std::size_t size, std::size_t i,
                                std::uint32_t& code) {
  std::uint8_t lead = bytes[i];
  // 0xF5 to 0xFF lead nothing (nor do 0x80 to 0xC1): such a byte followed by continuation
  // bytes, an 8-bit CSI among them, must not pass for a character.
  std::size_t n = lead >= 0xF5 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (n == 0 || i + n > size) {
    return 0;
  }
  code = lead & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
  for (std::size_t k = 1; k < n; ++k) {
    if ((bytes[i + k] & 0xC0) != 0x80) {
      return 0;
    }
    code = code << 6 | (bytes[i + k] & 0x3F);
  }
  std::uint8_t second = bytes[i + 1];
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
    return 0;
  }
  return n;
}

// A character that breaks a line or steers a terminal without being a C0 control: the C1
// controls (NEL, CSI...), the line and paragraph separators, the bidirectional overrides that
// reorder what is shown, and the noncharacters XML forbids or discourages (U+FFFE, U+FFFF...).
inline bool unsafeCharacter(std::uint32_t code) {
  return (code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069) ||
         (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
}

}  // namespace Nxt

#endif
