// Flags of the intrinsic CIM operations.
#ifndef OPENWBEM_WBEMFLAGS_H
#define OPENWBEM_WBEMFLAGS_H

namespace OpenWBEM {
namespace WBEMFlags {

enum EDeepFlag { E_SHALLOW, E_DEEP };
enum ELocalOnlyFlag { E_NOT_LOCAL_ONLY, E_LOCAL_ONLY };
enum EIncludeQualifiersFlag { E_EXCLUDE_QUALIFIERS, E_INCLUDE_QUALIFIERS };
enum EIncludeClassOriginFlag { E_EXCLUDE_CLASS_ORIGIN, E_INCLUDE_CLASS_ORIGIN };

}  // namespace WBEMFlags
}  // namespace OpenWBEM

#endif
