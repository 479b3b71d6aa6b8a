// Reader of "key = value" configuration files.
#ifndef OPENWBEM_CONFIGFILE_H
#define OPENWBEM_CONFIGFILE_H

#include "openwbem/Exception.h"
#include "openwbem/SortedVectorMap.h"
#include "openwbem/String.h"

namespace OpenWBEM {

// The file could not be read, or holds a malformed line.
OW_DECLARE_EXCEPTION(Config);

namespace ConfigFile {

typedef SortedVectorMap<String, String> ConfigMap;

// Adds the items of the file to map. Each line is "key = value", both sides
// trimmed of blanks; the value may be empty and may contain '='. Blank
// lines and lines whose first non-blank character is '#' or ';' are
// comments. The first occurrence of a key wins, and items already in map
// are kept. Throws ConfigException when the file cannot be opened (naming
// the file and the reason) or a line has no '=' or an empty key (naming the
// file and line number); map is then unchanged.
void loadConfigFile(const String& filename, ConfigMap& map);

// The value of itemName, or defRetVal when map has no such item.
String getConfigItem(const ConfigMap& map, const String& itemName, const String& defRetVal = "");

}  // namespace ConfigFile
}  // namespace OpenWBEM

#endif
