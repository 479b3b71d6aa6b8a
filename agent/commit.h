// The commit of configuration changes: how it is checked ("dhcpd -t") and
// deferred, and what the last one left.
#ifndef TAVREL_AGENT_COMMIT_H
#define TAVREL_AGENT_COMMIT_H

#include <time.h>

#include <string>

#include "model/result.h"
#include "tavrel_agent_api.h"
#include "tavrel_export.h"

// Where a new dhcpd.conf is checked before it replaces the live one, and
// where dhcpd's answer to the check goes.
#define DHCPD_CONF_CHECK_FILE "/pq/etc/dhcpd.conf.new"
#define DHCPD_CHECK_OUTPUT_FILE "/var/run/dhcpd.check.txt"

TAVREL_EXTERN_C_BEGIN

// Applies the current records: first brings them to the state it stores
// (published address, dynamic gateways and call servers refreshed, the
// customer LAN's common settings copied to the VLANs, every range given its
// LAN's gateway), then generates the component configuration file and
// dhcpd.conf from that one state, has dhcpd check dhcpd.conf while the old
// server runs, writes the component file, and restarts dhcpd with the new
// file when it differs from the live one (or no server runs). Changes go
// through DhcpCompChange (tavrel_agent_api.h), which rolls the records back
// when this fails. Commits are serialised. 0 when applied;
// DHCP_RC_CONFIG_REFUSED, DHCP_RC_SERVER_START_FAILED or
// DHCP_RC_CONFIG_WRITE_FAILED (model/result.h) otherwise, with the reason in
// dhcpCompCommitFailureText.
int dhcpCompCommitConfigurationChanges(void);

// An empty call-server address of the customer LAN stands for the published
// address: copies it into s1Address and s2Address where their empty-flags
// are set and the customer LAN has an address.
void dhcpCompFillEmptyCallServers(void);

// Between these two calls (they nest) dhcpCompCommitConfigurationChanges
// does nothing and returns 0: for a rebuild that tears records down and
// commits once at its end. Prefer CommitDeferral.
void dhcpCompDeferCommits(void);
void dhcpCompResumeCommits(void);

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
int dhcpCompCheckDhcpdConfig(const std::string& text, std::string* said);

// Sets the text dhcpCompCommitFailureText returns.
void dhcpCompSetCommitFailureText(const std::string& text);
// When the last commit ran (0: none since start-up) and its failure text
// (empty: it succeeded).
time_t dhcpCompLastCommit(std::string* failure);

#endif
