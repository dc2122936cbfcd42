// Step 3: the log file.
#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

void OpenLog(const Options& options) {
    Step("Open the log file");
    if (CVLog::InitFilePath(FromUtf8(options.logPath)) != 1) Fail("cannot open %s", options.logPath.c_str());
    LogLine(CVLog::ELOG_INFO, "vostour: library %s started, log file open", V_GetVersion());
    Say("CVLog::InitFilePath(\"%s\"); entries also go to the system log (standard error here)",
        options.logPath.c_str());
}

}  // namespace vostour
