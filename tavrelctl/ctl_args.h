// tavrelctl's command line: global options, the command and its words and
// options, checked against one table of commands.
#ifndef TAVRELCTL_CTL_ARGS_H
#define TAVRELCTL_CTL_ARGS_H

#include <map>
#include <string>
#include <vector>

// Exit status of tavrelctl.
enum CtlExit { kCtlDone = 0, kCtlFailed = 1, kCtlUsage = 2, kCtlUnreachable = 3 };

struct CtlCommandLine {
  std::string command;                         // "range add", "status", ...
  std::vector<std::string> words;              // the command's own arguments
  std::map<std::string, std::string> options;  // "--json" -> "", "--lan" -> "oam"
  bool has(const std::string& option) const { return options.count(option) != 0; }
  std::string option(const std::string& name, const std::string& fallback = "") const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
  }
};

// Parses argv (without the program name). False with why for a command
// line the table does not allow; "help" and "--help" give command "help".
bool ctlParseArgs(const std::vector<std::string>& args, CtlCommandLine& out, std::string& why);

// The usage text, one line per command of the table.
std::string ctlUsage();

// Splits "NAME=VALUE"; false when there is no "=" or no name.
bool ctlSplitAssignment(const std::string& word, std::string& name, std::string& value);

#endif
