// TEST-ONLY stand-ins for the commit, for tests that make provider objects:
// the commit counts its calls instead of writing files and restarting dhcpd.
#ifndef TAVREL_AGENT_TESTS_AGENT_STAND_INS_H
#define TAVREL_AGENT_TESTS_AGENT_STAND_INS_H

#include <string>

// Calls of dhcpCompCommitConfigurationChanges since the program started.
extern int g_commitCount;
// What the commit returns (0 unless a test sets it), and the failure text it
// then reports.
extern int g_commitResult;
extern std::string g_commitFailureText;

#endif
