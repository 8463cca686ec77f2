/* Calling convention and visibility of the module's exported functions.
   Plain C so that the host interface header stays includable from C. */
#ifndef OMBRELS_PLATFORM_EXPORT_H
#define OMBRELS_PLATFORM_EXPORT_H

#if defined(_WIN32)
/* The host's convention on 32-bit Windows: the called function removes its
   arguments. The names come undecorated from the module-definition file. */
#define OMBRELS_CALL __stdcall
#define OMBRELS_EXPORT
#else
#define OMBRELS_CALL
#define OMBRELS_EXPORT __attribute__((visibility("default")))
#endif

#endif
