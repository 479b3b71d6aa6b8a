// The sink of the readers' problem reports (see model/problems.h).
#include "model/problems.h"

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
