#include "XMLEscape.h"

#include <boost/locale/utf.hpp>

namespace OpenWBEM {

namespace {

using Utf8 = boost::locale::utf::utf_traits<char>;
using boost::locale::utf::code_point;

// UTF-8 of U+FFFD REPLACEMENT CHARACTER.
const char kReplacement[] = "\xEF\xBF\xBD";

bool isXmlChar(code_point c) {
  if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
  return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

// Decodes one character at p (advancing p); returns false for a byte that
// does not start a valid character, advancing p by that one byte only.
bool decodeXmlChar(const char*& p, const char* end, code_point& c) {
  const char* start = p;
  c = Utf8::decode(p, end);
  if (c == boost::locale::utf::illegal || c == boost::locale::utf::incomplete || !isXmlChar(c)) {
    p = start + 1;
    return false;
  }
  return true;
}

}  // namespace

void xmlAppendEscaped(std::string& out, const char* text, std::size_t length, bool attribute) {
  const char* p = text;
  const char* end = text + length;
  while (p < end) {
    unsigned char b = static_cast<unsigned char>(*p);
    switch (b) {
      case '&':
        out += "&amp;";
        ++p;
        continue;
      case '<':
        out += "&lt;";
        ++p;
        continue;
      case '>':
        out += "&gt;";
        ++p;
        continue;
      case '"':
        out += "&quot;";
        ++p;
        continue;
      case '\r':
        out += "&#13;";
        ++p;
        continue;
      case '\n':
        out += attribute ? "&#10;" : "\n";
        ++p;
        continue;
      case '\t':
        out += attribute ? "&#9;" : "\t";
        ++p;
        continue;
      default:
        break;
    }
    if (b >= 0x20 && b < 0x80) {
      // Copy the whole run of plain ASCII at once.
      const char* run = p;
      while (p < end && static_cast<unsigned char>(*p) >= 0x20 && static_cast<unsigned char>(*p) < 0x80 &&
             *p != '&' && *p != '<' && *p != '>' && *p != '"')
        ++p;
      out.append(run, p);
      continue;
    }
    const char* start = p;
    code_point c;
    if (decodeXmlChar(p, end, c))
      out.append(start, p);
    else
      out += kReplacement;
  }
}

bool xmlIsValidText(const char* text, std::size_t length) {
  const char* p = text;
  const char* end = text + length;
  while (p < end) {
    unsigned char b = static_cast<unsigned char>(*p);
    if (b >= 0x20 && b < 0x80) {
      ++p;
      continue;
    }
    code_point c;
    if (!decodeXmlChar(p, end, c)) return false;
  }
  return true;
}

bool xmlHasNulReference(const char* text, std::size_t length) {
  const char* end = text + length;
  for (const char* p = text; p + 3 < end; ++p) {
    if (p[0] != '&' || p[1] != '#') continue;
    const char* digits = p + 2;
    if (*digits == 'x' || *digits == 'X') ++digits;
    const char* q = digits;
    while (q < end && *q == '0') ++q;
    if (q > digits && q < end && *q == ';') return true;
  }
  return false;
}

}  // namespace OpenWBEM
