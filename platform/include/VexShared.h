/* libVexShared: the maker's service framework, registry, published IP and
 * diagnostics log. Stand-in with exactly the calls the appliance's
 * components make. All calls return 0 on success, otherwise an errno value
 * (ENOENT absent, EINVAL bad argument, ERANGE does not fit, EIO file error).
 * Files and formats: platform/README.md. */
#ifndef VEX_SHARED_H
#define VEX_SHARED_H

#include <stdint.h>

#include "tavrel_export.h"

TAVREL_EXTERN_C_BEGIN

/* Service framework. After a successful start, SIGTERM and SIGINT lead to
 * one call of stopCallback (argument unused) from the signal handler, so it
 * must only set a flag; a further signal ends the process. Start returns
 * EBUSY while started; Stop restores the earlier signal handlers. */
typedef void (*VexServiceStopCallback)(unsigned long);
TAVREL_EXPORT int VexServiceStartService(const char* serviceName, int reserved1, int reserved2,
                                         VexServiceStopCallback stopCallback, int flags);
TAVREL_EXPORT int VexServiceStopService(void);

/* Registry: keyed text and 16-bit values, grouped in areas. Keys are
 * backslash-separated paths such as "if\lan\eth1". A text that does not fit
 * bufferSize (with its terminator) gives ERANGE and an empty buffer. Set
 * refuses texts with line breaks. */
TAVREL_EXPORT int VexGetRegEntryStringEx(int area, const char* key, const char* valueName, char* buffer,
                                         unsigned long bufferSize);
TAVREL_EXPORT int VexSetRegEntryStringEx(int area, const char* key, const char* valueName, const char* text);
TAVREL_EXPORT int VexGetRegEntryUint16Ex(int area, const char* key, const char* valueName, uint16_t* value);

/* Key iteration: level 1 lists the keys one level below `key`, level 2 the
 * keys two levels below it, each once, in registry order. GetNextKey copies
 * the next full key into keyBuffer (at most keySize bytes, as given at
 * Begin) and returns non-zero when none is left. A failed Begin leaves a
 * null iterator, which End accepts. */
typedef void* VexPdrKeyIterator;
TAVREL_EXPORT int VexLevel1PdrKeyIteratorBegin(VexPdrKeyIterator* iterator, const char* key, int keySize,
                                               int maxKeys);
TAVREL_EXPORT int VexLevel2PdrKeyIteratorBegin(VexPdrKeyIterator* iterator, const char* key, int keySize,
                                               int maxSubKeys, int maxKeys);
TAVREL_EXPORT int VexPdrKeyIteratorGetNextKey(VexPdrKeyIterator iterator, char* keyBuffer);
TAVREL_EXPORT int VexPdrKeyIteratorEnd(VexPdrKeyIterator iterator);

/* Published IP: "PublishedIP\default"/"ipaddress". With a handler (and only
 * when the read succeeds), each later change of the value is reported to it
 * from a background thread as (0, 0, 0, 0, NULL, oldLength, oldText,
 * newLength, newText); lengths exclude the terminator. After
 * VexFreePublishedIPNotifyHandle returns, the handler is not called again. */
typedef void (*VexPublishedIPNotifyHandler)(unsigned long, unsigned char, unsigned char, unsigned long, void*,
                                            unsigned long oldLength, void* oldValue, unsigned long newLength,
                                            void* newValue);
TAVREL_EXPORT int VexGetDefaultPublishedIPStr(char* buffer, unsigned long bufferSize,
                                              VexPublishedIPNotifyHandler handler, uint32_t* listenerId);
TAVREL_EXPORT int VexFreePublishedIPNotifyHandle(uint32_t* listenerId);

/* Diagnostics log: one line per entry (module tag, severity, alarm, text)
 * appended to logFile, a plain file name inside the appliance root. */
TAVREL_EXPORT int VexDiagRegisterModule(const char* moduleFile, const char* moduleTag, int reserved,
                                        const char* logFile, uint32_t* handle);
TAVREL_EXPORT int VexDiagAddLogEntry(uint32_t handle, int kind, uint16_t severity, uint32_t alarm,
                                     const char* text);
TAVREL_EXPORT int VexDiagDeregisterModule(uint32_t handle);

TAVREL_EXTERN_C_END

#endif
