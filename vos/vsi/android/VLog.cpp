// CVLog: the Android system log under the tag "VLog", and optionally a log
// file that grows across runs (it is never shortened or rotated).
#include "vos/VLog.h"

#include <android/log.h>
#include <stdio.h>
#include <string.h>

#include "vos/VCMMap.h"
#include "vos/VMem.h"
#include "vos/VStrFunc.h"
#include "vos/VString.h"
#include "vos/VTime.h"
#include "vbase/VLockGuard.h"
#include "vbase/VProcessLock.h"

VOS_NAMESPACE_BEGIN

// Constructed at load in this order, destroyed at unload in the reverse one.
CVFile CVLog::s_logFile;
CVMutex CVLog::s_logMutex;

namespace {
const unsigned short kLogMutexName[] = {'L', 'o', 'g', 'F', 'i', 'l', 'e', 'M', 'u', 't', 'e', 'x', 0};
// Created by the first InitFilePath and kept: a writer may be waiting in it
// when the file is opened again.
CVProcessLock s_logLock(CVLog::s_logMutex, kLogMutexName);
}  // namespace

namespace {

const char kTag[] = "VLog";
const char kSource[] = "vos/vsi/android/VLog";

// Messages that fit here, terminator included, never touch the heap.
const size_t kStackMessage = 512;
// The 16-bit formatter's result limit, in units with the terminator.
const int kWideMessageUnits = 512;

bool VKnownPriority(int priority) {
    return priority >= CVLog::ELOG_VERBOSE && priority <= CVLog::ELOG_ERROR;
}

// Only formats holding one of these are formatted; any other text is the
// message as it stands, arguments unused.
const char kConversions[] = "dsfxp";

bool VNeedsFormatting(const char* format) {
    for (const char* p = format; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] != '\0' && strchr(kConversions, p[1]) != nullptr) return true;
    }
    return false;
}

bool VNeedsFormatting(const unsigned short* format) {
    for (const unsigned short* p = format; *p != 0; ++p) {
        if (p[0] == '%' && p[1] != 0 && p[1] < 0x80 &&
            strchr(kConversions, static_cast<char>(p[1])) != nullptr) {
            return true;
        }
    }
    return false;
}

// Hands a finished message to the Android log and, when one is open, to the
// log file.
void VEmit(CVLog::ELOGPRIORITY priority, const char* message) {
    if (VKnownPriority(priority)) {
        __android_log_write(ANDROID_LOG_VERBOSE + static_cast<int>(priority), kTag, message);
    }
    if (CVLog::s_logFile.IsOpened()) {
        CVLockGuard<CVMutex> lock(s_logLock);
        CVLog::WriteLog(priority, message);
    }
}

// Emits 16-bit text as UTF-8, the form the Android log and the log file
// take; on the stack when it fits, else in one heap buffer of the exact size.
void VEmitWide(CVLog::ELOGPRIORITY priority, const unsigned short* text, int units) {
    if (units <= 0) return;
    unsigned short* source = const_cast<unsigned short*>(text);
    const int needed = CVCMMap::UnicodeToUtf8(source, static_cast<unsigned int>(units), nullptr, 0);
    if (needed <= 0) return;

    char local[kStackMessage * 3];
    char* narrow = local;
    if (static_cast<size_t>(needed) > sizeof(local)) {
        narrow = static_cast<char*>(CVMem::Allocate(static_cast<unsigned long>(needed), kSource, __LINE__));
        if (narrow == nullptr) return;
    }
    if (CVCMMap::UnicodeToUtf8(source, static_cast<unsigned int>(units), narrow, needed) > 0) {
        narrow[needed - 1] = '\0';
        VEmit(priority, narrow);
    }
    if (narrow != local) CVMem::Deallocate(narrow);
}

}  // namespace

CVLog::CVLog() {}

CVLog::~CVLog() {
    if (s_logFile.IsOpened()) s_logFile.Close();
}

void CVLog::Log(ELOGPRIORITY priority, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Print(priority, format, args);
    va_end(args);
}

void CVLog::Log(ELOGPRIORITY priority, const CVString* format, ...) {
    if (format == nullptr || format->GetLength() == 0) return;

    const unsigned short* text = *format;

    // A format without a listed conversion is the message as it stands, as
    // in Print.
    if (!VNeedsFormatting(text)) {
        VEmitWide(priority, text, format->GetLength());
        return;
    }

    unsigned short wide[kWideMessageUnits];
    memset(wide, 0, sizeof(wide));
    va_list args;
    va_start(args, format);
    const int units = ::vswprintf(wide, text, args);
    va_end(args);
    if (units > 0 && units < kWideMessageUnits) VEmitWide(priority, wide, units);
}

int CVLog::InitFilePath(const CVString& path) {
    if (s_logFile.IsOpened()) return 0;
    if (!s_logFile.Open(path, VFILE_OPEN_READWRITE) &&
        !s_logFile.Open(path, VFILE_OPEN_CREATE | VFILE_OPEN_READWRITE)) {
        return 0;
    }
    s_logLock.Get();
    return 1;
}

int CVLog::UnInitFilePath() {
    if (s_logFile.IsOpened()) s_logFile.Close();
    return 1;
}

int CVLog::WriteLog(ELOGPRIORITY priority, const char* text) {
    if (text == nullptr) return 0;
    s_logFile.SeekToEnd();

    tagVTime now;
    VTime_GetCurrentTime(&now);
    char piece[64];
    memset(piece, 0, sizeof(piece));
    snprintf(piece, sizeof(piece), "[%04d:%02d:%02d][%02d:%02d:%02d]\t", static_cast<int>(now.nYear),
             static_cast<int>(now.nMonth), static_cast<int>(now.nDay), static_cast<int>(now.nHour),
             static_cast<int>(now.nMinute), static_cast<int>(now.nSecond));
    unsigned long length = strlen(piece);
    if (s_logFile.Write(piece, length) < length) return 0;

    static const char kMarks[][5] = {"[V]\t", "[D]\t", "[I]\t", "[W]\t", "[E]\t"};
    memset(piece, 0, sizeof(piece));
    if (VKnownPriority(priority)) memcpy(piece, kMarks[priority], 4);
    length = strlen(piece);
    if (s_logFile.Write(piece, length) < length) return 0;

    length = strlen(text);
    if (s_logFile.Write(text, length) < length) return 0;

    s_logFile.Flush();
    return 1;
}

void CVLog::Print(ELOGPRIORITY priority, const char* format, va_list args) {
    if (format == nullptr) return;
    if (!VNeedsFormatting(format)) {
        VEmit(priority, format);
        return;
    }

    // Measured without output: the count alone, nothing printed anywhere.
    va_list measure;
    va_copy(measure, args);
    const int count = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (count < 0) {
        VEmit(priority, format);
        return;
    }

    const size_t needed = static_cast<size_t>(count) + 1;
    char local[kStackMessage];
    memset(local, 0, sizeof(local));
    char* message = local;
    size_t capacity = sizeof(local);
    if (needed > sizeof(local)) {
        char* heap = static_cast<char*>(CVMem::Allocate(static_cast<unsigned long>(needed), kSource, __LINE__));
        // Without a heap buffer the message is cut to the local one rather
        // than lost.
        if (heap != nullptr) {
            memset(heap, 0, needed);
            message = heap;
            capacity = needed;
        }
    }

    va_list format_args;
    va_copy(format_args, args);
    vsnprintf(message, capacity, format, format_args);
    va_end(format_args);

    VEmit(priority, message);
    if (message != local) CVMem::Deallocate(message);
}

VOS_NAMESPACE_END
