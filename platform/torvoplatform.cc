// libtorvoplatform: whether the integrated router is fitted, told by the
// flag file "router-present" in the appliance root.
#include <errno.h>
#include <sys/stat.h>

#include "appliance_files.h"
#include "torvo.h"

int osIsCNICOnePresent(uint8_t* present) {
  if (present == nullptr) return EINVAL;
  struct stat info;
  if (stat(platform::appliancePath("router-present").c_str(), &info) == 0) {
    *present = 1;
    return 0;
  }
  if (errno != ENOENT && errno != ENOTDIR) return EIO;
  *present = 0;
  return 0;
}
