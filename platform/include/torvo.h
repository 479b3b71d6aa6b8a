/* libtorvo and libtorvoplatform: the maker's OS abstraction. Stand-in with
 * exactly the calls the appliance's components make. */
#ifndef TORVO_H
#define TORVO_H

#include <stdint.h>

#include "tavrel_export.h"

TAVREL_EXTERN_C_BEGIN

/* libtorvoplatform: *present = 1 when the integrated router is fitted. */
TAVREL_EXPORT int osIsCNICOnePresent(uint8_t* present);

/* libtorvo. */
TAVREL_EXPORT int osGetProcessId(uint32_t* processId);
/* Starts a program (no arguments, no shell) without waiting for it;
 * *processId receives its pid. The program is not left as a child of the
 * caller. ENOENT/EACCES when it cannot be executed. */
TAVREL_EXPORT int osStartPgm(const char* path, int reserved1, int reserved2, uint32_t* processId,
                             int reserved3);
/* Seconds since the epoch; also stored in *now when it is not null. */
TAVREL_EXPORT uint32_t osGetTime(uint32_t* now);
/* Copies at most size - 1 characters and always terminates (size > 0). */
TAVREL_EXPORT char* osLStrCpyn(char* destination, const char* source, unsigned long size);

/* Named system-wide binary semaphores that exclude other processes and other
 * threads; not recursive. A process that dies holding one releases it.
 * A timeout of -1 waits without limit; an expired timeout gives EAGAIN.
 * Releasing one that is not held gives EPERM. 0 means success, otherwise an
 * errno value. */
TAVREL_EXPORT int osCreateSemaphore(const char* name, int flags, uint32_t* id);
TAVREL_EXPORT int osGetSemaphoreId(const char* name, uint32_t* id);
TAVREL_EXPORT int osRequestSemaphore(uint32_t id, int timeoutMs);
TAVREL_EXPORT int osReleaseSemaphore(uint32_t id);
TAVREL_EXPORT int osDeleteSemaphore(uint32_t id);

TAVREL_EXTERN_C_END

#endif
