/* /etc/hosts, kept in step with the LAN's address, host name and router. The
 * agent owns only the lines it wrote (each ends in CORVANE_HOSTS_MARK); every
 * other line of the file is the administrator's and is kept as it is. */
#include <arpa/inet.h>
#include <errno.h>
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
/* The agent's entry: two address lines with their marks; a longer entry is
 * refused. */
#define CORVANE_HOSTS_ENTRY_SIZE 192
/* A host name as gethostname gives it (HOST_NAME_MAX is 64). */
#define CORVANE_HOSTS_NAME_SIZE 65
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

/* The system's host name up to its first point into out; "" when unknown. */
static void systemHostName(char* out) {
  char name[CORVANE_HOSTS_NAME_SIZE] = "";
  if (gethostname(name, sizeof(name) - 1) != 0) {
    name[0] = '\0';
  }
  name[sizeof(name) - 1] = '\0';
  corvaneCopyUntil(out, CORVANE_HOSTS_NAME_SIZE, name, ".");
}

/* Formats the host entry into entry; 0 when it does not fit. Without a
 * domain the host line names the host alone. */
static int formatEntry(char* entry, const char* hostName, const char* domainName, const char* ipAddress,
                       const char* routerAddress) {
  int n;
  if (domainName[0] != '\0') {
    n = snprintf(entry, CORVANE_HOSTS_ENTRY_SIZE, "%s\t%s.%s\t%s\t%s\n", ipAddress, hostName, domainName,
                 hostName, CORVANE_HOSTS_MARK);
  } else {
    n = snprintf(entry, CORVANE_HOSTS_ENTRY_SIZE, "%s\t%s\t%s\n", ipAddress, hostName, CORVANE_HOSTS_MARK);
  }
  if (n < 0 || n >= CORVANE_HOSTS_ENTRY_SIZE) {
    return 0;
  }
  if (routerAddress[0] != '\0') {
    int m = snprintf(entry + n, (size_t)(CORVANE_HOSTS_ENTRY_SIZE - n), "%s\trouter\t%s\n", routerAddress,
                     CORVANE_HOSTS_MARK);
    return m >= 0 && m < CORVANE_HOSTS_ENTRY_SIZE - n;
  }
  return 1;
}

/* True for a line of the agent's: one ending in the mark, or one in the exact
 * layout earlier versions wrote without it ("A<TAB>router", or
 * "A<TAB>H.D<TAB>H" for hostName H and a non-loopback A). */
static int isOwnLine(const char* line, size_t len, const char* hostName) {
  const size_t markLen = sizeof(CORVANE_HOSTS_MARK) - 1;
  if (len >= markLen && memcmp(line + len - markLen, CORVANE_HOSTS_MARK, markLen) == 0) {
    return 1;
  }
  char text[CORVANE_HOSTS_ENTRY_SIZE];
  if (len >= sizeof(text)) {
    return 0;
  }
  memcpy(text, line, len);
  text[len] = '\0';
  char* second = strchr(text, '\t');
  if (second == NULL) {
    return 0;
  }
  *second++ = '\0';
  if (!isDottedQuad(text)) {
    return 0;
  }
  if (strcmp(second, "router") == 0) {
    return 1;
  }
  char* third = strchr(second, '\t');
  size_t hostLen = strlen(hostName);
  if (third == NULL || strncmp(text, "127.", 4) == 0 || hostLen == 0) {
    return 0;
  }
  *third++ = '\0';
  return strcmp(third, hostName) == 0 && strncmp(second, hostName, hostLen) == 0 && second[hostLen] == '.';
}

char* corvaneHostsMerge(const char* old, size_t oldLen, const char* hostName, const char* entry,
                        size_t* length) {
  size_t entryLen = strlen(entry);
  if (oldLen > CORVANE_HOSTS_MAX_SIZE) {
    return NULL;
  }
  /* Only the last kept line may gain a line feed. */
  size_t room = oldLen + 1 + sizeof(hostsHeader) + entryLen + 1;
  char* text = malloc(room);
  if (text == NULL) {
    return NULL;
  }
  size_t n = 0;
  if (oldLen == 0) {
    memcpy(text, hostsHeader, sizeof(hostsHeader) - 1);
    n = sizeof(hostsHeader) - 1;
  }
  const char* end = old + oldLen;
  for (const char* line = old; line < end;) {
    const char* feed = memchr(line, '\n', (size_t)(end - line));
    size_t len = feed != NULL ? (size_t)(feed - line) : (size_t)(end - line);
    if (!isOwnLine(line, len, hostName)) {
      memcpy(text + n, line, len);
      n += len;
      text[n++] = '\n';
    }
    line += len + 1;
  }
  memcpy(text + n, entry, entryLen);
  n += entryLen;
  text[n] = '\0';
  *length = n;
  return text;
}

/* Reads the hosts file into a malloc'd text (free it) and its length; a
 * missing file is an empty text. 0 when it cannot be read or is larger than
 * CORVANE_HOSTS_MAX_SIZE: then it must not be replaced. */
static int readHostsFile(char** text, size_t* length) {
  *text = NULL;
  *length = 0;
  int fd = open(CORVANE_HOSTS_FILE, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return errno == ENOENT;
  }
  char* buffer = malloc(CORVANE_HOSTS_MAX_SIZE + 1);
  size_t n = 0;
  ssize_t got = 1;
  while (buffer != NULL && n <= CORVANE_HOSTS_MAX_SIZE && got > 0) {
    got = read(fd, buffer + n, CORVANE_HOSTS_MAX_SIZE + 1 - n);
    if (got < 0 && errno == EINTR) {
      got = 1;
    } else if (got > 0) {
      n += (size_t)got;
    }
  }
  close(fd);
  if (buffer == NULL || got < 0 || n > CORVANE_HOSTS_MAX_SIZE) {
    free(buffer);
    return 0;
  }
  *text = buffer;
  *length = n;
  return 1;
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
  char systemName[CORVANE_HOSTS_NAME_SIZE];
  if (hostName[0] == '\0') {
    systemHostName(systemName);
    if (systemName[0] == '\0' || !isNameText(systemName)) {
      return 0;
    }
    hostName = systemName;
  }
  char entry[CORVANE_HOSTS_ENTRY_SIZE];
  if (!formatEntry(entry, hostName, domainName, ipAddress, routerAddress)) {
    return 0;
  }
  /* The semaphore covers reading, writing and the move, so that no other
   * writer's lines are lost or its file replaces ours in between. */
  corvaneRequestDHCPLANSemaphore();
  char* old = NULL;
  size_t oldLen = 0;
  size_t n = 0;
  char* text = NULL;
  if (readHostsFile(&old, &oldLen)) {
    text = corvaneHostsMerge(old != NULL ? old : "", oldLen, hostName, entry, &n);
  }
  int ok = text != NULL && writeFileSynced(CORVANE_HOSTS_NEW_FILE, text, n) &&
           corvaneRunCommand("/bin/mv -f %s %s", CORVANE_HOSTS_NEW_FILE, CORVANE_HOSTS_FILE) == 0;
  if (!ok) {
    unlink(CORVANE_HOSTS_NEW_FILE);
  }
  corvaneReleaseDHCPLANSemaphore();
  free(old);
  free(text);
  return ok;
}
