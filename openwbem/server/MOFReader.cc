#include "openwbem/MOFReader.h"

#include "openwbem/CIMException.h"
#include "openwbem/CIMMethod.h"
#include "openwbem/CIMProperty.h"
#include "openwbem/CIMQualifier.h"
#include "openwbem/CIMValue.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace OpenWBEM {
namespace MOFReader {

namespace {

// Deepest bracket nesting in a skipped statement, and the largest MOF file
// read (the class definitions served are a few dozen kilobytes).
constexpr int kMaxNesting = 32;
constexpr std::streamoff kMaxFileBytes = 4 * 1024 * 1024;

enum class Tok { End, Ident, Str, Int, Real, Punct };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier, decoded string, number text, or the punctuation character
  int line = 0;
};

// Splits MOF text into tokens; comments and #pragma lines vanish here.
class Lexer {
 public:
  Lexer(const std::string& text, const String& source) : m_text(text), m_source(source) {}

  Token next() {
    skipBlanks();
    Token t;
    t.line = m_line;
    if (m_pos >= m_text.size()) return t;
    char c = m_text[m_pos];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      t.kind = Tok::Ident;
      while (m_pos < m_text.size() &&
             (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '_'))
        t.text += m_text[m_pos++];
    } else if (c == '"') {
      t.kind = Tok::Str;
      t.text = readString();
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               ((c == '-' || c == '+' || c == '.') && m_pos + 1 < m_text.size() &&
                std::isdigit(static_cast<unsigned char>(m_text[m_pos + 1])))) {
      t.kind = Tok::Int;
      while (m_pos < m_text.size() &&
             (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '.' ||
              m_text[m_pos] == '-' || m_text[m_pos] == '+')) {
        char d = m_text[m_pos];
        // A sign inside a number is only part of an exponent.
        if ((d == '-' || d == '+') && !t.text.empty() && t.text.back() != 'e' && t.text.back() != 'E') break;
        if (d == '.' || ((d == 'e' || d == 'E') && t.text.find("0x") == std::string::npos &&
                         t.text.find("0X") == std::string::npos))
          t.kind = Tok::Real;
        t.text += d;
        ++m_pos;
      }
    } else if (std::strchr("[](){};:,=", c)) {
      t.kind = Tok::Punct;
      t.text = c;
      ++m_pos;
    } else
      fail(m_line, std::string("unexpected character '") + c + "'");
    return t;
  }

  [[noreturn]] void fail(int line, const std::string& what) const {
    std::string msg = std::string(m_source.c_str()) + ":" + std::to_string(line) + ": " + what;
    OW_THROW(MOFReaderException, msg.c_str());
  }

 private:
  void skipBlanks() {
    while (m_pos < m_text.size()) {
      char c = m_text[m_pos];
      if (c == '\n') {
        ++m_line;
        ++m_pos;
      } else if (std::isspace(static_cast<unsigned char>(c)))
        ++m_pos;
      else if (m_text.compare(m_pos, 2, "//") == 0 || c == '#') {
        while (m_pos < m_text.size() && m_text[m_pos] != '\n') ++m_pos;
      } else if (m_text.compare(m_pos, 2, "/*") == 0) {
        std::size_t end = m_text.find("*/", m_pos + 2);
        if (end == std::string::npos) fail(m_line, "comment not closed");
        for (std::size_t i = m_pos; i < end; ++i) m_line += m_text[i] == '\n';
        m_pos = end + 2;
      } else
        break;
    }
  }

  std::string readString() {
    std::string out;
    ++m_pos;
    while (true) {
      if (m_pos >= m_text.size() || m_text[m_pos] == '\n') fail(m_line, "string not closed");
      char c = m_text[m_pos++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (m_pos >= m_text.size()) fail(m_line, "string not closed");
      char e = m_text[m_pos++];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        default:
          out += e;
          break;  // \" \' \\ and anything else stand for themselves
      }
    }
  }

  const std::string& m_text;
  String m_source;
  std::size_t m_pos = 0;
  int m_line = 1;
};

class Parser {
 public:
  Parser(const std::string& text, const String& source) : m_lexer(text, source) { advance(); }

  CIMClassArray parseAll() {
    CIMClassArray classes;
    while (m_tok.kind != Tok::End) {
      CIMQualifierArray quals = parseQualifierListOpt();
      if (isKeyword("class"))
        classes.push_back(parseClass(quals));
      else if (isKeyword("qualifier") && quals.empty())
        skipStatement();
      else
        fail("expected a class declaration");
    }
    return classes;
  }

 private:
  void advance() { m_tok = m_lexer.next(); }

  [[noreturn]] void fail(const std::string& what) const {
    std::string found = m_tok.kind == Tok::End ? "end of file" : "\"" + m_tok.text + "\"";
    m_lexer.fail(m_tok.line, what + ", found " + found);
  }

  bool isPunct(char c) const { return m_tok.kind == Tok::Punct && m_tok.text[0] == c; }
  bool isKeyword(const char* kw) const {
    return m_tok.kind == Tok::Ident && String(m_tok.text).equalsIgnoreCase(kw);
  }

  void expectPunct(char c) {
    if (!isPunct(c)) fail(std::string("expected '") + c + "'");
    advance();
  }

  String expectIdent(const char* what) {
    if (m_tok.kind != Tok::Ident) fail(std::string("expected ") + what);
    String s(m_tok.text);
    advance();
    return s;
  }

  void skipStatement() {
    int depth = 0;
    while (m_tok.kind != Tok::End && !(depth == 0 && isPunct(';'))) {
      if (isPunct('(') || isPunct('{') || isPunct('[')) {
        if (++depth > kMaxNesting) fail("nested too deeply");
      } else if (isPunct(')') || isPunct('}') || isPunct(']'))
        --depth;
      advance();
    }
    expectPunct(';');
  }

  // One literal: string (adjacent strings join), number, true/false/null.
  CIMValue parseLiteral() {
    if (m_tok.kind == Tok::Str) {
      std::string s;
      while (m_tok.kind == Tok::Str) {
        s += m_tok.text;
        advance();
      }
      return CIMValue(String(s));
    }
    if (m_tok.kind == Tok::Int || m_tok.kind == Tok::Real) {
      CIMValue v = numberValue();
      advance();
      return v;
    }
    if (isKeyword("true") || isKeyword("false")) {
      CIMValue v(isKeyword("true"));
      advance();
      return v;
    }
    if (isKeyword("null")) {
      advance();
      return CIMValue();
    }
    fail("expected a value");
  }

  CIMValue numberValue() const {
    try {
      if (m_tok.kind == Tok::Real) return CIMValue::fromText(String(m_tok.text), CIMDataType::REAL64);
      if (m_tok.text[0] != '-') {
        CIMValue u = CIMValue::fromText(String(m_tok.text), CIMDataType::UINT64);
        if (u.toUInt64() <= static_cast<UInt64>(std::numeric_limits<Int64>::max()))
          return u.convertTo(CIMDataType::SINT64);
        return u;
      }
      return CIMValue::fromText(String(m_tok.text), CIMDataType::SINT64);
    } catch (const CIMException&) {
      fail("invalid number");
    }
  }

  // A literal, or an array literal "{ v, v, ... }".
  CIMValue parseInitializer() {
    if (!isPunct('{')) return parseLiteral();
    advance();
    CIMValueArray elements;
    while (!isPunct('}')) {
      elements.push_back(parseLiteral());
      if (!isPunct(',')) break;
      advance();
    }
    expectPunct('}');
    return arrayOf(elements);
  }

  CIMValue arrayOf(const CIMValueArray& elements) {
    CIMDataType::Type type = CIMDataType::STRING;
    for (const CIMValue& e : elements)
      if (!e.isNull()) {
        type = e.getType();
        break;
      }
    try {
      CIMValueArray converted;
      for (const CIMValue& e : elements) converted.push_back(e.convertTo(type));
      return CIMValue::createArray(type, converted);
    } catch (const CIMException&) {
      fail("array elements of different types");
    }
  }

  CIMQualifierArray parseQualifierListOpt() {
    CIMQualifierArray quals;
    if (!isPunct('[')) return quals;
    advance();
    while (true) {
      String name = expectIdent("a qualifier name");
      CIMValue value(true);
      if (isPunct('(')) {
        advance();
        value = parseLiteral();
        expectPunct(')');
      } else if (isPunct('{'))
        value = parseInitializer();
      if (isPunct(':')) {
        advance();
        while (m_tok.kind == Tok::Ident) advance();
      }
      CIMQualifierSet(quals, CIMQualifier(name, qualifierValue(name, value)));
      if (isPunct(']')) break;
      expectPunct(',');
    }
    advance();
    return quals;
  }

  // Integer qualifier values (MaxLen, MaxValue...) are kept as uint32
  // when they fit, as CIM declares most of them, else as sint64.
  static CIMValue qualifierValue(const String&, const CIMValue& v) {
    if (v.isArray() || !CIMDataType::isIntegerType(v.getType())) return v;
    if (v.getType() == CIMDataType::SINT64 && v.toInt64() >= 0 &&
        v.toInt64() <= std::numeric_limits<UInt32>::max())
      return v.convertTo(CIMDataType::UINT32);
    return v;
  }

  CIMDataType parseType(const String& typeName) {
    CIMDataType::Type t = CIMDataType::strToSimpleType(typeName);
    if (t == CIMDataType::CIMNULL || t == CIMDataType::REFERENCE)
      m_lexer.fail(m_tok.line, "unknown type \"" + typeName.toStdString() + "\"");
    return CIMDataType(t);
  }

  bool parseArraySuffixOpt() {
    if (!isPunct('[')) return false;
    advance();
    if (m_tok.kind == Tok::Int) advance();
    expectPunct(']');
    return true;
  }

  CIMClass parseClass(const CIMQualifierArray& quals) {
    advance();
    CIMClass cls(expectIdent("a class name"));
    cls.setQualifiers(quals);
    if (isPunct(':')) {
      advance();
      cls.setSuperClass(expectIdent("a superclass name"));
    }
    expectPunct('{');
    while (!isPunct('}')) parseFeature(cls);
    advance();
    expectPunct(';');
    return cls;
  }

  void parseFeature(CIMClass& cls) {
    CIMQualifierArray quals = parseQualifierListOpt();
    String typeName = expectIdent("a type or class name");
    if (isKeyword("ref")) {
      advance();
      CIMProperty prop(expectIdent("a reference name"), CIMDataType::reference(typeName));
      prop.setQualifiers(quals);
      if (isPunct('=')) {
        advance();
        parseLiteral();  // default object paths are not kept
      }
      expectPunct(';');
      cls.addProperty(prop);
      return;
    }
    CIMDataType type = parseType(typeName);
    String name = expectIdent("a property or method name");
    if (isPunct('(')) {
      CIMMethod method(name, type);
      method.setQualifiers(quals);
      advance();
      while (!isPunct(')')) {
        method.addParameter(parseParameter());
        if (!isPunct(',')) break;
        advance();
      }
      expectPunct(')');
      expectPunct(';');
      cls.addMethod(method);
      return;
    }
    type.setArrayType(parseArraySuffixOpt());
    CIMProperty prop(name, type);
    prop.setQualifiers(quals);
    if (isPunct('=')) {
      int line = m_tok.line;
      advance();
      CIMValue def = parseInitializer();
      try {
        if (!def.isNull()) prop.setValue(def.convertTo(type.getType()));
      } catch (const CIMException&) {
        m_lexer.fail(line, "default value does not fit the type of " + name.toStdString());
      }
      prop.setDataType(type);
    }
    expectPunct(';');
    cls.addProperty(prop);
  }

  CIMParameter parseParameter() {
    CIMQualifierArray quals = parseQualifierListOpt();
    String typeName = expectIdent("a parameter type");
    CIMParameter param;
    if (isKeyword("ref")) {
      advance();
      param = CIMParameter(expectIdent("a parameter name"), CIMDataType::reference(typeName));
    } else {
      CIMDataType type = parseType(typeName);
      param = CIMParameter(expectIdent("a parameter name"), type);
    }
    CIMDataType type = param.getType();
    type.setArrayType(parseArraySuffixOpt());
    param.setType(type);
    param.setQualifiers(quals);
    return param;
  }

  Lexer m_lexer;
  Token m_tok;
};

}  // namespace

CIMClassArray parse(const String& text, const String& sourceName) {
  Parser parser(text.toStdString(), sourceName);
  return parser.parseAll();
}

CIMClassArray readFile(const String& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) {
    std::string msg = "cannot read MOF file " + path.toStdString() + ": " + std::strerror(errno);
    OW_THROW(MOFReaderException, msg.c_str());
  }
  in.seekg(0, std::ios::end);
  if (in.tellg() > kMaxFileBytes)
    OW_THROW(MOFReaderException, ("MOF file " + path.toStdString() + " is larger than " +
                                  std::to_string(kMaxFileBytes) + " bytes")
                                     .c_str());
  in.seekg(0, std::ios::beg);
  std::ostringstream text;
  text << in.rdbuf();
  return parse(String(text.str()), path);
}

}  // namespace MOFReader
}  // namespace OpenWBEM
