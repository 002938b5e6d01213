/* Another board library for the end-to-end tests: it answers every call with its own numbers,
 * so a run that shows them proves the program called this library and not the simulated one. */
#include "device/devicelib.h"

#define ALT_API __attribute__((visibility("default")))

ALT_API int32_t InitMcuSystem3(void* a, void* b, int32_t base, const char* file, int32_t* out) {
    (void)a, (void)b, (void)base, (void)file, (void)out;
    return 4711; /* never ready: the program boots */
}
ALT_API int32_t BootFile(const char* file, int32_t base) {
    (void)file, (void)base;
    return 4242; /* shown as "Error 4242 at booting!" */
}
ALT_API int32_t wrOptionInt(OptionDescriptor* d, int32_t* v) {
    (void)d, (void)v;
    return -1;
}
ALT_API int32_t rdOptionInt(OptionDescriptor* d, int32_t* v) {
    (void)d, (void)v;
    return -1;
}
ALT_API int32_t rdOptionDbl(OptionDescriptor* d, double* v) {
    (void)d, (void)v;
    return -1;
}
ALT_API int32_t rdScannerBuffer(void* buffer, int32_t capacity) {
    (void)buffer, (void)capacity;
    return -1;
}
ALT_API int32_t SendReqScannerBuffer(void* buffer, int32_t capacity) {
    (void)buffer, (void)capacity;
    return -1;
}
ALT_API int32_t CleanServiceUsers(void) {
    return 0x4242;
}
