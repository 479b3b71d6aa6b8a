#include "ZPX_DHCPForeignServerProvider/ZPX_DHCPForeignServer.h"

#include "framework/ClassNames.h"

namespace {

ZPX_DHCPForeignServerInstanceManager s_defaultInstanceManager;
ZPX_DHCPForeignServerInstanceManager* s_instanceManager = &s_defaultInstanceManager;

int copied(std::string& value, const char* field) {
  value = field;
  return TAVREL_RC_OK;
}

}  // namespace

ZPX_DHCPForeignServer::~ZPX_DHCPForeignServer() = default;

int ZPX_DHCPForeignServer::getInstanceID(std::string& value, Qualifiers&) const {
  return copied(value, m_values.instanceID);
}
int ZPX_DHCPForeignServer::getInterfaceName(std::string& value, Qualifiers&) const {
  return copied(value, m_values.interfaceName);
}
int ZPX_DHCPForeignServer::getServerAddress(std::string& value, Qualifiers&) const {
  return copied(value, m_values.serverAddress.ipString);
}
int ZPX_DHCPForeignServer::getServerMACAddress(std::string& value, Qualifiers&) const {
  return copied(value, m_values.serverMACAddress);
}
int ZPX_DHCPForeignServer::getFirstSeen(std::string& value, Qualifiers&) const {
  return copied(value, m_values.firstSeen);
}
int ZPX_DHCPForeignServer::getLastSeen(std::string& value, Qualifiers&) const {
  return copied(value, m_values.lastSeen);
}

void ZPX_DHCPForeignServer::SetInstanceManager(ZPX_DHCPForeignServerInstanceManager* manager) {
  s_instanceManager = manager;
  s_instanceManager->init();
}

ZPX_DHCPForeignServerInstanceManager* ZPX_DHCPForeignServer::getInstanceManager() {
  return s_instanceManager;
}

void ZPX_DHCPForeignServerImplInstanceManager::refresh() {
  static s_foreignServer servers[DHCP_MAX_FOREIGN_SERVERS];
  replace(servers, dhcpCompCollectForeignServers(servers, DHCP_MAX_FOREIGN_SERVERS));
}

const ClassBinding<ZPX_DHCPForeignServer>& ZPX_DHCPForeignServerBinding() {
  typedef ZPX_DHCPForeignServer C;
  typedef ClassBinding<C> B;
  static const B binding = [] {
    B b(ZPX_DHCPForeignServerName);
    b.setProperties({
        B::key("InstanceID", &C::getInstanceID),
        B::readOnly("InterfaceName", &C::getInterfaceName),
        B::readOnly("ServerAddress", &C::getServerAddress),
        B::readOnly("ServerMACAddress", &C::getServerMACAddress),
        B::dateTime("FirstSeen", &C::getFirstSeen),
        B::dateTime("LastSeen", &C::getLastSeen),
    });
    return b;
  }();
  return binding;
}

const ZPX_DHCPForeignServerOperationsType& ZPX_DHCPForeignServerOperations() {
  static const ZPX_DHCPForeignServerOperationsType operations =
      SnapshotOperations(ZPX_DHCPForeignServerBinding());
  return operations;
}

ZPX_DHCPForeignServerProvider ZPX_DHCPForeignServerProv;

ZPX_DHCPForeignServerProvider::ZPX_DHCPForeignServerProvider()
    : SnapshotProvider(&ZPX_DHCPForeignServerOperations) {}
