// Host stand-in for the system log interface of Android devices.
//
// A Linux host has no system log service: this header and
// platform/AndroidLog.cpp give the library the same two functions, which
// write each message as one line "P/TAG: TEXT" to standard error. Android
// builds use the platform's own header and library and never see this file.
#ifndef VOS_PLATFORM_ANDROID_LOG_H
#define VOS_PLATFORM_ANDROID_LOG_H

#include <stdarg.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum android_LogPriority {
    ANDROID_LOG_UNKNOWN = 0,
    ANDROID_LOG_DEFAULT = 1,
    ANDROID_LOG_VERBOSE = 2,
    ANDROID_LOG_DEBUG = 3,
    ANDROID_LOG_INFO = 4,
    ANDROID_LOG_WARN = 5,
    ANDROID_LOG_ERROR = 6,
    ANDROID_LOG_FATAL = 7,
    ANDROID_LOG_SILENT = 8
} android_LogPriority;

// Writes text under tag with the priority prio; returns the number of bytes
// written to standard error, or a negative value when nothing was written.
int __android_log_write(int prio, const char* tag, const char* text);

// Formats as printf does, then writes as __android_log_write.
int __android_log_print(int prio, const char* tag, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

int __android_log_vprint(int prio, const char* tag, const char* fmt, va_list ap)
    __attribute__((format(printf, 3, 0)));

#ifdef __cplusplus
}
#endif

#endif  // VOS_PLATFORM_ANDROID_LOG_H
