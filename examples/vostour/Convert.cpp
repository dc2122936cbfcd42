// Step 6: code-page conversion, GBK to UTF-16 and UTF-8 and back.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

void Convert(const Options& options) {
    Step("Convert a GBK text to UTF-16 and UTF-8 and back");
    std::string gbk;
    if (!options.sample.empty()) {
        FILE* f = fopen(options.sample.c_str(), "rb");
        if (f == nullptr) Fail("cannot read %s", options.sample.c_str());
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) gbk.append(buf, n);
        fclose(f);
    } else {
        gbk = "vos \xCA\xBE\xC0\xFD\xCE\xC4\xB1\xBE";  // "vos 示例文本" in GBK
    }
    // The first line is enough to show; the whole text makes the round trip.
    const int srcLen = static_cast<int>(gbk.size());
    const int need = CVCMMap::MultiByteToWideChar(0, gbk.data(), srcLen, nullptr, 0);
    std::vector<unsigned short> units(static_cast<size_t>(need) + 1, 0);
    const int count = CVCMMap::MultiByteToWideChar(0, gbk.data(), srcLen, units.data(), need);
    const std::string utf8 = Utf8(units.data(), count);
    std::vector<char> back(static_cast<size_t>(count) * 2 + 1, 0);
    const int backLen = CVCMMap::WideCharToMultiByte(0, units.data(), count, back.data(),
                                                     static_cast<int>(back.size()), nullptr, nullptr);
    if (count <= 0 || utf8.empty()) Fail("the GBK text converted to nothing");
    Say("%d GBK bytes -> %d UTF-16 units -> %zu UTF-8 bytes%s%s", srcLen, count, utf8.size(),
        options.sample.empty() ? "" : ", from ", options.sample.c_str());
    Say("first line: %s", utf8.substr(0, utf8.find('\n')).c_str());
    if (backLen != srcLen || memcmp(back.data(), gbk.data(), gbk.size()) != 0) {
        Fail("UTF-16 back to GBK gave %d bytes that differ from the %d of the original", backLen, srcLen);
    }
    Say("UTF-16 back to GBK: %d bytes, identical to the original", backLen);
    LogLine(CVLog::ELOG_INFO, "vostour: converted %d GBK bytes", srcLen);
}

}  // namespace vostour
