// vdevice: prints the device facts the companion Java classes answer on this
// machine, through the library's device services.
//
//   vdevice [-classpath JAR] [-libpath DIR]
//
// The defaults are the build tree's companion jar and library directory.
#include <jni.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "ExampleVm.h"
#include "ExampleText.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

using vosexample::Utf8;

void PrintString(const char* label, int (*query)(CVString&)) {
    CVString value;
    if (query(value)) {
        printf("%-22s %s\n", label, Utf8(value).c_str());
    } else {
        printf("%-22s (not known)\n", label);
    }
}

const char* NetworkName(ENetworkType type) {
    switch (type) {
        case VOS_NETWORK_TYPE_NONE: return "none";
        case VOS_NETWORK_TYPE_WIFI: return "Wi-Fi";
        case VOS_NETWORK_TYPE_MOBILE: return "mobile";
        case VOS_NETWORK_TYPE_ETHERNET: return "Ethernet";
    }
    return "other";
}

}  // namespace

int main(int argc, char** argv) {
    std::string classPath = VDEVICE_CLASSPATH;
    std::string libPath = VDEVICE_LIBPATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "-classpath") == 0) {
            classPath = argv[i + 1];
        } else if (strcmp(argv[i], "-libpath") == 0) {
            libPath = argv[i + 1];
        } else {
            fprintf(stderr, "usage: vdevice [-classpath JAR] [-libpath DIR]\n");
            return 2;
        }
    }
    JNIEnv* env = nullptr;
    std::string why;
    JavaVM* vm = vosexample::StartVm(classPath, libPath, env, why);
    if (vm == nullptr) {
        fprintf(stderr, "vdevice: cannot start the Java VM: %s\n", why.c_str());
        return 1;
    }
    JVMContainer::InitVM(vm);

    CVString osName;
    CVUtilsOS::GetOsTypeName(osName);
    printf("%-22s %s\n", "OS type", Utf8(osName).c_str());
    PrintString("OS version", CVUtilsOS::GetOsVersion);
    long total = 0, free = 0;
    if (CVUtilsOS::GetSpaceInfo(total, free)) printf("%-22s %ld KB total, %ld KB free\n", "storage", total, free);
    if (CVUtilsOS::GetMemoryInfo(total, free)) printf("%-22s %ld KB, %ld KB available\n", "Java heap", total, free);
    PrintString("module file", CVUtilsAppInfo::GetModuleFileName);
    PrintString("storage card path", CVUtilsAppInfo::GetSdcardPath);
    PrintString("cache path", CVUtilsAppInfo::GetCachePath);
    PrintString("application version", CVUtilsAppInfo::GetAppVersion);

    ENetworkType type = VOS_NETWORK_TYPE_NONE;
    if (CVUtilsNetwork::GetCurrentNetworkType(type)) {
        printf("%-22s %s (%d), Wi-Fi connected: %s\n", "network", NetworkName(type), static_cast<int>(type),
               CVUtilsNetwork::IsWifiConnected() ? "yes" : "no");
    }
    CVArray<CVWifiHotpot, CVWifiHotpot&> hotpots;
    if (CVUtilsNetwork::GetWifiHotpot(hotpots)) printf("%-22s %d\n", "Wi-Fi scan results", hotpots.GetSize());

    long width = 0, height = 0;
    float density = 0;
    int brightness = 0;
    if (CVUtilsScreen::GetSystemMetrics(width, height)) printf("%-22s %ld x %ld\n", "screen", width, height);
    if (CVUtilsScreen::GetScreenDpi(density)) printf("%-22s %.2f\n", "screen density", density);
    if (CVUtilsScreen::GetScreenBrightness(brightness)) printf("%-22s %d\n", "screen brightness", brightness);

    PrintString("IMEI", CVUtilsTelephony::GetUniqueID);
    PrintString("IMSI", CVUtilsTelephony::GetImsi);
    PrintString("cell id", CVUtilsTelephony::GetCellId);
    PrintString("LAC", CVUtilsTelephony::GetLac);

    printf("%-22s %s\n", "GPS", CVGpsMan::Initialize() ? "started" : "not available");
    CVGpsMan::UnInitialize();
    printf("%-22s %s\n", "compass", CVCompass::Init() ? "started" : "not available");
    CVCompass::UnInit();
    return 0;
}
