// The CIM operations a request handler can run. The provider agent
// implements it over its providers and class definitions: requests are
// routed by class name, run one at a time under the agent's lock, incoming
// values are typed by the class definition, and every failure is reported
// as CIMException.
#ifndef OPENWBEM_CIMOMHANDLEIFC_H
#define OPENWBEM_CIMOMHANDLEIFC_H

#include "openwbem/CIMClass.h"
#include "openwbem/CIMInstance.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/CIMParamValue.h"
#include "openwbem/CIMValue.h"
#include "openwbem/ResultHandlerIFC.h"
#include "openwbem/String.h"
#include "openwbem/WBEMFlags.h"

namespace OpenWBEM {

class CIMOMHandleIFC {
 public:
  virtual ~CIMOMHandleIFC();

  // Class definitions known to the agent. NOT_FOUND for an unknown class.
  virtual CIMClass getClass(const String& ns, const String& className, WBEMFlags::ELocalOnlyFlag localOnly,
                            WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                            WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                            const StringArray* propertyList) = 0;
  // Subclasses of className (top-level classes when it is empty): direct
  // ones, or all of them when deep. INVALID_CLASS for an unknown class.
  virtual void enumClassNames(const String& ns, const String& className, StringResultHandlerIFC& result,
                              WBEMFlags::EDeepFlag deep) = 0;
  virtual void enumClasses(const String& ns, const String& className, CIMClassResultHandlerIFC& result,
                           WBEMFlags::EDeepFlag deep, WBEMFlags::ELocalOnlyFlag localOnly,
                           WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                           WBEMFlags::EIncludeClassOriginFlag includeClassOrigin) = 0;

  virtual void enumInstanceNames(const String& ns, const String& className,
                                 CIMObjectPathResultHandlerIFC& result) = 0;
  virtual void enumInstances(const String& ns, const String& className, CIMInstanceResultHandlerIFC& result,
                             WBEMFlags::EDeepFlag deep, WBEMFlags::ELocalOnlyFlag localOnly,
                             WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                             WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                             const StringArray* propertyList) = 0;
  virtual CIMInstance getInstance(const String& ns, const CIMObjectPath& instanceName,
                                  WBEMFlags::ELocalOnlyFlag localOnly,
                                  WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                  WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                  const StringArray* propertyList) = 0;
  virtual CIMObjectPath createInstance(const String& ns, const CIMInstance& instance) = 0;
  // With a property list, only the listed properties (and the keys) of
  // modifiedInstance reach the provider.
  virtual void modifyInstance(const String& ns, const CIMInstance& modifiedInstance,
                              WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                              const StringArray* propertyList) = 0;
  virtual void deleteInstance(const String& ns, const CIMObjectPath& instanceName) = 0;

  virtual void associators(const String& ns, const CIMObjectPath& objectName,
                           CIMInstanceResultHandlerIFC& result, const String& assocClass,
                           const String& resultClass, const String& role, const String& resultRole,
                           WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                           WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                           const StringArray* propertyList) = 0;
  virtual void associatorNames(const String& ns, const CIMObjectPath& objectName,
                               CIMObjectPathResultHandlerIFC& result, const String& assocClass,
                               const String& resultClass, const String& role, const String& resultRole) = 0;
  virtual void references(const String& ns, const CIMObjectPath& objectName,
                          CIMInstanceResultHandlerIFC& result, const String& resultClass, const String& role,
                          WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                          WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                          const StringArray* propertyList) = 0;
  virtual void referenceNames(const String& ns, const CIMObjectPath& objectName,
                              CIMObjectPathResultHandlerIFC& result, const String& resultClass,
                              const String& role) = 0;

  // Who sends the request being served, as far as the handle knows ("" when
  // it does not): requests of one client share its limits.
  virtual String getCallerId() const { return String(); }

  // Extrinsic method call; out receives the output parameters.
  virtual CIMValue invokeMethod(const String& ns, const CIMObjectPath& path, const String& methodName,
                                const CIMParamValueArray& in, CIMParamValueArray& out) = 0;
};

}  // namespace OpenWBEM

#endif
