// ZPX_DHCPPoolStatistics: the occupancy of each address pool (each range of
// each LAN, and each LAN's ranges as a whole), computed by the agent from its
// configuration and the lease lists whenever a management station asks. A
// read-only class: its objects are made anew at every enumeration.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPPOOLSTATISTICS_H
#define TAVREL_DHCPPROV_ZPX_DHCPPOOLSTATISTICS_H

#include <map>
#include <memory>
#include <string>

#include "dhcpcomp.h"
#include "framework/ClassBinding.h"
#include "framework/ClassProvider.h"
#include "framework/ProviderOperations.h"
#include "openwbem/Array.h"
#include "openwbem/CIMQualifier.h"
#include "tavrel_export.h"

class ZPX_DHCPPoolStatisticsInstanceManager;

// One pool's figures.
class TAVREL_EXPORT ZPX_DHCPPoolStatistics {
 public:
  typedef ZPX_DHCPPoolStatisticsInstanceManager InstanceManager;
  typedef OpenWBEM::Array<OpenWBEM::CIMQualifier> Qualifiers;

  explicit ZPX_DHCPPoolStatistics(const s_poolStatistics& values) : m_values(values) {}
  virtual ~ZPX_DHCPPoolStatistics();

  int startChange() { return 0; }
  int endChange() { return 0; }
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

// The pools by InstanceID. The built-in manager has none; the implementation
// manager takes them from the agent whenever an enumeration starts or one
// pool is asked for, so every answer is current. Creation and destruction
// are refused (CFG_InstanceCreationFailed, CFG_InstanceDeletionFailed).
class TAVREL_EXPORT ZPX_DHCPPoolStatisticsInstanceManager {
 public:
  ZPX_DHCPPoolStatisticsInstanceManager() = default;
  ZPX_DHCPPoolStatisticsInstanceManager(const ZPX_DHCPPoolStatisticsInstanceManager&) = delete;
  ZPX_DHCPPoolStatisticsInstanceManager& operator=(const ZPX_DHCPPoolStatisticsInstanceManager&) =
      delete;
  virtual ~ZPX_DHCPPoolStatisticsInstanceManager();

  virtual void init() {}
  // The pool of that InstanceID; CFG_NoInstance when there is none.
  ZPX_DHCPPoolStatistics* get(const std::string& instanceID);
  void startIteration();
  bool hasNext() const { return m_cursor != m_pools.end(); }
  // CFG_NoInstance at the end.
  ZPX_DHCPPoolStatistics* next();
  void endIteration() { m_cursor = m_pools.end(); }

 protected:
  // Replaces the pools by the current ones.
  virtual void refresh() {}
  void replace(const s_poolStatistics* pools, int count);

 private:
  typedef std::map<std::string, std::unique_ptr<ZPX_DHCPPoolStatistics>> Pools;
  Pools m_pools;
  Pools::iterator m_cursor = m_pools.end();
};

// Takes the pools from the agent, after the lease lists were brought up to
// date with the server's lease file (as the lease classes do).
class TAVREL_EXPORT ZPX_DHCPPoolStatisticsImplInstanceManager
    : public ZPX_DHCPPoolStatisticsInstanceManager {
 protected:
  void refresh() override;
};

// The CIM properties of the class in class order, bound to the accessors.
TAVREL_EXPORT const ClassBinding<ZPX_DHCPPoolStatistics>& ZPX_DHCPPoolStatisticsBinding();

typedef ProviderOperations<ZPX_DHCPPoolStatistics, ZPX_DHCPPoolStatisticsInstanceManager>
    ZPX_DHCPPoolStatisticsOperationsType;
TAVREL_EXPORT const ZPX_DHCPPoolStatisticsOperationsType& ZPX_DHCPPoolStatisticsOperations();

// The CIM instance provider of the class: listing and reading; every change
// is refused with CIM_ERR_NOT_SUPPORTED.
class TAVREL_EXPORT ZPX_DHCPPoolStatisticsProvider
    : public ClassProvider<ZPX_DHCPPoolStatisticsProvider, ZPX_DHCPPoolStatistics,
                           ZPX_DHCPPoolStatisticsInstanceManager,
                           ZPX_DHCPPoolStatisticsImplInstanceManager> {
 public:
  ZPX_DHCPPoolStatisticsProvider();

  OpenWBEM::CIMObjectPath createInstance(const OpenWBEM::ProviderEnvironmentIFCRef&,
                                         const OpenWBEM::String&,
                                         const OpenWBEM::CIMInstance&) override;
  void deleteInstance(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&,
                      const OpenWBEM::CIMObjectPath&) override;
  void modifyInstance(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&,
                      const OpenWBEM::CIMInstance&, const OpenWBEM::CIMInstance&,
                      OpenWBEM::WBEMFlags::EIncludeQualifiersFlag, const OpenWBEM::StringArray*,
                      const OpenWBEM::CIMClass&) override;
  void modifyInstance(ZPX_DHCPPoolStatistics&, const OpenWBEM::CIMInstance&);
};

TAVREL_EXPORT extern ZPX_DHCPPoolStatisticsProvider ZPX_DHCPPoolStatisticsProv;

#endif
