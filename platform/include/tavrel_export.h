/* Symbol visibility for the appliance's shared libraries: they are built with
 * hidden visibility, and only what is marked TAVREL_EXPORT is exported. */
#ifndef TAVREL_EXPORT_H
#define TAVREL_EXPORT_H

#define TAVREL_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
#define TAVREL_EXTERN_C_BEGIN extern "C" {
#define TAVREL_EXTERN_C_END }
#else
#define TAVREL_EXTERN_C_BEGIN
#define TAVREL_EXTERN_C_END
#endif

#endif
