// Reading the Android log back in tests. Off a device the platform's log
// library writes each entry to standard error as one line
//   TAG P MM-DD HH:MM:SS PID TID TEXT
// and drops entries below INFO unless the process lowers its threshold.
#ifndef VOS_TESTS_SUPPORT_ANDROIDLOG_H
#define VOS_TESTS_SUPPORT_ANDROIDLOG_H

#include <android/log.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <string>

namespace vostest {

// Lets D and V entries through as well; call before capturing them.
inline void ShowEveryAndroidLogEntry() { __android_log_set_minimum_priority(ANDROID_LOG_VERBOSE); }

// The captured standard error with each entry line of this process as
// "P/TAG: TEXT"; a line of another form (the rest of a text that holds line
// breaks) becomes "+LINE", and a line from another process is marked so that
// it cannot match.
inline std::string AndroidLog(const std::string& captured) {
    static const std::regex entry("(\\S*) (.) \\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d +(\\d+) +\\d+ (.*)");
    std::istringstream in(captured);
    std::string out;
    std::string line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, entry)) {
            out += "+" + line + "\n";
        } else if (std::stol(m[3].str()) != static_cast<long>(getpid())) {
            out += "<pid " + m[3].str() + "> " + line + "\n";
        } else {
            out += m[2].str() + "/" + m[1].str() + ": " + m[4].str() + "\n";
        }
    }
    return out;
}

}  // namespace vostest

#endif  // VOS_TESTS_SUPPORT_ANDROIDLOG_H
