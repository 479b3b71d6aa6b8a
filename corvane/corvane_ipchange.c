/* The flag file through which any process tells the agent that the IP
 * configuration changed; the agent polls for it and removes it. */
#include <stdio.h>

#include "corvane.h"

#define CORVANE_IPCHANGE_FLAG_FILE "/pq/etc/ipchnged.tmp"

int corvaneInformTavrelOfIPConfigChange(void) {
  FILE* f = fopen(CORVANE_IPCHANGE_FLAG_FILE, "ab");
  if (f == NULL) {
    return 0;
  }
  return fclose(f) == 0;
}
