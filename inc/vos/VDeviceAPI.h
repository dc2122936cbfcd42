/// @file
/// Device services: storage and memory figures, OS and application facts,
/// network type and state, Wi-Fi scan results, screen figures and telephony
/// actions, each answered by a static method of the Java class
/// com.palex.zu.VDeviceAPI.
///
/// Every operation may run on any thread: it attaches the calling thread to
/// the Java VM if needed (and leaves it attached) and keeps nothing between
/// calls. Results are 1 for success and 0 for failure; outputs stay unchanged
/// on failure (the pair queries write their first figure before they look up
/// the second). Without a Java VM every Java-backed operation returns 0.
/// The units of the figures and the meaning of the network values are the
/// Java side's.
#ifndef VOS_VDEVICEAPI_H
#define VOS_VDEVICEAPI_H

#include <stdint.h>

#include "vos/VDefine.h"
#include "vos/VString.h"
#include "vos/VTempl.h"

VOS_NAMESPACE_BEGIN

/// The library only ever reports Android.
enum EOsType {
    VOS_OS_TYPE_UNKNOWN = 0,
    VOS_OS_TYPE_ANDROID = 1
};

/// The values the Java side returns from getCurrentNetworkType and accepts in
/// getNetworkInfo, passed through unchanged; any 32-bit value may occur. The
/// named ones are those the library's own companion class uses.
enum ENetworkType : int32_t {
    VOS_NETWORK_TYPE_NONE = 0,
    VOS_NETWORK_TYPE_WIFI = 1,
    VOS_NETWORK_TYPE_MOBILE = 2,
    VOS_NETWORK_TYPE_ETHERNET = 3
};

/// One network as described by getNetworkInfo.
class VOS_API CVNetworkInfo {
public:
    CVNetworkInfo() : m_nType(0), m_nState(0) {}

    CVString m_strTypeName;  ///< "typename"
    int m_nType;             ///< "type"
    int m_nState;            ///< "state"
};

/// One Wi-Fi scan result.
class VOS_API CVWifiHotpot {
public:
    CVWifiHotpot() : m_nFrequency(0), m_nLevel(0) {}
    /** @name Copying */
    ///@{
    /// Member-wise copies.
    CVWifiHotpot(const CVWifiHotpot& other)
        : m_strBSSID(other.m_strBSSID),
          m_strSSID(other.m_strSSID),
          m_strCapabilities(other.m_strCapabilities),
          m_nFrequency(other.m_nFrequency),
          m_nLevel(other.m_nLevel) {}
    CVWifiHotpot& operator=(const CVWifiHotpot& other) {
        m_strBSSID = other.m_strBSSID;
        m_strSSID = other.m_strSSID;
        m_strCapabilities = other.m_strCapabilities;
        m_nFrequency = other.m_nFrequency;
        m_nLevel = other.m_nLevel;
        return *this;
    }
    ~CVWifiHotpot() {}
    ///@}

    ///@{
    /// The access point's BSSID, SSID and capabilities, its frequency and its
    /// signal level, as Java reports them.
    CVString m_strBSSID;
    CVString m_strSSID;
    CVString m_strCapabilities;
    int m_nFrequency;
    int m_nLevel;
    ///@}
};

/// Storage, memory and OS facts.
class VOS_API CVUtilsOS {
public:
    /** @name Figures */
    ///@{
    /// Storage total and free, memory total and available; each Java long is
    /// stored as its low 32 bits.
    static int GetSpaceInfo(long& total, long& free);
    static int GetMemoryInfo(long& total, long& available);
    ///@}
    /// "Android"; 1.
    static int GetOsTypeName(CVString& name);
    /// VOS_OS_TYPE_ANDROID; 1.
    static int GetOsType(EOsType& type);
    /// The OS version text.
    static int GetOsVersion(CVString& version);
    /// Hands an existing package file to the installer; 0 when the file
    /// cannot be opened for reading.
    static int SetUpSoftWare(CVString& path);
};

/// Application facts.
class VOS_API CVUtilsAppInfo {
public:
    /// The path of the application's package file.
    static int GetModuleFileName(CVString& path);
    /// Copies exactly the path's units into buffer, with no terminating zero;
    /// 0 and nothing written when the path is longer than size.
    static int GetModuleFileName(unsigned short* buffer, int size);
    /** @name Paths and version */
    ///@{
    /// The storage card folder, the cache folder and the application's version.
    static int GetSdcardPath(CVString& path);
    static int GetCachePath(CVString& path);
    static int GetAppVersion(CVString& version);
    ///@}
};

/// Network type and state, Wi-Fi and network-state callbacks.
class VOS_API CVUtilsNetwork {
public:
    /// The type of the active network.
    static int GetCurrentNetworkType(ENetworkType& type);
    /// 1 when Wi-Fi is connected, else 0.
    static int IsWifiConnected();
    /// The description of the network of the given type.
    static int GetNetworkInfo(ENetworkType type, CVNetworkInfo& info);
    /// Registers callback with the network-state observable (for good: it is
    /// never removed) and asks Java to report changes; callback runs on the
    /// reporting Java thread. Registering a function twice makes it run twice.
    static int SetNetworkChangedCallback(void (*callback)());
    /// Asks Java to stop reporting; registered callbacks stay registered.
    static int UnsetNetworkChangedCallback();
    /// Replaces the content of out by the scan results, in Java's order.
    static int GetWifiHotpot(CVArray<CVWifiHotpot, CVWifiHotpot&>& out);
};

/// Screen figures and the keep-on switch.
class VOS_API CVUtilsScreen {
public:
    /// Each Java float is truncated toward zero.
    static int GetSystemMetrics(long& width, long& height);
    /// The display density.
    static int GetScreenDpi(float& density);
    /// 0 and brightness unchanged when Java reports -1.
    static int GetScreenBrightness(int& brightness);
    /// Keeps the screen on (non-zero) or lets it go off.
    static int SetScreenOn(int on);
};

/// Telephony actions and identities.
class VOS_API CVUtilsTelephony {
public:
    /** @name Actions */
    ///@{
    /// Start a call to number; send text to number as an SMS.
    static int TelephoneCall(const CVString& number);
    static int SendSMS(const CVString& number, const CVString& text);
    ///@}
    /// 0 for an invalid number or a file that cannot be opened (Java is not
    /// called then), and for any Java result but 0.
    static int SendMMS(const CVString& number, const CVString& subject, const CVString& text,
                       const CVString& file);
    /// 0 when Java throws.
    static int OpenUrl(const CVString& url);
    /** @name Identities */
    ///@{
    /// The cell id, the location area code, the device id and the subscriber id.
    static int GetCellId(CVString& cellId);
    static int GetLac(CVString& lac);
    static int GetUniqueID(CVString& id);
    static int GetImsi(CVString& imsi);
    ///@}
};

/// 1 when number is an optional leading "+" followed only by the digits 0-9
/// (an empty number and a lone "+" included), else 0.
VOS_API int isValidSMSNumber(const CVString& number);

VOS_NAMESPACE_END

#endif  // VOS_VDEVICEAPI_H
