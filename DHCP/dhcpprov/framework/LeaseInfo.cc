#include "framework/LeaseInfo.h"

using OpenWBEM::Array;
using OpenWBEM::CIMQualifier;

TavrelLeaseInfo::~TavrelLeaseInfo() = default;

int TavrelLeaseInfo::startChange() {
  return TAVREL_RC_OK;
}
int TavrelLeaseInfo::endChange() {
  return TAVREL_RC_OK;
}

int TavrelLeaseInfo::getInstanceID(std::string& value, Array<CIMQualifier>&) const {
  value = m_InstanceID;
  return TAVREL_RC_OK;
}
int TavrelLeaseInfo::getleaseMACAddr(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int TavrelLeaseInfo::getIPv4Address(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int TavrelLeaseInfo::getstartLeaseDateTime(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int TavrelLeaseInfo::getexpirationLeaseDateTime(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int TavrelLeaseInfo::getleaseClientName(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int TavrelLeaseInfo::getleaseClientDescription(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
