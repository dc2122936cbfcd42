package com.palex.zu;

/**
 * The native methods of the tests' JNI library (tests/android/VosProbe.cpp):
 * each calls libvos.so's operations as an application's native code does.
 * Failures come back as null, NaN or -1000.
 */
final class NativeProbe {
    static final int OS_VERSION = 0;
    static final int MODULE_FILE_NAME = 1;
    static final int SDCARD_PATH = 2;
    static final int CACHE_PATH = 3;
    static final int APP_VERSION = 4;
    static final int CELL_ID = 5;
    static final int LAC = 6;
    static final int IMEI = 7;
    static final int IMSI = 8;

    static final int SPACE = 0;
    static final int MEMORY = 1;
    static final int METRICS = 2;

    static final int CALL = 0;
    static final int SMS = 1;
    static final int MMS = 2;
    static final int OPEN_URL = 3;
    static final int SETUP_SOFTWARE = 4;

    static {
        System.loadLibrary("vosprobe");
    }

    private NativeProbe() {
    }

    static native String query(int which);

    /** The query made on a new native thread, which the library attaches. */
    static native String queryOnNativeThread(int which);

    /** The query made in a timer callback, on the library's timer thread. */
    static native String queryOnTimer(int which);

    /** {result, first, second}. */
    static native long[] figures(int which);

    static native float density();

    static native int brightness();

    static native int setScreenOn(int on);

    static native int networkType();

    static native int wifiConnected();

    /** "typename/type/state". */
    static native String networkInfo(int type);

    /** "SSID|BSSID|capabilities|frequency|level" each. */
    static native String[] wifiHotpots();

    static native int setNetworkCallback();

    static native int unsetNetworkCallback();

    /** How often the library called the callback set by setNetworkCallback. */
    static native int networkChanges();

    static native int action(int which, String a, String b, String c, String d);

    /** 0 Initialize, 1 UnInitialize. */
    static native int gps(int op);

    /** {state, value1, value2, value3, value4, value6} of the last fix. */
    static native double[] lastFix();

    /** 0 Init, 1 UnInit. */
    static native int compass(int op);

    /** {state, value, tick bits}. */
    static native int[] compassReading();

    static native int attachObserver(int id);

    static native int detachObserver(int id);

    static native int postFromNativeThread(int id, int wParam, int lParam);

    /** {count, id, wParam, lParam, 1 when delivered on the thread that attached}. */
    static native int[] delivered();
}
