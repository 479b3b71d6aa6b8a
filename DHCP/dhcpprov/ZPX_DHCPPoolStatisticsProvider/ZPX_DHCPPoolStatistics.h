// ZPX_DHCPPoolStatistics: the occupancy of each address pool (each range of
// each LAN, and each LAN's ranges as a whole), computed by the agent from its
// configuration and the lease lists whenever a management station asks. A
// read-only class: its objects are made anew at every enumeration.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPPOOLSTATISTICS_H
#define TAVREL_DHCPPROV_ZPX_DHCPPOOLSTATISTICS_H

#include <string>

#include "framework/SnapshotClass.h"
#include "openwbem/Array.h"
#include "openwbem/CIMQualifier.h"
#include "tavrel_agent_api.h"
#include "tavrel_export.h"

class ZPX_DHCPPoolStatisticsInstanceManager;

// One pool's figures.
class TAVREL_EXPORT ZPX_DHCPPoolStatistics {
 public:
  typedef ZPX_DHCPPoolStatisticsInstanceManager InstanceManager;
  typedef OpenWBEM::Array<OpenWBEM::CIMQualifier> Qualifiers;

  explicit ZPX_DHCPPoolStatistics(const s_poolStatistics& values) : m_values(values) {}
  virtual ~ZPX_DHCPPoolStatistics();

  int startChange() { return TAVREL_RC_OK; }
  int endChange() { return TAVREL_RC_OK; }
  int getInstanceID(std::string& value, Qualifiers&) const;
  int getInterfaceName(std::string& value, Qualifiers&) const;
  int getStartAddress(std::string& value, Qualifiers&) const;
  int getEndAddress(std::string& value, Qualifiers&) const;
  int getTotalAddresses(unsigned int& value, Qualifiers&) const;
  int getActiveLeases(unsigned int& value, Qualifiers&) const;
  int getReservations(unsigned int& value, Qualifiers&) const;
  int getFreeAddresses(unsigned int& value, Qualifiers&) const;
  int getPercentUsed(unsigned char& value, Qualifiers&) const;

  // Makes manager current and calls its init(); the previous one is kept.
  static void SetInstanceManager(ZPX_DHCPPoolStatisticsInstanceManager* manager);
  static ZPX_DHCPPoolStatisticsInstanceManager* getInstanceManager();

 private:
  s_poolStatistics m_values;
};

// The pools by InstanceID, taken from the agent at each request.
class TAVREL_EXPORT ZPX_DHCPPoolStatisticsInstanceManager
    : public SnapshotInstanceManager<ZPX_DHCPPoolStatistics, s_poolStatistics> {};

// Takes the pools from the agent, after the lease lists were brought up to
// date with the server's lease file (as the lease classes do).
class TAVREL_EXPORT ZPX_DHCPPoolStatisticsImplInstanceManager : public ZPX_DHCPPoolStatisticsInstanceManager {
 protected:
  void refresh() override;
};

// The CIM properties of the class in class order, bound to the accessors.
TAVREL_EXPORT const ClassBinding<ZPX_DHCPPoolStatistics>& ZPX_DHCPPoolStatisticsBinding();

typedef ProviderOperations<ZPX_DHCPPoolStatistics, ZPX_DHCPPoolStatisticsInstanceManager>
    ZPX_DHCPPoolStatisticsOperationsType;
TAVREL_EXPORT const ZPX_DHCPPoolStatisticsOperationsType& ZPX_DHCPPoolStatisticsOperations();

// The CIM instance provider of the class: listing and reading.
class TAVREL_EXPORT ZPX_DHCPPoolStatisticsProvider
    : public SnapshotProvider<ZPX_DHCPPoolStatisticsProvider, ZPX_DHCPPoolStatistics,
                              ZPX_DHCPPoolStatisticsImplInstanceManager> {
 public:
  ZPX_DHCPPoolStatisticsProvider();
};

TAVREL_EXPORT extern ZPX_DHCPPoolStatisticsProvider ZPX_DHCPPoolStatisticsProv;

#endif
