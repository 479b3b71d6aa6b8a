// The live counterpart of one address-range slot of the agent. The object
// holds pool entry (id) of g_AddressRangePool while it lives; a change is
// validated and stored by the agent in endChange. Deleting the instance
// removes the range and commits (refused when the commit fails); destroying
// the object frees its slot and pool entry.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPRANGEOFIPADDRESSESIMPL_H
#define TAVREL_DHCPPROV_ZPX_DHCPRANGEOFIPADDRESSESIMPL_H

#include <string>

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddresses.h"

class TAVREL_EXPORT ZPX_DHCPRangeOfIPAddressesImpl : public ZPX_DHCPRangeOfIPAddresses {
 public:
  // instanceID: decimal range id "0".."31". An id outside the pool is
  // registered but takes no pool entry.
  explicit ZPX_DHCPRangeOfIPAddressesImpl(const std::string& instanceID);
  ~ZPX_DHCPRangeOfIPAddressesImpl() override;

  // Saves the three addresses.
  int startChange() override;
  // Hands the addresses to the agent, which checks and stores them (the
  // change bracket commits); 0, or the agent's code with the saved addresses
  // restored.
  int endChange() override;
  // Removes the stored range and commits, in a change of its own; the
  // commit's code when that fails (the range stays). Nothing stored: 0.
  int removeFromConfiguration();
  int getStartAddress(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setStartAddress(std::string value) override;
  int getEndAddress(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setEndAddress(std::string value) override;
  int getDefaultGatewayIPAddress(std::string& value,
                                 OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setDefaultGatewayIPAddress(std::string value) override;
  int getCaption(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int getDescription(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int getAddressType(unsigned short& value,
                     OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  virtual void saveProperties();
  virtual void restoreProperties();

 private:
  std::string m_StartAddress;
  std::string m_EndAddress;
  std::string m_DefaultGatewayIPAddress;
  std::string m_savedStartAddress;
  std::string m_savedEndAddress;
  std::string m_savedDefaultGatewayIPAddress;
  std::string m_Caption;
  std::string m_Description;
  unsigned short m_AddressType;
};

// Creates range objects under the lowest free range id (the requested id is
// not used; CFG_InstanceCreationFailed when all 32 are taken) and deletes
// them once their range is removed and committed (the commit's CIM error
// otherwise, the object kept).
class TAVREL_EXPORT ZPX_DHCPRangeOfIPAddressesImplInstanceManager
    : public ZPX_DHCPRangeOfIPAddressesInstanceManager {
 public:
  ZPX_DHCPRangeOfIPAddresses* createZPX_DHCPRangeOfIPAddresses(const std::string& instanceID) override;
  void destroyZPX_DHCPRangeOfIPAddresses(ZPX_DHCPRangeOfIPAddresses* object) override;
};

#endif
