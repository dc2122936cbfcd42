/// @file
/// Log: CVLog formats a message, hands it to the Android system log under the
/// tag "VLog" and, once InitFilePath has opened a log file, appends it to that
/// file with a time stamp and a priority mark.
///
/// Print and Log may be called from any thread; file entries are serialised
/// by one process-wide mutex so that no two entries interleave. InitFilePath,
/// UnInitFilePath and the destructor take no lock: they belong to start and
/// stop, not beside Print. Destroying any CVLog object closes the shared log
/// file.
#ifndef VOS_VLOG_H
#define VOS_VLOG_H

#include <stdarg.h>

#include "vos/VDefine.h"
#include "vos/VFile.h"
#include "vos/VString.h"
#include "vos/VThread.h"

VOS_NAMESPACE_BEGIN

class CVString;
class CVFile;
class CVMutex;

/// The logger; Print and WriteLog are static, Log formats through an object.
class VOS_API CVLog {
public:
    /// Any other value is accepted: it gets no mark in the file and does not
    /// reach the Android log.
    enum ELOGPRIORITY {
        ELOG_VERBOSE = 0,  ///< "[V]\t", Android verbose
        ELOG_DEBUG = 1,    ///< "[D]\t", Android debug
        ELOG_INFO = 2,     ///< "[I]\t", Android info
        ELOG_WARN = 3,     ///< "[W]\t", Android warn
        ELOG_ERROR = 4     ///< "[E]\t", Android error
    };

    CVLog();
    virtual ~CVLog();

    /// Formats and emits as Print does.
    void Log(ELOGPRIORITY priority, const char* format, ...);
    /// A 16-bit format, formatted by the library's 16-bit vswprintf (narrow
    /// %s arguments; the result is limited to 511 units) and emitted as UTF-8.
    void Log(ELOGPRIORITY priority, const CVString* format, ...);

    /// Opens the log file, keeping the content of an existing one. 0 when a
    /// log file is open already (the first path stays in use) or when path
    /// cannot be opened or created.
    static int InitFilePath(const CVString& path);
    /// Closes the log file; 1.
    static int UnInitFilePath();
    /// Appends one entry (time stamp, priority mark, text) and flushes it;
    /// takes no lock. 1 when the whole entry was written, 0 otherwise.
    static int WriteLog(ELOGPRIORITY priority, const char* text);
    /// Formats one message and emits it. The format is formatted only when it
    /// contains one of "%d", "%s", "%f", "%x" or "%p"; otherwise it is the
    /// message itself, conversions and all.
    static void Print(ELOGPRIORITY priority, const char* format, va_list args);

    /** @name Shared state */
    ///@{
    /// The log file, and the mutex that serialises its entries.
    static CVFile s_logFile;
    static CVMutex s_logMutex;
    ///@}

private:
    CVLog(const CVLog&);
    CVLog& operator=(const CVLog&);
};

VOS_NAMESPACE_END

#endif  // VOS_VLOG_H
