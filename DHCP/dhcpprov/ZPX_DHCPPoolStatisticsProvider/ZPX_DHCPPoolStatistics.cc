#include "ZPX_DHCPPoolStatisticsProvider/ZPX_DHCPPoolStatistics.h"

#include "framework/CFG_Exception.h"
#include "framework/ClassNames.h"

using OpenWBEM::CIMInstance;
using OpenWBEM::CIMObjectPath;

namespace {

ZPX_DHCPPoolStatisticsInstanceManager s_defaultInstanceManager;
ZPX_DHCPPoolStatisticsInstanceManager* s_instanceManager = &s_defaultInstanceManager;

int copied(std::string& value, const char* field) {
  value = field;
  return TAVREL_RC_OK;
}

int copied(unsigned int& value, uint32_t field) {
  value = field;
  return TAVREL_RC_OK;
}

[[noreturn]] void readOnly() {
  TavrelErrors::throwNotSupported(
      std::string(ZPX_DHCPPoolStatisticsName) +
      " is computed from the configuration and the leases and cannot be changed.\n");
}

}  // namespace

ZPX_DHCPPoolStatistics::~ZPX_DHCPPoolStatistics() = default;

int ZPX_DHCPPoolStatistics::getInstanceID(std::string& value, Qualifiers&) const {
  return copied(value, m_values.instanceID);
}
int ZPX_DHCPPoolStatistics::getInterfaceName(std::string& value, Qualifiers&) const {
  return copied(value, m_values.interfaceName);
}
int ZPX_DHCPPoolStatistics::getStartAddress(std::string& value, Qualifiers&) const {
  return copied(value, m_values.startAddr.ipString);
}
int ZPX_DHCPPoolStatistics::getEndAddress(std::string& value, Qualifiers&) const {
  return copied(value, m_values.endAddr.ipString);
}
int ZPX_DHCPPoolStatistics::getTotalAddresses(unsigned int& value, Qualifiers&) const {
  return copied(value, m_values.totalAddresses);
}
int ZPX_DHCPPoolStatistics::getActiveLeases(unsigned int& value, Qualifiers&) const {
  return copied(value, m_values.activeLeases);
}
int ZPX_DHCPPoolStatistics::getReservations(unsigned int& value, Qualifiers&) const {
  return copied(value, m_values.reservations);
}
int ZPX_DHCPPoolStatistics::getFreeAddresses(unsigned int& value, Qualifiers&) const {
  return copied(value, m_values.freeAddresses);
}
int ZPX_DHCPPoolStatistics::getPercentUsed(unsigned char& value, Qualifiers&) const {
  value = static_cast<unsigned char>(m_values.percentUsed);
  return TAVREL_RC_OK;
}

void ZPX_DHCPPoolStatistics::SetInstanceManager(ZPX_DHCPPoolStatisticsInstanceManager* manager) {
  s_instanceManager = manager;
  s_instanceManager->init();
}

ZPX_DHCPPoolStatisticsInstanceManager* ZPX_DHCPPoolStatistics::getInstanceManager() {
  return s_instanceManager;
}

ZPX_DHCPPoolStatisticsInstanceManager::~ZPX_DHCPPoolStatisticsInstanceManager() = default;

ZPX_DHCPPoolStatistics* ZPX_DHCPPoolStatisticsInstanceManager::get(const std::string& instanceID) {
  refresh();
  Pools::iterator found = m_pools.find(instanceID);
  if (found == m_pools.end()) throw CFG_NoInstance();
  return found->second.get();
}

void ZPX_DHCPPoolStatisticsInstanceManager::startIteration() {
  refresh();
  m_cursor = m_pools.begin();
}

ZPX_DHCPPoolStatistics* ZPX_DHCPPoolStatisticsInstanceManager::next() {
  if (m_cursor == m_pools.end()) throw CFG_NoInstance();
  return (m_cursor++)->second.get();
}

void ZPX_DHCPPoolStatisticsInstanceManager::replace(const s_poolStatistics* pools, int count) {
  m_pools.clear();
  for (int i = 0; i < count; ++i)
    m_pools[pools[i].instanceID] = std::make_unique<ZPX_DHCPPoolStatistics>(pools[i]);
  m_cursor = m_pools.end();
}

void ZPX_DHCPPoolStatisticsImplInstanceManager::refresh() {
  if (dhcpCompLeaseFileChanged() != 0) dhcpCompGetDhcpdServerLeaseInfo();
  static s_poolStatistics pools[DHCP_MAX_POOLS];
  replace(pools, dhcpCompCollectPoolStatistics(pools, DHCP_MAX_POOLS));
}

const ClassBinding<ZPX_DHCPPoolStatistics>& ZPX_DHCPPoolStatisticsBinding() {
  typedef ZPX_DHCPPoolStatistics C;
  typedef ClassBinding<C> B;
  static const B binding = [] {
    B b(ZPX_DHCPPoolStatisticsName);
    b.setProperties({
        B::key("InstanceID", &C::getInstanceID),
        B::readOnly("InterfaceName", &C::getInterfaceName),
        B::readOnly("StartAddress", &C::getStartAddress),
        B::readOnly("EndAddress", &C::getEndAddress),
        B::readOnly("TotalAddresses", &C::getTotalAddresses),
        B::readOnly("ActiveLeases", &C::getActiveLeases),
        B::readOnly("Reservations", &C::getReservations),
        B::readOnly("FreeAddresses", &C::getFreeAddresses),
        B::readOnly("PercentUsed", &C::getPercentUsed),
    });
    return b;
  }();
  return binding;
}

const ZPX_DHCPPoolStatisticsOperationsType& ZPX_DHCPPoolStatisticsOperations() {
  typedef ZPX_DHCPPoolStatisticsInstanceManager M;
  typedef std::vector<std::string> Keys;
  static const ZPX_DHCPPoolStatisticsOperationsType operations(
      ZPX_DHCPPoolStatisticsBinding(), &ZPX_DHCPPoolStatistics::getInstanceManager,
      [](M& manager, const Keys& keys) { return manager.get(keys[0]); },
      [](M&, const Keys&) -> ZPX_DHCPPoolStatistics* { throw CFG_InstanceCreationFailed(); },
      [](M&, ZPX_DHCPPoolStatistics*) { throw CFG_InstanceDeletionFailed(); });
  return operations;
}

ZPX_DHCPPoolStatisticsProvider ZPX_DHCPPoolStatisticsProv;

ZPX_DHCPPoolStatisticsProvider::ZPX_DHCPPoolStatisticsProvider()
    : ClassProvider(&ZPX_DHCPPoolStatisticsOperations) {}

CIMObjectPath ZPX_DHCPPoolStatisticsProvider::createInstance(
    const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&, const CIMInstance&) {
  readOnly();
}

void ZPX_DHCPPoolStatisticsProvider::deleteInstance(const OpenWBEM::ProviderEnvironmentIFCRef&,
                                                    const OpenWBEM::String&,
                                                    const CIMObjectPath&) {
  readOnly();
}

void ZPX_DHCPPoolStatisticsProvider::modifyInstance(
    const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&, const CIMInstance&,
    const CIMInstance&, OpenWBEM::WBEMFlags::EIncludeQualifiersFlag, const OpenWBEM::StringArray*,
    const OpenWBEM::CIMClass&) {
  readOnly();
}

void ZPX_DHCPPoolStatisticsProvider::modifyInstance(ZPX_DHCPPoolStatistics&, const CIMInstance&) {
  readOnly();
}
