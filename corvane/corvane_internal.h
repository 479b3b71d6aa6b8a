/* Helpers shared by the files of libcorvane; hidden from its users. */
#ifndef CORVANE_INTERNAL_H
#define CORVANE_INTERNAL_H

#include <stddef.h>

#include "tavrel_export.h"

TAVREL_EXTERN_C_BEGIN

/* Scratch file for command output, in the current directory. */
#define CORVANE_TEMP_FILE "temp.txt"
#define CORVANE_REMOVE_TEMP_COMMAND "/bin/rm -f temp.txt"

/* Reads a whole file as text: carriage returns become line feeds and a zero
 * byte follows what was read. A file that grows or shrinks while it is read
 * yields what fitted its size at opening. Returns a malloc'd text (free it)
 * and its length in *length (when not null), or null when the file cannot be
 * opened or memory runs out. */
char* corvaneReadTextFile(const char* path, long* length);

/* Formats a shell command and runs it with system(). A command that would not
 * fit its buffer is not run. Returns the system() status, or -1 when the
 * command was not run. */
int corvaneRunCommand(const char* format, ...) __attribute__((format(printf, 1, 2)));

/* Copies the len characters at src into out (size outSize > 0), cutting at
 * outSize - 1 characters; out is always terminated. */
void corvaneCopySpan(char* out, size_t outSize, const char* src, size_t len);

/* Copies from src into out (size outSize > 0) up to the first character of
 * stops or the end of src, cutting at outSize - 1 characters; out is always
 * terminated. Returns the position in src where the copy stopped: the stop
 * character, or the zero byte when none was found. */
const char* corvaneCopyUntil(char* out, size_t outSize, const char* src, const char* stops);

/* The first IPv4 address, and its mask, in ifconfig output: "inet addr:A ...
 * Mask:M" (older net-tools, as on the appliance) or "inet A  netmask M"
 * (net-tools 2). out (CORVANE_IP_TEXT_SIZE bytes) is "" when there is none. */
void corvaneIfconfigAddress(char* out, const char* text);
void corvaneIfconfigMask(char* out, const char* text);

/* corvaneParseDhclientLeaseFile over a lease file's text (zero-terminated). */
int corvaneParseLeaseText(const char* text, const char* ifname, char* fixedAddress, char* subnetMask,
                          char* routers, char* dnsServer1, char* dnsServer2, char* netbiosServer,
                          unsigned char* netbiosNodeType, char* domainName, char* renew,
                          char* serverIdentifier, char* ipSetConfig, char* dhcpVendorText);

/* Ends every line of /etc/hosts the agent writes; a larger file than
 * CORVANE_HOSTS_MAX_SIZE is left alone. */
#define CORVANE_HOSTS_MARK "# TavrelAgent"
#define CORVANE_HOSTS_MAX_SIZE (64 * 1024)

/* The new /etc/hosts from the old one (oldLen bytes, empty when there was
 * none): every line of the old file except the agent's own (marked, or in
 * the layout of earlier versions for hostName), then entry. An empty old
 * file starts with the localhost header. Returns a malloc'd, zero-terminated
 * text (free it) and its length, or null when the old file is larger than
 * CORVANE_HOSTS_MAX_SIZE or memory runs out. */
char* corvaneHostsMerge(const char* old, size_t oldLen, const char* hostName, const char* entry,
                        size_t* length);

TAVREL_EXTERN_C_END

#endif
