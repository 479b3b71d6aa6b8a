// TEST-ONLY: see agent_stand_ins.h.
#include "agent_stand_ins.h"

#include "dhcpcomp.h"
#include "dhcpcompdaemon.h"

int g_commitCount = 0;

int dhcpCompCommitConfigurationChanges(void) {
  ++g_commitCount;
  return 0;
}
