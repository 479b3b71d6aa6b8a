// TEST-ONLY stand-in for the commit library (tavrel_agent_commit), for
// tests that make provider objects: the commit counts its calls instead of
// writing files and restarting dhcpd. It defines the commit's names that
// the process library and libTavrel call; a program links it or the commit
// library, never both.
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
