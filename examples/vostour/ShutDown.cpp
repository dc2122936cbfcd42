// Step 10: the shut-down in order, and a look at the log file.
#include <stdio.h>

#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

void ShutDown(const Options& options) {
    Step("Shut down in order");
    CVTimer::KillAll();
    CVTimer::Release();
    Say("timers killed and released");
    CVMsg::RemoveAllMsgObserver();
    Say("message observers removed (%d messages seen in all)", MessagesSeen());
    LogLine(CVLog::ELOG_INFO, "vostour: shutting down");
    CVLog::UnInitFilePath();
    Say("log file closed");
    CVVos::GlobalUnInit();
    if (CVVos::m_ulRefCnt != 0) Fail("the library is still up after GlobalUnInit");
    Say("CVVos::GlobalUnInit: message bus, code-page tables, file layer and last-error record stopped");

    FILE* f = fopen(options.logPath.c_str(), "rb");
    if (f == nullptr) Fail("the log file %s is gone", options.logPath.c_str());
    int lines = 0;
    for (int c; (c = fgetc(f)) != EOF;) lines += c == '\n';
    fclose(f);
    Say("the log file %s holds %d lines", options.logPath.c_str(), lines);
}

}  // namespace vostour
