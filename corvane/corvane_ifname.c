/* The interface-name check that guards every command an interface name is
 * formatted into. */
#include <string.h>

#include "corvane.h"

int corvaneIsValidInterfaceName(const char* name) {
  if (name == NULL) {
    return 0;
  }
  size_t len = strlen(name);
  if (len == 0 || len > CORVANE_IFNAME_MAX_LEN) {
    return 0;
  }
  /* "." and ".." are refused by the kernel; a leading "-" would be taken
     * for an option by the commands the name is given to. */
  if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 || name[0] == '-') {
    return 0;
  }
  for (size_t i = 0; i < len; i++) {
    char c = name[i];
    int ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
             c == '_' || c == '-';
    if (!ok) {
      return 0;
    }
  }
  return 1;
}
