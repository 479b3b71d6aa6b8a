/* /etc/hosts, kept in step with the LAN's address, host name and router. */
#include <arpa/inet.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "corvane.h"
#include "corvane_internal.h"

#define CORVANE_HOSTS_FILE "/etc/hosts"
#define CORVANE_HOSTS_NEW_FILE "/etc/hosts.new"
/* The whole file: header plus one entry, with room to spare. */
#define CORVANE_HOSTS_BUFFER_SIZE 350
/* The host entry: two address lines; a longer entry is refused. */
#define CORVANE_HOSTS_ENTRY_SIZE 144
#define CORVANE_HOSTS_MODE 0644

static const char hostsHeader[] =
    "# Do not remove the following line, or various programs\n"
    "# that require network functionality will fail.\n"
    "127.0.0.1\tlocalhost\n";

static int isDottedQuad(const char* text) {
  struct in_addr addr;
  return text != NULL && inet_pton(AF_INET, text, &addr) == 1;
}

/* Host and domain names go into the file as they are: only name characters,
 * so that no blank, line break or comment sign can change its meaning. */
static int isNameText(const char* text) {
  if (text == NULL) {
    return 0;
  }
  for (const char* c = text; *c != '\0'; c++) {
    int ok = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '.' ||
             *c == '_' || *c == '-';
    if (!ok) {
      return 0;
    }
  }
  return 1;
}

/* Formats the host entry into entry; 0 when it does not fit. */
static int formatEntry(char* entry, const char* hostName, const char* domainName, const char* ipAddress,
                       const char* routerAddress) {
  int n;
  if (routerAddress[0] != '\0') {
    n = snprintf(entry, CORVANE_HOSTS_ENTRY_SIZE, "%s\t%s.%s\t%s\n%s\trouter\n", ipAddress, hostName,
                 domainName, hostName, routerAddress);
  } else {
    n = snprintf(entry, CORVANE_HOSTS_ENTRY_SIZE, "%s\t%s.%s\t%s\n", ipAddress, hostName, domainName,
                 hostName);
  }
  return n >= 0 && n < CORVANE_HOSTS_ENTRY_SIZE;
}

/* Writes text to path, readable by every user whatever the caller's umask
 * (resolvers of all processes read the hosts file), and forces it to disk;
 * 0 on any failure. */
static int writeFileSynced(const char* path, const char* text, size_t len) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, CORVANE_HOSTS_MODE);
  if (fd < 0) {
    return 0;
  }
  int ok = fchmod(fd, CORVANE_HOSTS_MODE) == 0 && write(fd, text, len) == (ssize_t)len && fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

int corvaneUpdateHostsFile(char* hostName, char* domainName, char* ipAddress, char* routerAddress) {
  if (routerAddress == NULL) {
    routerAddress = "";
  }
  if (!isNameText(hostName) || !isNameText(domainName) || !isDottedQuad(ipAddress) ||
      (routerAddress[0] != '\0' && !isDottedQuad(routerAddress))) {
    return 0;
  }
  char entry[CORVANE_HOSTS_ENTRY_SIZE];
  if (!formatEntry(entry, hostName, domainName, ipAddress, routerAddress)) {
    return 0;
  }
  char* text = malloc(CORVANE_HOSTS_BUFFER_SIZE);
  if (text == NULL) {
    return 0;
  }
  int n = snprintf(text, CORVANE_HOSTS_BUFFER_SIZE, "%s%s", hostsHeader, entry);
  /* The semaphore also covers the move, so that no other writer's file
     * replaces ours between writing and moving it. */
  corvaneRequestDHCPLANSemaphore();
  int ok = writeFileSynced(CORVANE_HOSTS_NEW_FILE, text, (size_t)n) &&
           corvaneRunCommand("/bin/mv -f %s %s", CORVANE_HOSTS_NEW_FILE, CORVANE_HOSTS_FILE) == 0;
  if (!ok) {
    unlink(CORVANE_HOSTS_NEW_FILE);
  }
  corvaneReleaseDHCPLANSemaphore();
  free(text);
  return ok;
}
