// Text for SVG: XML's special characters as entities, and anything that would make the
// document ill-formed or the line ambiguous (control characters, broken or unsafe UTF-8) as '?'.
#include "sim/Scene.h"

#include <cstdint>
#include <string>

#include "protocol/Utf8.h"

namespace Sim {

std::string Scene::escape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
      std::uint32_t code = 0;
      std::size_t n = Nxt::utf8Sequence(reinterpret_cast<const std::uint8_t*>(text.data()),
                                        text.size(), i, code);
      bool shown = n != 0 && !Nxt::unsafeCharacter(code);  // U+FFFE, U+FFFF make XML ill-formed
      out += shown ? text.substr(i, n) : std::string("?");
      i += n == 0 ? 0 : n - 1;  // one '?' for a whole unsafe character
      continue;
    }
    if (u < 0x20 || u == 0x7F) {
      out += '?';
      continue;
    }
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace Sim
