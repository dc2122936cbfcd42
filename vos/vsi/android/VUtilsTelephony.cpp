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
    JNIEnv* env = call.Env();
    const CVString* strings[] = {&number, &subject, &text, &file};
    jvalue args[4];
    int made = 0;
    for (; made < 4; ++made) {
        args[made].l = call.NewString(*strings[made]);
        if (args[made].l == nullptr) break;
    }
    int result = 0;
    if (made == 4) {
        const jint sent = env->CallStaticIntMethodA(call.Class(), call.Method(), args);
        if (!call.TakeException()) {
            if (sent == 0) {
                result = 1;
            } else if (sent == 1) {
                __android_log_write(ANDROID_LOG_DEBUG, "test", "invalid address");
            }
        }
    } else {
        call.TakeException();
    }
    for (int i = 0; i < made; ++i) env->DeleteLocalRef(args[i].l);
    return result;
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
