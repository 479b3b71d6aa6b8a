// Parser of a program's command line against a table of options.
#ifndef OPENWBEM_CMDLINEPARSER_H
#define OPENWBEM_CMDLINEPARSER_H

#include "openwbem/Array.h"
#include "openwbem/Exception.h"
#include "openwbem/SortedVectorMap.h"
#include "openwbem/String.h"

namespace OpenWBEM {

// Raised by CmdLineParser; getErrorCode() is one of CmdLineParser::EErrorCodes.
OW_DECLARE_EXCEPTION(CmdLineParser);

class CmdLineParser {
 public:
  enum EArgumentTypeFlag {
    E_NO_ARG,
    E_REQUIRED_ARG,
    // The argument must be attached: "-dvalue" or "--debug=value".
    E_OPTIONAL_ARG
  };

  enum EErrorCodes {
    E_INVALID_OPTION = 1,      // an option not in the table
    E_MISSING_ARGUMENT = 2,    // a required argument is missing
    E_UNEXPECTED_ARGUMENT = 3  // "--name=value" for an option without argument
  };

  // One entry of the option table. The table ends with an entry that has
  // neither a short nor a long option.
  struct Option {
    int id;
    char shortopt;        // 0: none
    const char* longopt;  // 0: none
    EArgumentTypeFlag argtype;
    const char* defaultValue;  // value of an optional argument left out; 0 means ""
    const char* description;
  };

  // Parses argv[1..argc-1]. Short options: "-c value", "-cvalue", and
  // groups of options without argument ("-dh"). Long options:
  // "--config=value" and "--config value". "--" ends the options;
  // everything else that does not start with '-' (and "-" itself) is a
  // non-option argument. Throws CmdLineParserException with a message
  // naming the option and one of EErrorCodes.
  CmdLineParser(int argc, char const* const* argv, const Option* options);

  bool isSet(int id) const;
  // Last value given for the option (an optional argument left out gives
  // its default value), or "" when it was not given.
  String getOptionValue(int id, const char* defaultValue = "") const;
  // Every value given for the option, in command-line order.
  StringArray getOptionValueList(int id) const;

  std::size_t getNonOptionCount() const { return m_nonOptionArgs.size(); }
  const String& getNonOptionArg(std::size_t i) const { return m_nonOptionArgs[i]; }
  const StringArray& getNonOptionArgs() const { return m_nonOptionArgs; }

  // Help text: one line per option, "-c, --config <arg>" and its description.
  static String getUsage(const Option* options);

 private:
  SortedVectorMap<int, StringArray> m_parsed;
  StringArray m_nonOptionArgs;
};

}  // namespace OpenWBEM

#endif
