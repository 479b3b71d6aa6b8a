// When the IP-change flag file's events lead to a rebuild: events that come
// close together become one rebuild, after a short quiet window, and a storm
// of them rebuilds at most about once a second.
#ifndef TAVREL_AGENT_IP_CHANGE_H
#define TAVREL_AGENT_IP_CHANGE_H

#include <chrono>

#include "tavrel_export.h"
#include "vornapi.h"

// The quiet window after the last event, the longest an event waits during a
// storm, and the least time between the end of one rebuild and the next.
#define DHCP_IP_CHANGE_QUIET_MS 100
#define DHCP_IP_CHANGE_MAX_WAIT_MS 1000
#define DHCP_IP_CHANGE_SPACING_MS 1000

class DhcpCompIpChangeCoalescer {
 public:
  using Clock = std::chrono::steady_clock;

  // A flag-file event at now.
  void flagRaised(Clock::time_point now);
  // When the pending rebuild is due; Clock::time_point::max() when none is.
  Clock::time_point due() const;
  // True when a rebuild is due at now; it then counts as started.
  bool takeDue(Clock::time_point now);
  // The rebuild taken by takeDue ended at now.
  void rebuilt(Clock::time_point now);

 private:
  bool m_pending = false;
  Clock::time_point m_first;
  Clock::time_point m_last;
  Clock::time_point m_lastRebuild = Clock::time_point::min();
};

TAVREL_EXTERN_C_BEGIN

// Rebuilds the whole configuration around the current addresses: dhcpd
// stopped, records saved, written, re-initialised, interfaces rediscovered,
// configuration read back (the saved configuration when the file cannot be
// read: message 62004), the DHCP client started or stopped with the
// addressing mode, ranges checked, committed.
void dhcpCompIPConfigurationChanged(void);

// As dhcpCompIPConfigurationChanged, but reads the component configuration
// file as it stands instead of writing the records first: the reload after
// an administrator's edit (the running configuration stays when the file
// cannot be read).
void dhcpCompReloadConfiguration(void);
// Answers of the event service: logs the packet type and an IP-change
// request code through the OpenWBEM logger. Returns 0.
int EmsIPChangePacketHandler(sEmsPacket* packet);

TAVREL_EXTERN_C_END

#endif
