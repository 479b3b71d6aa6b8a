// The keys of the agent's configuration file (tavrel-agent.conf) and the one
// check of their values, shared by the agent and tavrelctl's offline check.
#ifndef TAVREL_AGENT_SETTINGS_H
#define TAVREL_AGENT_SETTINGS_H

#include "openwbem/ConfigFile.h"

constexpr char kCallbackUrlItem[] = "owcimomd.callback_url";
constexpr char kLogLocationItem[] = "owcimomd.log_location";
constexpr char kLogLevelItem[] = "owcimomd.log_level";
// The main loop's rhythm.
constexpr char kPassLengthItem[] = "tavrel_agent.pass_ms";
constexpr char kRouterCheckPassesItem[] = "tavrel_agent.router_check_passes";
// Exhaustion alarm thresholds and the foreign-server probe period.
constexpr char kPoolRaiseItem[] = "tavrel_agent.pool_alarm_raise_percent";
constexpr char kPoolClearItem[] = "tavrel_agent.pool_alarm_clear_percent";
constexpr char kProbeIntervalItem[] = "tavrel_agent.foreign_server_probe_seconds";
// Size of the server lease file above which it is read at most every 30 s.
constexpr char kLeaseFileLimitItem[] = "tavrel_agent.lease_file_limit_bytes";
constexpr unsigned long kLeaseFileLimitDefault = 64ul << 20;

// The verdict on one item of the configuration file: a key outside the
// table is Unknown; a log level or number that does not fit is Invalid,
// with the reason. The http_server and provider_agent keys are the
// provider agent's, which checks their values itself.
OpenWBEM::ConfigFile::ItemVerdict dhcpCompCheckSetting(const OpenWBEM::String& key,
                                                       const OpenWBEM::String& value,
                                                       OpenWBEM::String& reason);

#endif
