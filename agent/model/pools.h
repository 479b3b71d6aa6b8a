// Occupancy of the address pools and their exhaustion alarms. The
// statistics libTavrel reads (s_poolStatistics, dhcpCompCollectPoolStatistics)
// are declared in tavrel_agent_api.h.
#ifndef TAVREL_AGENT_MODEL_POOLS_H
#define TAVREL_AGENT_MODEL_POOLS_H

#include "tavrel_export.h"

#define DHCP_POOL_ALARM_RAISE_PERCENT 90
#define DHCP_POOL_ALARM_CLEAR_PERCENT 80

TAVREL_EXTERN_C_BEGIN

// Use at which an exhaustion alarm is raised, and below which it is cleared
// (percent; the agent's configuration may change them).
extern int g_poolAlarmRaisePercent;
extern int g_poolAlarmClearPercent;

// Raises alarm 60010 for a range whose use reached g_poolAlarmRaisePercent,
// once, and alarm 60011 when it falls below g_poolAlarmClearPercent or the
// range is gone; both are also logged.
void dhcpCompCheckPoolAlarms(void);

TAVREL_EXTERN_C_END

#endif
