/* The host's content-plugin interface, as far as this plugin uses it.
   Plain C: hosts and tools include it as it is. */
#ifndef OMBRELS_CONTPLUG_H
#define OMBRELS_CONTPLUG_H

#include "platform/export.h"

enum { ft_nomorefields = 0, ft_string = 8, ft_nosuchfield = -1, ft_fieldempty = -3 };

#ifdef __cplusplus
extern "C" {
#endif

typedef int(OMBRELS_CALL* ContentGetSupportedFieldProc)(int FieldIndex, char* FieldName,
                                                        char* Units, int maxlen);
typedef int(OMBRELS_CALL* ContentGetValueProc)(const char* FileName, int FieldIndex, int UnitIndex,
                                               void* FieldValue, int maxlen, int flags);

OMBRELS_EXPORT int OMBRELS_CALL ContentGetSupportedField(int FieldIndex, char* FieldName,
                                                         char* Units, int maxlen);
OMBRELS_EXPORT int OMBRELS_CALL ContentGetValue(const char* FileName, int FieldIndex, int UnitIndex,
                                                void* FieldValue, int maxlen, int flags);

#ifdef __cplusplus
}
#endif

#endif
