/* libvornapi: the maker's event-management connection. Stand-in with exactly
 * the calls the appliance's components make. */
#ifndef VORNAPI_H
#define VORNAPI_H

#include <stdint.h>

#include "tavrel_export.h"

TAVREL_EXTERN_C_BEGIN

/* Event packet, big-endian: packet type at byte 0 (16 bits, 1 response,
 * 2 event), request code of a response at byte 6 (32 bits, unaligned). */
#define EMS_PACKET_SIZE 64
typedef struct sEmsPacket {
  unsigned char bytes[EMS_PACKET_SIZE];
} sEmsPacket;

typedef int (*EmsPacketHandler)(sEmsPacket* packet);

/* Each call is recorded in the events file of the appliance root.
 * EmsIpAddressChange answers through the handler with a response packet
 * (request code 1); without an open connection it gives ENOTCONN. */
TAVREL_EXPORT int EmsConnectionOpen(int reserved, EmsPacketHandler handler);
TAVREL_EXPORT int EmsIpAddressChange(int reserved1, int reserved2, int reserved3);
TAVREL_EXPORT int EmsConnectionClose(void);

TAVREL_EXTERN_C_END

#endif
