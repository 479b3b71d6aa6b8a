// The offline check of the component file and the agent's configuration
// file: read with the agent's own readers into this process's records,
// compared with what the files say, and the generated dhcpd.conf checked
// by dhcpd -t, all in a temporary directory.
#ifndef TAVRELCTL_CTL_CHECK_H
#define TAVRELCTL_CTL_CHECK_H

#include <string>
#include <vector>

#include "model/problems.h"

// Section and key of each "key = value" line of a component file, with its
// 1-based line number; values trimmed.
struct CtlComponentLine {
  int line = 0;
  std::string section;
  std::string key;
  std::string value;
};
std::vector<CtlComponentLine> ctlComponentLines(const std::string& text);

// The problems of the line-by-line comparison of a component file with the
// file the agent writes back after reading it: unknown sections and keys,
// repeated keys and values the agent does not use as written.
std::vector<DhcpCompReadProblem> ctlCompareComponentFiles(const std::string& file,
                                                          const std::string& original,
                                                          const std::string& asRead);

// Checks both files; every problem found, in file and line order. why is
// set when the check itself could not run.
std::vector<DhcpCompReadProblem> ctlCheckFiles(const std::string& componentFile,
                                               const std::string& configFile, std::string& why);

#endif
