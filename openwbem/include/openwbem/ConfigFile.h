// Reader of "key = value" configuration files.
#ifndef OPENWBEM_CONFIGFILE_H
#define OPENWBEM_CONFIGFILE_H

#include <functional>

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

// What a reader makes of one item while its file is read.
enum class ItemVerdict {
  Accept,   // a key it reads, with a fitting value
  Unknown,  // no reader has this key: kept, with a warning
  Invalid   // a key it reads, with a value it refuses (reason set): dropped
            // with a warning, so that the reader's default applies
};
typedef std::function<ItemVerdict(const String& key, const String& value, String& reason)> ItemChecker;
// One doubtful line of a file: where, its key and value, and what the
// reader does about it.
struct Warning {
  String file;
  unsigned line = 0;
  String key;
  String value;
  String text;
  // "FILE:LINE: text", as logged.
  String message() const;
};
typedef std::function<void(const Warning& warning)> WarningSink;

// As above, and judges each item of the file with check, warning through
// warn about an unknown key, a refused value, and a key the file repeats
// (the first occurrence wins; the later line is ignored).
void loadConfigFile(const String& filename, ConfigMap& map, const ItemChecker& check,
                    const WarningSink& warn);

// The value of itemName, or defRetVal when map has no such item.
String getConfigItem(const ConfigMap& map, const String& itemName, const String& defRetVal = "");

}  // namespace ConfigFile
}  // namespace OpenWBEM

#endif
