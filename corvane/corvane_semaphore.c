/* The system-wide "DHCPLAN" semaphore that serialises the appliance's
 * processes around the DHCP client's files, the network settings and
 * /etc/hosts. */
#include <stdint.h>
#include <stdio.h>

#include "corvane.h"
#include "torvo.h"

#define CORVANE_SEMAPHORE_NAME "DHCPLAN_SEMAPHORE"
/* osRequestSemaphore timeout meaning "wait without limit". */
#define CORVANE_WAIT_FOREVER (-1)

int corvaneInitDHCPLANSemaphore(void) {
  uint32_t id = 0;
  return osCreateSemaphore(CORVANE_SEMAPHORE_NAME, 0, &id);
}

void corvaneDeleteDHCPLANSemaphore(void) {
  uint32_t id = 0;
  if (osGetSemaphoreId(CORVANE_SEMAPHORE_NAME, &id) == 0) {
    osDeleteSemaphore(id);
  }
}

void corvaneRequestDHCPLANSemaphore(void) {
  uint32_t id = 0;
  if (osGetSemaphoreId(CORVANE_SEMAPHORE_NAME, &id) != 0) {
    fputs("corvaneRequestDHCPLANSemaphore: Error getting Semaphore\n", stderr);
    return;
  }
  if (osRequestSemaphore(id, CORVANE_WAIT_FOREVER) != 0) {
    fputs("corvaneRequestDHCPLANSemaphore: Error requesting Semaphore\n", stderr);
  }
}

void corvaneReleaseDHCPLANSemaphore(void) {
  uint32_t id = 0;
  if (osGetSemaphoreId(CORVANE_SEMAPHORE_NAME, &id) != 0) {
    fputs("corvaneReleaseDHCPLANSemaphore: Error getting Semaphore\n", stderr);
    return;
  }
  if (osReleaseSemaphore(id) != 0) {
    fputs("corvaneReleaseDHCPLANSemaphore: Error releasing Semaphore\n", stderr);
  }
}
