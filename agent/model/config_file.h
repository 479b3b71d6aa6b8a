// The component configuration file (/pq/etc/dhcpcomp.conf): its reader
// into the records and its writer from them.
#ifndef TAVREL_AGENT_MODEL_CONFIG_FILE_H
#define TAVREL_AGENT_MODEL_CONFIG_FILE_H

#include <string>

#include "model/records.h"

TAVREL_EXTERN_C_BEGIN

// Reads g_strT20ConfigFilename into the customer LAN, OAM LAN and VLAN records
// (in that order). 1 when read, 0 when it cannot be opened or memory ran out
// (records unchanged).
int dhcpCompReadDhcpCompConfigFile(void);
// Parses a whole configuration text into the customer LAN, OAM LAN and VLAN
// records, as dhcpCompReadDhcpCompConfigFile does with the file's text.
void dhcpCompParseDhcpCompConfigText(char* text);
// Parses the sections named by cfg->interfaceName out of the whole file text.
void dhcpCompParseDhcpCompContentsForInterface(char* text, s_dhcpCompConfig* cfg);
// Rewrites the file from the live records (useSaved 0) or the snapshots,
// replacing it atomically. 1 when written; 0 when it could not be written
// (the old file stays; the failure goes to the system log).
int dhcpCompWriteDhcpCompConfigFile(char useSaved);
// Replaces the file by text (what dhcpCompFormatDhcpCompConfig gave); 1 or 0
// as dhcpCompWriteDhcpCompConfigFile.
int dhcpCompWriteDhcpCompConfigText(const std::string& text);
// Copies the settings common to the customer LAN and its VLANs into every
// VLAN record, and sets each VLAN's vlanIds to its own id.
void duplicateCommonPortion(void);

TAVREL_EXTERN_C_END

// The text dhcpCompWriteDhcpCompConfigFile writes, without the copy of the
// common settings into the VLAN records that the writer does first.
std::string dhcpCompFormatDhcpCompConfig(char useSaved);

// Appends the section of cfg (its "[<interface>]" line and key lines) to out.
void dhcpCompWriteDhcpCompConfigFileForInterface(std::string* out, s_dhcpCompConfig* cfg);

#endif
