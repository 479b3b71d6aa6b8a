// Text rules of the XML we write and read: escaping for element content
// and attribute values, and the UTF-8 check of incoming documents.
#ifndef OW_SERVER_XMLESCAPE_H
#define OW_SERVER_XMLESCAPE_H

#include <cstddef>
#include <string>

namespace OpenWBEM {

// Appends text escaped for XML 1.0. Markup characters become entity
// references; CR (and in attributes also LF and TAB) become character
// references so that a parser returns them unchanged. What XML 1.0 cannot
// carry at all (bytes that are not UTF-8, control characters other than
// TAB/LF/CR, U+FFFE/U+FFFF) becomes U+FFFD, so the output always parses.
void xmlAppendEscaped(std::string& out, const char* text, std::size_t length, bool attribute);

inline void xmlAppendEscaped(std::string& out, const std::string& text, bool attribute) {
  xmlAppendEscaped(out, text.data(), text.size(), attribute);
}

// True when every byte sequence is well-formed UTF-8 and encodes a
// character XML 1.0 allows.
bool xmlIsValidText(const char* text, std::size_t length);

// True when the text holds a character reference to U+0000 ("&#0;",
// "&#x00;" ...). XML forbids it, and a parser that decodes it into a
// terminated string would cut the value there without a word.
bool xmlHasNulReference(const char* text, std::size_t length);

}  // namespace OpenWBEM

#endif
