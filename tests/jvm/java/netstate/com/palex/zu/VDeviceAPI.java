package com.palex.zu;

/** Reports network-state changes the way the device's receiver does. */
public final class VDeviceAPI {
    static {
        System.loadLibrary("vos");
    }

    private VDeviceAPI() {
    }

    public static native void onNetworkStateChanged();

    /** Reports one change from a Java thread of its own and waits for it. */
    public static void reportFromJavaThread() throws InterruptedException {
        Thread reporter = new Thread(VDeviceAPI::onNetworkStateChanged, "net-state-reporter");
        reporter.start();
        reporter.join();
    }
}
