#include <android/log.h>

#include "vos/VDeviceAPI.h"
#include "vos/VFile.h"
#include "vsi/android/VDeviceCall.h"

VOS_NAMESPACE_BEGIN

int CVUtilsTelephony::TelephoneCall(const CVString& number) {
    const CVString* args[] = {&number};
    return VDevice_CallWithStrings("makeCall", "(Ljava/lang/String;)V", args, 1);
}

int CVUtilsTelephony::SendSMS(const CVString& number, const CVString& text) {
    const CVString* args[] = {&number, &text};
    return VDevice_CallWithStrings("sendSMS", "(Ljava/lang/String;Ljava/lang/String;)V", args, 2);
}

int CVUtilsTelephony::SendMMS(const CVString& number, const CVString& subject, const CVString& text,
                              const CVString& file) {
    if (!isValidSMSNumber(number)) return 0;
    {
        CVFile attachment;
        if (!attachment.Open(file, VFILE_OPEN_READ)) return 0;
    }
    CVDeviceCall call("sendMMS", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)I");
    if (!call.IsReady()) return 0;
    const CVString* strings[] = {&number, &subject, &text, &file};
    CVDeviceStringArgs args(call, strings, 4);
    if (!args.IsReady()) return 0;
    const jint sent = call.Env()->CallStaticIntMethodA(call.Class(), call.Method(), args.Values());
    if (call.TakeException()) return 0;
    if (sent == 0) return 1;
    if (sent == 1) __android_log_write(ANDROID_LOG_DEBUG, "test", "invalid address");
    return 0;
}

int CVUtilsTelephony::OpenUrl(const CVString& url) {
    const CVString* args[] = {&url};
    return VDevice_CallWithStrings("openUrl", "(Ljava/lang/String;)V", args, 1);
}

int CVUtilsTelephony::GetCellId(CVString& cellId) { return VDevice_GetString("getCellId", cellId); }

int CVUtilsTelephony::GetLac(CVString& lac) { return VDevice_GetString("getLac", lac); }

int CVUtilsTelephony::GetUniqueID(CVString& id) { return VDevice_GetString("getImei", id); }

int CVUtilsTelephony::GetImsi(CVString& imsi) { return VDevice_GetString("getImsi", imsi); }

VOS_NAMESPACE_END
