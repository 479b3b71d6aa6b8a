// Receiver of the results of an enumerating operation, one at a time.
#ifndef OPENWBEM_RESULTHANDLERIFC_H
#define OPENWBEM_RESULTHANDLERIFC_H

#include "openwbem/CIMFwd.h"

namespace OpenWBEM {

template <class T>
class ResultHandlerIFC {
 public:
  virtual ~ResultHandlerIFC() {}
  void handle(const T& x) { doHandle(x); }

 protected:
  virtual void doHandle(const T& x) = 0;
};

typedef ResultHandlerIFC<CIMInstance> CIMInstanceResultHandlerIFC;
typedef ResultHandlerIFC<CIMObjectPath> CIMObjectPathResultHandlerIFC;
typedef ResultHandlerIFC<CIMClass> CIMClassResultHandlerIFC;
typedef ResultHandlerIFC<String> StringResultHandlerIFC;

}  // namespace OpenWBEM

#endif
