/* Reader of the DHCP client's lease file. dhclient appends one block per
 * lease and rewrites the file now and then:
 *   lease {
 *     interface "eth1";
 *     fixed-address A; option subnet-mask M; option routers R;
 *     option domain-name-servers D1,D2,...; option domain-name "N";
 *     option <vendor option> "T20-IPSETCONFIG,...";  renew W Y/M/D h:m:s;
 *   }
 * The last complete block is the current lease; a block cut short by a
 * power failure is skipped. */
#define _GNU_SOURCE
#include <stdlib.h>
#include <string.h>

#include "corvane.h"
#include "corvane_internal.h"

#define CORVANE_LEASE_FILE "/var/lib/dhcp/dhclient-eth1.leases"
#define CORVANE_INTERFACE_KEY "interface \""
/* Interfaces are told apart by their first 4 characters ("eth1", "eth2"). */
#define CORVANE_IFNAME_COMPARE_LEN 4
#define CORVANE_IPSET_PREFIX "T20-IPSETCONFIG,"
#define CORVANE_DHCP_VENDOR_PREFIX "T20-DHCP,"
/* "netbios-node-type" is one octet: at most 3 digits. */
#define CORVANE_NODE_TYPE_TEXT_SIZE 4

/* The text of the last block closed by "}", from just after its interface
 * keyword's quotation mark; malloc'd, or null when there is none. */
static char* lastCompleteBlock(const char* text) {
  const char* start = NULL;
  const char* end = NULL;
  for (const char* at = strstr(text, CORVANE_INTERFACE_KEY); at != NULL;
       at = strstr(at + 1, CORVANE_INTERFACE_KEY)) {
    const char* from = at + strlen(CORVANE_INTERFACE_KEY);
    const char* close = strchr(from, '}');
    if (close != NULL) {
      start = from;
      end = close;
    }
  }
  return start != NULL ? strndup(start, (size_t)(end - start)) : NULL;
}

/* The value after the first `key` in block, ended by one of `ends` (which
 * holds "\n"): a value that reaches the end of its line unterminated counts
 * as missing. */
static int findValue(const char* block, const char* key, const char* ends, const char** value, size_t* len) {
  const char* at = strstr(block, key);
  if (at == NULL) {
    return 0;
  }
  at += strlen(key);
  size_t n = strcspn(at, ends);
  if (at[n] == '\0' || at[n] == '\n') {
    return 0;
  }
  *value = at;
  *len = n;
  return 1;
}

static int copyValue(char* out, size_t size, const char* block, const char* key, const char* ends) {
  const char* value = NULL;
  size_t len = 0;
  if (!findValue(block, key, ends, &value, &len)) {
    return 0;
  }
  corvaneCopySpan(out, size, value, len);
  return 1;
}

static void readDnsServers(const char* block, char* first, char* second) {
  const char* value = NULL;
  size_t len = 0;
  if (!findValue(block, "domain-name-servers ", ";,\n", &value, &len)) {
    /* No servers in this lease: none is left over from an older one. */
    if (first != NULL) {
      first[0] = '\0';
    }
    if (second != NULL) {
      second[0] = '\0';
    }
    return;
  }
  if (first != NULL) {
    corvaneCopySpan(first, CORVANE_LEASE_ADDR_SIZE, value, len);
  }
  if (second != NULL) {
    second[0] = '\0';
    if (value[len] == ',') {
      const char* next = value + len + 1;
      size_t n = strcspn(next, ";,\n");
      if (next[n] == ';' || next[n] == ',') {
        corvaneCopySpan(second, CORVANE_LEASE_ADDR_SIZE, next, n);
      }
    }
  }
}

static unsigned char readNodeType(const char* block) {
  char digits[CORVANE_NODE_TYPE_TEXT_SIZE];
  const char* value = NULL;
  size_t len = 0;
  if (!findValue(block, "netbios-node-type ", ";\n", &value, &len) || len == 0 || len >= sizeof digits) {
    return 0;
  }
  corvaneCopySpan(digits, sizeof digits, value, len);
  char* end = NULL;
  unsigned long type = strtoul(digits, &end, 10);
  return (*end == '\0' && digits[0] >= '0' && digits[0] <= '9' && type <= 255) ? (unsigned char)type : 0;
}

static void readDomainName(const char* block, char* out) {
  const char* value = NULL;
  size_t len = 0;
  out[0] = '\0';
  if (!findValue(block, "domain-name \"", "\"\n", &value, &len)) {
    return;
  }
  if (len > 0 && value[len - 1] == '.') {
    len--;
  }
  corvaneCopySpan(out, CORVANE_LEASE_DOMAIN_SIZE, value, len);
}

/* Length of the statement at s up to its ";", which may not stand inside a
 * quoted text (the IP-set text holds one); 0 when the line ends first. */
static size_t statementLength(const char* s) {
  int quoted = 0;
  for (size_t i = 0; s[i] != '\0' && s[i] != '\n'; i++) {
    if (quoted && s[i] == '\\' && s[i + 1] != '\0' && s[i + 1] != '\n') {
      i++;
    } else if (s[i] == '"') {
      quoted = !quoted;
    } else if (s[i] == ';' && !quoted) {
      return i;
    }
  }
  return 0;
}

/* Copies what follows `prefix` in the statement, without its closing
 * quotation mark; 0 when the statement does not hold the prefix. */
static int copyVendorText(char* out, const char* statement, size_t len, const char* prefix) {
  const char* at = memmem(statement, len, prefix, strlen(prefix));
  if (at == NULL) {
    return 0;
  }
  const char* value = at + strlen(prefix);
  size_t n = (size_t)(statement + len - value);
  if (n > 0 && value[n - 1] == '"') {
    n--;
  }
  corvaneCopySpan(out, CORVANE_VENDOR_TEXT_SIZE, value, n);
  return 1;
}

/* Every option statement is looked at; later statements win. */
static void readVendorTexts(const char* block, char* ipSetConfig, char* dhcpVendorText) {
  static const char key[] = "option ";
  for (const char* at = strstr(block, key); at != NULL; at = strstr(at, key)) {
    at += sizeof key - 1;
    size_t len = statementLength(at);
    if (!copyVendorText(ipSetConfig, at, len, CORVANE_IPSET_PREFIX)) {
      copyVendorText(dhcpVendorText, at, len, CORVANE_DHCP_VENDOR_PREFIX);
    }
    at += len;
  }
}

static int readLease(const char* block, char* fixedAddress, char* subnetMask, char* routers, char* dnsServer1,
                     char* dnsServer2, char* netbiosServer, unsigned char* netbiosNodeType, char* domainName,
                     char* renew, char* serverIdentifier, char* ipSetConfig, char* dhcpVendorText) {
  if (fixedAddress != NULL &&
      !copyValue(fixedAddress, CORVANE_LEASE_ADDR_SIZE, block, "fixed-address ", ";\n")) {
    fixedAddress[0] = '\0';
    return 0;
  }
  if (subnetMask != NULL && !copyValue(subnetMask, CORVANE_LEASE_ADDR_SIZE, block, "subnet-mask ", ";\n")) {
    subnetMask[0] = '\0';
    return 0;
  }
  /* Routers are listed by preference: the first is the gateway. */
  if (routers != NULL && !copyValue(routers, CORVANE_LEASE_ADDR_SIZE, block, "routers ", ";,\n")) {
    routers[0] = '\0';
  }
  if (dnsServer1 != NULL || dnsServer2 != NULL) {
    readDnsServers(block, dnsServer1, dnsServer2);
  }
  if (netbiosServer != NULL &&
      !copyValue(netbiosServer, CORVANE_LEASE_ADDR_SIZE, block, "netbios-name-servers ", ";,\n")) {
    netbiosServer[0] = '\0';
  }
  if (netbiosNodeType != NULL) {
    *netbiosNodeType = readNodeType(block);
  }
  if (domainName != NULL) {
    readDomainName(block, domainName);
  }
  if (serverIdentifier != NULL &&
      !copyValue(serverIdentifier, CORVANE_LEASE_ADDR_SIZE, block, "dhcp-server-identifier ", ";\n")) {
    serverIdentifier[0] = '\0';
  }
  if (renew != NULL) {
    copyValue(renew, CORVANE_LEASE_RENEW_SIZE, block, "renew ", ";\n");
  }
  if (ipSetConfig != NULL && dhcpVendorText != NULL) {
    readVendorTexts(block, ipSetConfig, dhcpVendorText);
  }
  return 1;
}

int corvaneParseLeaseText(const char* text, const char* ifname, char* fixedAddress, char* subnetMask,
                          char* routers, char* dnsServer1, char* dnsServer2, char* netbiosServer,
                          unsigned char* netbiosNodeType, char* domainName, char* renew,
                          char* serverIdentifier, char* ipSetConfig, char* dhcpVendorText) {
  if (ipSetConfig != NULL) {
    ipSetConfig[0] = '\0';
  }
  if (dhcpVendorText != NULL) {
    dhcpVendorText[0] = '\0';
  }
  if (ifname == NULL) {
    return 0;
  }
  char* block = lastCompleteBlock(text);
  if (block == NULL) {
    return 0;
  }
  int found = strncmp(block, ifname, CORVANE_IFNAME_COMPARE_LEN) == 0 &&
              readLease(block, fixedAddress, subnetMask, routers, dnsServer1, dnsServer2, netbiosServer,
                        netbiosNodeType, domainName, renew, serverIdentifier, ipSetConfig, dhcpVendorText);
  free(block);
  return found;
}

int corvaneParseDhclientLeaseFile(const char* ifname, char* fixedAddress, char* subnetMask, char* routers,
                                  char* dnsServer1, char* dnsServer2, char* netbiosServer,
                                  unsigned char* netbiosNodeType, char* domainName, char* renew,
                                  char* serverIdentifier, char* ipSetConfig, char* dhcpVendorText) {
  /* A file that cannot be read holds no lease. */
  char* text = corvaneReadTextFile(CORVANE_LEASE_FILE, NULL);
  int found = corvaneParseLeaseText(text != NULL ? text : "", ifname, fixedAddress, subnetMask, routers,
                                    dnsServer1, dnsServer2, netbiosServer, netbiosNodeType, domainName, renew,
                                    serverIdentifier, ipSetConfig, dhcpVendorText);
  free(text);
  return found;
}
