#include "openwbem/CmdLineParser.h"

#include <cstring>

namespace OpenWBEM {

namespace {

bool isEnd(const CmdLineParser::Option& o) {
  return o.shortopt == 0 && o.longopt == 0;
}

const CmdLineParser::Option* findShort(const CmdLineParser::Option* options, char c) {
  for (const CmdLineParser::Option* o = options; !isEnd(*o); ++o) {
    if (o->shortopt == c) return o;
  }
  return 0;
}

const CmdLineParser::Option* findLong(const CmdLineParser::Option* options, const std::string& name) {
  for (const CmdLineParser::Option* o = options; !isEnd(*o); ++o) {
    if (o->longopt && name == o->longopt) return o;
  }
  return 0;
}

[[noreturn]] void fail(const std::string& msg, CmdLineParser::EErrorCodes code) {
  OW_THROW_ERR(CmdLineParserException, msg.c_str(), code);
}

}  // namespace

CmdLineParser::CmdLineParser(int argc, char const* const* argv, const Option* options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--") == 0) {
      for (++i; i < argc; ++i) m_nonOptionArgs.push_back(argv[i]);
      break;
    }
    if (arg[0] != '-' || arg[1] == '\0') {
      m_nonOptionArgs.push_back(arg);
      continue;
    }
    if (arg[1] == '-') {
      std::string body(arg + 2);
      std::size_t eq = body.find('=');
      std::string name = body.substr(0, eq);
      const Option* o = findLong(options, name);
      if (!o) fail("Unknown option: --" + name, E_INVALID_OPTION);
      String value;
      if (eq != std::string::npos) {
        if (o->argtype == E_NO_ARG) fail("Option --" + name + " takes no argument", E_UNEXPECTED_ARGUMENT);
        value = body.substr(eq + 1);
      } else if (o->argtype == E_REQUIRED_ARG) {
        if (i + 1 >= argc) fail("Option --" + name + " requires an argument", E_MISSING_ARGUMENT);
        value = argv[++i];
      } else if (o->argtype == E_OPTIONAL_ARG && o->defaultValue) {
        value = o->defaultValue;
      }
      m_parsed[o->id].push_back(value);
      continue;
    }
    // A group of short options; the first that takes an argument ends it.
    for (const char* p = arg + 1; *p; ++p) {
      const Option* o = findShort(options, *p);
      if (!o) fail(std::string("Unknown option: -") + *p, E_INVALID_OPTION);
      String value;
      if (o->argtype == E_NO_ARG) {
        m_parsed[o->id].push_back(value);
        continue;
      }
      if (p[1] != '\0')
        value = p + 1;
      else if (o->argtype == E_REQUIRED_ARG) {
        if (i + 1 >= argc) fail(std::string("Option -") + *p + " requires an argument", E_MISSING_ARGUMENT);
        value = argv[++i];
      } else if (o->defaultValue)
        value = o->defaultValue;
      m_parsed[o->id].push_back(value);
      break;
    }
  }
}

bool CmdLineParser::isSet(int id) const {
  return m_parsed.find(id) != m_parsed.end();
}

String CmdLineParser::getOptionValue(int id, const char* defaultValue) const {
  SortedVectorMap<int, StringArray>::const_iterator it = m_parsed.find(id);
  if (it == m_parsed.end() || it->second.empty()) return String(defaultValue);
  return it->second.back();
}

StringArray CmdLineParser::getOptionValueList(int id) const {
  SortedVectorMap<int, StringArray>::const_iterator it = m_parsed.find(id);
  return it == m_parsed.end() ? StringArray() : it->second;
}

String CmdLineParser::getUsage(const Option* options) {
  String out;
  for (const Option* o = options; !isEnd(*o); ++o) {
    String names("  ");
    if (o->shortopt) {
      names += '-';
      names += o->shortopt;
      if (o->longopt) names += ", ";
    }
    if (o->longopt) {
      names += "--";
      names += o->longopt;
    }
    if (o->argtype == E_REQUIRED_ARG)
      names += " <arg>";
    else if (o->argtype == E_OPTIONAL_ARG)
      names += o->longopt ? "[=<arg>]" : "[<arg>]";
    out += names;
    if (o->description) {
      for (std::size_t n = names.length(); n < 28; ++n) out += ' ';
      out += ' ';
      out += o->description;
    }
    out += '\n';
  }
  return out;
}

}  // namespace OpenWBEM
