#include "ZPX_DHCPPoolStatisticsProvider/ZPX_DHCPPoolStatistics.h"

#include "framework/ClassNames.h"

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

void ZPX_DHCPPoolStatisticsImplInstanceManager::refresh() {
  dhcpCompRefreshLeaseInfo();
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
  static const ZPX_DHCPPoolStatisticsOperationsType operations =
      SnapshotOperations(ZPX_DHCPPoolStatisticsBinding());
  return operations;
}

ZPX_DHCPPoolStatisticsProvider ZPX_DHCPPoolStatisticsProv;

ZPX_DHCPPoolStatisticsProvider::ZPX_DHCPPoolStatisticsProvider()
    : SnapshotProvider(&ZPX_DHCPPoolStatisticsOperations) {}
