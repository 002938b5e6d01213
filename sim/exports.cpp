// Placeholder until the simulated board lands: answers like a ready board with no data.
#include "device/devicelib.h"

#define ZORIX_API extern "C" __attribute__((visibility("default")))

ZORIX_API int32_t InitMcuSystem3(void*, void*, int32_t, const char*, int32_t*) { return 0; }
ZORIX_API int32_t BootFile(const char*, int32_t) { return 0; }
ZORIX_API int32_t wrOptionInt(OptionDescriptor*, int32_t*) { return 4; }
ZORIX_API int32_t rdOptionInt(OptionDescriptor*, int32_t*) { return 4; }
ZORIX_API int32_t rdOptionDbl(OptionDescriptor*, double*) { return 4; }
ZORIX_API int32_t rdScannerBuffer(void*, int32_t) { return 0; }
ZORIX_API int32_t SendReqScannerBuffer(void*, int32_t) { return 0; }
ZORIX_API int32_t CleanServiceUsers(void) { return 0; }
