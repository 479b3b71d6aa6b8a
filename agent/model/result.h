// Result codes of the agent's operations and of the provider objects'
// accessors, in one list: libTavrel passes the agent's codes on to the CIM
// client as "DHC_ERROR_<code>", so the two ranges must never overlap in
// meaning.
#ifndef TAVREL_AGENT_MODEL_RESULT_H
#define TAVREL_AGENT_MODEL_RESULT_H

// ---- Provider accessors (getters, setters, startChange, endChange) ----
#define TAVREL_RC_OK 0
#define TAVREL_RC_NOT_READABLE 100
#define TAVREL_RC_NOT_WRITABLE 101
// The value given for one property is invalid (CIM status 4).
#define TAVREL_RC_INVALID_VALUE 301
// The values given together are invalid (CIM status 4).
#define TAVREL_RC_INVALID_VALUES 302
// The domain name is longer than 40 bytes.
#define TAVREL_RC_DOMAIN_NAME_TOO_LONG 331
// A number outside its allowed set (server mode, NetBIOS node type).
#define TAVREL_RC_NOT_ALLOWED 333
// The client name cannot be a host declaration name (it holds a space).
#define TAVREL_RC_INVALID_CLIENT_NAME 351
// The domain name holds a character other than letters, digits, "." and "-".
#define TAVREL_RC_DOMAIN_NAME_CHARACTER 352

// ---- Configuration operations of the agent ----
#define DHCP_RC_OK 0
#define DHCP_RC_INVALID_ADDRESS 320
#define DHCP_RC_RANGE_ID 321
#define DHCP_RC_NOT_IN_SUBNET 322
#define DHCP_RC_START_ABOVE_END 323
#define DHCP_RC_OWN_ADDRESS_IN_RANGE 324
#define DHCP_RC_RANGE_OVERLAP 325
#define DHCP_RC_INVALID_MAC 327
#define DHCP_RC_ALREADY_USED 328
#define DHCP_RC_RESERVED_IS_OWN_ADDRESS 329
#define DHCP_RC_INVALID_VLAN_IDS 330
#define DHCP_RC_RESERVED_IN_RANGE 334
#define DHCP_RC_RESERVATION_IN_RANGE 335
#define DHCP_RC_NO_LAN 400

// ---- Commit (dhcpCompCommitConfigurationChanges) ----
// dhcpd refused the new dhcpd.conf (dhcpd -t); nothing was applied and the
// running server was left alone.
#define DHCP_RC_CONFIG_REFUSED 401
// The new server did not come up; the previous dhcpd.conf and component file
// are back and the previous configuration serves again.
#define DHCP_RC_SERVER_START_FAILED 402
// The component configuration file could not be written; nothing was applied.
#define DHCP_RC_CONFIG_WRITE_FAILED 403

#endif
