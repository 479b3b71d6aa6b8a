// ZPX_DHCPForeignServer: the DHCP servers other than the appliance's own (and
// the customer LAN's lease server or integrated router) that the agent's
// probes found answering on the customer LAN or a VLAN. Read-only; the
// objects are made from the agent's records at every request.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPFOREIGNSERVER_H
#define TAVREL_DHCPPROV_ZPX_DHCPFOREIGNSERVER_H

#include <string>

#include "framework/SnapshotClass.h"
#include "openwbem/Array.h"
#include "openwbem/CIMQualifier.h"
#include "tavrel_agent_api.h"
#include "tavrel_export.h"

class ZPX_DHCPForeignServerInstanceManager;

class TAVREL_EXPORT ZPX_DHCPForeignServer {
 public:
  typedef ZPX_DHCPForeignServerInstanceManager InstanceManager;
  typedef OpenWBEM::Array<OpenWBEM::CIMQualifier> Qualifiers;

  explicit ZPX_DHCPForeignServer(const s_foreignServer& values) : m_values(values) {}
  virtual ~ZPX_DHCPForeignServer();

  int startChange() { return TAVREL_RC_OK; }
  int endChange() { return TAVREL_RC_OK; }
  int getInstanceID(std::string& value, Qualifiers&) const;
  int getInterfaceName(std::string& value, Qualifiers&) const;
  int getServerAddress(std::string& value, Qualifiers&) const;
  int getServerMACAddress(std::string& value, Qualifiers&) const;
  int getFirstSeen(std::string& value, Qualifiers&) const;
  int getLastSeen(std::string& value, Qualifiers&) const;

  // Makes manager current and calls its init(); the previous one is kept.
  static void SetInstanceManager(ZPX_DHCPForeignServerInstanceManager* manager);
  static ZPX_DHCPForeignServerInstanceManager* getInstanceManager();

 private:
  s_foreignServer m_values;
};

class TAVREL_EXPORT ZPX_DHCPForeignServerInstanceManager
    : public SnapshotInstanceManager<ZPX_DHCPForeignServer, s_foreignServer> {};

// Takes the foreign servers the agent has seen.
class TAVREL_EXPORT ZPX_DHCPForeignServerImplInstanceManager : public ZPX_DHCPForeignServerInstanceManager {
 protected:
  void refresh() override;
};

TAVREL_EXPORT const ClassBinding<ZPX_DHCPForeignServer>& ZPX_DHCPForeignServerBinding();

typedef ProviderOperations<ZPX_DHCPForeignServer, ZPX_DHCPForeignServerInstanceManager>
    ZPX_DHCPForeignServerOperationsType;
TAVREL_EXPORT const ZPX_DHCPForeignServerOperationsType& ZPX_DHCPForeignServerOperations();

class TAVREL_EXPORT ZPX_DHCPForeignServerProvider
    : public SnapshotProvider<ZPX_DHCPForeignServerProvider, ZPX_DHCPForeignServer,
                              ZPX_DHCPForeignServerImplInstanceManager> {
 public:
  ZPX_DHCPForeignServerProvider();
};

TAVREL_EXPORT extern ZPX_DHCPForeignServerProvider ZPX_DHCPForeignServerProv;

#endif
