// Readers of the CIM-XML elements (DSP0201) the provider agent accepts,
// over a pugixml document. Structural faults throw CIMXMLInvalidRequest
// (answered as request-not-valid); values that do not fit their declared
// type throw CIMException as CIMValue::fromText does.
#ifndef OW_SERVER_CIMXMLREADER_H
#define OW_SERVER_CIMXMLREADER_H

#include "openwbem/CIMInstance.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/CIMParamValue.h"
#include "openwbem/CIMValue.h"

#include <pugixml.hpp>

#include <stdexcept>

namespace OpenWBEM {

// Deepest nesting of values and object paths the readers follow (a
// reference key naming a path with reference keys counts a level each).
constexpr int kCIMXMLMaxNesting = 32;

class CIMXMLInvalidRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Required attribute; throws when absent.
String cimxmlAttr(const pugi::xml_node& node, const char* name);
// The single element child of node, or a null node when it has none;
// throws when it has several.
pugi::xml_node cimxmlSingleChild(const pugi::xml_node& node);

// A value element (VALUE, VALUE.ARRAY, VALUE.REFERENCE, VALUE.REFARRAY,
// VALUE.NULL). Text is typed as type; CIMNULL reads it as a string.
CIMValue cimxmlReadValue(const pugi::xml_node& node, CIMDataType::Type type);
// LOCALNAMESPACEPATH: "root/cimv2".
String cimxmlReadLocalNamespacePath(const pugi::xml_node& node);
// INSTANCENAME: numeric keys without a TYPE become sint64 (uint64 above its
// range, real64 with a fraction), boolean keys boolean, others string; a
// VALUETYPE naming a CIM type ("uint16", "datetime") counts as its kind.
CIMObjectPath cimxmlReadInstanceName(const pugi::xml_node& node);
// Any object path element: INSTANCEPATH, LOCALINSTANCEPATH, INSTANCENAME,
// CLASSPATH, LOCALCLASSPATH, CLASSNAME, OBJECTPATH.
CIMObjectPath cimxmlReadObjectPath(const pugi::xml_node& node);
// INSTANCE with its properties, typed by their TYPE attributes.
CIMInstance cimxmlReadInstance(const pugi::xml_node& node);
// PARAMVALUE (or IPARAMVALUE): typed by PARAMTYPE, else as a string.
CIMParamValue cimxmlReadParamValue(const pugi::xml_node& node);

}  // namespace OpenWBEM

#endif
