// The live counterpart of one reserved-address slot of the agent. The object
// holds pool entry (id) of g_reservedAddrPool while it lives; a change is
// validated and stored by the agent in endChange. Deleting the instance
// removes the reservation and commits (refused when the commit fails);
// destroying the object frees its slot and pool entry.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPRESERVEDADDRESSIMPL_H
#define TAVREL_DHCPPROV_ZPX_DHCPRESERVEDADDRESSIMPL_H

#include <string>

#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddress.h"

class TAVREL_EXPORT ZPX_DHCPReservedAddressImpl : public ZPX_DHCPReservedAddress {
 public:
  // instanceID: decimal reservation id "0".."63". An id outside the pool is
  // registered but takes no pool entry.
  explicit ZPX_DHCPReservedAddressImpl(const std::string& instanceID);
  ~ZPX_DHCPReservedAddressImpl() override;

  // Saves the four texts.
  int startChange() override;
  // Hands the texts to the agent, which checks and stores them (the change
  // bracket commits); 0, or the agent's code with the saved texts restored.
  int endChange() override;
  // Removes the stored reservation and commits, in a change of its own; the
  // commit's code when that fails (the reservation stays). Nothing stored: 0.
  int removeFromConfiguration();
  int getIPv4Address(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setIPv4Address(std::string value) override;
  int getreservedMACAddr(std::string& value,
                         OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setreservedMACAddr(std::string value) override;
  int getreservedClientName(std::string& value,
                            OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  // A name with a space puts all four texts back to the saved ones and
  // returns 351; a new name that is no host declaration name
  // (dhcpUtilIsValidHostName) or too long for the record returns 301. The
  // name the agent holds for this reservation is always accepted.
  int setreservedClientName(std::string value) override;
  int getreservedClientDescription(std::string& value,
                                   OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  // 301 for a new text the component file cannot hold (a ",", a control
  // character, too long for the record); the agent's stored text is accepted.
  int setreservedClientDescription(std::string value) override;
  virtual void saveProperties();
  virtual void restoreProperties();

 private:
  std::string m_IPv4Address;
  std::string m_reservedMACAddr;
  std::string m_reservedClientName;
  std::string m_reservedClientDescription;
  std::string m_savedIPv4Address;
  std::string m_savedreservedMACAddr;
  std::string m_savedreservedClientName;
  std::string m_savedreservedClientDescription;
};

// Creates reservation objects under the lowest free id (the requested id is
// not used; CFG_InstanceCreationFailed when all 64 are taken) and deletes them.
class TAVREL_EXPORT ZPX_DHCPReservedAddressImplInstanceManager
    : public ZPX_DHCPReservedAddressInstanceManager {
 public:
  ZPX_DHCPReservedAddress* createZPX_DHCPReservedAddress(const std::string& instanceID) override;
  void destroyZPX_DHCPReservedAddress(ZPX_DHCPReservedAddress* object) override;
};

#endif
