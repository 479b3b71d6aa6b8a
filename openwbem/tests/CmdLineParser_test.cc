// Command-line parsing with an option table like the agent's.
#include "openwbem/CmdLineParser.h"

#include <gtest/gtest.h>

#include <vector>

using namespace OpenWBEM;

TEST(CmdLineParserTest, AgentOptionFormsAndErrors) {
  enum { HELP, DEBUG, CONFIG };
  const CmdLineParser::Option options[] = {
      {CONFIG, 'c', "config", CmdLineParser::E_REQUIRED_ARG, 0, "Sets the config file."},
      {DEBUG, 'd', "debug", CmdLineParser::E_OPTIONAL_ARG, 0, "Debug mode - do not fork"},
      {HELP, 'h', "help", CmdLineParser::E_NO_ARG, 0, "Help for this component."},
      {0, 0, 0, CmdLineParser::E_NO_ARG, 0, 0},
  };
  struct Case {
    std::vector<const char*> args;
    const char* result;  // what is set, or the error code and message
  };
  const Case cases[] = {
      {{}, ""},
      {{"-c", "/pq/etc/ow.conf"}, "config=/pq/etc/ow.conf"},
      {{"-c/pq/etc/ow.conf"}, "config=/pq/etc/ow.conf"},
      {{"--config=/pq/etc/ow.conf"}, "config=/pq/etc/ow.conf"},
      {{"--config", "a", "--config="}, "config="},
      {{"-c", "-d"}, "config=-d"},  // a required argument may look like an option
      {{"-d", "--help"}, "help debug="},
      {{"-dh"}, "debug=h"},  // an optional argument only when attached
      {{"--debug=2", "file"}, "debug=2"},
      {{"-x"}, "1 Unknown option: -x"},
      {{"--conf=x"}, "1 Unknown option: --conf"},
      {{"-c"}, "2 Option -c requires an argument"},
      {{"-d", "--config"}, "2 Option --config requires an argument"},
      {{"--help=1"}, "3 Option --help takes no argument"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"TavrelAgent"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.result);
    std::string result;
    try {
      CmdLineParser p(static_cast<int>(argv.size()), argv.data(), options);
      if (p.isSet(HELP)) result += "help ";
      if (p.isSet(DEBUG)) result += "debug=" + p.getOptionValue(DEBUG).toStdString() + " ";
      if (p.isSet(CONFIG)) result += "config=" + p.getOptionValue(CONFIG).toStdString() + " ";
      if (!result.empty()) result.pop_back();
    } catch (const CmdLineParserException& e) {
      result = std::to_string(e.getErrorCode()) + " " + e.getMessage();
    }
    EXPECT_EQ(c.result, result);
  }
  EXPECT_NE(String::npos, CmdLineParser::getUsage(options).indexOf("-c, --config <arg>"));
}
