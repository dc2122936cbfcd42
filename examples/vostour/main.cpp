// vostour: the whole library end to end, the way an SDK uses it on a device.
//
// It plays the part of the application process: it starts a Java VM with the
// companion classes, hands the VM to the library, brings the library up, and
// then walks through the families one step at a time: log file, message bus,
// timer ticks that travel out through Java and back, code-page conversion, an
// HTTP fetch through the socket manager, device facts and a GPS fix from the
// companion classes. It shuts everything down in order and prints a short
// report of each step on standard output. The library's system log (the
// Android log on a device) goes to standard error.
//
//   vostour --classpath JAR --libpath DIR [--url http://host:port/path]
//           [--log FILE] [--sample GBK-FILE]
//
// Exit status 0 when every step worked; 1 when a step failed (the report
// names it); 64 for a usage error.
#include <stdio.h>

#include <string>

#include "Tour.h"

using namespace vostour;
using _palex_zu::V_GetVersion;

namespace {

int Usage() {
    fprintf(stderr,
            "usage: vostour --classpath JAR --libpath DIR [--url http://host:port/path] [--log FILE]"
            " [--sample GBK-FILE]\n");
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
#ifdef VOSTOUR_DEFAULT_CLASSPATH
    options.classPath = VOSTOUR_DEFAULT_CLASSPATH;
    options.libPath = VOSTOUR_DEFAULT_LIBPATH;
    options.sample = VOSTOUR_DEFAULT_SAMPLE;
#endif
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (arg == "--classpath") options.classPath = value;
        else if (arg == "--libpath") options.libPath = value;
        else if (arg == "--url") options.url = value;
        else if (arg == "--log") options.logPath = value;
        else if (arg == "--sample") options.sample = value;
        else return Usage();
    }
    if (options.classPath.empty() || options.libPath.empty()) return Usage();

    printf("vostour: vos %s, a tour of the library as an SDK on a device uses it\n", V_GetVersion());
    StartJava(options);
    OpenLog(options);
    Messages();
    Timer();
    Convert(options);
    Network(options);
    Device();
    Gps();
    ShutDown(options);
    printf("\nvostour: all %d steps done in %ld ms; log file: %s\n", StepsDone(), Ms(), options.logPath.c_str());
    return 0;
}
