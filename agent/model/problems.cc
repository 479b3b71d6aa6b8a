// The sink of the readers' problem reports (see dhcpcompproblems.h).
#include "dhcpcompproblems.h"

namespace {

DhcpCompReadProblemSink& sink() {
  static DhcpCompReadProblemSink s;
  return s;
}

}  // namespace

void dhcpCompSetReadProblemSink(DhcpCompReadProblemSink s) {
  sink() = std::move(s);
}

void dhcpCompReportReadProblem(const DhcpCompReadProblem& problem) {
  if (sink()) sink()(problem);
}
