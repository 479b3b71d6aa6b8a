// Problems a reader finds in a file it reads (a key it does not know, a
// value it cannot use), for whoever checks the file: a reader hands each one
// to dhcpCompReportReadProblem, and the sink the checker set (tavrelctl
// check) collects them. Without a sink a report goes nowhere; the readers
// log as before.
#ifndef TAVREL_AGENT_MODEL_PROBLEMS_H
#define TAVREL_AGENT_MODEL_PROBLEMS_H

#include <functional>
#include <string>

struct DhcpCompReadProblem {
  std::string file;
  int line = 0;  // 1-based; 0 when the problem has no line
  std::string key;
  std::string value;
  std::string text;  // what is wrong and what the reader does instead
};

typedef std::function<void(const DhcpCompReadProblem&)> DhcpCompReadProblemSink;

// Sets the sink (an empty one removes it). Not thread-safe: set it before
// reading.
void dhcpCompSetReadProblemSink(DhcpCompReadProblemSink sink);
// Hands one problem to the sink.
void dhcpCompReportReadProblem(const DhcpCompReadProblem& problem);

#endif
