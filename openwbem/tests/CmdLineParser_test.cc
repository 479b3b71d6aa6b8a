// Command-line parsing with the agent's option table.
#include "openwbem/CmdLineParser.h"

#include <gtest/gtest.h>

#include <vector>

using namespace OpenWBEM;

namespace {

enum { HELP = 0, DEBUG = 1, CONFIG = 2 };

const CmdLineParser::Option g_options[] = {
    {CONFIG, 'c', "config", CmdLineParser::E_REQUIRED_ARG, 0,
     "Sets the config file.  Command line options take precedence over config file options."},
    {DEBUG, 'd', "debug", CmdLineParser::E_OPTIONAL_ARG, 0, "Debug mode - do not fork"},
    {HELP, 'h', "help", CmdLineParser::E_OPTIONAL_ARG, 0, "Help for this component."},
    {0, 0, 0, CmdLineParser::E_NO_ARG, 0, 0},
};

CmdLineParser parse(std::vector<const char*> args) {
  args.insert(args.begin(), "TavrelAgent");
  return CmdLineParser(static_cast<int>(args.size()), args.data(), g_options);
}

// Error code of the exception parsing args raises (0 when none) and its message.
int parseError(std::vector<const char*> args, std::string* message = 0) {
  try {
    parse(args);
  } catch (const CmdLineParserException& e) {
    if (message) *message = e.getMessage();
    return e.getErrorCode();
  }
  return 0;
}

}  // namespace

TEST(CmdLineParserTest, AgentOptionForms) {
  struct Case {
    std::vector<const char*> args;
    bool help, debug, config;
    const char* configValue;
  };
  const Case cases[] = {
      {{}, false, false, false, ""},
      {{"-h"}, true, false, false, ""},
      {{"-d"}, false, true, false, ""},
      {{"-c", "/pq/etc/ow.conf"}, false, false, true, "/pq/etc/ow.conf"},
      {{"-c/pq/etc/ow.conf"}, false, false, true, "/pq/etc/ow.conf"},
      {{"--config=/pq/etc/ow.conf"}, false, false, true, "/pq/etc/ow.conf"},
      {{"--config", "/pq/etc/ow.conf"}, false, false, true, "/pq/etc/ow.conf"},
      {{"-h", "-c", "f"}, true, false, true, "f"},
      {{"-d", "--help"}, true, true, false, ""},
      {{"-c", "first", "--config=last"}, false, false, true, "last"},
      {{"--config="}, false, false, true, ""},
      // A required argument may look like an option.
      {{"-c", "-d"}, false, false, true, "-d"},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const char* a : c.args) trace += std::string(a) + " ";
    SCOPED_TRACE(trace);
    CmdLineParser p = parse(c.args);
    EXPECT_EQ(c.help, p.isSet(HELP));
    EXPECT_EQ(c.debug, p.isSet(DEBUG));
    EXPECT_EQ(c.config, p.isSet(CONFIG));
    EXPECT_EQ(c.configValue, p.getOptionValue(CONFIG));
  }
}

TEST(CmdLineParserTest, OptionalArgumentOnlyAttached) {
  CmdLineParser attached = parse({"-dverbose"});
  EXPECT_EQ("verbose", attached.getOptionValue(DEBUG));
  CmdLineParser longAttached = parse({"--debug=2"});
  EXPECT_EQ("2", longAttached.getOptionValue(DEBUG));
  // A separate word after an optional-argument option is not its argument.
  CmdLineParser separate = parse({"-d", "file"});
  EXPECT_TRUE(separate.isSet(DEBUG));
  EXPECT_EQ("", separate.getOptionValue(DEBUG));
  ASSERT_EQ(1u, separate.getNonOptionCount());
  EXPECT_EQ("file", separate.getNonOptionArg(0));
  // So "-dh" is -d with argument "h".
  CmdLineParser group = parse({"-dh"});
  EXPECT_FALSE(group.isSet(HELP));
  EXPECT_EQ("h", group.getOptionValue(DEBUG));
}

TEST(CmdLineParserTest, ErrorsNameTheOption) {
  std::string msg;
  EXPECT_EQ(CmdLineParser::E_INVALID_OPTION, parseError({"-x"}, &msg));
  EXPECT_EQ("Unknown option: -x", msg);
  EXPECT_EQ(CmdLineParser::E_INVALID_OPTION, parseError({"--verbose"}, &msg));
  EXPECT_EQ("Unknown option: --verbose", msg);
  EXPECT_EQ(CmdLineParser::E_INVALID_OPTION, parseError({"--conf=x"}));
  EXPECT_EQ(CmdLineParser::E_MISSING_ARGUMENT, parseError({"-c"}, &msg));
  EXPECT_EQ("Option -c requires an argument", msg);
  EXPECT_EQ(CmdLineParser::E_MISSING_ARGUMENT, parseError({"-d", "--config"}, &msg));
  EXPECT_EQ("Option --config requires an argument", msg);
  const CmdLineParser::Option flagOnly[] = {
      {7, 'v', "verbose", CmdLineParser::E_NO_ARG, 0, 0},
      {0, 0, 0, CmdLineParser::E_NO_ARG, 0, 0},
  };
  const char* argv[] = {"prog", "--verbose=1"};
  try {
    CmdLineParser p(2, argv, flagOnly);
    FAIL() << "no exception";
  } catch (const CmdLineParserException& e) {
    EXPECT_EQ(CmdLineParser::E_UNEXPECTED_ARGUMENT, e.getErrorCode());
  }
}

TEST(CmdLineParserTest, NonOptionsAndDefaults) {
  const CmdLineParser::Option options[] = {
      {1, 'l', "level", CmdLineParser::E_OPTIONAL_ARG, "info", 0},
      {2, 'v', 0, CmdLineParser::E_NO_ARG, 0, 0},
      {0, 0, 0, CmdLineParser::E_NO_ARG, 0, 0},
  };
  const char* argv[] = {"prog", "-vl", "a", "-", "--", "-v", "b"};
  CmdLineParser p(7, argv, options);
  EXPECT_TRUE(p.isSet(2));
  EXPECT_EQ("info", p.getOptionValue(1));
  EXPECT_EQ((StringArray{"a", "-", "-v", "b"}), p.getNonOptionArgs());
  EXPECT_EQ("fallback", p.getOptionValue(3, "fallback"));
  String usage = CmdLineParser::getUsage(g_options);
  EXPECT_NE(String::npos, usage.indexOf("-c, --config <arg>"));
  EXPECT_NE(String::npos, usage.indexOf("Debug mode - do not fork"));
}
