// Step 8: device facts the companion classes answer.
#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

void Device() {
    Step("Device facts from the companion classes");
    CVString s;
    if (CVUtilsOS::GetOsTypeName(s) != 1) Fail("CVUtilsOS::GetOsTypeName failed");
    std::string os = Utf8(s);
    if (CVUtilsOS::GetOsVersion(s) != 1) Fail("CVUtilsOS::GetOsVersion failed");
    Say("OS: %s %s", os.c_str(), Utf8(s).c_str());
    long total = 0, free = 0;
    if (CVUtilsOS::GetSpaceInfo(total, free) != 1) Fail("CVUtilsOS::GetSpaceInfo failed");
    Say("storage: %ld MB free of %ld MB", free / 1024, total / 1024);
    if (CVUtilsOS::GetMemoryInfo(total, free) != 1) Fail("CVUtilsOS::GetMemoryInfo failed");
    Say("memory (the Java heap on a host): %ld kB available of %ld kB", free, total);
    long width = 0, height = 0;
    float density = 0;
    if (CVUtilsScreen::GetSystemMetrics(width, height) != 1 || CVUtilsScreen::GetScreenDpi(density) != 1) {
        Fail("CVUtilsScreen failed");
    }
    Say("screen: %ld x %ld, density %.1f", width, height, static_cast<double>(density));
    ENetworkType type = VOS_NETWORK_TYPE_NONE;
    if (CVUtilsNetwork::GetCurrentNetworkType(type) != 1) Fail("CVUtilsNetwork::GetCurrentNetworkType failed");
    CVNetworkInfo info;
    const int haveInfo = CVUtilsNetwork::GetNetworkInfo(type, info);
    Say("network: type %d%s%s", static_cast<int>(type), haveInfo == 1 ? " " : "",
        haveInfo == 1 ? Utf8(info.m_strTypeName).c_str() : "");
    if (CVUtilsAppInfo::GetAppVersion(s) != 1) Fail("CVUtilsAppInfo::GetAppVersion failed");
    std::string appVersion = Utf8(s);
    if (CVUtilsAppInfo::GetCachePath(s) != 1) Fail("CVUtilsAppInfo::GetCachePath failed");
    Say("application %s, cache folder %s", appVersion.c_str(), Utf8(s).c_str());
    if (CVUtilsTelephony::GetUniqueID(s) != 1) Fail("CVUtilsTelephony::GetUniqueID failed");
    Say("device id %s (a host answers as an emulator does)", Utf8(s).c_str());
}

}  // namespace vostour
