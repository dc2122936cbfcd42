// The tour's shared parts: its options, the report every step writes, and
// the steps in the order main runs them (one file each).
#ifndef VOS_EXAMPLES_VOSTOUR_TOUR_H
#define VOS_EXAMPLES_VOSTOUR_TOUR_H

#include <functional>
#include <string>

#include "ExampleText.h"
#include "vos/vos.h"

namespace vostour {

using vosexample::FromUtf8;
using vosexample::Utf8;

struct Options {
    std::string classPath;
    std::string libPath;
    std::string url;
    std::string logPath = "vostour.log";
    std::string sample;
};

// ---- the report (Report.cpp) ----------------------------------------------

// Milliseconds since the tour started.
long Ms();
// Opens the next step: prints its number and title.
void Step(const char* title);
// Steps opened so far.
int StepsDone();
// One indented line of the report; safe from any thread.
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Reports the current step as failed and ends the tour with exit status 1.
[[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
// One entry for the system log and, once it is open, the log file.
void LogLine(_palex_zu::CVLog::ELOGPRIORITY priority, const char* format, ...);
// Callbacks on other threads set atomic flags and counters, then Signal();
// the main thread waits in WaitUntil (false after limitMs). Predicates only
// read atomics, so no lock of the tour is held while the library is called.
void Signal();
bool WaitUntil(const std::function<bool()>& done, long limitMs);
// The name of the Java thread the caller runs on, or "" on a native thread.
std::string JavaThreadName();

// ---- the steps, in order ----------------------------------------------------

void StartJava(const Options& options);   // StartJava.cpp
void OpenLog(const Options& options);     // OpenLog.cpp
void Messages();                          // Messages.cpp
int MessagesSeen();                       //   messages the all-messages observer saw
void Timer();                             // Timer.cpp
void Convert(const Options& options);     // Convert.cpp
void Network(const Options& options);     // Network.cpp
void Device();                            // Device.cpp
void Gps();                               // Gps.cpp
void ShutDown(const Options& options);    // ShutDown.cpp

}  // namespace vostour

#endif  // VOS_EXAMPLES_VOSTOUR_TOUR_H
