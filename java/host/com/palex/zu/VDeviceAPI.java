package com.palex.zu;

import android.net.wifi.ScanResult;
import java.io.File;
import java.net.NetworkInterface;
import java.net.SocketException;
import java.net.URI;
import java.net.URISyntaxException;
import java.util.Enumeration;

/**
 * The device facts and actions behind the native CVUtils classes, as a Linux
 * host can answer them. Every method is static and is looked up by name and
 * signature from native code; a null string means the fact is not known.
 *
 * What the host answers from itself:
 * <ul>
 * <li>storage: total and free space of the file system holding the working
 * directory, in kilobytes;</li>
 * <li>memory: the Java heap's current size and its free part, in
 * kilobytes;</li>
 * <li>the OS version ("os.version"), the running program as module file, the
 * home directory as storage card path, the temporary directory as cache
 * path;</li>
 * <li>the network type from the host's interfaces: an interface that is up,
 * not a loopback and named "wl..." counts as Wi-Fi, any other such interface
 * as Ethernet.</li>
 * </ul>
 * What it cannot know has fixed answers: the application version "1.0"; a
 * 720 x 1280 screen of density 1.0 and brightness 128; the cell id and LAC
 * "0" and the all-zero IMEI and IMSI an emulator reports; no Wi-Fi scan
 * results. Actions (install, call, SMS, screen on) are only remembered in
 * {@link #lastAction}; {@link #openUrl} rejects a malformed URL with
 * IllegalArgumentException; {@link #sendMMS} answers 2, since a host cannot
 * send messages.
 */
public final class VDeviceAPI {
    static {
        System.loadLibrary("vos");
    }

    public static final int NETWORK_NONE = 0;
    public static final int NETWORK_WIFI = 1;
    public static final int NETWORK_MOBILE = 2;
    public static final int NETWORK_ETHERNET = 3;

    public static final int STATE_DISCONNECTED = 0;
    public static final int STATE_CONNECTED = 1;

    private static final String[] NETWORK_NAMES = {"NONE", "WIFI", "MOBILE", "ETHERNET"};

    /** The last action asked for, e.g. "makeCall 123"; null before any. */
    public static volatile String lastAction;

    private static volatile boolean screenAlwaysOn;
    private static Thread networkWatcher;

    private VDeviceAPI() {
    }

    // ---- storage and memory ------------------------------------------------

    private static File storageRoot() {
        return new File(System.getProperty("user.dir", "/"));
    }

    public static long getTotalSpace() {
        return storageRoot().getTotalSpace() / 1024;
    }

    public static long getFreeSpace() {
        return storageRoot().getUsableSpace() / 1024;
    }

    public static long getTotalMemory() {
        return Runtime.getRuntime().totalMemory() / 1024;
    }

    public static long getAvailableMemory() {
        return Runtime.getRuntime().freeMemory() / 1024;
    }

    // ---- OS and application ------------------------------------------------

    public static String getOsVersion() {
        return System.getProperty("os.version");
    }

    public static String getModuleFileName() {
        return ProcessHandle.current().info().command().orElse(null);
    }

    public static String getSdcardPath() {
        return System.getProperty("user.home");
    }

    public static String getCachePath() {
        return System.getProperty("java.io.tmpdir");
    }

    public static String getAppVersion() {
        return "1.0";
    }

    public static void setupSoftware(String path) {
        lastAction = "setupSoftware " + path;
    }

    // ---- network -------------------------------------------------------------

    public static int getCurrentNetworkType() {
        int type = NETWORK_NONE;
        try {
            Enumeration<NetworkInterface> all = NetworkInterface.getNetworkInterfaces();
            while (all != null && all.hasMoreElements()) {
                NetworkInterface nif = all.nextElement();
                if (!nif.isUp() || nif.isLoopback()) {
                    continue;
                }
                if (nif.getName().startsWith("wl")) {
                    return NETWORK_WIFI;
                }
                type = NETWORK_ETHERNET;
            }
        } catch (SocketException e) {
            return NETWORK_NONE;
        }
        return type;
    }

    public static boolean isWifiConnected() {
        return getCurrentNetworkType() == NETWORK_WIFI;
    }

    /** Describes a network of the given type; null for an unknown type. */
    public static VNetworkInfo getNetworkInfo(int type) {
        if (type < 0 || type >= NETWORK_NAMES.length) {
            return null;
        }
        int state = type != NETWORK_NONE && getCurrentNetworkType() == type ? STATE_CONNECTED
                : STATE_DISCONNECTED;
        return new VNetworkInfo(NETWORK_NAMES[type], type, state);
    }

    /**
     * Starts watching the host's network type; every change is reported to
     * the native side through {@link #onNetworkStateChanged} on the watcher's
     * thread.
     */
    public static synchronized void setNetworkChangedCallback() {
        if (networkWatcher != null) {
            return;
        }
        networkWatcher = new Thread(VDeviceAPI::watchNetwork, "vos-network-watcher");
        networkWatcher.setDaemon(true);
        networkWatcher.start();
    }

    public static synchronized void unsetNetworkChangedCallback() {
        if (networkWatcher != null) {
            networkWatcher.interrupt();
            networkWatcher = null;
        }
    }

    private static void watchNetwork() {
        int last = getCurrentNetworkType();
        while (!Thread.currentThread().isInterrupted()) {
            try {
                Thread.sleep(1000);
            } catch (InterruptedException e) {
                return;
            }
            int now = getCurrentNetworkType();
            if (now != last) {
                last = now;
                onNetworkStateChanged();
            }
        }
    }

    /** A host cannot scan: always an empty array. */
    public static ScanResult[] getWifiHotpot() {
        return new ScanResult[0];
    }

    public static native void onNetworkStateChanged();

    // ---- screen --------------------------------------------------------------

    public static float getSystemMetricsX() {
        return 720f;
    }

    public static float getSystemMetricsY() {
        return 1280f;
    }

    public static float getScreenDensity() {
        return 1.0f;
    }

    public static int getScreenBrightness() {
        return 128;
    }

    public static void setScreenAlwaysOn(boolean on) {
        screenAlwaysOn = on;
        lastAction = "setScreenAlwaysOn " + on;
    }

    public static boolean isScreenAlwaysOn() {
        return screenAlwaysOn;
    }

    // ---- telephony -----------------------------------------------------------

    public static void makeCall(String number) {
        lastAction = "makeCall " + number;
    }

    public static void sendSMS(String number, String text) {
        lastAction = "sendSMS " + number + " " + text;
    }

    /** 0 sent, 1 bad address, anything else another failure. */
    public static int sendMMS(String number, String subject, String text, String file) {
        lastAction = "sendMMS " + number + " " + file;
        return 2;
    }

    public static void openUrl(String url) {
        try {
            new URI(url);
        } catch (URISyntaxException e) {
            throw new IllegalArgumentException("malformed URL: " + url, e);
        }
        lastAction = "openUrl " + url;
    }

    public static String getCellId() {
        return "0";
    }

    public static String getLac() {
        return "0";
    }

    public static String getImei() {
        return "000000000000000";
    }

    public static String getImsi() {
        return "000000000000000";
    }
}
