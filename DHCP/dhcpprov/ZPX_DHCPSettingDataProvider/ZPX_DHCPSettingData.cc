#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingData.h"

#include "framework/ClassNames.h"

using OpenWBEM::Array;
using OpenWBEM::CIMQualifier;

ZPX_DHCPSettingDataInstanceManager ZPX_DHCPSettingData::defaultInstanceManager;
ZPX_DHCPSettingDataInstanceManager* ZPX_DHCPSettingData::theInstanceManager =
    &ZPX_DHCPSettingData::defaultInstanceManager;

ZPX_DHCPSettingData::ZPX_DHCPSettingData(const std::string& instanceID) : m_InstanceID(instanceID) {
  theInstanceManager->add(this);
}

ZPX_DHCPSettingData::~ZPX_DHCPSettingData() {
  theInstanceManager->remove(this);
}

int ZPX_DHCPSettingData::startChange() {
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingData::endChange() {
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingData::getdhcpServerOnRouter(bool&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setdhcpServerOnRouter(bool) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getdhcpServerCustomerLANStatus(unsigned short&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setdhcpServerCustomerLANStatus(unsigned short) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getdhcpServerOAMLANStatus(unsigned short&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::getdhcpServerDSPLANStatus(unsigned short&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::getleaseTime(unsigned int&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setleaseTime(unsigned int) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getdefaultGatewayIPAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setdefaultGatewayIPAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getdomainName(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setdomainName(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getprimaryDNSIPAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setprimaryDNSIPAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getsecondaryDNSIPAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setsecondaryDNSIPAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getnetbiosNodeType(unsigned char&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setnetbiosNodeType(unsigned char) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getnetbiosIPAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setnetbiosIPAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::gets1IPAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::sets1IPAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::gets1Port(unsigned short&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::sets1Port(unsigned short) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::gets1OtherPort(unsigned short&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::sets1OtherPort(unsigned short) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::gets1Action(unsigned char&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::gets1RetryCount(unsigned char&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::sets1RetryCount(unsigned char) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::gets2IPAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::sets2IPAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::gets2Port(unsigned short&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::sets2Port(unsigned short) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::gets2OtherPort(unsigned short&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::sets2OtherPort(unsigned short) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::gets2Action(unsigned char&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::gets2RetryCount(unsigned char&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::sets2RetryCount(unsigned char) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getvlanIds(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setvlanIds(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getspectraTFTPServerIPAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setspectraTFTPServerIPAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getspectraSVPServerIPAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPSettingData::setspectraSVPServerIPAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPSettingData::getInstanceID(std::string& value, Array<CIMQualifier>&) const {
  value = m_InstanceID;
  return TAVREL_RC_OK;
}

void ZPX_DHCPSettingData::SetInstanceManager(ZPX_DHCPSettingDataInstanceManager* manager) {
  theInstanceManager = manager;
  theInstanceManager->init();
}

void ZPX_DHCPSettingData::ClearInstanceManager() {
  theInstanceManager = &defaultInstanceManager;
}

ZPX_DHCPSettingDataInstanceManager* ZPX_DHCPSettingData::getInstanceManager() {
  return theInstanceManager;
}

namespace {

std::string registryKey(const ZPX_DHCPSettingData* object) {
  std::string id;
  Array<CIMQualifier> qualifiers;
  object->getInstanceID(id, qualifiers);
  return id;
}

// Longest texts and largest numbers a modification may carry.
const unsigned kMaxAddressLength = 16;
const unsigned kMaxDomainNameLength = 40;
const unsigned kMaxVlanIdsLength = 50;
const unsigned kMaxOtherPort = 9999;

}  // namespace

ZPX_DHCPSettingDataInstanceManager::~ZPX_DHCPSettingDataInstanceManager() = default;

void ZPX_DHCPSettingDataInstanceManager::init() {}

ZPX_DHCPSettingData* ZPX_DHCPSettingDataInstanceManager::createZPX_DHCPSettingData(const std::string&) {
  throw CFG_InstanceCreationFailed();
}

void ZPX_DHCPSettingDataInstanceManager::destroyZPX_DHCPSettingData(ZPX_DHCPSettingData*) {
  throw CFG_InstanceDeletionFailed();
}

void ZPX_DHCPSettingDataInstanceManager::add(ZPX_DHCPSettingData* object) {
  m_registry.put(registryKey(object), object);
}

void ZPX_DHCPSettingDataInstanceManager::remove(ZPX_DHCPSettingData* object) {
  m_registry.erase(registryKey(object));
}

ZPX_DHCPSettingData* ZPX_DHCPSettingDataInstanceManager::get(const std::string& instanceID) {
  return m_registry.find(instanceID);
}

void ZPX_DHCPSettingDataInstanceManager::startIteration() {
  m_registry.startIteration();
}
bool ZPX_DHCPSettingDataInstanceManager::hasNext() {
  return m_registry.hasNext();
}
ZPX_DHCPSettingData* ZPX_DHCPSettingDataInstanceManager::next() {
  return m_registry.next();
}
void ZPX_DHCPSettingDataInstanceManager::endIteration() {
  m_registry.endIteration();
}

const ClassBinding<ZPX_DHCPSettingData>& ZPX_DHCPSettingDataBinding() {
  typedef ZPX_DHCPSettingData C;
  typedef ClassBinding<C> B;
  static const B binding = [] {
    B b(ZPX_DHCPSettingDataName);
    auto address = [&b](const char* name, int (C::*getter)(std::string&, Array<CIMQualifier>&) const,
                        int (C::*setter)(std::string)) {
      return B::writable(name, getter, setter, b.maxLength(name, kMaxAddressLength));
    };
    b.setProperties({
        B::writable("dhcpServerOnRouter", &C::getdhcpServerOnRouter, &C::setdhcpServerOnRouter),
        B::writable("dhcpServerCustomerLANStatus", &C::getdhcpServerCustomerLANStatus,
                    &C::setdhcpServerCustomerLANStatus),
        B::readOnly("dhcpServerOAMLANStatus", &C::getdhcpServerOAMLANStatus),
        B::readOnly("dhcpServerDSPLANStatus", &C::getdhcpServerDSPLANStatus),
        B::writable("leaseTime", &C::getleaseTime, &C::setleaseTime),
        address("defaultGatewayIPAddress", &C::getdefaultGatewayIPAddress, &C::setdefaultGatewayIPAddress),
        B::writable("domainName", &C::getdomainName, &C::setdomainName,
                    b.maxLength("domainName", kMaxDomainNameLength)),
        address("primaryDNSIPAddress", &C::getprimaryDNSIPAddress, &C::setprimaryDNSIPAddress),
        address("secondaryDNSIPAddress", &C::getsecondaryDNSIPAddress, &C::setsecondaryDNSIPAddress),
        B::writable("netbiosNodeType", &C::getnetbiosNodeType, &C::setnetbiosNodeType),
        address("netbiosIPAddress", &C::getnetbiosIPAddress, &C::setnetbiosIPAddress),
        address("s1IPAddress", &C::gets1IPAddress, &C::sets1IPAddress),
        B::writable("s1Port", &C::gets1Port, &C::sets1Port),
        B::writable("s1OtherPort", &C::gets1OtherPort, &C::sets1OtherPort,
                    b.maxValue("s1OtherPort", kMaxOtherPort)),
        B::readOnly("s1Action", &C::gets1Action),
        B::writable("s1RetryCount", &C::gets1RetryCount, &C::sets1RetryCount),
        address("s2IPAddress", &C::gets2IPAddress, &C::sets2IPAddress),
        B::writable("s2Port", &C::gets2Port, &C::sets2Port),
        B::writable("s2OtherPort", &C::gets2OtherPort, &C::sets2OtherPort,
                    b.maxValue("s2OtherPort", kMaxOtherPort)),
        B::readOnly("s2Action", &C::gets2Action),
        B::writable("s2RetryCount", &C::gets2RetryCount, &C::sets2RetryCount),
        B::writable("vlanIds", &C::getvlanIds, &C::setvlanIds, b.maxLength("vlanIds", kMaxVlanIdsLength)),
        address("spectraTFTPServerIPAddress", &C::getspectraTFTPServerIPAddress,
                &C::setspectraTFTPServerIPAddress),
        address("spectraSVPServerIPAddress", &C::getspectraSVPServerIPAddress,
                &C::setspectraSVPServerIPAddress),
        B::key("InstanceID", &C::getInstanceID),
    });
    return b;
  }();
  return binding;
}

const ZPX_DHCPSettingDataOperationsType& ZPX_DHCPSettingDataOperations() {
  typedef ZPX_DHCPSettingDataInstanceManager M;
  typedef std::vector<std::string> Keys;
  static const ZPX_DHCPSettingDataOperationsType operations(
      ZPX_DHCPSettingDataBinding(), &ZPX_DHCPSettingData::getInstanceManager,
      [](M& manager, const Keys& k) { return manager.get(k[0]); },
      [](M& manager, const Keys& k) { return manager.createZPX_DHCPSettingData(k[0]); },
      [](M& manager, ZPX_DHCPSettingData* object) { manager.destroyZPX_DHCPSettingData(object); });
  return operations;
}
