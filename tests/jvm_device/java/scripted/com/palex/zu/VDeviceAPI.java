package com.palex.zu;

import android.net.wifi.ScanResult;

/**
 * A scriptable device: every answer comes from a static field a test sets
 * through JNI, and every call is recorded as "name(arg,arg)" for
 * {@link #takeCalls}.
 */
public final class VDeviceAPI {
    static {
        System.loadLibrary("vos");
    }

    public static long totalSpace, freeSpace, totalMemory, availableMemory;
    public static String osVersion, moduleFileName, sdcardPath, cachePath, appVersion;
    public static String cellId, lac, imei, imsi;
    public static int networkType;
    public static boolean wifiConnected;
    public static VNetworkInfo networkInfo;
    public static ScanResult[] hotpots;
    public static float metricsX, metricsY, density;
    public static int brightness;
    public static int mmsResult;
    /** Names of the methods that throw instead of answering. */
    public static String throwing = "";

    private static final StringBuilder CALLS = new StringBuilder();

    private VDeviceAPI() {
    }

    private static synchronized void record(String call) {
        CALLS.append(call).append(';');
    }

    private static void enter(String name, Object... args) {
        StringBuilder call = new StringBuilder(name).append('(');
        for (int i = 0; i < args.length; i++) {
            if (i > 0) {
                call.append(',');
            }
            call.append(args[i]);
        }
        record(call.append(')').toString());
        if ((" " + throwing + " ").contains(" " + name + " ")) {
            throw new IllegalStateException("scripted failure of " + name);
        }
    }

    /** The calls recorded since the last take, each followed by ';'. */
    public static synchronized String takeCalls() {
        String calls = CALLS.toString();
        CALLS.setLength(0);
        return calls;
    }

    /** n scan results named "net0".."net(n-1)"; the second has no capabilities. */
    public static ScanResult[] makeHotpots(int n) {
        ScanResult[] results = new ScanResult[n];
        for (int i = 0; i < n; i++) {
            results[i] = new ScanResult();
            results[i].SSID = "net" + i;
            results[i].BSSID = "00:11:22:33:44:0" + i;
            results[i].capabilities = i == 1 ? null : "[WPA2-PSK]";
            results[i].frequency = 2412 + 5 * i;
            results[i].level = -40 - i;
        }
        return results;
    }

    public static long getTotalSpace() { enter("getTotalSpace"); return totalSpace; }
    public static long getFreeSpace() { enter("getFreeSpace"); return freeSpace; }
    public static long getTotalMemory() { enter("getTotalMemory"); return totalMemory; }
    public static long getAvailableMemory() { enter("getAvailableMemory"); return availableMemory; }
    public static String getOsVersion() { enter("getOsVersion"); return osVersion; }
    public static String getModuleFileName() { enter("getModuleFileName"); return moduleFileName; }
    public static String getSdcardPath() { enter("getSdcardPath"); return sdcardPath; }
    public static String getCachePath() { enter("getCachePath"); return cachePath; }
    public static String getAppVersion() { enter("getAppVersion"); return appVersion; }
    public static String getCellId() { enter("getCellId"); return cellId; }
    public static String getLac() { enter("getLac"); return lac; }
    public static String getImei() { enter("getImei"); return imei; }
    public static String getImsi() { enter("getImsi"); return imsi; }
    public static int getCurrentNetworkType() { enter("getCurrentNetworkType"); return networkType; }
    public static boolean isWifiConnected() { enter("isWifiConnected"); return wifiConnected; }

    public static VNetworkInfo getNetworkInfo(int type) {
        enter("getNetworkInfo", type);
        return networkInfo;
    }

    public static void setNetworkChangedCallback() { enter("setNetworkChangedCallback"); }
    public static void unsetNetworkChangedCallback() { enter("unsetNetworkChangedCallback"); }
    public static float getSystemMetricsX() { enter("getSystemMetricsX"); return metricsX; }
    public static float getSystemMetricsY() { enter("getSystemMetricsY"); return metricsY; }
    public static float getScreenDensity() { enter("getScreenDensity"); return density; }
    public static int getScreenBrightness() { enter("getScreenBrightness"); return brightness; }
    public static void setScreenAlwaysOn(boolean on) { enter("setScreenAlwaysOn", on); }
    public static void setupSoftware(String path) { enter("setupSoftware", path); }
    public static void makeCall(String number) { enter("makeCall", number); }
    public static void openUrl(String url) { enter("openUrl", url); }
    public static void sendSMS(String number, String text) { enter("sendSMS", number, text); }

    public static int sendMMS(String number, String subject, String text, String file) {
        enter("sendMMS", number, subject, text, file);
        return mmsResult;
    }

    public static ScanResult[] getWifiHotpot() {
        enter("getWifiHotpot");
        return hotpots;
    }

    public static native void onNetworkStateChanged();

    /** Reports one network change from a Java thread of its own and waits for it. */
    public static void reportNetworkChange() throws InterruptedException {
        Thread reporter = new Thread(VDeviceAPI::onNetworkStateChanged, "net-reporter");
        reporter.start();
        reporter.join();
    }
}
