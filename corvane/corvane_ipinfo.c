/* Interface address and mask from ifconfig, and the system's default
 * gateway. */
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "corvane.h"
#include "corvane_internal.h"

#define CORVANE_NETWORK_FILE "/etc/sysconfig/network"
/* The customer LAN may still be waiting for its DHCP lease: it is asked
 * again, 3 seconds apart, up to 10 more times. */
#define CORVANE_RETRY_IFNAME "eth1"
#define CORVANE_RETRY_LIMIT 10
#define CORVANE_RETRY_SECONDS 3

/* Copies the blank-delimited word after the first `key` in text into out. */
static int copyWordAfter(char* out, const char* text, const char* key) {
  const char* at = strstr(text, key);
  if (at == NULL) {
    return 0;
  }
  corvaneCopyUntil(out, CORVANE_IP_TEXT_SIZE, at + strlen(key), " \t\n");
  return 1;
}

void corvaneIfconfigAddress(char* out, const char* text) {
  out[0] = '\0';
  if (!copyWordAfter(out, text, "inet addr:")) {
    copyWordAfter(out, text, "inet ");
  }
}

void corvaneIfconfigMask(char* out, const char* text) {
  out[0] = '\0';
  if (!copyWordAfter(out, text, "Mask:")) {
    copyWordAfter(out, text, "netmask ");
  }
}

void corvaneGetIPInfo(const char* ifname, char* addr, char* mask, char* gateway) {
  if (!corvaneIsValidInterfaceName(ifname)) {
    if (addr != NULL) {
      addr[0] = '\0';
    }
    return;
  }
  char* text = NULL;
  for (int attempt = 0;; attempt++) {
    corvaneRunCommand("/sbin/ifconfig %s > " CORVANE_TEMP_FILE, ifname);
    text = corvaneReadTextFile(CORVANE_TEMP_FILE, NULL);
    corvaneRunCommand(CORVANE_REMOVE_TEMP_COMMAND);
    if (text == NULL) {
      /* Callers take the outputs as written: unknown is empty. */
      if (addr != NULL) {
        addr[0] = '\0';
      }
      if (mask != NULL) {
        mask[0] = '\0';
      }
      if (gateway != NULL) {
        corvaneGetDefaultGateway(gateway);
      }
      return;
    }
    if (addr == NULL) {
      break;
    }
    corvaneIfconfigAddress(addr, text);
    if (addr[0] != '\0' || strcmp(ifname, CORVANE_RETRY_IFNAME) != 0 || attempt >= CORVANE_RETRY_LIMIT) {
      break;
    }
    free(text);
    sleep(CORVANE_RETRY_SECONDS);
  }
  if (mask != NULL) {
    corvaneIfconfigMask(mask, text);
  }
  free(text);
  if (gateway != NULL) {
    corvaneGetDefaultGateway(gateway);
  }
}

/* The value of the first line of text that starts with "GATEWAY=". */
static void findGatewaySetting(char* gateway, const char* text) {
  static const char key[] = "GATEWAY=";
  for (const char* line = text; *line != '\0';) {
    if (strncmp(line, key, sizeof key - 1) == 0) {
      corvaneCopyUntil(gateway, CORVANE_IP_TEXT_SIZE, line + sizeof key - 1, "\n");
      return;
    }
    const char* next = strchr(line, '\n');
    if (next == NULL) {
      return;
    }
    line = next + 1;
  }
}

void corvaneGetDefaultGateway(char* gateway) {
  if (gateway == NULL) {
    return;
  }
  gateway[0] = '\0';
  corvaneRunCommand(
      "/bin/netstat -r -n | /bin/grep ^0.0.0.0 | /usr/bin/awk '{ print $2 }' > " CORVANE_TEMP_FILE);
  long length = 0;
  char* routes = corvaneReadTextFile(CORVANE_TEMP_FILE, &length);
  corvaneRunCommand(CORVANE_REMOVE_TEMP_COMMAND);
  if (routes == NULL) {
    return;
  }
  if (length == 0) {
    corvaneRequestDHCPLANSemaphore();
    char* settings = corvaneReadTextFile(CORVANE_NETWORK_FILE, NULL);
    corvaneReleaseDHCPLANSemaphore();
    if (settings != NULL) {
      findGatewaySetting(gateway, settings);
      free(settings);
    }
  } else {
    /* One default route gives one line; several routes, or a text that
         * is no address, give no gateway. */
    size_t line = strcspn(routes, "\n");
    int oneLine = routes[line] == '\0' || routes[line + 1] == '\0';
    if (oneLine && line > 0 && line < CORVANE_IP_TEXT_SIZE) {
      memcpy(gateway, routes, line);
      gateway[line] = '\0';
    }
  }
  free(routes);
}
