// TEST-ONLY stand-ins for agent functions the range tests do not exercise:
// the commit counts its calls instead of writing files and restarting dhcpd.
#ifndef TAVREL_AGENT_TESTS_AGENT_STAND_INS_H
#define TAVREL_AGENT_TESTS_AGENT_STAND_INS_H

// Calls of dhcpCompCommitConfigurationChanges since the program started.
extern int g_commitCount;

#endif
