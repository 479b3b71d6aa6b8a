// TEST-ONLY: see agent_stand_ins.h.
#include "agent_stand_ins.h"

#include "commit.h"
#include "model/records.h"
#include "tavrel_agent_api.h"

int g_commitCount = 0;
int g_commitResult = 0;
std::string g_commitFailureText;

int dhcpCompCommitConfigurationChanges(void) {
  ++g_commitCount;
  return g_commitResult;
}

std::string dhcpCompCommitFailureText(void) {
  return g_commitResult != 0 ? g_commitFailureText : "";
}
