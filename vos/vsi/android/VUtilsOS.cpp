#include <android/log.h>

#include "vos/VDeviceAPI.h"
#include "vos/VFile.h"
#include "vsi/android/VDeviceCall.h"

VOS_NAMESPACE_BEGIN

// The Java side counts in 64 bits; the interface carries a 32-bit long, so
// only the low word is kept, read as a 32-bit long would read it.
static long VDevice_LowWord(jlong value) {
    return static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))));
}

// Calls a "()J" method and stores its low word in out; 0 with out unchanged
// when the method is missing or throws.
static int VDevice_GetLong(const char* name, long& out) {
    CVDeviceCall call(name, "()J");
    if (!call.IsReady()) return 0;
    const jlong value = call.Env()->CallStaticLongMethod(call.Class(), call.Method());
    if (call.TakeException()) return 0;
    out = VDevice_LowWord(value);
    return 1;
}

int CVUtilsOS::GetSpaceInfo(long& total, long& free) {
    if (!VDevice_GetLong("getTotalSpace", total)) return 0;
    return VDevice_GetLong("getFreeSpace", free);
}

int CVUtilsOS::GetMemoryInfo(long& total, long& available) {
    if (!VDevice_GetLong("getTotalMemory", total)) return 0;
    return VDevice_GetLong("getAvailableMemory", available);
}

int CVUtilsOS::GetOsTypeName(CVString& name) {
    name = "Android";
    return 1;
}

int CVUtilsOS::GetOsType(EOsType& type) {
    type = VOS_OS_TYPE_ANDROID;
    return 1;
}

int CVUtilsOS::GetOsVersion(CVString& version) { return VDevice_GetString("getOsVersion", version); }

int CVUtilsOS::SetUpSoftWare(CVString& path) {
    CVFile file;
    if (!file.Open(path, VFILE_OPEN_READ)) {
        __android_log_write(ANDROID_LOG_DEBUG, "test", "file do not exist.");
        return 0;
    }
    const CVString* args[] = {&path};
    return VDevice_CallWithStrings("setupSoftware", "(Ljava/lang/String;)V", args, 1);
}

VOS_NAMESPACE_END
