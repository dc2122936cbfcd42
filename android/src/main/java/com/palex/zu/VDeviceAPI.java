package com.palex.zu;

import android.Manifest;
import android.app.Activity;
import android.app.ActivityManager;
import android.content.ActivityNotFoundException;
import android.content.BroadcastReceiver;
import android.content.Context;
import android.content.Intent;
import android.content.IntentFilter;
import android.content.pm.PackageManager;
import android.graphics.Rect;
import android.net.ConnectivityManager;
import android.net.Network;
import android.net.NetworkCapabilities;
import android.net.NetworkInfo;
import android.net.Uri;
import android.net.wifi.ScanResult;
import android.net.wifi.WifiManager;
import android.os.Build;
import android.os.Process;
import android.os.StatFs;
import android.provider.Settings;
import android.telephony.CellLocation;
import android.telephony.SmsManager;
import android.telephony.TelephonyManager;
import android.telephony.gsm.GsmCellLocation;
import android.util.DisplayMetrics;
import android.util.Log;
import android.view.Window;
import android.view.WindowManager;

import java.io.BufferedReader;
import java.io.File;
import java.io.FileReader;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;

import org.codehaus.mojo.animal_sniffer.IgnoreJRERequirement;

/**
 * The device facts and actions behind the native CVUtils classes, answered
 * from the Android services of the context given to {@link Vos#init}. Every
 * method is static, is looked up by name and signature from native code, may
 * be called on any thread, and never lets an exception reach native code,
 * except {@link #openUrl}, whose failure the native side expects as one. A
 * missing context, service, permission or answer gives the failure result:
 * null, 0, -1 or false as each method says. The units and values are listed
 * in the README's table ("Using vos in an Android app").
 */
public final class VDeviceAPI {
    public static final int NETWORK_NONE = 0;
    public static final int NETWORK_WIFI = 1;
    public static final int NETWORK_MOBILE = 2;
    public static final int NETWORK_ETHERNET = 3;
    public static final int NETWORK_OTHER = 4;

    public static final int STATE_DISCONNECTED = 0;
    public static final int STATE_CONNECTED = 1;

    private static final String[] NETWORK_NAMES = {"NONE", "WIFI", "MOBILE", "ETHERNET", "OTHER"};
    /** Characters that fit in one SMS in any encoding (70 in UCS-2). */
    private static final int SMS_SINGLE_PART = 70;
    private static final String APK_TYPE = "application/vnd.android.package-archive";

    private static ConnectivityManager.NetworkCallback sNetworkCallback;
    private static BroadcastReceiver sNetworkReceiver;
    private static volatile boolean sKeepScreenOn;

    private VDeviceAPI() {
    }

    // ---- helpers -------------------------------------------------------------

    @SuppressWarnings("unchecked")
    private static <T> T service(String name) {
        Context context = Vos.context();
        try {
            return context != null ? (T) context.getSystemService(name) : null;
        } catch (RuntimeException e) {
            return null;
        }
    }

    static boolean granted(String permission) {
        Context context = Vos.context();
        return context != null
                && context.checkPermission(permission, Process.myPid(), Process.myUid())
                        == PackageManager.PERMISSION_GRANTED;
    }

    private static boolean start(Intent intent) {
        Context context = Vos.context();
        if (context == null) {
            return false;
        }
        intent.addFlags(Intent.FLAG_ACTIVITY_NEW_TASK);
        try {
            context.startActivity(intent);
            return true;
        } catch (ActivityNotFoundException | SecurityException e) {
            Log.w(Vos.TAG, "cannot start " + intent + ": " + e);
            return false;
        }
    }

    // ---- storage and memory: kilobytes (1024 bytes) ------------------------

    private static StatFs filesFs() {
        Context context = Vos.context();
        try {
            return context != null ? new StatFs(context.getFilesDir().getPath()) : null;
        } catch (RuntimeException e) {
            return null;
        }
    }

    public static long getTotalSpace() {
        StatFs fs = filesFs();
        return fs != null ? fs.getBlockCountLong() * fs.getBlockSizeLong() / 1024 : 0;
    }

    public static long getFreeSpace() {
        StatFs fs = filesFs();
        return fs != null ? fs.getAvailableBlocksLong() * fs.getBlockSizeLong() / 1024 : 0;
    }

    private static ActivityManager.MemoryInfo memory() {
        ActivityManager am = service(Context.ACTIVITY_SERVICE);
        if (am == null) {
            return null;
        }
        ActivityManager.MemoryInfo info = new ActivityManager.MemoryInfo();
        am.getMemoryInfo(info);
        return info;
    }

    public static long getTotalMemory() {
        ActivityManager.MemoryInfo info = memory();
        return info != null ? info.totalMem / 1024 : 0;
    }

    public static long getAvailableMemory() {
        ActivityManager.MemoryInfo info = memory();
        return info != null ? info.availMem / 1024 : 0;
    }

    // ---- OS and application --------------------------------------------------

    public static String getOsVersion() {
        return Build.VERSION.RELEASE;
    }

    /**
     * The path the loader used for libvos.so: the class loader's answer (with
     * uncompressed libraries a path inside the APK, "base.apk!/lib/..."),
     * else the mapped file, else the native library folder's copy.
     */
    public static String getModuleFileName() {
        try {
            ClassLoader loader = Vos.class.getClassLoader();
            if (loader instanceof dalvik.system.BaseDexClassLoader) {
                String path = ((dalvik.system.BaseDexClassLoader) loader).findLibrary("vos");
                if (path != null) {
                    return path;
                }
            }
        } catch (RuntimeException e) {
            // fall through to the other answers
        }
        try (BufferedReader maps = new BufferedReader(new FileReader("/proc/self/maps"))) {
            for (String line; (line = maps.readLine()) != null;) {
                int slash = line.indexOf('/');
                if (slash >= 0 && (line.endsWith("/libvos.so") || line.contains("/libvos.so."))) {
                    return line.substring(slash);
                }
            }
        } catch (IOException | RuntimeException e) {
            // fall through
        }
        Context context = Vos.context();
        if (context != null) {
            File copy = new File(context.getApplicationInfo().nativeLibraryDir, "libvos.so");
            if (copy.isFile()) {
                return copy.getPath();
            }
        }
        return null;
    }

    /** The app's own folder on external storage; null while it is not mounted. */
    public static String getSdcardPath() {
        Context context = Vos.context();
        try {
            File dir = context != null ? context.getExternalFilesDir(null) : null;
            return dir != null ? dir.getPath() : null;
        } catch (RuntimeException e) {
            return null;
        }
    }

    public static String getCachePath() {
        Context context = Vos.context();
        File dir = context != null ? context.getCacheDir() : null;
        return dir != null ? dir.getPath() : null;
    }

    public static String getAppVersion() {
        Context context = Vos.context();
        if (context == null) {
            return null;
        }
        try {
            return context.getPackageManager().getPackageInfo(context.getPackageName(), 0).versionName;
        } catch (PackageManager.NameNotFoundException | RuntimeException e) {
            return null;
        }
    }

    /** Opens the package installer for the APK at path (a content URI from API 24). */
    public static void setupSoftware(String path) {
        Context context = Vos.context();
        File apk = path != null ? new File(path) : null;
        if (context == null || apk == null || !apk.isFile()) {
            return;
        }
        Intent intent = new Intent(Intent.ACTION_VIEW);
        if (Build.VERSION.SDK_INT >= 24) {
            intent.setDataAndType(VFileProvider.share(context, apk), APK_TYPE);
            intent.addFlags(Intent.FLAG_GRANT_READ_URI_PERMISSION);
        } else {
            intent.setDataAndType(Uri.fromFile(apk), APK_TYPE);
        }
        start(intent);
    }

    // ---- network ---------------------------------------------------------------

    private static int typeOf(NetworkCapabilities caps) {
        if (caps == null) {
            return NETWORK_NONE;
        }
        if (caps.hasTransport(NetworkCapabilities.TRANSPORT_WIFI)) {
            return NETWORK_WIFI;
        }
        if (caps.hasTransport(NetworkCapabilities.TRANSPORT_CELLULAR)) {
            return NETWORK_MOBILE;
        }
        if (caps.hasTransport(NetworkCapabilities.TRANSPORT_ETHERNET)) {
            return NETWORK_ETHERNET;
        }
        return NETWORK_OTHER;
    }

    @SuppressWarnings("deprecation")
    private static int legacyTypeOf(NetworkInfo info) {
        if (info == null || !info.isConnected()) {
            return NETWORK_NONE;
        }
        switch (info.getType()) {
            case ConnectivityManager.TYPE_WIFI:
                return NETWORK_WIFI;
            case ConnectivityManager.TYPE_MOBILE:
                return NETWORK_MOBILE;
            case ConnectivityManager.TYPE_ETHERNET:
                return NETWORK_ETHERNET;
            default:
                return NETWORK_OTHER;
        }
    }

    /** The type of the active (default) network, NETWORK_NONE without one. */
    @SuppressWarnings("deprecation")
    public static int getCurrentNetworkType() {
        ConnectivityManager cm = service(Context.CONNECTIVITY_SERVICE);
        if (cm == null) {
            return NETWORK_NONE;
        }
        try {
            if (Build.VERSION.SDK_INT >= 23) {
                Network active = activeNetwork(cm);
                return active != null ? typeOf(cm.getNetworkCapabilities(active)) : NETWORK_NONE;
            }
            return legacyTypeOf(cm.getActiveNetworkInfo());
        } catch (RuntimeException e) {
            return NETWORK_NONE;
        }
    }

    public static boolean isWifiConnected() {
        return getCurrentNetworkType() == NETWORK_WIFI;
    }

    /**
     * Describes a network type: its name, the type, and STATE_CONNECTED when
     * the active network is of that type. Null for an unknown type.
     */
    public static VNetworkInfo getNetworkInfo(int type) {
        if (type < 0 || type >= NETWORK_NAMES.length) {
            return null;
        }
        int state = type != NETWORK_NONE && getCurrentNetworkType() == type ? STATE_CONNECTED
                : STATE_DISCONNECTED;
        return new VNetworkInfo(NETWORK_NAMES[type], type, state);
    }

    /**
     * Reports each change of the default network to the native side: from API
     * 24 through a default-network callback, on the connectivity service's
     * thread; before, through the connectivity broadcast, on the main thread.
     * The report made at registration, and any a callback makes after it was
     * replaced or unregistered, are dropped.
     */
    @SuppressWarnings("deprecation")
    public static synchronized void setNetworkChangedCallback() {
        if (sNetworkCallback != null || sNetworkReceiver != null) {
            return;
        }
        Context context = Vos.context();
        ConnectivityManager cm = service(Context.CONNECTIVITY_SERVICE);
        if (context == null || cm == null) {
            return;
        }
        try {
            if (Build.VERSION.SDK_INT >= 24) {
                final Network initial = activeNetwork(cm);
                ConnectivityManager.NetworkCallback callback = new ConnectivityManager.NetworkCallback() {
                    private Network mDefault = initial;

                    @Override
                    public void onAvailable(Network network) {
                        boolean changed;
                        synchronized (this) {
                            changed = !network.equals(mDefault);
                            mDefault = network;
                        }
                        if (changed) {
                            report(this);
                        }
                    }

                    @Override
                    public void onLost(Network network) {
                        boolean changed;
                        synchronized (this) {
                            changed = network.equals(mDefault);
                            if (changed) {
                                mDefault = null;
                            }
                        }
                        if (changed) {
                            report(this);
                        }
                    }
                };
                registerDefaultNetworkCallback(cm, callback);
                sNetworkCallback = callback;
            } else {
                BroadcastReceiver receiver = new BroadcastReceiver() {
                    @Override
                    public void onReceive(Context c, Intent intent) {
                        if (!isInitialStickyBroadcast()) {
                            report(this);
                        }
                    }
                };
                context.registerReceiver(receiver, new IntentFilter(ConnectivityManager.CONNECTIVITY_ACTION));
                sNetworkReceiver = receiver;
            }
        } catch (RuntimeException e) {
            Log.w(Vos.TAG, "cannot watch the network: " + e);
        }
    }

    public static synchronized void unsetNetworkChangedCallback() {
        Context context = Vos.context();
        try {
            if (sNetworkCallback != null) {
                ConnectivityManager cm = service(Context.CONNECTIVITY_SERVICE);
                if (cm != null) {
                    cm.unregisterNetworkCallback(sNetworkCallback);
                }
            }
            if (sNetworkReceiver != null && context != null) {
                context.unregisterReceiver(sNetworkReceiver);
            }
        } catch (RuntimeException e) {
            // already unregistered
        }
        sNetworkCallback = null;
        sNetworkReceiver = null;
    }

    private static void report(Object source) {
        synchronized (VDeviceAPI.class) {
            if (source != sNetworkCallback && source != sNetworkReceiver) {
                return;
            }
        }
        onNetworkStateChanged();
    }

    /**
     * The results of the system's last Wi-Fi scan (vos starts none); null
     * without the Wi-Fi service or when the platform refuses them.
     */
    public static ScanResult[] getWifiHotpot() {
        Context context = Vos.context();
        if (context == null) {
            return null;
        }
        try {
            WifiManager wifi = (WifiManager) context.getApplicationContext().getSystemService(Context.WIFI_SERVICE);
            List<ScanResult> results = wifi != null ? wifi.getScanResults() : null;
            return results != null ? results.toArray(new ScanResult[0]) : null;
        } catch (RuntimeException e) {
            return null;
        }
    }

    public static native void onNetworkStateChanged();

    // ---- screen ----------------------------------------------------------------

    /** Width and height in pixels: the current activity's window from API 30, else the display's. */
    private static int[] screenSize() {
        Activity activity = Vos.currentActivity();
        try {
            if (Build.VERSION.SDK_INT >= 30 && activity != null) {
                Rect bounds = windowBounds(activity);
                return new int[] {bounds.width(), bounds.height()};
            }
            DisplayMetrics metrics = metrics();
            return metrics != null ? new int[] {metrics.widthPixels, metrics.heightPixels} : new int[2];
        } catch (RuntimeException e) {
            return new int[2];
        }
    }

    private static DisplayMetrics metrics() {
        Context context = Vos.context();
        return context != null ? context.getResources().getDisplayMetrics() : null;
    }

    public static float getSystemMetricsX() {
        return screenSize()[0];
    }

    public static float getSystemMetricsY() {
        return screenSize()[1];
    }

    /** The logical density: 1.0 at 160 dpi, 2.0 at 320 dpi; 0 without a context. */
    public static float getScreenDensity() {
        DisplayMetrics metrics = metrics();
        return metrics != null ? metrics.density : 0f;
    }

    /** The brightness setting, 0 to 255; -1 when it cannot be read. */
    public static int getScreenBrightness() {
        Context context = Vos.context();
        try {
            return context != null
                    ? Settings.System.getInt(context.getContentResolver(), Settings.System.SCREEN_BRIGHTNESS, -1)
                    : -1;
        } catch (RuntimeException e) {
            return -1;
        }
    }

    /**
     * Keeps the screen on while an activity of the app is in front, or stops
     * doing so: the current activity's window gets or loses the flag on the
     * main thread, and each activity resumed later gets it while it is set.
     */
    public static void setScreenAlwaysOn(final boolean on) {
        sKeepScreenOn = on;
        Vos.onMainThread(new Runnable() {
            @Override
            public void run() {
                Activity activity = Vos.currentActivity();
                if (activity == null) {
                    return;
                }
                Window window = activity.getWindow();
                if (window == null) {
                    return;
                }
                if (on) {
                    window.addFlags(WindowManager.LayoutParams.FLAG_KEEP_SCREEN_ON);
                } else {
                    window.clearFlags(WindowManager.LayoutParams.FLAG_KEEP_SCREEN_ON);
                }
            }
        });
    }

    static void applyKeepScreenOn(Activity activity) {
        Window window = activity.getWindow();
        if (sKeepScreenOn && window != null) {
            window.addFlags(WindowManager.LayoutParams.FLAG_KEEP_SCREEN_ON);
        }
    }

    // ---- telephony ---------------------------------------------------------------

    /** Calls with CALL_PHONE granted, else opens the dialler with the number. */
    public static void makeCall(String number) {
        String action = granted(Manifest.permission.CALL_PHONE) ? Intent.ACTION_CALL : Intent.ACTION_DIAL;
        start(new Intent(action, Uri.fromParts("tel", number != null ? number : "", null)));
    }

    /** Sends with SEND_SMS granted, else opens the SMS app with the number and text. */
    @SuppressWarnings("deprecation")
    public static void sendSMS(String number, String text) {
        String body = text != null ? text : "";
        if (number == null || number.isEmpty()) {
            return;
        }
        if (granted(Manifest.permission.SEND_SMS)) {
            try {
                SmsManager sms = null;
                if (Build.VERSION.SDK_INT >= 31) {
                    Context context = Vos.context();
                    sms = context != null ? smsManager(context) : null;
                }
                if (sms == null) {
                    sms = SmsManager.getDefault();
                }
                if (body.length() <= SMS_SINGLE_PART) {
                    sms.sendTextMessage(number, null, body, null, null);
                } else {
                    ArrayList<String> parts = sms.divideMessage(body);
                    sms.sendMultipartTextMessage(number, null, parts, null, null);
                }
                return;
            } catch (RuntimeException e) {
                Log.w(Vos.TAG, "cannot send the SMS: " + e);
                return;
            }
        }
        start(new Intent(Intent.ACTION_SENDTO, Uri.fromParts("smsto", number, null)).putExtra("sms_body", body));
    }

    /**
     * Hands the file, the subject and the text to the messaging app (a send
     * intent with the file as content URI): 0 when an app took it, 1 for an
     * empty address, 2 for a missing file or when no app took it.
     */
    public static int sendMMS(String number, String subject, String text, String path) {
        if (number == null || number.isEmpty()) {
            return 1;
        }
        Context context = Vos.context();
        File file = path != null ? new File(path) : null;
        if (context == null || file == null || !file.isFile()) {
            return 2;
        }
        Intent intent = new Intent(Intent.ACTION_SEND);
        intent.setType(VFileProvider.mimeType(file.getName()));
        intent.putExtra(Intent.EXTRA_STREAM, VFileProvider.share(context, file));
        intent.putExtra("address", number);
        intent.putExtra("sms_body", text);
        intent.putExtra(Intent.EXTRA_SUBJECT, subject);
        intent.putExtra(Intent.EXTRA_TEXT, text);
        intent.addFlags(Intent.FLAG_GRANT_READ_URI_PERMISSION);
        return start(intent) ? 0 : 2;
    }

    /**
     * Opens the URL with the app that handles it. Throws when no app can:
     * the native side answers the pending exception as the failure.
     */
    public static void openUrl(String url) {
        if (url == null || !start(new Intent(Intent.ACTION_VIEW, Uri.parse(url)))) {
            throw new ActivityNotFoundException("no app opens " + url);
        }
    }

    @SuppressWarnings("deprecation")
    private static GsmCellLocation gsmCell() {
        if (!granted(Manifest.permission.ACCESS_FINE_LOCATION)) {
            return null;
        }
        TelephonyManager tm = service(Context.TELEPHONY_SERVICE);
        try {
            CellLocation cell = tm != null ? tm.getCellLocation() : null;
            return cell instanceof GsmCellLocation ? (GsmCellLocation) cell : null;
        } catch (RuntimeException e) {
            return null;
        }
    }

    /** The GSM/UMTS/LTE serving cell's id, in decimal; null without it. */
    public static String getCellId() {
        GsmCellLocation cell = gsmCell();
        return cell != null && cell.getCid() != -1 ? String.valueOf(cell.getCid()) : null;
    }

    /** The serving cell's location area code, in decimal; null without it. */
    public static String getLac() {
        GsmCellLocation cell = gsmCell();
        return cell != null && cell.getLac() != -1 ? String.valueOf(cell.getLac()) : null;
    }

    /** The IMEI; null without READ_PHONE_STATE and where the platform refuses it (API 29 on). */
    @SuppressWarnings("deprecation")
    public static String getImei() {
        if (!granted(Manifest.permission.READ_PHONE_STATE)) {
            return null;
        }
        TelephonyManager tm = service(Context.TELEPHONY_SERVICE);
        try {
            return tm == null ? null : Build.VERSION.SDK_INT >= 26 ? imei(tm) : tm.getDeviceId();
        } catch (RuntimeException e) {
            return null;
        }
    }

    /** The IMSI; null without READ_PHONE_STATE and where the platform refuses it (API 29 on). */
    public static String getImsi() {
        if (!granted(Manifest.permission.READ_PHONE_STATE)) {
            return null;
        }
        TelephonyManager tm = service(Context.TELEPHONY_SERVICE);
        try {
            return tm != null ? tm.getSubscriberId() : null;
        } catch (RuntimeException e) {
            return null;
        }
    }

    // ---- calls of later API levels, each made only behind its SDK_INT check --

    @IgnoreJRERequirement
    private static Network activeNetwork(ConnectivityManager cm) { // API 23
        return cm.getActiveNetwork();
    }

    @IgnoreJRERequirement
    private static void registerDefaultNetworkCallback(ConnectivityManager cm,
            ConnectivityManager.NetworkCallback callback) { // API 24
        cm.registerDefaultNetworkCallback(callback);
    }

    @IgnoreJRERequirement
    private static String imei(TelephonyManager tm) { // API 26
        return tm.getImei();
    }

    @IgnoreJRERequirement
    private static Rect windowBounds(Activity activity) { // API 30
        return activity.getWindowManager().getCurrentWindowMetrics().getBounds();
    }

    @IgnoreJRERequirement
    private static SmsManager smsManager(Context context) { // API 31
        return context.getSystemService(SmsManager.class);
    }
}
