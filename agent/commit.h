// The commit of configuration changes: how it is checked ("dhcpd -t") and
// deferred, and what the last one left. The commit itself
// (dhcpCompCommitConfigurationChanges) is declared in dhcpcompdaemon.h with
// the other calls of libTavrel.
#ifndef TAVREL_AGENT_COMMIT_H
#define TAVREL_AGENT_COMMIT_H

#include <time.h>

#include <string>

#include "dhcpcompdaemon.h"
#include "dhcpresult.h"
#include "tavrel_export.h"

// Where a new dhcpd.conf is checked before it replaces the live one, and
// where dhcpd's answer to the check goes.
#define DHCPD_CONF_CHECK_FILE "/pq/etc/dhcpd.conf.new"
#define DHCPD_CHECK_OUTPUT_FILE "/var/run/dhcpd.check.txt"

TAVREL_EXTERN_C_BEGIN

// An empty call-server address of the customer LAN stands for the published
// address: copies it into s1Address and s2Address where their empty-flags
// are set and the customer LAN has an address.
TAVREL_EXPORT void dhcpCompFillEmptyCallServers(void);

// Between these two calls (they nest) dhcpCompCommitConfigurationChanges
// does nothing and returns 0: for a rebuild that tears records down and
// commits once at its end. Prefer CommitDeferral.
TAVREL_EXPORT void dhcpCompDeferCommits(void);
TAVREL_EXPORT void dhcpCompResumeCommits(void);

TAVREL_EXTERN_C_END

// Defers commits for the life of the object (see dhcpCompDeferCommits).
class CommitDeferral {
 public:
  CommitDeferral() { dhcpCompDeferCommits(); }
  ~CommitDeferral() { dhcpCompResumeCommits(); }
  CommitDeferral(const CommitDeferral&) = delete;
  CommitDeferral& operator=(const CommitDeferral&) = delete;
};

// Checks text as dhcpd.conf with "dhcpd -t" without touching the live file.
// 0 when dhcpd accepts it; otherwise DHCP_RC_CONFIG_REFUSED and *said (may
// be null) holds what dhcpd printed (one line, banner left out).
TAVREL_EXPORT int dhcpCompCheckDhcpdConfig(const std::string& text, std::string* said);

// Why the last commit failed (dhcpd's words for a refused configuration),
// empty after a commit that succeeded.
TAVREL_EXPORT std::string dhcpCompCommitFailureText(void);
// Sets the text dhcpCompCommitFailureText returns.
void dhcpCompSetCommitFailureText(const std::string& text);
// When the last commit ran (0: none since start-up) and its failure text
// (empty: it succeeded).
TAVREL_EXPORT time_t dhcpCompLastCommit(std::string* failure);

#endif
