/* The one contract between scanbench and any board library (libzorix.so).
 * Every result and every by-value argument is a signed 32-bit integer; signatures never change. */
#ifndef SCANBENCH_DEVICE_DEVICELIB_H
#define SCANBENCH_DEVICE_DEVICELIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Names one board option: seven signed 32-bit words, 28 bytes, no padding. */
typedef struct OptionDescriptor {
    int32_t location;  /* left there by the library; identifies a source once read */
    int32_t access;    /* 1 read, 2 write, 3 channel link */
    int32_t valueType; /* 3 integer, 4 double, 0 channel link */
    int32_t group;     /* 1000 sources, 1100 recorder */
    int32_t index;
    int32_t subIndex;
    int32_t linkValue; /* on a channel link: the location of the source to record */
} OptionDescriptor;

#ifdef __cplusplus
static_assert(sizeof(OptionDescriptor) == 28, "OptionDescriptor is seven 32-bit words");
#else
_Static_assert(sizeof(OptionDescriptor) == 28, "OptionDescriptor is seven 32-bit words");
#endif

/* 0 = board ready, else an error number. */
int32_t InitMcuSystem3(void* systemArea, void* systemArea2, int32_t baseAddress,
                       const char* systemFile, int32_t* out);
/* 0 = booted, else an error number. */
int32_t BootFile(const char* bootFile, int32_t baseAddress);
/* Option calls: 4 = success. */
int32_t wrOptionInt(OptionDescriptor* d, int32_t* value);
int32_t rdOptionInt(OptionDescriptor* d, int32_t* value);
int32_t rdOptionDbl(OptionDescriptor* d, double* value);
/* Bytes placed in buffer from its start (a 4-byte lead, then 72-byte records);
 * 0 = nothing new; negative = error. */
int32_t rdScannerBuffer(void* buffer, int32_t capacity);
/* As rdScannerBuffer over the physical-memory path; capacity 0 probes it
 * (low 16 bits 0 = available). */
int32_t SendReqScannerBuffer(void* buffer, int32_t capacity);
/* A code of the library's own, shown as 8 hex digits. */
int32_t CleanServiceUsers(void);

#ifdef __cplusplus
}
#endif

#endif
